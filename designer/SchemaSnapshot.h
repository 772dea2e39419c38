#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class TIBQuery;
class TLarkspan;

// The schema read at once: every foreign-key link of the database, with
// the columns of its foreign-key index, in one statement, from which the
// designer builds the same tree the per-table walk builds with one
// statement per table. While an object of this class lives, the designer
// it was made for takes its links from it.
class TSchemaSnapshot {
public:
    // active false: the object does nothing and the designer walks the
    // system tables table by table.
    TSchemaSnapshot(TLarkspan* designer, bool active);
    ~TSchemaSnapshot();
    TSchemaSnapshot(const TSchemaSnapshot&) = delete;
    TSchemaSnapshot& operator=(const TSchemaSnapshot&) = delete;

    // The tables tableName (the table numbered tableNo) refers to, appended
    // under node, recursively: the per-table walk's rules, from memory.
    void AddReferencedTables(const QString& tableName, int tableNo, int node);

    // Every link, in the order the per-table statement gives each table's
    // links, with the columns of its foreign-key index.
    static QString LinkStatement();

private:
    struct Link {
        // As the server gives them (padded), as the per-table walk keeps them.
        QString detailTable, masterTable, detailIndex, masterIndex;
        QString master;   // masterTable without its padding
    };
    void ReadLinks();
    const QStringList& IndexColumns(const QString& indexName) const;
    std::unique_ptr<TIBQuery> MakeQuery(const QString& sql);

    TLarkspan* FDesigner;
    bool FActive;
    bool FLinksRead = false;
    QHash<QString, std::vector<Link>> FLinks;   // by referring table, in statement order
    QHash<QString, QStringList> FSegments;      // foreign-key index -> its columns in order
};
