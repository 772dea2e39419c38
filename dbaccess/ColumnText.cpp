#include "dbaccess/ColumnText.h"

#include "core/CodePage.h"
#include "core/Errors.h"
#include "dbaccess/ParamBinding.h"
#include "core/UserLocale.h"
#include "dbaccess/ValueFormatter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {
// Widens bytes into dst, one character each; false when one of them is not
// ASCII (dst is then written only in part). Every supported character set
// agrees with ASCII, so most texts need nothing more.
bool widenAscii(const char* src, int length, char16_t* dst)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        if (_mm_movemask_epi8(bytes) != 0)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), _mm_unpackhi_epi8(bytes, zero));
    }
    if (i + 8 <= length) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
        if (_mm_movemask_epi8(bytes) != 0)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(bytes, zero));
        i += 8;
    }
#endif
    unsigned char high = 0;
    for (; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(src[i]);
        high |= c;
        dst[i] = c;
    }
    return high < 0x80;
}

// Text bytes with a character outside ASCII. UTF-8 and the default code
// page, the character sets a session without its own reads in, go straight
// to their decoders; other names through the code page facility.
void decodeWide(const char* data, int length, const QString& charset, QString& out)
{
    if (charset == QLatin1String(CodePage::SessionDefaultCharset))
        out = QString::fromUtf8(data, length);
    else if (charset.isEmpty() || charset == QLatin1String("NONE"))
        out = CodePage::FromAnsi(data, length);
    else
        out = CodePage::Decode(QByteArray(data, length), charset);
}
}

void DecodeText(const char* data, int length, const QString& charset, QString& out)
{
    ValueFormatter::Room(out, length);
    if (!widenAscii(data, length, reinterpret_cast<char16_t*>(out.data())))
        decodeWide(data, length, charset, out);
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
// The character set is looked up only for text outside ASCII.
void paddedText(StoredValue v, const ColumnSlot& s, const QString& connectionCharset, QString& out)
{
    // In ASCII one character per byte: the final size is known, write it once.
    const int size = std::max(v.length, std::min(int(s.length), int(s.charLength)));
    ValueFormatter::Room(out, size);
    char16_t* text = reinterpret_cast<char16_t*>(out.data());
    if (widenAscii(v.data, v.length, text)) {
        std::fill(text + v.length, text + size, u' ');
        return;
    }
    decodeWide(v.data, v.length, CodePage::ValueCharset(connectionCharset, s.subtype), out);
    out += QString(s.length - v.length, QLatin1Char(' '));
    while (out.size() > s.charLength && out.endsWith(QLatin1Char(' ')))
        out.chop(1);
}

// A VARCHAR as stored, decoded by its character set.
void varyingText(StoredValue v, const ColumnSlot& s, const QString& connectionCharset, QString& out)
{
    ValueFormatter::Room(out, v.length);
    if (!widenAscii(v.data, v.length, reinterpret_cast<char16_t*>(out.data())))
        decodeWide(v.data, v.length, CodePage::ValueCharset(connectionCharset, s.subtype), out);
}
}

void ValueText(StoredValue v, const ColumnSlot& s, const QString& charset, const ValueFormatter& format, QString& out)
{
    const char* data = v.data;
    switch (s.server->value) {
    case ValueClass::FixedText: paddedText(v, s, charset, out); return;
    case ValueClass::VaryingText: varyingText(v, s, charset, out); return;
    case ValueClass::ScaledInteger:
        if (s.scale == 0)
            ValueFormatter::Integer(scaledValue(data, s.server->size), out);
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
