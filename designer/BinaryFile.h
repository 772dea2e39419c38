#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QFile;
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

// "Seek error: file \"%1\" ..." when the position cannot be reached.
void Seek(QIODevice& stream, qint64 position);

// Building and decoding little-endian values in memory.
void AppendInt32(QByteArray& buffer, qint32 value);
void AppendDouble(QByteArray& buffer, double value);
qint32 Int32At(const char* data);
double DoubleAt(const char* data);

} // namespace BinaryFile
