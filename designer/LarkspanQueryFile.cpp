// Saved queries: every design of one view is an entry of one query file.
// Header: magic "LKS" 0xFF, creation date (double), RecordCount (int32).
// Entry: free flag, 256-byte name field, RecordCount records of 527 bytes.

#include "designer/Larkspan.h"

#include <QFile>
#include <QIODevice>
#include <QTreeWidget>
#include <cstring>

#include "dbaccess/CodePage.h"
#include "dbaccess/Errors.h"
#include "dbaccess/UserLocale.h"
#include "designer/BinaryFile.h"
#include "designer/TreeNodes.h"

namespace {

constexpr char Magic[4] = {'L', 'K', 'S', char(0xFF)};
constexpr qint64 FileHeaderSize = 16;   // magic, date, RecordCount
constexpr qint64 NameFieldSize = 256;
constexpr qint64 RecordSize = 527;
static_assert(RecordSize == 4 + 4 + 1 + 1 + 1 + 2 * sizeof(TValueBlock));

qint64 EntrySize(qint32 recordCount)
{
    return qint64(recordCount) * RecordSize + 1 + NameFieldSize;
}

// Reads RecordCount after a valid magic; a missing or negative count is a
// damaged header.
template <class Error>
qint32 ReadRecordCount(QIODevice& stream)
{
    if (BinaryFile::Remaining(stream) < 4)
        throw Error(LarkspanMessages::InvalidQueryFile());
    const qint32 count = BinaryFile::ReadInt32(stream, QStringLiteral("its header"));
    if (count < 0)
        throw Error(LarkspanMessages::InvalidQueryFile());
    return count;
}

QByteArray NameField(const QString& name)
{
    QByteArray chars = CodePage::ToAnsi(name).left(255);
    QByteArray field(NameFieldSize, '\0');
    field[0] = char(quint8(chars.size()));
    std::memcpy(field.data() + 1, chars.constData(), size_t(chars.size()));
    return field;
}

QString NameFromField(const QByteArray& field)
{
    const int length = quint8(field[0]);
    return CodePage::FromAnsi(field.constData() + 1, length);
}

void AppendRecord(QByteArray& entry, int tablePos, int fieldPos, const TLKField& field)
{
    BinaryFile::AppendInt32(entry, tablePos);
    BinaryFile::AppendInt32(entry, fieldPos);
    entry.append(char(field.Selected ? 1 : 0));
    entry.append(char(field.MainBool));
    entry.append(char(field.BoolBetweenFields));
    entry.append(reinterpret_cast<const char*>(&field.LowValue), sizeof field.LowValue);
    entry.append(reinterpret_cast<const char*>(&field.HighValue), sizeof field.HighValue);
}

struct QueryRecord {
    qint32 TablePos;
    qint32 FieldPos;
    const char* Data;   // the whole 527 bytes
};

QueryRecord RecordAt(const QByteArray& records, qint32 i)
{
    const char* p = records.constData() + qint64(i) * RecordSize;
    return {BinaryFile::Int32At(p), BinaryFile::Int32At(p + 4), p};
}

} // namespace

QString TLarkspan::QueryFileName() const
{
    return FPermanentCacheDir + FTableName + QLatin1Char('@') + FDetailTableName +
           QStringLiteral(".qry");
}

void TLarkspan::WriteFileHeader(QIODevice& stream)
{
    BinaryFile::WriteExact(stream, Magic, sizeof Magic);
    BinaryFile::WriteDouble(stream, DateTimeValue::Today());
}

bool TLarkspan::CheckFileHeader(QIODevice& stream)
{
    char head[12];
    if (stream.read(head, sizeof head) != qint64(sizeof head))
        return false;
    return std::memcmp(head, Magic, sizeof Magic) == 0;
}

bool TLarkspan::FindFreeQuerySlot(QIODevice& stream)
{
    BinaryFile::Seek(stream, 0);
    if (!CheckFileHeader(stream))
        throw EInvalidFileFormat(LarkspanMessages::InvalidQueryFile());
    const qint64 entrySize = EntrySize(ReadRecordCount<EInvalidFileFormat>(stream));
    const qint64 fileSize = stream.size();
    qint64 position = stream.pos();
    while (position + entrySize <= fileSize) {
        if (BinaryFile::ReadByte(stream, QStringLiteral("an entry's free flag")) != 0) {
            BinaryFile::Seek(stream, position);
            return true;
        }
        position += entrySize;
        BinaryFile::Seek(stream, position);
    }
    return false;
}

bool TLarkspan::SeekQuery(QIODevice& stream, int index, qint32& recordCount)
{
    if (!CheckFileHeader(stream))
        throw ELarkspanError(LarkspanMessages::InvalidQueryFile());
    recordCount = ReadRecordCount<ELarkspanError>(stream);
    if (index < 0)
        return false;
    // Skipping Index entries needs Index whole entries in front of this one.
    const qint64 target = stream.pos() + qint64(index) * EntrySize(recordCount);
    if (target > stream.size())
        return false;
    BinaryFile::Seek(stream, target);
    return true;
}

void TLarkspan::SaveQuery(const QString& name)
{
    QFile file(QueryFileName());
    BinaryFile::OpenOrCreate(file);

    const bool newFile = file.size() == 0;
    bool reuseFreeEntry = false;
    qint32 recordCount = 0;
    qint64 entryPos = FileHeaderSize;
    if (!newFile) {
        reuseFreeEntry = FindFreeQuerySlot(file);
        entryPos = file.pos();
        BinaryFile::Seek(file, 12);
        recordCount = BinaryFile::ReadInt32(file, QStringLiteral("its header"));
        if (!reuseFreeEntry) {
            // Append right after the last whole entry: a partial entry left
            // at the end would otherwise shift every later entry.
            const qint64 entrySize = EntrySize(recordCount);
            entryPos = FileHeaderSize + (file.size() - FileHeaderSize) / entrySize * entrySize;
        }
    }

    // Every table's fields, so that the entry holds one record per field.
    LoadAllFields();
    qint32 total = 0;
    for (const auto& table : FTables)
        total += table->Fields.Count();

    if (!newFile && total != recordCount)
        throw ELarkspanError(
            QStringLiteral("Cannot save the query into \"%1\": its queries hold %2 fields, "
                           "the current view has %3 fields.")
                .arg(file.fileName())
                .arg(recordCount)
                .arg(total));

    QByteArray body = NameField(name);
    for (int t = 0; t < FTables.Count(); ++t) {
        const TLKTable* table = FTables[t];
        for (int f = 0; f < table->Fields.Count(); ++f)
            AppendRecord(body, t, f, *table->Fields[f]);
    }

    if (newFile) {
        BinaryFile::Seek(file, 0);
        WriteFileHeader(file);
        BinaryFile::WriteInt32(file, total);
    }
    if (reuseFreeEntry) {
        // The name and records first, the live flag last: a write that fails
        // half-way leaves the slot free instead of a damaged live entry.
        BinaryFile::Seek(file, entryPos + 1);
        BinaryFile::WriteExact(file, body);
        if (!file.flush())
            throw EStreamError(QStringLiteral("Write error: file \"%1\". %2")
                                   .arg(file.fileName(), file.errorString()));
        BinaryFile::Seek(file, entryPos);
        BinaryFile::WriteExact(file, "\0", 1);
    } else {
        BinaryFile::Seek(file, entryPos);
        BinaryFile::WriteExact(file, QByteArray(1, '\0') + body);
    }
    if (!file.flush())
        throw EStreamError(QStringLiteral("Write error: file \"%1\". %2")
                               .arg(file.fileName(), file.errorString()));
}

void TLarkspan::EnumQueries(const TEnumQueriesCallback& callback)
{
    if (!callback)
        return;
    QFile file(QueryFileName());
    BinaryFile::OpenForRead(file);
    if (!CheckFileHeader(file) || BinaryFile::Remaining(file) < 4)
        return;
    const qint32 recordCount = BinaryFile::ReadInt32(file, QStringLiteral("its header"));
    if (recordCount < 0)
        return;
    const qint64 entrySize = EntrySize(recordCount);
    int index = 0;
    for (qint64 position = file.pos(); position + entrySize <= file.size();
         position += entrySize, ++index) {
        BinaryFile::Seek(file, position);
        const quint8 freeFlag = BinaryFile::ReadByte(file, QStringLiteral("an entry's free flag"));
        const QByteArray nameField =
            BinaryFile::ReadBytes(file, NameFieldSize, QStringLiteral("an entry's name"));
        if (freeFlag == 0)
            callback(index, NameFromField(nameField));
    }
}

void TLarkspan::LoadQuery(int index)
{
    if (FTables.Count() > 0) {
        QFile file(QueryFileName());
        BinaryFile::OpenForRead(file);
        qint32 recordCount = 0;
        if (SeekQuery(file, index, recordCount)) {
            // The whole entry is read first: an entry cut short by the end of
            // the file restores nothing.
            if (BinaryFile::Remaining(file) < EntrySize(recordCount))
                throw ELarkspanError(
                    QStringLiteral("The saved query %1 in file \"%2\" is incomplete: the file "
                                   "ends before its end. Nothing was restored.")
                        .arg(index)
                        .arg(file.fileName()));
            BinaryFile::Seek(file, file.pos() + 1 + NameFieldSize);   // free flag and name
            const QByteArray records = BinaryFile::ReadBytes(
                file, qint64(recordCount) * RecordSize, QStringLiteral("the query's records"));
            file.close();

            // Negative positions fail before anything changes.
            for (qint32 i = 0; i < recordCount; ++i) {
                const QueryRecord r = RecordAt(records, i);
                if (r.TablePos < 0)
                    FTables.Items(r.TablePos);
                else if (r.TablePos < FTables.Count() && r.FieldPos < 0)
                    FTables[r.TablePos]->Fields.Items(r.FieldPos);
            }

            for (qint32 i = 0; i < recordCount; ++i) {
                const QueryRecord r = RecordAt(records, i);
                if (r.TablePos >= FTables.Count())
                    continue;
                TLKTable* table = FTables.Items(r.TablePos);
                if (table->Fields.Count() == 0)
                    LoadTableFields(table);
                if (r.FieldPos >= table->Fields.Count())
                    continue;
                TLKField* field = table->Fields.Items(r.FieldPos);
                field->Selected = r.Data[8] != 0;
                field->MainBool = TFieldBoolOperators(r.Data[9]);
                field->BoolBetweenFields = TFieldBoolOperators(r.Data[10]);
                std::memcpy(&field->LowValue, r.Data + 11, sizeof field->LowValue);
                std::memcpy(&field->HighValue, r.Data + 11 + sizeof field->LowValue,
                            sizeof field->HighValue);
                field->BuildCondition();
            }
        }
    }

    // Show the first table with the restored states. Selecting a node that
    // is already selected reports no change, so the list is refilled here.
    QTreeWidget* tree = FTreeView;
    if (!tree)
        return;
    QTreeWidgetItem* first = TreeNodes::FirstNode(tree);
    if (!first)
        return;
    if (tree->currentItem() != first) {
        tree->setCurrentItem(first);
    } else if (TLKTable* table = FindTableByNode(FTables, 0)) {
        if (table->Fields.Count() == 0)
            LoadTableFields(table);
        FillFieldList(table);
    }
}
