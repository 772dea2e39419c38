#include "dbaccess/ColumnText.h"

#include "dbaccess/CodePage.h"
#include "dbaccess/Errors.h"
#include "dbaccess/ParamBinding.h"
#include "dbaccess/UserLocale.h"
#include "dbaccess/ValueFormatter.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {
template <class T>
T load(const char* p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

qint64 scaledValue(const char* data, short type)
{
    switch (type) {
    case SQL_SHORT: return load<qint16>(data);
    case SQL_LONG: return load<qint32>(data);
    default: return load<qint64>(data);
    }
}

// A whole number's decimal text, written into the string once.
QString integerText(qint64 value)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    const qsizetype n = res.ptr - buf;
    QString text(n, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < n; ++i)
        out[i] = QLatin1Char(buf[i]);
    return text;
}

double power10(int n)
{
    double p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// An integer with -scale decimals, written exactly.
QString decimalText(qint64 value, int scale, QChar separator)
{
    if (scale >= 0)
        return QString::number(value) + QString(scale, QLatin1Char('0'));
    quint64 divisor = 1;
    for (int i = 0; i < -scale; ++i)
        divisor *= 10;
    const bool negative = value < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
    QString text;
    if (negative)
        text += QLatin1Char('-');
    text += QString::number(magnitude / divisor);
    text += separator;
    text += QString::number(magnitude % divisor).rightJustified(-scale, QLatin1Char('0'));
    return text;
}

double numericDouble(const char* data, const ColumnSlot& s)
{
    switch (s.type) {
    case SQL_FLOAT: return load<float>(data);
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return load<double>(data);
    default: return double(scaledValue(data, s.type)) / power10(-s.scale);
    }
}
}

QString DecodeText(const char* data, int length, const QString& charset)
{
    // Every supported character set agrees with ASCII: widen the bytes
    // straight into the string and hand anything else to the code pages.
    QString text(length, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    unsigned char high = 0;
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        high |= c;
        out[i] = c;
    }
    if (high < 0x80)
        return text;
    return CodePage::Decode(QByteArray(data, length), charset);
}

QString ValueText(const char* row, const ColumnSlot& s, const QString& charset, const ValueFormatter& format)
{
    const char* data = row + s.dataOffset;
    switch (s.type) {
    case SQL_TEXT: {
        // A multi-byte character set pads to the byte length: keep the
        // padding only up to the declared number of characters.
        QString text = DecodeText(data, s.length, charset);
        while (text.size() > s.charLength && text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text;
    }
    case SQL_VARYING: return DecodeText(data + 2, load<quint16>(data), charset);
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        if (s.scale == 0)
            return integerText(scaledValue(data, s.type));
        if (s.kind == ftBCD)
            return decimalText(scaledValue(data, s.type), s.scale, format.Locale().DecimalSeparator);
        return format.Float(numericDouble(data, s));
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return format.Float(numericDouble(data, s));
    case SQL_TIMESTAMP: {
        return format.Timestamp(load<ISC_TIMESTAMP>(data));
    }
    case SQL_TYPE_DATE: return format.Date(load<ISC_DATE>(data));
    case SQL_TYPE_TIME: return format.Time(load<ISC_TIME>(data));
    case SQL_BOOLEAN: return load<char>(data) ? QStringLiteral("True") : QStringLiteral("False");
    default: return QString();
    }
}

qint64 ValueInteger(const char* row, const ColumnSlot& s, const QString& charset, const ValueFormatter& format)
{
    const UserLocale& locale = format.Locale();
    const char* data = row + s.dataOffset;
    switch (s.type) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        if (s.scale == 0)
            return scaledValue(data, s.type);
        return qRound64(numericDouble(data, s));
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return qRound64(numericDouble(data, s));
    case SQL_TIMESTAMP: return qint64(FromServerDate(load<ISC_TIMESTAMP>(data).timestamp_date));
    case SQL_TYPE_DATE: return qint64(FromServerDate(load<ISC_DATE>(data)));
    case SQL_TYPE_TIME: return 0;
    case SQL_BOOLEAN: return load<char>(data) ? 1 : 0;
    case SQL_TEXT:
    case SQL_VARYING: {
        const QString text = ValueText(row, s, charset, format);
        if (auto i = locale.StrToInt64(text))
            return *i;
        throw EDatabaseError(QStringLiteral("Invalid variant type conversion"));
    }
    default: return 0;
    }
}
