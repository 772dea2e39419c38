// Saved queries: every design of one view is an entry of one query file.
// Header: magic "LKS" 0xFF, creation date (double), RecordCount (int32).
// Entry: free flag, 256-byte name field, RecordCount records of 527 bytes.

#include "designer/Larkspan.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QList>
#include <QPair>
#include <cstring>
#include <memory>

#include "core/CodePage.h"
#include "core/Errors.h"
#include "core/UserLocale.h"
#include "designer/BinaryFile.h"
#include "designer/FileLock.h"

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

// Opens the query file (creating it for an exclusive lock) and locks it.
// A file that another program removed or replaced while this one waited is
// opened again, so that the lock is always on the file the name leads to.
std::unique_ptr<TFileLock> OpenLocked(QFile& file, TFileLock::Mode mode)
{
    for (int attempt = 0;; ++attempt) {
        if (mode == TFileLock::Exclusive)
            BinaryFile::OpenOrCreate(file);
        else
            BinaryFile::OpenForRead(file);
        auto lock = std::make_unique<TFileLock>(file, mode);
        if (attempt >= 3 || lock->StillNamed())
            return lock;
        lock.reset();
        file.close();
    }
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
    // Every table's fields, so that the entry holds one record per field.
    // The database is asked before the file is locked, so that the lock is
    // held only for the file's own work.
    const qint32 total = LoadAllFields();

    QFile file(QueryFileName());
    const bool existed = file.exists();
    const auto lock = OpenLocked(file, TFileLock::Exclusive);

    const qint64 originalSize = file.size();
    const bool newFile = originalSize == 0;
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
            entryPos = FileHeaderSize + (originalSize - FileHeaderSize) / entrySize * entrySize;
        }
    }

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

    // The bytes the new entry will cover, put back when a write fails (a
    // full disk, a file size limit), so that the file stays as it was.
    qint64 previousPos = entryPos;
    QByteArray previous;
    if (reuseFreeEntry) {
        BinaryFile::Seek(file, entryPos);
        previous = BinaryFile::ReadBytes(file, EntrySize(recordCount), QStringLiteral("an entry"));
    } else if (!newFile && entryPos < originalSize) {
        BinaryFile::Seek(file, entryPos);
        previous = BinaryFile::ReadBytes(file, originalSize - entryPos, QStringLiteral("an entry"));
    }

    try {
        if (newFile) {
            QBuffer header;
            header.open(QIODevice::WriteOnly);
            WriteFileHeader(header);
            BinaryFile::WriteInt32(header, total);
            BinaryFile::WriteAt(file, 0, header.data() + QByteArray(1, '\0') + body);
        } else if (reuseFreeEntry) {
            // The name and records first, the live flag last: a write that
            // stops half-way leaves the slot free, not a damaged live entry.
            BinaryFile::WriteAt(file, entryPos + 1, body);
            BinaryFile::WriteAt(file, entryPos, QByteArray(1, '\0'));
        } else {
            BinaryFile::WriteAt(file, entryPos, QByteArray(1, '\0') + body);
        }
    } catch (const EStreamError&) {
        // Best effort: the write's own error is the one to report.
        try {
            if (newFile) {
                BinaryFile::Resize(file, 0);
                if (!existed)
                    QFile::remove(file.fileName());
            } else {
                BinaryFile::Resize(file, originalSize);
                if (!previous.isEmpty())
                    BinaryFile::WriteAt(file, previousPos, previous);
            }
        } catch (const EStreamError&) {
        }
        throw;
    }
}

void TLarkspan::EnumQueries(const TEnumQueriesCallback& callback)
{
    if (!callback)
        return;
    // The listing is taken whole under the lock; the callback runs after
    // the file is closed.
    QList<QPair<int, QString>> live;
    {
        QFile file(QueryFileName());
        const auto lock = OpenLocked(file, TFileLock::Shared);
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
            const quint8 freeFlag =
                BinaryFile::ReadByte(file, QStringLiteral("an entry's free flag"));
            const QByteArray nameField =
                BinaryFile::ReadBytes(file, NameFieldSize, QStringLiteral("an entry's name"));
            if (freeFlag == 0)
                live.append({index, NameFromField(nameField)});
        }
    }
    for (const auto& [index, name] : live)
        callback(index, name);
}

void TLarkspan::LoadQuery(int index)
{
    if (FTables.Count() > 0) {
        QFile file(QueryFileName());
        auto lock = OpenLocked(file, TFileLock::Shared);
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
            const QString fileName = file.fileName();
            lock.reset();
            file.close();

            // Records name fields by position: an entry saved from a view
            // with another number of fields would land on the wrong fields.
            const qint32 total = LoadAllFields();
            if (total != recordCount)
                throw ELarkspanError(
                    QStringLiteral("Cannot load the query from \"%1\": its queries hold %2 "
                                   "fields, the current view has %3 fields. Nothing was "
                                   "restored.")
                        .arg(fileName)
                        .arg(recordCount)
                        .arg(total));

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

    // Show the first table with the restored states.
    if (FViews)
        FViews->ShowFirstTable();
}
