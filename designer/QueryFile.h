#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "designer/LarkspanTypes.h"

class QIODevice;

// The file of saved designs of one view: a header (magic "LKS" 0xFF, the
// creation date as a double, RecordCount as int32) and entries of one free
// flag, a 256-byte name field (a length byte and the name in the single-byte
// code page) and RecordCount records of 527 bytes, one per field of the view:
// table position, field position (int32 each), Selected, MainBool,
// BoolBetweenFields, the low and the high value block. Every access holds a
// lock on the file (shared to read, exclusive to write), so that programs
// that share the file never see a half-written entry.
class TQueryFile {
public:
    explicit TQueryFile(QString path) : FPath(std::move(path)) {}
    const QString& Path() const { return FPath; }

    // One record of an entry, as stored.
    struct Record {
        qint32 TablePos;
        qint32 FieldPos;
        bool Selected;
        TFieldBoolOperators MainBool;
        TFieldBoolOperators BoolBetweenFields;
        TValueBlock LowValue;
        TValueBlock HighValue;
    };

    // Saves the design of every field of tables as an entry named name, in
    // the first free entry or after the last whole one. total is the
    // tables' field count, which must equal the file's RecordCount. A write
    // that fails leaves the file as it was.
    void Save(const QString& name, const TLKTables& tables, qint32 total) const;
    // Writes the design of tables under name over live entry index, in
    // place: the entry keeps its position, the others stay as they are.
    void Replace(int index, const QString& name, const TLKTables& tables, qint32 total) const;
    // Marks live entry index free; a later save reuses its room.
    // Both raise an error naming the file when it is missing, is not a query
    // file, or has no live entry index; neither creates a file.
    void Delete(int index) const;
    // The live entries: index and name. A file whose header is damaged has none.
    QList<QPair<int, QString>> Entries() const;
    // The records of entry index; false when there is no such entry.
    // Raises an error for an entry that the end of the file cuts short.
    bool ReadEntry(int index, QList<Record>& records) const;

    // The header shared by the query file and the view cache: magic and date.
    static void WriteFileHeader(QIODevice& stream);
    static bool CheckFileHeader(QIODevice& stream);
    // Positions stream at the first free entry (true) or at the end of the
    // last whole entry (false).
    static bool FindFreeQuerySlot(QIODevice& stream);
    // Reads the header's RecordCount and positions stream at entry index;
    // false when the file holds no such entry.
    static bool SeekQuery(QIODevice& stream, int index, qint32& recordCount);

private:
    QString FPath;
};
