#include "designer/BinaryFile.h"

#include <QFile>
#include <QFileDevice>
#include <QIODevice>
#include <QtEndian>
#include <cstring>

#include "dbaccess/Errors.h"

namespace BinaryFile {

QString NameOf(const QIODevice& stream)
{
    if (auto file = qobject_cast<const QFileDevice*>(&stream); file && !file->fileName().isEmpty())
        return file->fileName();
    return QStringLiteral("stream");
}

void OpenForRead(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw EStreamError(QStringLiteral("Cannot open file \"%1\". %2")
                               .arg(file.fileName(), file.errorString()));
}

void OpenOrCreate(QFile& file)
{
    const bool existed = file.exists();
    if (!file.open(QIODevice::ReadWrite)) {
        const QString format = existed ? QStringLiteral("Cannot open file \"%1\". %2")
                                       : QStringLiteral("Cannot create file \"%1\". %2");
        throw EStreamError(format.arg(file.fileName(), file.errorString()));
    }
}

qint64 Remaining(const QIODevice& stream)
{
    const qint64 left = stream.size() - stream.pos();
    return left > 0 ? left : 0;
}

void ReadExact(QIODevice& stream, void* data, qint64 count, const QString& what)
{
    if (count < 0 || Remaining(stream) < count)
        throw EStreamError(QStringLiteral("Read error: file \"%1\" ends before %2.")
                               .arg(NameOf(stream), what));
    const qint64 got = stream.read(static_cast<char*>(data), count);
    if (got != count)
        throw EStreamError(QStringLiteral("Read error: file \"%1\" could not be read (%2). %3")
                               .arg(NameOf(stream), what, stream.errorString()));
}

QByteArray ReadBytes(QIODevice& stream, qint64 count, const QString& what)
{
    if (count < 0 || Remaining(stream) < count)
        throw EStreamError(QStringLiteral("Read error: file \"%1\" ends before %2.")
                               .arg(NameOf(stream), what));
    QByteArray bytes(count, Qt::Uninitialized);
    ReadExact(stream, bytes.data(), count, what);
    return bytes;
}

quint8 ReadByte(QIODevice& stream, const QString& what)
{
    quint8 value = 0;
    ReadExact(stream, &value, 1, what);
    return value;
}

qint32 ReadInt32(QIODevice& stream, const QString& what)
{
    char raw[4];
    ReadExact(stream, raw, 4, what);
    return Int32At(raw);
}

double ReadDouble(QIODevice& stream, const QString& what)
{
    char raw[8];
    ReadExact(stream, raw, 8, what);
    return DoubleAt(raw);
}

void WriteExact(QIODevice& stream, const void* data, qint64 count)
{
    if (count <= 0)
        return;
    if (stream.write(static_cast<const char*>(data), count) != count)
        throw EStreamError(QStringLiteral("Write error: file \"%1\". %2")
                               .arg(NameOf(stream), stream.errorString()));
}

void WriteExact(QIODevice& stream, const QByteArray& bytes)
{
    WriteExact(stream, bytes.constData(), bytes.size());
}

void WriteInt32(QIODevice& stream, qint32 value)
{
    QByteArray buffer;
    AppendInt32(buffer, value);
    WriteExact(stream, buffer);
}

void WriteDouble(QIODevice& stream, double value)
{
    QByteArray buffer;
    AppendDouble(buffer, value);
    WriteExact(stream, buffer);
}

void Seek(QIODevice& stream, qint64 position)
{
    if (position < 0 || !stream.seek(position))
        throw EStreamError(QStringLiteral("Seek error: file \"%1\" cannot be positioned at %2. %3")
                               .arg(NameOf(stream)).arg(position).arg(stream.errorString()));
}

void AppendInt32(QByteArray& buffer, qint32 value)
{
    char raw[4];
    qToLittleEndian<qint32>(value, raw);
    buffer.append(raw, 4);
}

void AppendDouble(QByteArray& buffer, double value)
{
    quint64 bits;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    char raw[8];
    qToLittleEndian<quint64>(bits, raw);
    buffer.append(raw, 8);
}

qint32 Int32At(const char* data)
{
    return qFromLittleEndian<qint32>(data);
}

double DoubleAt(const char* data)
{
    const quint64 bits = qFromLittleEndian<quint64>(data);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace BinaryFile
