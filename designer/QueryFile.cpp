// The query file: every design of one view is an entry of one file.

#include "designer/QueryFile.h"

#include <QBuffer>
#include <QCoreApplication>
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

// An entry without its free flag: the name field and one record per field.
QByteArray EntryBody(const QString& name, const TLKTables& tables)
{
    QByteArray body = NameField(name);
    for (int t = 0; t < tables.Count(); ++t) {
        const TLKTable* table = tables[t];
        for (int f = 0; f < table->Fields.Count(); ++f)
            AppendRecord(body, t, f, *table->Fields[f]);
    }
    return body;
}

QString NotAQueryFile(const QString& fileName)
{
    return QCoreApplication::translate("Larkspan", "\"%1\" is not a query file.").arg(fileName);
}

// Opens an existing query file for writing and locks it as a save does; a
// missing file is reported, not created.
std::unique_ptr<TFileLock> OpenExistingLocked(QFile& file)
{
    return TFileLock::OpenLocked(file, TFileLock::Exclusive, [](QFile& f) {
        if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            throw EStreamError(QCoreApplication::translate("Larkspan", "Cannot open file \"%1\": %2")
                                   .arg(f.fileName(), f.errorString()));
    });
}

// The position of live entry index of the open, locked query file, and the
// file's RecordCount.
qint64 FindLiveEntry(QFile& file, int index, qint32& recordCount)
{
    BinaryFile::Seek(file, 0);
    const QByteArray header = file.read(FileHeaderSize);
    if (header.size() != FileHeaderSize || std::memcmp(header.constData(), Magic, sizeof Magic) != 0)
        throw EInvalidFileFormat(NotAQueryFile(file.fileName()));
    recordCount = BinaryFile::Int32At(header.constData() + 12);
    if (recordCount < 0)
        throw EInvalidFileFormat(NotAQueryFile(file.fileName()));
    const qint64 entrySize = EntrySize(recordCount);
    const qint64 position = FileHeaderSize + qint64(index) * entrySize;
    char flag = 1;
    if (index < 0 || position + entrySize > file.size() || !file.seek(position) || file.read(&flag, 1) != 1 ||
        flag != 0)
        throw ELarkspanError(QCoreApplication::translate("Larkspan", "The query file \"%1\" has no query number %2.")
                                 .arg(file.fileName())
                                 .arg(index));
    return position;
}

QueryRecord RecordAt(const QByteArray& records, qint32 i)
{
    const char* p = records.constData() + qint64(i) * RecordSize;
    return {BinaryFile::Int32At(p), BinaryFile::Int32At(p + 4), p};
}

// Opens the query file (creating it for an exclusive lock) and locks it.
std::unique_ptr<TFileLock> OpenLocked(QFile& file, TFileLock::Mode mode)
{
    return TFileLock::OpenLocked(file, mode, [mode](QFile& f) {
        if (mode == TFileLock::Exclusive)
            BinaryFile::OpenOrCreate(f);
        else
            BinaryFile::OpenForRead(f);
    });
}

} // namespace

void TQueryFile::WriteFileHeader(QIODevice& stream)
{
    BinaryFile::WriteExact(stream, Magic, sizeof Magic);
    BinaryFile::WriteDouble(stream, DateTimeValue::Today());
}

bool TQueryFile::CheckFileHeader(QIODevice& stream)
{
    char head[12];
    if (stream.read(head, sizeof head) != qint64(sizeof head))
        return false;
    return std::memcmp(head, Magic, sizeof Magic) == 0;
}

bool TQueryFile::FindFreeQuerySlot(QIODevice& stream)
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

bool TQueryFile::SeekQuery(QIODevice& stream, int index, qint32& recordCount)
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

void TQueryFile::Save(const QString& name, const TLKTables& tables, qint32 total) const
{
    QFile file(FPath);
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

    const QByteArray body = EntryBody(name, tables);

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

void TQueryFile::Replace(int index, const QString& name, const TLKTables& tables, qint32 total) const
{
    const QByteArray body = EntryBody(name, tables);
    QFile file(FPath);
    const auto lock = OpenExistingLocked(file);
    qint32 recordCount = 0;
    const qint64 position = FindLiveEntry(file, index, recordCount);
    if (recordCount != total)
        throw ELarkspanError(
            QStringLiteral("Cannot save the query into \"%1\": its queries hold %2 fields, "
                           "the current view has %3 fields.")
                .arg(file.fileName())
                .arg(recordCount)
                .arg(total));
    // The entry stays live; only its name and records change.
    BinaryFile::WriteAt(file, position + 1, body);
}

void TQueryFile::Delete(int index) const
{
    QFile file(FPath);
    const auto lock = OpenExistingLocked(file);
    qint32 recordCount = 0;
    const qint64 position = FindLiveEntry(file, index, recordCount);
    BinaryFile::WriteAt(file, position, QByteArray(1, '\1'));
}

QList<QPair<int, QString>> TQueryFile::Entries() const
{
    // The listing is taken whole under the lock.
    QList<QPair<int, QString>> live;
    {
        QFile file(FPath);
        const auto lock = OpenLocked(file, TFileLock::Shared);
        if (!CheckFileHeader(file) || BinaryFile::Remaining(file) < 4)
            return live;
        const qint32 recordCount = BinaryFile::ReadInt32(file, QStringLiteral("its header"));
        if (recordCount < 0)
            return live;
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
    return live;
}

bool TQueryFile::ReadEntry(int index, QList<Record>& records) const
{
    records.clear();
    QFile file(FPath);
    const auto lock = OpenLocked(file, TFileLock::Shared);
    qint32 recordCount = 0;
    if (!SeekQuery(file, index, recordCount))
        return false;
    // The whole entry is read first: an entry cut short by the end of
    // the file restores nothing.
    if (BinaryFile::Remaining(file) < EntrySize(recordCount))
        throw ELarkspanError(
            QStringLiteral("The saved query %1 in file \"%2\" is incomplete: the file "
                           "ends before its end. Nothing was restored.")
                .arg(index)
                .arg(file.fileName()));
    BinaryFile::Seek(file, file.pos() + 1 + NameFieldSize);   // free flag and name
    const QByteArray bytes = BinaryFile::ReadBytes(
        file, qint64(recordCount) * RecordSize, QStringLiteral("the query's records"));
    records.reserve(recordCount);
    for (qint32 i = 0; i < recordCount; ++i) {
        const QueryRecord r = RecordAt(bytes, i);
        Record record{r.TablePos, r.FieldPos, r.Data[8] != 0, TFieldBoolOperators(r.Data[9]),
                      TFieldBoolOperators(r.Data[10]), {}, {}};
        std::memcpy(&record.LowValue, r.Data + 11, sizeof record.LowValue);
        std::memcpy(&record.HighValue, r.Data + 11 + sizeof record.LowValue, sizeof record.HighValue);
        records.append(record);
    }
    return true;
}
