#include "dbaccess/ColumnText.h"

#include "core/CodePage.h"
#include "core/Errors.h"
#include "dbaccess/ParamBinding.h"
#include "core/UserLocale.h"
#include "dbaccess/ValueFormatter.h"

#include <algorithm>
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

// A whole number of 2, 4 or 8 bytes.
qint64 scaledValue(const char* data, short size)
{
    switch (size) {
    case 2: return load<qint16>(data);
    case 4: return load<qint32>(data);
    default: return load<qint64>(data);
    }
}

// A whole number's decimal text, written into out once.
void integerText(qint64 value, QString& out)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    const qsizetype n = res.ptr - buf;
    ValueFormatter::Room(out, n);
    char16_t* text = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < n; ++i)
        text[i] = char16_t(buf[i]);
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
    if (s.server->value == ValueClass::Float)
        return s.server->size == 4 ? double(load<float>(data)) : load<double>(data);
    return double(scaledValue(data, s.server->size)) / power10(-s.scale);
}
}

void DecodeText(const char* data, int length, const QString& charset, QString& out)
{
    // Every supported character set agrees with ASCII: widen the bytes
    // straight into the string and hand anything else to the code pages.
    ValueFormatter::Room(out, length);
    char16_t* text = reinterpret_cast<char16_t*>(out.data());
    unsigned char high = 0;
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        high |= c;
        text[i] = c;
    }
    if (high >= 0x80)
        out = CodePage::Decode(QByteArray(data, length), charset);
}

QString DecodeText(const char* data, int length, const QString& charset)
{
    QString text;
    DecodeText(data, length, charset, text);
    return text;
}

namespace {
// A CHAR stored without its trailing blanks, padded as the server sent it:
// to the declared length in bytes, then cut back (blanks only) to the
// declared number of characters, which matters for multi-byte character sets.
void paddedText(StoredValue v, const ColumnSlot& s, const QString& charset, QString& out)
{
    const int padding = s.length - v.length;
    bool ascii = true;
    for (int i = 0; i < v.length && ascii; ++i)
        ascii = static_cast<unsigned char>(v.data[i]) < 0x80;
    if (ascii) {
        // One character per byte: the final size is known, write it once.
        const int size = std::max(v.length, std::min(v.length + padding, int(s.charLength)));
        ValueFormatter::Room(out, size);
        char16_t* text = reinterpret_cast<char16_t*>(out.data());
        for (int i = 0; i < v.length; ++i)
            text[i] = static_cast<unsigned char>(v.data[i]);
        for (int i = v.length; i < size; ++i)
            text[i] = u' ';
        return;
    }
    out = DecodeText(v.data, v.length, charset);
    out += QString(padding, QLatin1Char(' '));
    while (out.size() > s.charLength && out.endsWith(QLatin1Char(' ')))
        out.chop(1);
}
}

void ValueText(StoredValue v, const ColumnSlot& s, const QString& charset, const ValueFormatter& format, QString& out)
{
    const char* data = v.data;
    switch (s.server->value) {
    case ValueClass::FixedText: paddedText(v, s, CodePage::ValueCharset(charset, s.subtype), out); return;
    case ValueClass::VaryingText: DecodeText(data, v.length, CodePage::ValueCharset(charset, s.subtype), out); return;
    case ValueClass::ScaledInteger:
        if (s.scale == 0)
            integerText(scaledValue(data, s.server->size), out);
        else if (s.kind == ftBCD)
            out = decimalText(scaledValue(data, s.server->size), s.scale, format.Locale().DecimalSeparator);
        else
            format.Float(numericDouble(data, s), out);
        return;
    case ValueClass::Float: format.Float(numericDouble(data, s), out); return;
    case ValueClass::Timestamp: format.Timestamp(load<ISC_TIMESTAMP>(data), out); return;
    case ValueClass::Date: format.Date(load<ISC_DATE>(data), out); return;
    case ValueClass::Time: format.Time(load<ISC_TIME>(data), out); return;
    case ValueClass::Boolean: out = load<char>(data) ? QStringLiteral("True") : QStringLiteral("False"); return;
    case ValueClass::Blob: break;   // read by the query, through its transaction
    }
    out = QString();
}

QString ValueText(StoredValue v, const ColumnSlot& s, const QString& charset, const ValueFormatter& format)
{
    QString text;
    ValueText(v, s, charset, format, text);
    return text;
}

qint64 ValueInteger(StoredValue v, const ColumnSlot& s, const QString& charset, const ValueFormatter& format)
{
    const UserLocale& locale = format.Locale();
    const char* data = v.data;
    switch (s.server->value) {
    case ValueClass::ScaledInteger:
        if (s.scale == 0)
            return scaledValue(data, s.server->size);
        return qRound64(numericDouble(data, s));
    case ValueClass::Float: return qRound64(numericDouble(data, s));
    case ValueClass::Timestamp: return qint64(FromServerDate(load<ISC_TIMESTAMP>(data).timestamp_date));
    case ValueClass::Date: return qint64(FromServerDate(load<ISC_DATE>(data)));
    case ValueClass::Time: return 0;
    case ValueClass::Boolean: return load<char>(data) ? 1 : 0;
    case ValueClass::FixedText:
    case ValueClass::VaryingText: {
        const QString text = ValueText(v, s, charset, format);
        if (auto i = locale.StrToInt64(text))
            return *i;
        throw EDatabaseError(QStringLiteral("Invalid variant type conversion"));
    }
    case ValueClass::Blob: break;
    }
    return 0;
}
