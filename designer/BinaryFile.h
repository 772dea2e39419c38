#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QFile;
class QFileDevice;
class QIODevice;

// Little-endian reading and writing of the designer's binary files (query
// files and view cache files). Every failure raises EStreamError with a
// message that names the file.
namespace BinaryFile {

// The file name of a device for messages ("stream" when it has none).
QString NameOf(const QIODevice& stream);

// Opens an existing file for reading: "Cannot open file \"%1\". <reason>".
void OpenForRead(QFile& file);
// Opens a file for reading and writing, creating it when it does not exist:
// "Cannot open file ..." for an existing file, "Cannot create file ..." otherwise.
void OpenOrCreate(QFile& file);

// Bytes left between the current position and the end.
qint64 Remaining(const QIODevice& stream);

// Reads exactly count bytes; "Read error: file \"%1\" ends before <what>."
void ReadExact(QIODevice& stream, void* data, qint64 count, const QString& what);
QByteArray ReadBytes(QIODevice& stream, qint64 count, const QString& what);
quint8 ReadByte(QIODevice& stream, const QString& what);
qint32 ReadInt32(QIODevice& stream, const QString& what);
double ReadDouble(QIODevice& stream, const QString& what);

// Writes all bytes; "Write error: file \"%1\". <reason>".
void WriteExact(QIODevice& stream, const void* data, qint64 count);
void WriteExact(QIODevice& stream, const QByteArray& bytes);
void WriteInt32(QIODevice& stream, qint32 value);
void WriteDouble(QIODevice& stream, double value);

// Writes all bytes at position through the file's descriptor, bypassing
// any buffer, so that the system's reason for a failure ("No space left on
// device", "File too large") reaches the message:
// "Write error: file \"%1\". <reason>".
void WriteAt(QFileDevice& file, qint64 position, const QByteArray& bytes);
// Cuts or extends the file to size; "Write error: ..." on failure.
void Resize(QFileDevice& file, qint64 size);

// Replaces the file at path by content as a whole: written to a temporary
// file beside it, which is renamed over it only once complete, keeping the
// old file's permissions. A failure leaves the old file as it was.
// "Cannot create file \"%1\". <reason>" when the temporary file cannot be
// made, "Cannot write file \"%1\". <reason>" when writing or renaming fails.
void Replace(const QString& path, const QByteArray& content);

// A file size limit (RLIMIT_FSIZE) sends SIGXFSZ, whose default action ends
// the program; with it ignored the write fails with EFBIG instead, which is
// reported like any other write error. A handler someone installed is kept.
void SurviveFileSizeLimit();

// "Seek error: file \"%1\" ..." when the position cannot be reached.
void Seek(QIODevice& stream, qint64 position);

// Building and decoding little-endian values in memory.
void AppendInt32(QByteArray& buffer, qint32 value);
void AppendDouble(QByteArray& buffer, double value);
qint32 Int32At(const char* data);
double DoubleAt(const char* data);

} // namespace BinaryFile
