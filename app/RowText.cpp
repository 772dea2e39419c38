#include "app/RowText.h"

#include "dbaccess/CsvStream.h"

namespace {
QString Quoted(const QString& field, QChar separator)
{
    const bool needs = field.contains(separator) || field.contains(QLatin1Char('"')) ||
                       field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
    if (!needs)
        return field;
    QString inner = field;
    inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString Line(const QStringList& fields, QChar separator, QLatin1String end)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += separator;
        line += Quoted(fields[i], separator);
    }
    return line + end;
}
}

namespace RowText {
QString CsvLine(const QStringList& fields)
{
    // One CSV writer for the whole program: the export streams with it.
    return CsvStream::Line(fields);
}

QString TabLine(const QStringList& fields)
{
    return Line(fields, QLatin1Char('\t'), QLatin1String("\n"));
}
}
