#include "dbaccess/ParamParser.h"

#include "core/Errors.h"

namespace {
bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

[[noreturn]] void parseError(const char* what)
{
    throw EIBClientError(QStringLiteral("SQL Parse Error:\r\n\r\n") + QString::fromLatin1(what));
}
}

ParsedStatement ParseStatementParams(const QString& sql, bool strict)
{
    ParsedStatement result;
    result.text.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A literal: up to the closing quote; a doubled quote stays inside.
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                ++j;
            }
            if (!closed) {
                if (strict)
                    parseError("EOF in string detected");
                result.text += sql.mid(i);
                break;
            }
            result.text += sql.mid(i, j + 1 - i);
            i = j + 1;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            if (end < 0) {
                if (strict)
                    parseError("EOF in comment detected");
                result.text += sql.mid(i);
                break;
            }
            result.text += sql.mid(i, end + 2 - i);
            i = end + 2;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            // A line comment runs to the end of its line (CR or LF).
            qsizetype end = i + 2;
            while (end < n && sql[end] != QLatin1Char('\n') && sql[end] != QLatin1Char('\r'))
                ++end;
            result.text += sql.mid(i, end - i);
            i = end;
        } else if (c == QLatin1Char(':')) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(sql[j]))
                ++j;
            if (j == i + 1) {
                if (strict)
                    parseError("Parameter name expected");
                result.text += c;
                ++i;
                continue;
            }
            result.names << sql.mid(i + 1, j - i - 1);
            result.text += QLatin1Char('?');
            i = j;
        } else {
            result.text += c;
            ++i;
        }
    }
    return result;
}
