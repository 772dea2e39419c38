#include "designer/BinaryFile.h"

#include <QFile>
#include <QFileDevice>
#include <QIODevice>
#include <QFileInfo>
#include <QtEndian>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Errors.h"

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

namespace {

QString SystemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes every byte to fd at position (or at the current offset when
// position is negative); the errno of the failing call, or 0.
int WriteAll(int fd, qint64 position, const char* data, qint64 count)
{
    while (count > 0) {
        const ssize_t n = position >= 0 ? ::pwrite(fd, data, size_t(count), off_t(position))
                                        : ::write(fd, data, size_t(count));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        data += n;
        count -= n;
        if (position >= 0)
            position += n;
    }
    return 0;
}

// A descriptor closed on every path.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

void WriteAt(QFileDevice& file, qint64 position, const QByteArray& bytes)
{
    SurviveFileSizeLimit();
    const int fd = file.handle();
    const int error = fd < 0 ? EBADF : WriteAll(fd, position, bytes.constData(), bytes.size());
    if (error != 0)
        throw EStreamError(QStringLiteral("Write error: file \"%1\". %2")
                               .arg(file.fileName(), SystemReason(error)));
}

void Resize(QFileDevice& file, qint64 size)
{
    const int fd = file.handle();
    int error = 0;
    if (fd < 0)
        error = EBADF;
    else
        while (::ftruncate(fd, off_t(size)) != 0)
            if (errno != EINTR) {
                error = errno;
                break;
            }
    if (error != 0)
        throw EStreamError(QStringLiteral("Write error: file \"%1\". %2")
                               .arg(file.fileName(), SystemReason(error)));
}

void Replace(const QString& path, const QByteArray& content)
{
    SurviveFileSizeLimit();
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".XXXXXX";
    Descriptor out;
    out.fd = ::mkstemp(temporary.data());
    if (out.fd < 0)
        throw EStreamError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, SystemReason(errno)));

    // The new file gets the old one's permissions, or those a newly created
    // file would have.
    struct stat old;
    mode_t mode;
    if (::stat(target.constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    int error = WriteAll(out.fd, -1, content.constData(), content.size());
    if (error == 0 && ::fchmod(out.fd, mode) != 0)
        error = errno;
    if (error == 0) {
        const int fd = out.fd;
        out.fd = -1;
        if (::close(fd) != 0)
            error = errno;
    }
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        throw EStreamError(
            QStringLiteral("Cannot write file \"%1\". %2").arg(path, SystemReason(error)));
    }
}

void SurviveFileSizeLimit()
{
    struct sigaction current;
    if (::sigaction(SIGXFSZ, nullptr, &current) != 0)
        return;
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
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
