#pragma once
#include <QString>

#include "designer/LarkspanTypes.h"
#include "designer/ViewTree.h"

// The permanent cache of one generated view, so that a later generation
// needs no system-table query: the header of the query file (magic and
// date), the tree text (int32 length and the text), the table count and per
// table its 140-byte record, its field count and 178-byte field records.
// The design (ticks, conditions) is not part of it.
class TViewCache {
public:
    explicit TViewCache(QString path) : FPath(std::move(path)) {}
    const QString& Path() const { return FPath; }
    bool Exists() const;
    // Replaces tree and tables with the cached view; a damaged file raises
    // "Invalid cache file structure." and leaves both empty.
    void Read(TViewTree& tree, TLKTables& tables) const;
    // Writes the file whole: a failed write keeps the previous cache.
    void Write(const TViewTree& tree, const TLKTables& tables) const;

private:
    QString FPath;
};
