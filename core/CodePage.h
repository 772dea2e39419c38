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

// A session without a connection character set attaches in UTF8, the
// character set of the system tables, so that names outside ASCII reach it
// and come back unchanged. Its statement texts are then UTF-8, and a value
// is read and written by its own character set: values without one (NONE,
// OCTETS) keep their stored bytes, taken as Windows-1250; every other value
// is UTF-8, transliterated by the server. With a connection character set,
// everything passes in that character set.
//
// connectionCharset: the session's lc_ctype ("" when none); charsetId: the
// character set id that the server described for the value.
inline constexpr const char* SessionDefaultCharset = "UTF8";
const QString& StatementCharset(const QString& connectionCharset);
const QString& ValueCharset(const QString& connectionCharset, int charsetId);
// The size of a text column in bytes: as described, except for a value that
// the server hands over in UTF-8 only because the session named no
// character set, which counts its declared characters, as it would in a
// single-byte character set.
int TextSize(const QString& connectionCharset, int charsetId, int describedBytes, int declaredChars);
}
