#pragma once
#include <QChar>
#include <QString>
#include <optional>

// The user's locale conventions: the one facility through which every
// conversion between text and numbers, dates and times goes (query model,
// numeric edit, field value dialog, parameter conversion), so that a text
// written by one is read back by the others.
//
// Date-time values are doubles counting days since 1899-12-30, the time of
// day as the fraction.
struct UserLocale {
    QChar DecimalSeparator = '.';
    QChar ThousandSeparator = ',';
    QString ShortDateFormat = "dd/MM/yyyy";   // QDate format; years always have four digits
    QString LongTimeFormat = "HH:mm:ss";      // QTime format; never a time zone

    // The process-wide locale: read once from QLocale::system() unless a
    // test has replaced it with SetCurrent.
    static const UserLocale& Current();
    static void SetCurrent(const UserLocale& locale);
    static UserLocale FromSystem();

    // Numbers. FloatToStr: general format, up to 15 significant digits, the
    // decimal separator, no thousands separators, exponent only when needed.
    QString FloatToStr(double value) const;
    std::optional<double> StrToFloat(const QString& text) const;     // blanks around allowed
    std::optional<qint64> StrToInt64(const QString& text) const;
    std::optional<int> StrToInt(const QString& text) const;

    // Dates and times, as day counts since 1899-12-30.
    QString DateToStr(double dateTime) const;
    QString TimeToStr(double dateTime) const;
    // Date, a blank and the time; the time is left out at midnight.
    QString DateTimeToStr(double dateTime) const;
    std::optional<double> StrToDate(const QString& text) const;
    std::optional<double> StrToTime(const QString& text) const;
    // A date, optionally followed by a blank and a time.
    std::optional<double> StrToDateTime(const QString& text) const;
};

class QDate;
class QTime;
class QDateTime;

// Day-count conversions (1899-12-30 = 0).
namespace DateTimeValue {
double FromDate(const QDate& d);
double FromTime(const QTime& t);
double FromDateTime(const QDateTime& dt);
QDate ToDate(double value);
QTime ToTime(double value);          // rounded to the millisecond
QDateTime ToDateTime(double value);
double Today();
}
