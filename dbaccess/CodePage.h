#pragma once
#include <QByteArray>
#include <QString>

// Conversion between texts and single-byte Windows-1250 (through iconv):
// the code page of names in query and cache files and of texts exchanged
// with a database that has no connection character set. Characters that the
// code page lacks become '?'.
namespace CodePage {
QByteArray ToAnsi(const QString& text);
QString FromAnsi(const QByteArray& bytes);
QString FromAnsi(const char* data, int length);

// Conversion through a Firebird character set name (e.g. "UTF8", "WIN1250",
// "ISO8859_1", "NONE"). An empty name or NONE means Windows-1250.
QByteArray Encode(const QString& text, const QString& firebirdCharset);
QString Decode(const QByteArray& bytes, const QString& firebirdCharset);
}
