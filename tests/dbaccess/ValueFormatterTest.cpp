#include <gtest/gtest.h>

#include "dbaccess/ValueFormatter.h"

#include <QList>
#include <QRandomGenerator>
#include <cmath>

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
