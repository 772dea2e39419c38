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

    struct Token {
        char kind;   // 'L' literal, or d D M N y Y h H m n s S z (see Compile)
        QString literal;
    };

private:
    template <class V>
    QString Made(void (ValueFormatter::*write)(V, QString&) const, V value) const
    {
        QString out;
        (this->*write)(value, out);
        return out;
    }
    static bool Compile(const QString& format, std::vector<Token>* tokens);
    // Writes the compiled format's text at out (room for FDateMax/FTimeMax
    // characters); returns the end.
    char16_t* Write(char16_t* out, const std::vector<Token>& tokens, int y, int mo, int d, int h, int mi, int s,
                    int ms) const;

    UserLocale FLocale;
    std::vector<Token> FDateTokens;
    std::vector<Token> FTimeTokens;
    bool FDateFast = false;
    bool FTimeFast = false;
    qsizetype FDateMax = 0;
    qsizetype FTimeMax = 0;
};
