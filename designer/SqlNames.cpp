#include "designer/SqlNames.h"

namespace {
bool IsUpperStart(QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); }

bool IsUpperPart(QChar c)
{
    return IsUpperStart(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') ||
           c == QLatin1Char('$');
}

bool IsDelimited(const QString& typed)
{
    return typed.size() >= 2 && typed.startsWith(QLatin1Char('"')) && typed.endsWith(QLatin1Char('"'));
}
}   // namespace

namespace SqlNames {

QString TrimPadding(const QString& name)
{
    qsizetype end = name.size();
    while (end > 0 && name[end - 1] == QLatin1Char(' '))
        --end;
    return name.left(end);
}

bool IsRegularIdentifier(const QString& name)
{
    if (name.isEmpty() || !IsUpperStart(name[0]))
        return false;
    for (QChar c : name)
        if (!IsUpperPart(c))
            return false;
    return true;
}

bool NeedsQuotes(const QString& name) { return !IsRegularIdentifier(name); }

QString Identifier(const QString& name)
{
    if (IsRegularIdentifier(name))
        return name;
    QString inner = name;
    inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString StringLiteral(const QString& text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString UserNameKey(const QString& typed)
{
    if (IsDelimited(typed)) {
        QString inner = typed.mid(1, typed.size() - 2);
        inner.replace(QLatin1String("\"\""), QLatin1String("\""));
        return inner;
    }
    const QString upper = typed.toUpper();
    return IsRegularIdentifier(upper) ? upper : typed;
}

QString UserNameSql(const QString& typed)
{
    if (IsDelimited(typed) || IsRegularIdentifier(typed.toUpper()))
        return typed;
    return Identifier(typed);
}

}   // namespace SqlNames
