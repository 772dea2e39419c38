#pragma once
#include <QString>
#include <ibase.h>
#include <vector>

#include "dbaccess/UserLocale.h"

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

    QString Float(double value) const;        // UserLocale::FloatToStr
    QString Timestamp(ISC_TIMESTAMP ts) const;   // UserLocale::DateTimeToStr
    QString Date(ISC_DATE date) const;        // UserLocale::DateToStr
    QString Time(ISC_TIME time) const;        // UserLocale::TimeToStr

    struct Token {
        char kind;   // 'L' literal, or d D M N y Y h H m n s S z (see Compile)
        QString literal;
    };

private:
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
