#include <gtest/gtest.h>

#include "core/CodePage.h"
#include "dbaccess/ColumnText.h"
#include "dbaccess/ServerTypes.h"
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
        {"yyyy-MM-dd'T'", "HH' h 'mm"}, {"ddd d MMM yyyy", "h:mm:ss AP"}, {"yy-MM-dd", "HH:mm:ss.zzz"},
        {"'Day 'dd', 'yyyy", "H.mm"}};
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

namespace {
ColumnSlot textSlot(short type, short length, short charLength, short charsetId)
{
    ColumnSlot s;
    s.type = type;
    s.server = FindServerType(type);
    s.length = length;
    s.charLength = charLength;
    s.subtype = charsetId;
    return s;
}

// Bytes of length n: ASCII letters, with bytes above 0x7F at some places
// (often near the 8- and 16-byte steps the ASCII check takes).
QByteArray someBytes(QRandomGenerator& rng, int n, bool ascii)
{
    QByteArray bytes(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        bytes[i] = char('a' + rng.bounded(26));
    if (!ascii && n > 0) {
        const int at[] = {0, n - 1, 7, 8, 15, 16, 23, rng.bounded(n)};
        const int spot = at[rng.bounded(8)];
        bytes[spot < n ? spot : n - 1] = char(0x80 + rng.bounded(128));
    }
    return bytes;
}
}

// Texts are widened byte by byte while they are ASCII and decoded by their
// character set otherwise; both ways must give what the code page facility
// gives for the same bytes, at every length and wherever a non-ASCII byte sits.
TEST(ColumnText, DecodingAgreesWithTheCodePages)
{
    QRandomGenerator rng(4242);
    const QStringList charsets = {"", "NONE", "UTF8", "WIN1250", "ISO8859_2"};
    for (const QString& charset : charsets) {
        QString out;
        for (int i = 0; i < 2000; ++i) {
            const QByteArray bytes = someBytes(rng, rng.bounded(41), i % 2 == 0);
            DecodeText(bytes.constData(), int(bytes.size()), charset, out);
            ASSERT_EQ(out, CodePage::Decode(bytes, charset)) << charset.toStdString() << " " << bytes.toHex().data();
        }
        // Multi-byte UTF-8 at and across the steps, and an empty text after a long one.
        for (const char* utf8 : {"\xc5\x91\xc5\xb1 \xc3\xa1rv\xc3\xadzt\xc5\xb1r\xc5\x91 t\xc3\xbck\xc3\xb6rf\xc3\xbar\xc3\xb3g\xc3\xa9p",
                                 "abcdefg\xe2\x82\xac", "abcdefghijklmno\xf0\x9f\x98\x80", ""}) {
            const QByteArray bytes(utf8);
            DecodeText(bytes.constData(), int(bytes.size()), charset, out);
            ASSERT_EQ(out, CodePage::Decode(bytes, charset)) << charset.toStdString() << " " << utf8;
        }
    }
}

// A CHAR is stored without its trailing blanks and padded again when read:
// the text must be the server's padded value decoded, cut back to the
// declared characters; a VARCHAR as stored. Connection character set none:
// CHARACTER SET NONE values are Windows-1250 bytes, UTF8 ones UTF-8.
TEST(ColumnText, StoredTextsReadAsTheServerSentThem)
{
    QRandomGenerator rng(99);
    const ValueFormatter format{UserLocale()};
    struct Column {
        QString connection;
        short charsetId;
        short bytesPerChar;
    };
    for (const Column& c : {Column{"", 0, 1}, Column{"", 4, 4}, Column{"WIN1250", 51, 1}, Column{"UTF8", 4, 4}}) {
        const QString charset = CodePage::ValueCharset(c.connection, c.charsetId);
        QString out;
        for (int i = 0; i < 1000; ++i) {
            const short chars = short(1 + rng.bounded(30));
            QByteArray bytes = someBytes(rng, rng.bounded(chars + 1), i % 3 != 0);
            if (c.bytesPerChar > 1 && i % 3 == 0)
                bytes = QString::fromUtf8("\xc5\x91").repeated(rng.bounded(chars + 1)).toUtf8();
            const StoredValue value{bytes.constData(), int(bytes.size())};

            const ColumnSlot fixed = textSlot(SQL_TEXT, short(chars * c.bytesPerChar), chars, c.charsetId);
            QString padded = CodePage::Decode(bytes + QByteArray(fixed.length - bytes.size(), ' '), charset);
            while (padded.size() > chars && padded.endsWith(' '))
                padded.chop(1);
            ValueText(value, fixed, c.connection, format, out);
            ASSERT_EQ(out, padded) << c.charsetId << " " << bytes.toHex().data();

            const ColumnSlot varying = textSlot(SQL_VARYING, short(chars * c.bytesPerChar), chars, c.charsetId);
            ValueText(value, varying, c.connection, format, out);
            ASSERT_EQ(out, CodePage::Decode(bytes, charset)) << c.charsetId << " " << bytes.toHex().data();
        }
    }
}

// Whole numbers of every size, and texts written into a string that
// another one shares: that one keeps its text.
TEST(ColumnText, IntegersAndSharedBuffers)
{
    const ValueFormatter format{UserLocale()};
    const struct {
        short type;
        qint64 value;
    } cases[] = {{SQL_SHORT, 0},       {SQL_SHORT, -32768},      {SQL_SHORT, 32767},         {SQL_LONG, 9},
                 {SQL_LONG, 10},       {SQL_LONG, -99},          {SQL_LONG, 2147483647},     {SQL_LONG, -2147483647 - 1},
                 {SQL_INT64, 100000},  {SQL_INT64, -1000000001}, {SQL_INT64, INT64_MAX},     {SQL_INT64, INT64_MIN}};
    QString out = "previous text, longer than any number";
    for (const auto& c : cases) {
        ColumnSlot slot;
        slot.type = c.type;
        slot.server = FindServerType(c.type);
        char data[8];
        const qint16 v16 = qint16(c.value);
        const qint32 v32 = qint32(c.value);
        std::memcpy(data, c.type == SQL_SHORT ? static_cast<const void*>(&v16)
                          : c.type == SQL_LONG ? static_cast<const void*>(&v32) : static_cast<const void*>(&c.value),
                    size_t(slot.server->size));
        const QString kept = out;
        const QString keptText(kept.constData(), kept.size());   // a copy of its own
        ValueText({data, slot.server->size}, slot, QString(), format, out);
        EXPECT_EQ(out, QString::number(c.value));
        EXPECT_EQ(kept, keptText);   // the string that shared out's memory is untouched
    }
    const QByteArray name("Name number 1");
    const ColumnSlot varying = textSlot(SQL_VARYING, 40, 40, 0);
    ValueText({name.constData(), int(name.size())}, varying, QString(), format, out);
    const QString kept = out;
    ValueText({name.constData(), 4}, varying, QString(), format, out);
    EXPECT_EQ(kept, "Name number 1");
    EXPECT_EQ(out, "Name");

    // Dates and numbers into a shared string, one after the other.
    UserLocale loc;
    loc.ShortDateFormat = "dd/MM/yyyy";
    loc.LongTimeFormat = "HH:mm:ss";
    const ValueFormatter f(loc);
    QString stamp;
    f.Timestamp(ISC_TIMESTAMP{58849, 123450000}, stamp);   // 2020-01-01 03:25:45
    const QString first = stamp;
    f.Timestamp(ISC_TIMESTAMP{58850, 0}, stamp);
    EXPECT_EQ(first, "01/01/2020 03:25:45");
    EXPECT_EQ(stamp, "02/01/2020");
    f.Float(-1234.5, stamp);
    EXPECT_EQ(stamp, "-1234.5");
    EXPECT_EQ(first, "01/01/2020 03:25:45");
}
