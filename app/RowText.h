#pragma once
#include <QString>
#include <QStringList>

// Rows of the result as text for other programs.
namespace RowText {
// One CSV line (RFC 4180): fields separated by commas, a field that holds a
// comma, a double quote, CR or LF enclosed in double quotes with inner
// quotes doubled; the line ends with CR LF.
QString CsvLine(const QStringList& fields);

// One line for the clipboard: fields separated by tabs, a field that holds a
// tab, a double quote, CR or LF quoted as spreadsheets read it; ends with LF.
QString TabLine(const QStringList& fields);
}
