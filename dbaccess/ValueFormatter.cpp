#include "dbaccess/ValueFormatter.h"

#include "dbaccess/ParamBinding.h"

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

// Writes value (0..9999, which is all the fast path passes) with at least
// width digits, zeros in front; returns the end.
char16_t* writeNumber(char16_t* out, int value, int width)
{
    const int digits = value >= 1000 ? 4 : value >= 100 ? 3 : value >= 10 ? 2 : 1;
    for (int pad = width - digits; pad > 0; --pad)
        *out++ = u'0';
    char16_t* end = out + digits;
    for (char16_t* p = end; p > out; value /= 10)
        *--p = char16_t(u'0' + value % 10);
    return end;
}

// Characters a compiled format can write at most (numbers of up to four
// digits, which is all the fast path lets through).
qsizetype maxLength(const std::vector<ValueFormatter::Token>& tokens)
{
    qsizetype n = 0;
    for (const ValueFormatter::Token& t : tokens)
        n += t.kind == 'L' ? t.literal.size() : 4;
    return n;
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
}

void ValueFormatter::Room(QString& out, qsizetype size)
{
    // A text no one else holds keeps its memory: the reader's cell texts
    // are written over and over into the same buffer.
    if (!out.isDetached())
        out = QString();
    out.resize(size);
}

void ValueFormatter::Reset(const UserLocale& locale)
{
    FLocale = locale;
    FDateFast = Compile(locale.ShortDateFormat, &FDateTokens);
    FTimeFast = Compile(locale.LongTimeFormat, &FTimeTokens);
    FDateMax = maxLength(FDateTokens);
    FTimeMax = maxLength(FTimeTokens);
}

// Compiles the numeric elements of a date/time format: d dd M MM yy yyyy,
// H HH h hh (24-hour without AP), m mm s ss zzz, quoted text and other
// characters. Anything else makes the format unsuitable (false).
bool ValueFormatter::Compile(const QString& format, std::vector<Token>* tokens)
{
    tokens->clear();
    auto literal = [&](QChar c) {
        if (tokens->empty() || tokens->back().kind != 'L')
            tokens->push_back({'L', QString()});
        tokens->back().literal += c;
    };
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
        char kind = 0;
        switch (c.unicode()) {
        case 'd': kind = run == 1 ? 'd' : run == 2 ? 'D' : 0; break;
        case 'M': kind = run == 1 ? 'M' : run == 2 ? 'N' : 0; break;
        case 'y': kind = run == 2 ? 'y' : run == 4 ? 'Y' : 0; break;
        case 'H':
        case 'h': kind = run == 1 ? 'h' : run == 2 ? 'H' : 0; break;
        case 'm': kind = run == 1 ? 'm' : run == 2 ? 'n' : 0; break;
        case 's': kind = run == 1 ? 's' : run == 2 ? 'S' : 0; break;
        case 'z': kind = run == 3 ? 'z' : 0; break;
        default: break;
        }
        if (kind == 0)
            return false;
        tokens->push_back({kind, QString()});
        i = j;
    }
    return true;
}

char16_t* ValueFormatter::Write(char16_t* out, const std::vector<Token>& tokens, int y, int mo, int d, int h, int mi,
                                int s, int ms) const
{
    for (const Token& t : tokens) {
        switch (t.kind) {
        case 'L':   // separators: a character or two, not worth a memcpy call
            for (QChar c : t.literal)
                *out++ = c.unicode();
            break;
        case 'd': out = writeNumber(out, d, 1); break;
        case 'D': out = writeNumber(out, d, 2); break;
        case 'M': out = writeNumber(out, mo, 1); break;
        case 'N': out = writeNumber(out, mo, 2); break;
        case 'y': out = writeNumber(out, y % 100, 2); break;
        case 'Y': out = writeNumber(out, y, 4); break;
        case 'h': out = writeNumber(out, h, 1); break;
        case 'H': out = writeNumber(out, h, 2); break;
        case 'm': out = writeNumber(out, mi, 1); break;
        case 'n': out = writeNumber(out, mi, 2); break;
        case 's': out = writeNumber(out, s, 1); break;
        case 'S': out = writeNumber(out, s, 2); break;
        case 'z': out = writeNumber(out, ms, 3); break;
        default: break;
        }
    }
    return out;
}

void ValueFormatter::Timestamp(ISC_TIMESTAMP ts, QString& out) const
{
    const double dayValue = FromServerDate(ts.timestamp_date);
    qint64 days = 0, ms = 0;
    if (FDateFast && FTimeFast && ts.timestamp_time % 10 == 0 && ts.timestamp_time < 864000000 && dayValue >= 0 &&
        dayValue < 4194304) {
        // Whole milliseconds on a day count below 2^22: the summed double's
        // last place is under a tenth of a millisecond there, so splitting it
        // would give back exactly these parts. Taken directly, the common case.
        days = qint64(dayValue);
        ms = qint64(ts.timestamp_time / 10);
    } else {
        const double value = dayValue + FromServerTime(ts.timestamp_time);
        if (!FDateFast || !FTimeFast || !splitDayCount(value, &days, &ms)) {
            out = FLocale.DateTimeToStr(value);
            return;
        }
    }
    int y, mo, d;
    civilFromDays(days - 25569, &y, &mo, &d);   // 1899-12-30 is 25569 days before 1970-01-01
    if (y > 9999) {
        out = FLocale.DateTimeToStr(dayValue + FromServerTime(ts.timestamp_time));
        return;
    }
    // One allocation of the longest text the formats can give, cut to size.
    Room(out, FDateMax + 1 + FTimeMax);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    char16_t* end = Write(begin, FDateTokens, y, mo, d, 0, 0, 0, 0);
    if (ms != 0) {
        *end++ = u' ';
        end = Write(end, FTimeTokens, 0, 0, 0, int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60),
                    int(ms % 1000));
    }
    out.truncate(end - begin);
}

void ValueFormatter::Date(ISC_DATE date, QString& out) const
{
    const double value = FromServerDate(date);
    qint64 days = 0, ms = 0;
    if (!FDateFast || !splitDayCount(value, &days, &ms)) {
        out = FLocale.DateToStr(value);
        return;
    }
    int y, mo, d;
    civilFromDays(days - 25569, &y, &mo, &d);
    if (y > 9999) {
        out = FLocale.DateToStr(value);
        return;
    }
    Room(out, FDateMax);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    out.truncate(Write(begin, FDateTokens, y, mo, d, 0, 0, 0, 0) - begin);
}

void ValueFormatter::Time(ISC_TIME time, QString& out) const
{
    const double value = FromServerTime(time);
    qint64 days = 0, ms = 0;
    if (!FTimeFast || !splitDayCount(value, &days, &ms)) {
        out = FLocale.TimeToStr(value);
        return;
    }
    Room(out, FTimeMax);
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    out.truncate(Write(begin, FTimeTokens, 0, 0, 0, int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60),
                       int(ms % 1000)) - begin);
}

// Fifteen significant digits, trailing zeros dropped; plain notation for
// decimal exponents -5..14, otherwise mantissa, "E" and exponent.
void ValueFormatter::Float(double value, QString& out) const
{
    if (!std::isfinite(value) || value == 0) {
        out = FLocale.FloatToStr(value);
        return;
    }
    // The shortest text that reads back as value is cheap to get; when it
    // has at most fifteen significant digits it is also value rounded to
    // fifteen (value lies within half a unit in the last place of it, far
    // less than half a unit in the fifteenth digit; not so for subnormal
    // values, whose last place is coarser). Otherwise round.
    const double magnitude = std::fabs(value);
    char digits[24];
    int count = 0;
    int exponent = 0;
    // Values with up to four decimals (amounts, measures) first: when
    // m / 10^k reads back as value for a whole m below 10^15, the digits of
    // m are such a short text, and integer digits are cheaper than either
    // conversion below.
    static constexpr double Scales[] = {1, 10, 100, 1000, 10000};
    bool found = false;
    if (magnitude < 1e15) {
        for (int k = 0; k < 5 && !found; ++k) {
            const double m = magnitude * Scales[k];
            if (m < 1e15 && m == std::trunc(m) && m / Scales[k] == magnitude) {
                count = int(std::to_chars(digits, digits + sizeof digits, quint64(m)).ptr - digits);
                exponent = count - 1 - k;
                found = true;
            }
        }
    }
    if (!found) {
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
    }
    while (count > 1 && digits[count - 1] == '0')
        --count;

    const char sep = FLocale.DecimalSeparator.unicode() < 128 ? char(FLocale.DecimalSeparator.unicode()) : 0;
    if (sep == 0) {
        out = FLocale.FloatToStr(value);
        return;
    }
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
