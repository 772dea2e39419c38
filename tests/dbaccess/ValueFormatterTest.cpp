#include <gtest/gtest.h>

#include "dbaccess/ValueFormatter.h"

#include <QList>
#include <QRandomGenerator>
#include <cmath>
#include <cstring>

// The compiled formatter must write exactly what UserLocale writes.
TEST(ValueFormatter, AgreesWithUserLocale)
{
    QRandomGenerator rng(12345);
    const QList<QPair<QString, QString>> formats = {
        {"dd/MM/yyyy", "HH:mm:ss"}, {"yyyy.MM.dd", "H:mm:ss"}, {"d.M.yy", "hh:mm:ss.zzz"},
        {"yyyy-MM-dd'T'", "HH' h 'mm"}, {"ddd d MMM yyyy", "h:mm:ss AP"}};
    for (const auto& [date, time] : formats) {
        for (QChar sep : {QChar('.'), QChar(',')}) {
            UserLocale loc;
            loc.DecimalSeparator = sep;
            loc.ShortDateFormat = date;
            loc.LongTimeFormat = time;
            const ValueFormatter f(loc);
            for (int i = 0; i < 3000; ++i) {
                ISC_TIMESTAMP ts;
                ts.timestamp_date = ISC_DATE(rng.bounded(0, 3000000));   // from 1858 on
                ts.timestamp_time = ISC_TIME(i % 10 == 0 ? 0 : rng.bounded(0, 864000000));
                if (i % 3 == 0)   // whole milliseconds, taken without the double
                    ts.timestamp_time -= ts.timestamp_time % 10;
                const double v = (double(ts.timestamp_date) - 15018) + double(ts.timestamp_time) / 864000000.0;
                ASSERT_EQ(f.Timestamp(ts), loc.DateTimeToStr(v)) << date.toStdString() << " " << v;
                ASSERT_EQ(f.Date(ts.timestamp_date), loc.DateToStr(std::floor(v)));
                ASSERT_EQ(f.Time(ts.timestamp_time), loc.TimeToStr(double(ts.timestamp_time) / 864000000.0));
            }
            const double specials[] = {0.0, 1.0, -1.0, 0.1, 1e-5, 1.5e-6, 123456789012345.0, 1e15, 1e20,
                                       -2.5e-300, 1.7976931348623157e308, 0.30000000000000004, 40000.125,
                                       std::nan(""), HUGE_VAL};
            for (double d : specials)
                ASSERT_EQ(f.Float(d), loc.FloatToStr(d)) << d;
            for (int i = 0; i < 20000; ++i) {
                const double d = (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(-12, 22));
                ASSERT_EQ(f.Float(d), loc.FloatToStr(d)) << d;
            }
        }
    }
}

// The number writer takes shortcuts for values with a few decimals and for
// values whose shortest text has at most fifteen digits; values near those
// limits (subnormals, sixteen or more digits, powers of ten) must still come
// out as UserLocale writes them.
TEST(ValueFormatter, FloatShortcutsAgreeWithUserLocale)
{
    QRandomGenerator rng(777);
    for (QChar sep : {QChar('.'), QChar(',')}) {
        UserLocale loc;
        loc.DecimalSeparator = sep;
        const ValueFormatter f(loc);
        const double edges[] = {7.3713030335399493e-311, -2.692030018583887e-310, 4.9e-324, 2.2250738585072014e-308,
                                999999999999999.0, 999999999999999.9, 99999999999.99995, 0.1 + 0.2, 1.0 / 3,
                                12345.6789, 0.0001, 0.00015, 1e-4 + 1e-19, 9.9999e14, 1234567890.1234, -0.125};
        for (double d : edges)
            ASSERT_EQ(f.Float(d), loc.FloatToStr(d)) << d;
        for (int i = 0; i < 50000; ++i) {
            // Whole numbers up to 17 digits over 10^0..10^7: amounts with few
            // decimals, and long digit strings that need rounding.
            const double whole = double(rng.bounded(qint64(1), qint64(100000000000000000)) >> rng.bounded(0, 40));
            const double d = (i % 2 ? -whole : whole) / std::pow(10.0, rng.bounded(0, 8));
            ASSERT_EQ(f.Float(d), loc.FloatToStr(d)) << d;
            quint64 bits = rng.generate64();
            double any;
            std::memcpy(&any, &bits, sizeof any);
            ASSERT_EQ(f.Float(any), loc.FloatToStr(any)) << any;
        }
    }
}
