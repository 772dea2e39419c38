#include "core/UserLocale.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

constexpr qint64 MSecsPerDay = 86400000;
// Day counts beyond this are no calendar date (about year 275000).
constexpr double MaxDays = 1.0e8;

const QDate& BaseDate()
{
    static const QDate base(1899, 12, 30);
    return base;
}

std::mutex& CurrentMutex()
{
    static std::mutex m;
    return m;
}

std::optional<UserLocale>& CurrentSlot()
{
    static std::optional<UserLocale> slot;
    return slot;
}

// Replaces every run of the letter `letter` outside quoted literals by the
// result of `replace(runLength)`.
template <typename Fn>
QString MapRuns(const QString& format, QChar letter, Fn replace)
{
    QString result;
    bool quoted = false;
    for (int i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == '\'') {
            quoted = !quoted;
            result += c;
            ++i;
            continue;
        }
        if (!quoted && c == letter) {
            int j = i;
            while (j < format.size() && format[j] == letter)
                ++j;
            result += replace(j - i);
            i = j;
            continue;
        }
        result += c;
        ++i;
    }
    return result;
}

// A short date format with a four-digit year whatever the locale says.
QString FourDigitYears(const QString& format)
{
    return MapRuns(format, 'y', [](int) { return QStringLiteral("yyyy"); });
}

// A long time format without the time zone fields and the blanks around them.
QString WithoutTimeZone(const QString& format)
{
    QString marked = MapRuns(format, 't', [](int) { return QString(QChar(0x1)); });
    static const QRegularExpression zone(QStringLiteral("\\s*\\x{1}\\s*"));
    // A zone between two fields leaves one blank; at either end, nothing.
    QString result;
    qsizetype pos = 0;
    auto it = zone.globalMatch(marked);
    while (it.hasNext()) {
        const auto m = it.next();
        result += marked.mid(pos, m.capturedStart() - pos);
        const bool atStart = m.capturedStart() == 0;
        const bool atEnd = m.capturedEnd() == marked.size();
        if (!atStart && !atEnd)
            result += ' ';
        pos = m.capturedEnd();
    }
    result += marked.mid(pos);
    return result.trimmed();
}

bool IsBlank(QChar c)
{
    return c == ' ' || c == '\t';
}

QString TrimBlanks(const QString& text)
{
    int b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return text.mid(b, e - b);
}

// The order of day, month and year in a date format ("dMy", "Mdy", "yMd"...),
// empty when the format has names or lacks a field.
QString FieldOrder(const QString& format)
{
    QString order;
    bool quoted = false;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || (c != 'd' && c != 'M' && c != 'y'))
            continue;
        int j = i;
        while (j < format.size() && format[j] == c)
            ++j;
        if ((c == 'd' || c == 'M') && j - i > 2)
            return {}; // day or month names
        if (!order.contains(c))
            order += c;
        i = j - 1;
    }
    return order.size() == 3 ? order : QString();
}

// A one- or two-digit year within fifty years of today.
int ExpandYear(int year, int digits)
{
    if (digits > 2)
        return year;
    const int current = QDate::currentDate().year();
    int full = current - current % 100 + year;
    if (full > current + 50)
        full -= 100;
    else if (full <= current - 50)
        full += 100;
    return full;
}

// Reads a date as three numbers in the order of the format, separated by any
// characters that are neither digits nor letters.
std::optional<QDate> ParseNumericDate(const QString& text, const QString& order)
{
    QList<int> values;
    QList<int> digits;
    int i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.isLetter())
            return std::nullopt;
        if (!c.isDigit()) {
            ++i;
            continue;
        }
        int j = i;
        while (j < text.size() && text[j].isDigit())
            ++j;
        if (j - i > 4)
            return std::nullopt;
        values.append(text.mid(i, j - i).toInt());
        digits.append(j - i);
        i = j;
    }
    if (values.size() != 3)
        return std::nullopt;
    int day = 0, month = 0, year = 0;
    for (int k = 0; k < 3; ++k) {
        switch (order[k].unicode()) {
        case 'd': day = values[k]; break;
        case 'M': month = values[k]; break;
        default: year = ExpandYear(values[k], digits[k]); break;
        }
    }
    if (year < 1)
        return std::nullopt;
    const QDate d(year, month, day);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

// The character between the hour and minute fields of a time format.
QChar TimeSeparator(const QString& format)
{
    for (int i = 0; i + 1 < format.size(); ++i) {
        if ((format[i] == 'h' || format[i] == 'H') && format[i + 1] != 'h' && format[i + 1] != 'H')
            return format[i + 1];
    }
    return ':';
}

std::optional<QTime> ParseTime(const QString& text, const QString& format)
{
    const QString sep = QRegularExpression::escape(QString(TimeSeparator(format)));
    const QRegularExpression re(
        QStringLiteral("^(\\d{1,2})%1(\\d{1,2})(?:%1(\\d{1,2})(?:[.,](\\d{1,3}))?)?\\s*([AaPp][Mm]?)?$").arg(sep));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int hour = m.captured(1).toInt();
    const int minute = m.captured(2).toInt();
    const int second = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    int msec = 0;
    if (!m.captured(4).isEmpty()) {
        QString ms = m.captured(4);
        while (ms.size() < 3)
            ms += '0';
        msec = ms.toInt();
    }
    const QString marker = m.captured(5).toUpper();
    if (!marker.isEmpty()) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        if (marker.startsWith('A'))
            hour = hour == 12 ? 0 : hour;
        else
            hour = hour == 12 ? 12 : hour + 12;
    }
    const QTime t(hour, minute, second, msec);
    if (!t.isValid())
        return std::nullopt;
    return t;
}

} // namespace

// ---------------------------------------------------------------- instances

UserLocale UserLocale::FromSystem()
{
    const QLocale sys = QLocale::system();
    UserLocale l;
    // The C locale's short date has month names; the numeric defaults serve
    // a user without a locale better.
    if (sys.language() == QLocale::C)
        return l;
    const QString dec = sys.decimalPoint();
    const QString grp = sys.groupSeparator();
    l.DecimalSeparator = dec.isEmpty() ? QChar('.') : dec[0];
    l.ThousandSeparator = grp.isEmpty() ? QChar(',') : grp[0];
    const QString date = sys.dateFormat(QLocale::ShortFormat);
    if (!date.isEmpty())
        l.ShortDateFormat = FourDigitYears(date);
    const QString time = WithoutTimeZone(sys.timeFormat(QLocale::LongFormat));
    if (!time.isEmpty())
        l.LongTimeFormat = time;
    return l;
}

const UserLocale& UserLocale::Current()
{
    std::lock_guard lock(CurrentMutex());
    auto& slot = CurrentSlot();
    if (!slot)
        slot = FromSystem();
    return *slot;
}

void UserLocale::SetCurrent(const UserLocale& locale)
{
    std::lock_guard lock(CurrentMutex());
    CurrentSlot() = locale;
}

// ---------------------------------------------------------------- numbers

QString UserLocale::FloatToStr(double value) const
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    // Fifteen significant digits, rounded by the C library.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    const char* e = std::strchr(buf, 'e');
    int exponent = std::atoi(e + 1);
    QString digits;
    for (const char* p = buf; p < e; ++p)
        if (*p >= '0' && *p <= '9')
            digits += QLatin1Char(*p);
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    QString result = value < 0 ? QStringLiteral("-") : QString();
    if (exponent < -5 || exponent >= 15) {
        result += digits[0];
        if (digits.size() > 1)
            result += DecimalSeparator + digits.mid(1);
        // "1E20", "1.5E-7": a sign only for negative exponents.
        result += 'E';
        result += QString::number(exponent);
        return result;
    }
    if (exponent < 0) {
        result += '0';
        result += DecimalSeparator;
        result += QString(-exponent - 1, '0');
        result += digits;
        return result;
    }
    if (digits.size() <= exponent + 1) {
        result += digits + QString(exponent + 1 - digits.size(), '0');
    } else {
        result += digits.left(exponent + 1);
        result += DecimalSeparator;
        result += digits.mid(exponent + 1);
    }
    return result;
}

std::optional<double> UserLocale::StrToFloat(const QString& text) const
{
    const QString t = TrimBlanks(text);
    QByteArray ascii;
    ascii.reserve(t.size());
    int i = 0;
    auto take = [&](auto pred) {
        int n = 0;
        while (i < t.size() && pred(t[i])) {
            ascii += char(t[i].unicode());
            ++i;
            ++n;
        }
        return n;
    };
    auto isDigit = [](QChar c) { return c >= '0' && c <= '9'; };
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ascii += char(t[i++].unicode());
    int mantissa = take(isDigit);
    if (i < t.size() && t[i] == DecimalSeparator) {
        ascii += '.';
        ++i;
        mantissa += take(isDigit);
    }
    if (mantissa == 0)
        return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ascii += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ascii += char(t[i++].unicode());
        if (take(isDigit) == 0)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    bool ok = false;
    const double v = ascii.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<qint64> UserLocale::StrToInt64(const QString& text) const
{
    const QString t = TrimBlanks(text);
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    if (i == t.size())
        return std::nullopt;
    // Accumulate negatively so that the smallest value fits.
    qint64 v = 0;
    constexpr qint64 Min = std::numeric_limits<qint64>::min();
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        const int d = c.unicode() - '0';
        if (v < (Min + d) / 10)
            return std::nullopt;
        v = v * 10 - d;
    }
    if (!negative) {
        if (v == Min)
            return std::nullopt;
        v = -v;
    }
    return v;
}

std::optional<int> UserLocale::StrToInt(const QString& text) const
{
    const auto v = StrToInt64(text);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*v);
}

// ---------------------------------------------------------------- dates and times

QString UserLocale::DateToStr(double dateTime) const
{
    const QDate d = DateTimeValue::ToDate(dateTime);
    return d.isValid() ? d.toString(ShortDateFormat) : QString();
}

QString UserLocale::TimeToStr(double dateTime) const
{
    const QTime t = DateTimeValue::ToTime(dateTime);
    return t.isValid() ? t.toString(LongTimeFormat) : QString();
}

QString UserLocale::DateTimeToStr(double dateTime) const
{
    const QDateTime dt = DateTimeValue::ToDateTime(dateTime);
    if (!dt.isValid())
        return {};
    QString result = dt.date().toString(ShortDateFormat);
    if (dt.time() != QTime(0, 0))
        result += ' ' + dt.time().toString(LongTimeFormat);
    return result;
}

std::optional<double> UserLocale::StrToDate(const QString& text) const
{
    const QString t = TrimBlanks(text);
    if (t.isEmpty())
        return std::nullopt;
    const QString order = FieldOrder(ShortDateFormat);
    if (!order.isEmpty()) {
        if (const auto d = ParseNumericDate(t, order))
            return DateTimeValue::FromDate(*d);
        return std::nullopt;
    }
    // A format with month or day names: the toolkit's parser.
    const QDate d = QDate::fromString(t, ShortDateFormat);
    if (!d.isValid())
        return std::nullopt;
    return DateTimeValue::FromDate(d);
}

std::optional<double> UserLocale::StrToTime(const QString& text) const
{
    const QString t = TrimBlanks(text);
    if (t.isEmpty())
        return std::nullopt;
    if (const auto parsed = ParseTime(t, LongTimeFormat))
        return DateTimeValue::FromTime(*parsed);
    const QTime q = QTime::fromString(t, LongTimeFormat);
    if (!q.isValid())
        return std::nullopt;
    return DateTimeValue::FromTime(q);
}

std::optional<double> UserLocale::StrToDateTime(const QString& text) const
{
    const QString t = TrimBlanks(text);
    if (const auto d = StrToDate(t))
        return d;
    // The date format itself may contain blanks: try every blank as the
    // boundary, the rightmost first.
    for (qsizetype i = t.lastIndexOf(' '); i > 0; i = t.lastIndexOf(' ', i - 1)) {
        const auto d = StrToDate(t.left(i));
        if (!d)
            continue;
        const auto tm = StrToTime(t.mid(i + 1));
        if (!tm)
            continue;
        return *d < 0 ? *d - *tm : *d + *tm;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- day counts

namespace DateTimeValue {

double FromDate(const QDate& d)
{
    return double(BaseDate().daysTo(d));
}

double FromTime(const QTime& t)
{
    return double(t.msecsSinceStartOfDay()) / double(MSecsPerDay);
}

double FromDateTime(const QDateTime& dt)
{
    const double days = FromDate(dt.date());
    const double time = FromTime(dt.time());
    // Before the base date the time of day still counts forward from midnight.
    return days < 0 ? days - time : days + time;
}

QDateTime ToDateTime(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > MaxDays)
        return {};
    double whole = std::trunc(value);
    qint64 days = qint64(whole);
    qint64 ms = qint64(std::llround(std::fabs(value - whole) * double(MSecsPerDay)));
    if (ms >= MSecsPerDay) {
        // Rounded up to midnight: the next calendar day.
        ms -= MSecsPerDay;
        days += 1;
    }
    // UTC: a day count has no time zone and no daylight-saving gaps.
    return QDateTime(BaseDate().addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}

QDate ToDate(double value)
{
    return ToDateTime(value).date();
}

QTime ToTime(double value)
{
    const QDateTime dt = ToDateTime(value);
    return dt.isValid() ? dt.time() : QTime();
}

double Today()
{
    return FromDate(QDate::currentDate());
}

} // namespace DateTimeValue
