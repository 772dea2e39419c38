#include "dbaccess/ConnectionParams.h"

#include "core/CodePage.h"
#include "core/Errors.h"

#include <QList>
#include <ibase.h>

namespace {
void appendString(QByteArray& dpb, char code, const QByteArray& bytes)
{
    if (bytes.size() > 255)
        throw EIBClientError(QStringLiteral("Connection parameter value too long"));
    dpb.append(code);
    dpb.append(char(bytes.size()));
    dpb.append(bytes);
}

// Whole seconds, 0 to one day; anything else is refused rather than read
// as some other number.
int parseTimeout(const QString& value)
{
    const QString text = value.trimmed();
    bool digits = !text.isEmpty() && text.size() <= 6;
    for (QChar c : text)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int seconds = digits ? text.toInt() : -1;
    if (seconds < 0 || seconds > 86400)
        throw EIBClientError(QStringLiteral("Invalid connect_timeout value: %1").arg(value));
    return seconds;
}
}

ConnectionParams BuildConnectionParams(const QStringList& lines)
{
    struct Entry { char code; QString value; };
    QList<Entry> entries;
    ConnectionParams result;
    result.ConnectTimeout = DefaultConnectTimeout;
    bool charsetGiven = false;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        QString name = (eq < 0 ? line : line.left(eq)).trimmed().toLower();
        if (name.isEmpty())
            continue;
        if (name.startsWith(QLatin1String("isc_dpb_")))
            name = name.mid(8);
        const QString value = eq < 0 ? QString() : line.mid(eq + 1);
        if (name == QLatin1String("user_name"))
            entries.append({char(isc_dpb_user_name), value});
        else if (name == QLatin1String("password"))
            entries.append({char(isc_dpb_password), value});
        else if (name == QLatin1String("lc_ctype")) {
            if (value.trimmed().isEmpty())
                continue;   // a blank character set names none
            entries.append({char(isc_dpb_lc_ctype), value});
            result.Charset = value.trimmed().toUpper();
            charsetGiven = true;
        } else if (name == QLatin1String("sql_role_name"))
            entries.append({char(isc_dpb_sql_role_name), value});
        else if (name == QLatin1String("connect_timeout"))
            result.ConnectTimeout = parseTimeout(value);
    }

    QByteArray& dpb = result.Dpb;
    dpb.append(char(isc_dpb_version1));
    for (const Entry& e : entries)
        appendString(dpb, e.code, CodePage::Encode(e.value, result.Charset));
    if (!charsetGiven)
        appendString(dpb, char(isc_dpb_lc_ctype), QByteArray(CodePage::SessionDefaultCharset));
    if (result.ConnectTimeout > 0) {
        // A number item: four bytes, least significant first.
        const quint32 seconds = quint32(result.ConnectTimeout);
        dpb.append(char(isc_dpb_connect_timeout));
        dpb.append(char(4));
        for (int shift = 0; shift < 32; shift += 8)
            dpb.append(char((seconds >> shift) & 0xFF));
    }
    return result;
}
