#include "app/QueryEntries.h"

#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstring>
#include <memory>

#include "core/Errors.h"
#include "designer/FileLock.h"
#include "designer/Larkspan.h"

namespace {
// File header: magic, creation date (double), RecordCount (int32); an entry:
// free flag, 256-byte name field, RecordCount records of 527 bytes.
const char Magic[4] = {'L', 'K', 'S', char(0xFF)};
const qint64 HeaderSize = 16;
const qint64 NameFieldSize = 256;
const qint64 RecordSize = 527;

QString tr(const char* text)
{
    return QCoreApplication::translate("QueryEntries", text);
}

struct Layout {
    qint32 recordCount = 0;
    qint64 entrySize = 0;
};

Layout ReadLayout(QFile& file)
{
    QByteArray header = file.read(HeaderSize);
    if (header.size() != HeaderSize || std::memcmp(header.constData(), Magic, sizeof Magic) != 0)
        throw EInvalidFileFormat(tr("\"%1\" is not a query file.").arg(file.fileName()));
    Layout layout;
    layout.recordCount = qFromLittleEndian<qint32>(header.constData() + 12);
    if (layout.recordCount < 0)
        throw EInvalidFileFormat(tr("\"%1\" is not a query file.").arg(file.fileName()));
    layout.entrySize = 1 + NameFieldSize + qint64(layout.recordCount) * RecordSize;
    return layout;
}

// Opens the query file for writing and locks it as a save does, so that no
// other program reads or writes it meanwhile. A missing file is not created.
std::unique_ptr<TFileLock> OpenLocked(QFile& file)
{
    return TFileLock::OpenLocked(file, TFileLock::Exclusive, [](QFile& f) {
        if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            throw EStreamError(tr("Cannot open file \"%1\": %2").arg(f.fileName(), f.errorString()));
    });
}

// Finds live entry index of the open, locked query file; returns its position.
qint64 FindLiveEntry(QFile& file, int index, Layout& layout)
{
    layout = ReadLayout(file);
    const qint64 position = HeaderSize + qint64(index) * layout.entrySize;
    char flag = 1;
    if (index < 0 || position + layout.entrySize > file.size() || !file.seek(position) ||
        file.read(&flag, 1) != 1 || flag != 0)
        throw ELarkspanError(tr("The query file \"%1\" has no query number %2.").arg(file.fileName()).arg(index));
    return position;
}

void WriteAt(QFile& file, qint64 position, const QByteArray& bytes)
{
    if (!file.seek(position) || file.write(bytes) != bytes.size() || !file.flush())
        throw EStreamError(tr("Cannot write file \"%1\": %2").arg(file.fileName(), file.errorString()));
}
}

namespace QueryEntries {
void Delete(TLarkspan& designer, int index)
{
    QFile file(designer.QueryFileName());
    const auto lock = OpenLocked(file);
    Layout layout;
    const qint64 position = FindLiveEntry(file, index, layout);
    WriteAt(file, position, QByteArray(1, '\1'));
}

void Replace(TLarkspan& designer, int index, const QString& name)
{
    // The designer writes the entry into a query file of its own; its bytes
    // then go over the old entry.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw EStreamError(tr("Cannot create a temporary folder: %1").arg(scratch.errorString()));
    QByteArray entry;
    qint32 recordCount = 0;
    {
        const QString folder = designer.PermanentCacheDir();
        const auto restore = qScopeGuard([&] { designer.SetPermanentCacheDir(folder); });
        designer.SetPermanentCacheDir(scratch.path());
        designer.SaveQuery(name);
        QFile written(designer.QueryFileName());
        if (!written.open(QIODevice::ReadOnly))
            throw EStreamError(tr("Cannot open file \"%1\": %2").arg(written.fileName(), written.errorString()));
        const Layout layout = ReadLayout(written);
        recordCount = layout.recordCount;
        entry = written.read(layout.entrySize);
        if (entry.size() != layout.entrySize)
            throw EInvalidFileFormat(tr("\"%1\" is not a query file.").arg(written.fileName()));
    }

    QFile file(designer.QueryFileName());
    const auto lock = OpenLocked(file);
    Layout layout;
    const qint64 position = FindLiveEntry(file, index, layout);
    if (layout.recordCount != recordCount)
        throw ELarkspanError(tr("Cannot save the query into \"%1\": its queries hold %2 fields, "
                                "the current view has %3 fields.")
                                 .arg(file.fileName())
                                 .arg(layout.recordCount)
                                 .arg(recordCount));
    // The entry stays live; only its name and records change.
    WriteAt(file, position + 1, entry.mid(1));
}
}
