#pragma once
#include <QString>
#include <ibase.h>
#include <vector>

#include "core/UserLocale.h"

// Texts of numbers, dates and times exactly as UserLocale writes them, but
// without its per-call costs: the date and time formats are compiled once
// into field lists and the digits are written straight into one string.
// Formats with elements outside the compiled set (names of days or months,
// AM/PM, time zones) and dates before 1899-12-30 go to UserLocale itself.
class ValueFormatter {
public:
    ValueFormatter() = default;
    explicit ValueFormatter(const UserLocale& locale) { Reset(locale); }
    void Reset(const UserLocale& locale);
    const UserLocale& Locale() const { return FLocale; }

    // Each writes its text into out, reusing out's memory when no other
    // string shares it; the forms returning a string make a new one.
    void Float(double value, QString& out) const;        // UserLocale::FloatToStr
    void Timestamp(ISC_TIMESTAMP ts, QString& out) const;   // UserLocale::DateTimeToStr
    void Date(ISC_DATE date, QString& out) const;        // UserLocale::DateToStr
    void Time(ISC_TIME time, QString& out) const;        // UserLocale::TimeToStr
    QString Float(double value) const { return Made(&ValueFormatter::Float, value); }
    QString Timestamp(ISC_TIMESTAMP ts) const { return Made(&ValueFormatter::Timestamp, ts); }
    QString Date(ISC_DATE date) const { return Made(&ValueFormatter::Date, date); }
    QString Time(ISC_TIME time) const { return Made(&ValueFormatter::Time, time); }

    // Makes out size characters long (contents undefined), keeping its
    // memory when it is not shared.
    static void Room(QString& out, qsizetype size);
    // Makes out the size characters at text, the same way.
    static void Assign(QString& out, const char16_t* text, qsizetype size);
    // A whole number's text ("-" and its digits).
    static void Integer(qint64 value, QString& out);

    // One element of a compiled format: a literal character, or a part of
    // the date or time (Part) of at least width digits.
    enum Part : signed char { Literal = -1, Day, Month, Year, ShortYear, Hour, Minute, Second, Milli, PartCount };
    struct Token {
        Part part;
        signed char width;
        char16_t ch;   // a literal's character
    };
    struct Format {
        std::vector<Token> tokens;
        bool fast = false;          // every element compiled
        // Every part of a fixed width: the text is the pattern (literals in
        // place, room for the parts) with the parts written over it.
        bool fixed = false;
        std::vector<char16_t> pattern;
        std::vector<std::pair<unsigned short, Token>> placed;   // each part, at its offset
        qsizetype max = 0;          // the longest text it writes
    };

private:
    template <class V>
    QString Made(void (ValueFormatter::*write)(V, QString&) const, V value) const
    {
        QString out;
        (this->*write)(value, out);
        return out;
    }
    static void Compile(const QString& format, Format* compiled);
    // Writes the compiled format's text at out (room for its max characters);
    // returns the end. The parts are those the fast path passes: a year up
    // to 9999, the others below 1000.
    static char16_t* Write(char16_t* out, const Format& format, const unsigned* parts);
    // Makes out the text of first, then (when given) a blank and the text of second.
    static void Compose(const Format& first, const Format* second, const unsigned* parts, QString& out);

    UserLocale FLocale;
    Format FDate;
    Format FTime;
};
