#include "dbaccess/ValueFormatter.h"

#include "dbaccess/ParamBinding.h"

#include <QVarLengthArray>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
constexpr qint64 MSecsPerDay = 86400000;

// Civil date of a day count since 1970-01-01 (proleptic Gregorian).
void civilFromDays(qint64 z, int* y, int* m, int* d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 year = qint64(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = int(doy - (153 * mp + 2) / 5 + 1);
    *m = int(mp < 10 ? mp + 3 : mp - 9);
    *y = int(year + (*m <= 2 ? 1 : 0));
}

// "00" to "99": numbers are written two digits at a time.
constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline void writePair(char16_t* out, unsigned value)
{
    out[0] = char16_t(DigitPairs[2 * value]);
    out[1] = char16_t(DigitPairs[2 * value + 1]);
}

// Writes the digits of value backwards, ending at end; returns the start.
inline char16_t* writeBackwards(char16_t* end, quint64 value)
{
    while (value >= 100) {
        end -= 2;
        writePair(end, unsigned(value % 100));
        value /= 100;
    }
    if (value >= 10) {
        end -= 2;
        writePair(end, unsigned(value));
    } else {
        *--end = char16_t(u'0' + value);
    }
    return end;
}

// Powers of ten of the decimals the number writer takes directly.
constexpr quint64 Pow10[] = {1, 10, 100, 1000, 10000};

// A part of a date or time of at least width digits, zeros in front: a
// year up to 9999 or a part below 1000, all the fast path lets through.
inline char16_t* writePart(char16_t* out, unsigned value, int width)
{
    if (value >= 1000 || width == 4) {
        writePair(out, value / 100 % 100);
        writePair(out + 2, value % 100);
        return out + 4;
    }
    if (value >= 100 || width == 3) {
        *out = char16_t(u'0' + value / 100);
        writePair(out + 1, value % 100);
        return out + 3;
    }
    if (value >= 10 || width == 2) {
        writePair(out, value);
        return out + 2;
    }
    *out = char16_t(u'0' + value);
    return out + 1;
}

// A part of a fixed width (2, 3 or 4 digits) over its room in a pattern.
inline void writeFixedPart(char16_t* at, unsigned value, int width)
{
    switch (width) {
    case 2: writePair(at, value); break;
    case 3:
        at[0] = char16_t(u'0' + value / 100);
        writePair(at + 1, value % 100);
        break;
    default:
        writePair(at, value / 100 % 100);
        writePair(at + 2, value % 100);
        break;
    }
}

// The day count value as UserLocale splits it: whole days and rounded
// milliseconds, rolling over at midnight. False for values it would not
// treat as a plain positive day count.
bool splitDayCount(double value, qint64* days, qint64* ms)
{
    if (!(value >= 0) || value > 1.0e8)
        return false;
    const double whole = std::trunc(value);
    *days = qint64(whole);
    *ms = qint64(std::llround((value - whole) * double(MSecsPerDay)));
    if (*ms >= MSecsPerDay) {
        *ms -= MSecsPerDay;
        *days += 1;
    }
    return true;
}

// The parts of a date, by ValueFormatter::Part; false past the year 9999,
// which the compiled formats do not write.
bool dateParts(qint64 days, unsigned* parts)
{
    int y, mo, d;
    civilFromDays(days - 25569, &y, &mo, &d);   // 1899-12-30 is 25569 days before 1970-01-01
    if (y > 9999)
        return false;
    parts[ValueFormatter::Year] = unsigned(y);
    parts[ValueFormatter::ShortYear] = unsigned(y % 100);
    parts[ValueFormatter::Month] = unsigned(mo);
    parts[ValueFormatter::Day] = unsigned(d);
    return true;
}

// The parts of a time of day in milliseconds.
void timeParts(qint64 ms, unsigned* parts)
{
    parts[ValueFormatter::Hour] = unsigned(ms / 3600000);
    parts[ValueFormatter::Minute] = unsigned(ms / 60000 % 60);
    parts[ValueFormatter::Second] = unsigned(ms / 1000 % 60);
    parts[ValueFormatter::Milli] = unsigned(ms % 1000);
}
}

void ValueFormatter::Room(QString& out, qsizetype size)
{
    // A text no one else holds keeps its memory: the reader's cell texts
    // are written over and over into the same buffer, most often at the
    // length they had, which needs no call into the string at all.
    if (out.isDetached()) {
        if (out.size() != size)
            out.resize(size);
        return;
    }
    out = QString();
    out.resize(size);
}

void ValueFormatter::Assign(QString& out, const char16_t* text, qsizetype size)
{
    Room(out, size);
    std::memcpy(static_cast<void*>(out.data()), text, size_t(size) * sizeof(char16_t));
}

void ValueFormatter::Integer(qint64 value, QString& out)
{
    char16_t text[24];
    char16_t* const end = text + sizeof text / sizeof text[0];
    char16_t* start = writeBackwards(end, value < 0 ? quint64(0) - quint64(value) : quint64(value));
    if (value < 0)
        *--start = u'-';
    Assign(out, start, end - start);
}

void ValueFormatter::Reset(const UserLocale& locale)
{
    FLocale = locale;
    Compile(locale.ShortDateFormat, &FDate);
    Compile(locale.LongTimeFormat, &FTime);
}

// Compiles the numeric elements of a date/time format: d dd M MM yy yyyy,
// H HH h hh (24-hour without AP), m mm s ss zzz, quoted text and other
// characters. Anything else makes the format unsuitable (false).
void ValueFormatter::Compile(const QString& format, Format* compiled)
{
    *compiled = Format();
    std::vector<Token>* tokens = &compiled->tokens;
    auto literal = [&](QChar c) { tokens->push_back({Literal, 1, c.unicode()}); };
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            if (i + 1 < n && format[i + 1] == QLatin1Char('\'')) {
                literal(c);
                i += 2;
                continue;
            }
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                if (format[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && format[j + 1] == QLatin1Char('\'')) {
                        literal(format[j]);
                        ++j;
                        continue;
                    }
                    break;
                }
                literal(format[j]);
            }
            i = j + 1;
            continue;
        }
        if (!c.isLetter()) {
            literal(c);
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && format[j] == c)
            ++j;
        const int run = int(j - i);
        Part part = Literal;
        switch (c.unicode()) {
        case 'd': part = run <= 2 ? Day : Literal; break;
        case 'M': part = run <= 2 ? Month : Literal; break;
        case 'y': part = run == 2 ? ShortYear : run == 4 ? Year : Literal; break;
        case 'H':
        case 'h': part = run <= 2 ? Hour : Literal; break;
        case 'm': part = run <= 2 ? Minute : Literal; break;
        case 's': part = run <= 2 ? Second : Literal; break;
        case 'z': part = run == 3 ? Milli : Literal; break;
        default: break;
        }
        if (part == Literal)
            return;
        tokens->push_back({part, static_cast<signed char>(run), 0});
        i = j;
    }
    compiled->fast = true;
    // The parts are of a fixed width when written with two digits or more
    // (a year, the milliseconds and the two-digit parts never need more).
    compiled->fixed = true;
    for (const Token& t : *tokens) {
        compiled->max += t.part == Literal ? 1 : 4;
        if (t.part != Literal && t.width == 1)
            compiled->fixed = false;
    }
    if (compiled->fixed) {
        for (const Token& t : *tokens) {
            if (t.part != Literal)
                compiled->placed.push_back({static_cast<unsigned short>(compiled->pattern.size()), t});
            compiled->pattern.insert(compiled->pattern.end(), size_t(t.part == Literal ? 1 : t.width), t.ch);
        }
    }
}

char16_t* ValueFormatter::Write(char16_t* out, const Format& format, const unsigned* parts)
{
    for (const Token& t : format.tokens) {
        if (t.part == Literal)
            *out++ = t.ch;
        else
            out = writePart(out, parts[t.part], t.width);
    }
    return out;
}

void ValueFormatter::Compose(const Format& first, const Format* second, const unsigned* parts, QString& out)
{
    if (first.fixed && (!second || second->fixed)) {
        // The length is known: write straight into out.
        const qsizetype firstSize = qsizetype(first.pattern.size());
        Room(out, firstSize + (second ? 1 + qsizetype(second->pattern.size()) : 0));
        char16_t* const text = reinterpret_cast<char16_t*>(out.data());
        auto fill = [parts](char16_t* at, const Format& f) {
            std::copy(f.pattern.begin(), f.pattern.end(), at);
            for (const auto& [offset, t] : f.placed)
                writeFixedPart(at + offset, parts[t.part], t.width);
        };
        fill(text, first);
        if (second) {
            text[firstSize] = u' ';
            fill(text + firstSize + 1, *second);
        }
        return;
    }
    // On the stack at the longest the formats can give, then copied at its length.
    QVarLengthArray<char16_t, 128> text(first.max + (second ? 1 + second->max : 0));
    char16_t* end = Write(text.data(), first, parts);
    if (second) {
        *end++ = u' ';
        end = Write(end, *second, parts);
    }
    Assign(out, text.data(), end - text.data());
}

void ValueFormatter::Timestamp(ISC_TIMESTAMP ts, QString& out) const
{
    const double dayValue = FromServerDate(ts.timestamp_date);
    qint64 days = 0, ms = 0;
    if (FDate.fast && FTime.fast && ts.timestamp_time % 10 == 0 && ts.timestamp_time < 864000000 && dayValue >= 0 &&
        dayValue < 4194304) {
        // Whole milliseconds on a day count below 2^22: the summed double's
        // last place is under a tenth of a millisecond there, so splitting it
        // would give back exactly these parts. Taken directly, the common case.
        days = qint64(dayValue);
        ms = qint64(ts.timestamp_time / 10);
    } else {
        const double value = dayValue + FromServerTime(ts.timestamp_time);
        if (!FDate.fast || !FTime.fast || !splitDayCount(value, &days, &ms)) {
            out = FLocale.DateTimeToStr(value);
            return;
        }
    }
    unsigned parts[PartCount];
    if (!dateParts(days, parts)) {
        out = FLocale.DateTimeToStr(dayValue + FromServerTime(ts.timestamp_time));
        return;
    }
    timeParts(ms, parts);
    Compose(FDate, ms != 0 ? &FTime : nullptr, parts, out);
}

void ValueFormatter::Date(ISC_DATE date, QString& out) const
{
    const double value = FromServerDate(date);
    qint64 days = 0, ms = 0;
    if (!FDate.fast || !splitDayCount(value, &days, &ms)) {
        out = FLocale.DateToStr(value);
        return;
    }
    unsigned parts[PartCount];
    if (!dateParts(days, parts)) {
        out = FLocale.DateToStr(value);
        return;
    }
    Compose(FDate, nullptr, parts, out);
}

void ValueFormatter::Time(ISC_TIME time, QString& out) const
{
    const double value = FromServerTime(time);
    qint64 days = 0, ms = 0;
    if (!FTime.fast || !splitDayCount(value, &days, &ms)) {
        out = FLocale.TimeToStr(value);
        return;
    }
    unsigned parts[PartCount];
    timeParts(ms, parts);
    Compose(FTime, nullptr, parts, out);
}

// Fifteen significant digits, trailing zeros dropped; plain notation for
// decimal exponents -5..14, otherwise mantissa, "E" and exponent.
void ValueFormatter::Float(double value, QString& out) const
{
    if (!std::isfinite(value) || value == 0) {
        out = FLocale.FloatToStr(value);
        return;
    }
    const double magnitude = std::fabs(value);
    const char sep = FLocale.DecimalSeparator.unicode() < 128 ? char(FLocale.DecimalSeparator.unicode()) : 0;
    if (sep == 0) {
        out = FLocale.FloatToStr(value);
        return;
    }
    // Values with up to four decimals (amounts, measures) first: when
    // m / 10^k reads back as value for a whole m below 10^15, the digits of
    // m are such a short text, and integer digits are cheaper than either
    // conversion below. Such a value is at least 10^-4 and below 10^15, so
    // it is written plainly: the whole part, and the decimals of m without
    // their trailing zeros.
    static constexpr double Scales[] = {1, 10, 100, 1000, 10000};
    if (magnitude < 1e15) {
        for (int k = 0; k < 5; ++k) {
            const double m = magnitude * Scales[k];
            if (m < 1e15 && double(quint64(m)) == m && m / Scales[k] == magnitude) {
                const quint64 whole = quint64(m) / Pow10[k];
                quint64 fraction = quint64(m) % Pow10[k];
                int places = k;
                while (places > 0 && fraction % 10 == 0) {
                    fraction /= 10;
                    --places;
                }
                // Written backwards from the end: the decimals, the
                // separator, the whole part and the sign.
                char16_t text[32];
                char16_t* const end = text + 32;
                char16_t* start = end;
                if (places > 0) {
                    start = writeBackwards(start, fraction);
                    while (start > end - places)
                        *--start = u'0';
                    *--start = char16_t(sep);
                }
                start = writeBackwards(start, whole);
                if (value < 0)
                    *--start = u'-';
                Assign(out, start, end - start);
                return;
            }
        }
    }
    // The shortest text that reads back as value is cheap to get; when it
    // has at most fifteen significant digits it is also value rounded to
    // fifteen (value lies within half a unit in the last place of it, far
    // less than half a unit in the fifteenth digit; not so for subnormal
    // values, whose last place is coarser). Otherwise round.
    char digits[24];
    int count = 0;
    int exponent = 0;
    char buf[40];
    const bool normal = magnitude >= std::numeric_limits<double>::min();
    auto res = normal ? std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific)
                      : std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 14);
    const char* e = buf;
    for (; e < res.ptr && *e != 'e'; ++e)
        if (*e >= '0' && *e <= '9' && count < int(sizeof digits))
            digits[count++] = *e;
    if (count > 15) {
        res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 14);
        count = 0;
        for (e = buf; e < res.ptr && *e != 'e'; ++e)
            if (*e >= '0' && *e <= '9')
                digits[count++] = *e;
    }
    std::from_chars(e + (e[1] == '+' ? 2 : 1), res.ptr, exponent);
    while (count > 1 && digits[count - 1] == '0')
        --count;

    char text[48];
    int n = 0;
    if (value < 0)
        text[n++] = '-';
    if (exponent < -5 || exponent >= 15) {
        text[n++] = digits[0];
        if (count > 1) {
            text[n++] = sep;
            for (int i = 1; i < count; ++i)
                text[n++] = digits[i];
        }
        text[n++] = 'E';
        n += int(std::to_chars(text + n, text + sizeof text, exponent).ptr - (text + n));
    } else if (exponent < 0) {
        text[n++] = '0';
        text[n++] = sep;
        for (int i = 0; i < -exponent - 1; ++i)
            text[n++] = '0';
        for (int i = 0; i < count; ++i)
            text[n++] = digits[i];
    } else if (count <= exponent + 1) {
        for (int i = 0; i < count; ++i)
            text[n++] = digits[i];
        for (int i = count; i < exponent + 1; ++i)
            text[n++] = '0';
    } else {
        for (int i = 0; i < exponent + 1; ++i)
            text[n++] = digits[i];
        text[n++] = sep;
        for (int i = exponent + 1; i < count; ++i)
            text[n++] = digits[i];
    }
    Room(out, n);
    char16_t* dest = reinterpret_cast<char16_t*>(out.data());
    for (int i = 0; i < n; ++i)
        dest[i] = char16_t(static_cast<unsigned char>(text[i]));
}
