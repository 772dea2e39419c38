#include "designer/ViewCache.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "core/Errors.h"
#include "designer/BinaryFile.h"
#include "designer/QueryFile.h"
#include "designer/TreeText.h"

namespace {

constexpr qint64 HeaderSize = 12;   // magic and date; the tree length follows

// Reads the parts after the tree text; a file that ends before them is not
// a cache file this designer wrote.
template <class T>
void ReadRecord(QIODevice& stream, T& record)
{
    if (BinaryFile::Remaining(stream) < qint64(sizeof record))
        throw EInvalidFileFormat(LarkspanMessages::InvalidCacheFile());
    BinaryFile::ReadExact(stream, &record, sizeof record, QStringLiteral("a cache record"));
}

qint32 ReadCount(QIODevice& stream)
{
    if (BinaryFile::Remaining(stream) < 4)
        throw EInvalidFileFormat(LarkspanMessages::InvalidCacheFile());
    const qint32 count = BinaryFile::ReadInt32(stream, QStringLiteral("a count"));
    if (count < 0)
        throw EInvalidFileFormat(LarkspanMessages::InvalidCacheFile());
    return count;
}

} // namespace

bool TViewCache::Exists() const
{
    const QFileInfo info(FPath);
    return info.exists() && !info.isDir();
}

void TViewCache::Read(TViewTree& tree, TLKTables& tables) const
{
    tables.Clear();
    tree.Clear();

    try {
        QFile file(FPath);
        BinaryFile::OpenForRead(file);
        if (!TQueryFile::CheckFileHeader(file))
            throw EInvalidFileFormat(LarkspanMessages::InvalidCacheFile());

        // The tree text. The writer always stores at least the root node, so
        // an empty text is a damaged file.
        const qint32 treeLength = ReadCount(file);
        if (treeLength == 0)
            throw EInvalidFileFormat(LarkspanMessages::InvalidCacheFile());
        const QByteArray treeText =
            BinaryFile::ReadBytes(file, treeLength, QStringLiteral("the tree text is complete"));
        TreeText::Load(tree, treeText);
        // A text that holds no node (only line breaks, say) is as damaged.
        if (tree.IsEmpty())
            throw EInvalidFileFormat(LarkspanMessages::InvalidCacheFile());

        // The table blocks. Every loop step consumes a whole record, so a
        // damaged count ends at the end of the file instead of running on.
        const qint32 tableCount = ReadCount(file);
        if (tableCount == 0)
            throw EInvalidFileFormat(LarkspanMessages::InvalidCacheFile());
        for (qint32 t = 0; t < tableCount; ++t) {
            TTableCacheRecord tableRecord;
            ReadRecord(file, tableRecord);
            TLKTable* table = tables.Add(TLKTable::FromCacheRecord(tableRecord));
            const qint32 fieldCount = ReadCount(file);
            for (qint32 f = 0; f < fieldCount; ++f) {
                TFieldCacheRecord fieldRecord;
                ReadRecord(file, fieldRecord);
                // Copies of the packed record's members: a reference to one
                // of them would be misaligned.
                const qint32 fieldType = fieldRecord.FieldType;
                const qint32 charLength = fieldRecord.CharLength;
                const qint32 nodeIndex = fieldRecord.TableNodeIndex;
                const qint32 fieldIndex = fieldRecord.FieldIndex;
                auto field = std::make_unique<TLKField>(GetShortString(fieldRecord.FieldName),
                                                        QString(), fieldType, charLength,
                                                        fieldRecord.Visible != 0, false,
                                                        nodeIndex, fieldIndex);
                field->FromCacheRecord(fieldRecord);
                table->Fields.Add(std::move(field));
            }
        }
    } catch (...) {
        // Leave an empty view, not a half-built one.
        tables.Clear();
        tree.Clear();
        throw;
    }
}

void TViewCache::Write(const TViewTree& tree, const TLKTables& tables) const
{
    // The whole file is put together in memory first ...
    QByteArray content;
    {
        QBuffer header;
        header.open(QIODevice::WriteOnly);
        TQueryFile::WriteFileHeader(header);
        content = header.data();
    }
    const QByteArray treeText = TreeText::Save(tree);
    BinaryFile::AppendInt32(content, qint32(treeText.size()));
    content.append(treeText);
    BinaryFile::AppendInt32(content, tables.Count());
    for (const auto& table : tables) {
        TTableCacheRecord tableRecord;
        table->ToCacheRecord(tableRecord);
        content.append(reinterpret_cast<const char*>(&tableRecord), sizeof tableRecord);
        BinaryFile::AppendInt32(content, table->Fields.Count());
        for (const auto& field : table->Fields) {
            TFieldCacheRecord fieldRecord;
            field->ToCacheRecord(fieldRecord);
            content.append(reinterpret_cast<const char*>(&fieldRecord), sizeof fieldRecord);
        }
    }

    // ... and goes to a temporary file beside the cache file, which replaces
    // the old cache only once it is complete: a failed write (a full disk, a
    // file size limit) keeps the previous cache as it was, and the message
    // gives the system's reason.
    BinaryFile::Replace(FPath, content);
}
