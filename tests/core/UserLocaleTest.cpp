#include <gtest/gtest.h>

#include "core/CodePage.h"
#include "core/UserLocale.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cmath>

namespace {

UserLocale Hungarian()
{
    UserLocale l;
    l.DecimalSeparator = ',';
    l.ThousandSeparator = ' ';
    l.ShortDateFormat = "yyyy. MM. dd.";
    l.LongTimeFormat = "H:mm:ss";
    return l;
}

UserLocale American()
{
    UserLocale l;
    l.ShortDateFormat = "M/d/yyyy";
    l.LongTimeFormat = "h:mm:ss AP";
    return l;
}

} // namespace

TEST(UserLocale, FloatToStrGeneralFormat)
{
    const UserLocale l;
    EXPECT_EQ(l.FloatToStr(0), "0");
    EXPECT_EQ(l.FloatToStr(1000), "1000");
    EXPECT_EQ(l.FloatToStr(-2.5), "-2.5");
    EXPECT_EQ(l.FloatToStr(0.1), "0.1");
    EXPECT_EQ(l.FloatToStr(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(l.FloatToStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(l.FloatToStr(1e15), "1E15");
    EXPECT_EQ(l.FloatToStr(1e20), "1E20");
    EXPECT_EQ(l.FloatToStr(1.5e-7), "1.5E-7");
    EXPECT_EQ(l.FloatToStr(0.00001), "0.00001");
    EXPECT_EQ(l.FloatToStr(0.000001), "1E-6");
    EXPECT_EQ(l.FloatToStr(0.30000000000000004), "0.3");
    EXPECT_EQ(Hungarian().FloatToStr(1234.75), "1234,75");
}

TEST(UserLocale, StrToNumbers)
{
    const UserLocale l;
    EXPECT_EQ(l.StrToFloat("  12.5 "), 12.5);
    EXPECT_EQ(l.StrToFloat("-1.5E-7"), -1.5e-7);
    EXPECT_EQ(l.StrToFloat("+3"), 3.0);
    EXPECT_EQ(l.StrToFloat("1E+20"), 1e20);
    EXPECT_EQ(l.StrToFloat("1e20"), 1e20);
    EXPECT_EQ(l.StrToFloat(".5"), 0.5);
    for (const char* bad : {"", " ", "1,5", "abc", "1.5x", "1e", "e5", "-", "1 000", "1e999"})
        EXPECT_FALSE(l.StrToFloat(bad).has_value()) << bad;

    const UserLocale hu = Hungarian();
    EXPECT_EQ(hu.StrToFloat("1234,75"), 1234.75);
    EXPECT_FALSE(hu.StrToFloat("1234.75").has_value());
    // What one writes the other reads back exactly.
    for (double v : {3.14159265358979, -1e-300, 9.87654321e123, 42.0, 0.1 + 0.2})
        EXPECT_DOUBLE_EQ(*hu.StrToFloat(hu.FloatToStr(v)), v);

    EXPECT_EQ(l.StrToInt(" -42 "), -42);
    EXPECT_EQ(l.StrToInt("+7"), 7);
    EXPECT_EQ(l.StrToInt("2147483647"), 2147483647);
    EXPECT_FALSE(l.StrToInt("2147483648").has_value());
    EXPECT_EQ(l.StrToInt64("-9223372036854775808"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(l.StrToInt64("9223372036854775807"), std::numeric_limits<qint64>::max());
    EXPECT_FALSE(l.StrToInt64("9223372036854775808").has_value());
    for (const char* bad : {"", "-", "1.0", "0x10", "12a", "1 2"})
        EXPECT_FALSE(l.StrToInt64(bad).has_value()) << bad;
}

TEST(UserLocale, DayCounts)
{
    using namespace DateTimeValue;
    EXPECT_EQ(FromDate(QDate(1899, 12, 30)), 0);
    EXPECT_EQ(FromDate(QDate(1900, 1, 1)), 2);
    EXPECT_EQ(FromDate(QDate(2000, 1, 1)), 36526);
    EXPECT_EQ(FromDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_EQ(ToDate(-1.25), QDate(1899, 12, 29));
    EXPECT_EQ(ToTime(-1.25), QTime(6, 0));
    EXPECT_EQ(ToTime(36526.5), QTime(12, 0));
    // A value a hair below midnight rounds to the next day, not to 24:00.
    EXPECT_EQ(ToDateTime(1.99999999999).date(), QDate(1900, 1, 1));
    EXPECT_EQ(ToDateTime(1.99999999999).time(), QTime(0, 0));
    EXPECT_FALSE(ToDate(std::nan("")).isValid());
    EXPECT_FALSE(ToDate(1e300).isValid());
}

TEST(UserLocale, DatesRoundTripEveryYear)
{
    UserLocale named;
    named.ShortDateFormat = "d MMM yyyy";
    for (const UserLocale& l : {UserLocale(), Hungarian(), American(), named}) {
        for (int year = 100; year <= 9999; ++year) {
            const QDate d(year, 1 + year % 12, 1 + year % 28);
            const double v = DateTimeValue::FromDate(d);
            ASSERT_EQ(DateTimeValue::ToDate(v), d);
            const QString text = l.DateToStr(v);
            const auto back = l.StrToDate(text);
            ASSERT_TRUE(back.has_value()) << text.toStdString();
            ASSERT_EQ(*back, v) << text.toStdString();
        }
    }
    EXPECT_EQ(UserLocale().DateToStr(DateTimeValue::FromDate(QDate(100, 2, 3))), "03/02/0100");
}

TEST(UserLocale, TimesAndDateTimes)
{
    const UserLocale l;
    const double noon = DateTimeValue::FromTime(QTime(12, 34, 56));
    EXPECT_EQ(l.TimeToStr(noon), "12:34:56");
    EXPECT_EQ(l.StrToTime("12:34:56"), noon);
    EXPECT_EQ(l.StrToTime("12:34"), DateTimeValue::FromTime(QTime(12, 34)));
    EXPECT_EQ(American().StrToTime("1:05:00 PM"), DateTimeValue::FromTime(QTime(13, 5)));
    EXPECT_EQ(American().TimeToStr(DateTimeValue::FromTime(QTime(13, 5))), "1:05:00 PM");
    for (const char* bad : {"", "25:00:00", "12:60", "noon", "12", "13:00 PM"})
        EXPECT_FALSE(l.StrToTime(bad).has_value()) << bad;

    const double d = DateTimeValue::FromDate(QDate(2024, 3, 9));
    EXPECT_EQ(l.DateTimeToStr(d), "09/03/2024");
    EXPECT_EQ(l.DateTimeToStr(d + noon), "09/03/2024 12:34:56");
    EXPECT_EQ(l.StrToDateTime("09/03/2024 12:34:56"), d + noon);
    EXPECT_EQ(l.StrToDateTime("09/03/2024"), d);

    // A date format with blanks of its own.
    const UserLocale hu = Hungarian();
    EXPECT_EQ(hu.DateTimeToStr(d + noon), "2024. 03. 09. 12:34:56");
    EXPECT_EQ(hu.StrToDateTime("2024. 03. 09. 12:34:56"), d + noon);
    EXPECT_EQ(hu.StrToDateTime("2024. 03. 09."), d);

    // Before 1899 the fraction is still the time of day.
    const double old = DateTimeValue::FromDateTime(QDateTime(QDate(1848, 3, 15), QTime(18, 0)));
    EXPECT_LT(old, 0);
    EXPECT_EQ(l.DateTimeToStr(old), "15/03/1848 18:00:00");
    EXPECT_EQ(l.StrToDateTime("15/03/1848 18:00:00"), old);

    for (const char* bad : {"", "31/02/2020", "2020", "1/2", "a/b/c", "09/03/2024 xx", "0/1/2020", "09/03/2024 12:34:56 7"})
        EXPECT_FALSE(l.StrToDateTime(bad).has_value()) << bad;
}

TEST(UserLocale, SystemLocaleHasFourDigitYearsAndNoZone)
{
    const UserLocale l = UserLocale::FromSystem();
    EXPECT_TRUE(l.ShortDateFormat.contains("yyyy"));
    EXPECT_FALSE(l.ShortDateFormat.contains("yyyyy"));
    EXPECT_FALSE(l.LongTimeFormat.contains('t'));
    EXPECT_EQ(l.LongTimeFormat, l.LongTimeFormat.trimmed());

    const UserLocale saved = UserLocale::Current();
    UserLocale::SetCurrent(Hungarian());
    EXPECT_EQ(UserLocale::Current().DecimalSeparator, QChar(','));
    UserLocale::SetCurrent(saved);
}

TEST(CodePage, Windows1250RoundTrip)
{
    const QString hungarian = QString::fromUtf8("őűŐŰáé");
    const QByteArray ansi = CodePage::ToAnsi(hungarian);
    EXPECT_EQ(ansi, QByteArray("\xF5\xFB\xD5\xDB\xE1\xE9"));
    EXPECT_EQ(CodePage::FromAnsi(ansi), hungarian);
    EXPECT_EQ(CodePage::ToAnsi("plain"), QByteArray("plain"));

    // Characters outside the code page become one '?' each, including ones
    // outside the basic plane.
    EXPECT_EQ(CodePage::ToAnsi(QString::fromUtf8("a\u4E2Db\U0001F600c")), QByteArray("a?b?c"));
    // 0x81 is unassigned in Windows-1250.
    EXPECT_EQ(CodePage::FromAnsi(QByteArray("x\x81y")), "x?y");

    // Every assigned byte of the code page survives a round trip.
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        if (b != 0x81 && b != 0x83 && b != 0x88 && b != 0x90 && b != 0x98)
            all.append(char(b));
    const QString allText = CodePage::FromAnsi(all);
    EXPECT_FALSE(allText.contains(QChar(0xFFFD)));
    EXPECT_EQ(CodePage::ToAnsi(allText), all);
    EXPECT_EQ(CodePage::FromAnsi(QByteArray("\x80\x8A")), QString::fromUtf8("€Š"));

    EXPECT_EQ(CodePage::Encode(hungarian, ""), ansi);
    EXPECT_EQ(CodePage::Encode(hungarian, "NONE"), ansi);
    EXPECT_EQ(CodePage::Encode(hungarian, "UTF8"), hungarian.toUtf8());
    EXPECT_EQ(CodePage::Decode(hungarian.toUtf8(), "UNICODE_FSS"), hungarian);
    EXPECT_EQ(CodePage::Encode(QString::fromUtf8("é"), "ISO8859_1"), QByteArray("\xE9"));
    EXPECT_EQ(CodePage::Encode(QString::fromUtf8("ő"), "ISO8859_1"), QByteArray("?"));
    EXPECT_EQ(CodePage::Decode(QByteArray("\xF5"), "ISO8859_2"), QString::fromUtf8("ő"));
    EXPECT_EQ(CodePage::Decode(QByteArray("\xC0"), "WIN1251"), QString::fromUtf8("А"));
}
