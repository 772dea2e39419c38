#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "core/UserLocale.h"

#include <QDate>
#include <algorithm>

namespace {
struct Session {
    TIBDatabase db;
    TIBTransaction tr;
    TIBQuery q;
    explicit Session(const QStringList& extraParams = {})
    {
        TestServer::configure(db, TestServer::employeeDialect3());
        db.SetParams(TestServer::loginParams() + extraParams);
        db.SetSQLDialect(3);
        tr.SetDefaultDatabase(&db);
        q.SetDatabase(&db);
        q.SetTransaction(&tr);
        UserLocale loc;
        loc.DecimalSeparator = ',';
        loc.ShortDateFormat = "yyyy.MM.dd";
        loc.LongTimeFormat = "HH:mm:ss";
        UserLocale::SetCurrent(loc);
    }
};

// Rows 0..n-1 whose texts vary in length from row to row (empty to 300
// characters), with a null now and then between them, so that every row
// has a different size and the texts sit at different places in each.
QString mixedRows(int n)
{
    // Recursion stops at 1024 levels: numbers beyond come from a cross join.
    return QStringLiteral(
               "WITH RECURSIVE N (I) AS (SELECT CAST(0 AS INTEGER) FROM RDB$DATABASE UNION ALL "
               "SELECT I + 1 FROM N WHERE I < 999),\r\n"
               "M (I) AS (SELECT B.I * 1000 + A.I FROM N A CROSS JOIN N B WHERE B.I < %2 AND B.I * 1000 + A.I < %1)\r\n"
               "SELECT I,\r\n"
               " CAST(RPAD('', MOD(I, 7), 'ab') AS CHAR(6)) AS SHORT_CHAR,\r\n"
               " IIF(MOD(I, 5) = 0, NULL, CAST(RPAD('', MOD(I * 37, 301), 'xyz') AS VARCHAR(300))) AS LONG_VAR,\r\n"
               " CAST(I AS DOUBLE PRECISION) / 4 AS QUARTER,\r\n"
               " IIF(MOD(I, 3) = 0, NULL, CAST(RPAD('', MOD(I, 4), 'q') AS VARCHAR(3))) AS TINY,\r\n"
               " MOD(I, 2) = 0 AS EVEN,\r\n"
               " DATEADD(I DAY TO DATE '2000-01-01') AS D\r\n"
               "FROM M ORDER BY I")
        .arg(n)
        .arg((n + 999) / 1000);
}

// The texts a row of mixedRows must read back as, built here from the row
// number alone.
QStringList expectedRow(int i)
{
    auto repeat = [](int length, const QString& unit) {
        QString s;
        while (s.size() < length)
            s += unit;
        return s.left(length);
    };
    const QString shortChar = repeat(std::min(i % 7, 6), "ab").leftJustified(6, ' ');
    const QString longVar = i % 5 == 0 ? QString() : repeat(i * 37 % 301, "xyz");
    QString quarter = QString::number(i / 4.0, 'g', 15).replace('.', ',');
    const QString tiny = i % 3 == 0 ? QString() : repeat(i % 4, "q");
    const QString date = QDate(2000, 1, 1).addDays(i).toString("yyyy.MM.dd");
    return {QString::number(i), shortChar, longVar, quarter, tiny, i % 2 == 0 ? "True" : "False", date};
}

QStringList rowTexts(TIBQuery& q, int row)
{
    QStringList texts;
    for (int c = 0; c < q.FieldCount(); ++c)
        texts << q.CellText(row, c);
    return texts;
}
}

TEST(RowStorage, ValuesOfEveryShapeReadBackAcrossChunks)
{
    Session s;
    s.q.SetBufferChunks(7);   // many sealed chunks, and rows of the open one
    s.q.SetSQL(mixedRows(500));
    s.q.Open();
    ASSERT_EQ(s.q.FieldCount(), 7);
    EXPECT_EQ(s.q.FieldNamed("EVEN").DataType(), ftBoolean);
    // Texts a caller keeps must not change when the field reads the next row.
    QStringList kept;
    int n = 0;
    while (!s.q.Eof()) {
        ASSERT_EQ(rowTexts(s.q, s.q.RecNo()), expectedRow(n)) << "row " << n;
        EXPECT_EQ(s.q.FieldNamed("TINY").IsNull(), n % 3 == 0);
        EXPECT_EQ(s.q.FieldNamed("LONG_VAR").IsNull(), n % 5 == 0);
        QStringList texts;
        for (int c = 0; c < s.q.FieldCount(); ++c)
            texts << s.q.Fields(c).TextValue();
        kept << texts.join('|');
        ++n;
        s.q.Next();
    }
    EXPECT_EQ(n, 500);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(kept[i], expectedRow(i).join('|')) << "row " << i;
    // Back through the sealed chunks, out of order.
    for (int row : {0, 6, 7, 13, 14, 250, 499, 3, 498})
        EXPECT_EQ(rowTexts(s.q, row), expectedRow(row)) << "row " << row;
    s.q.Close();
}

TEST(RowStorage, CharKeepsItsPaddingAndInnerBlanks)
{
    // CHAR values are held without their trailing blanks; reading them back
    // must give the server's padded value, also in a multi-byte character
    // set, and keep blanks that are not padding.
    for (const QString& charset : {QString(), QString("UTF8")}) {
        Session s(charset.isEmpty() ? QStringList() : QStringList{"lc_ctype=" + charset});
        s.q.SetSQL(QString::fromUtf8(
            "SELECT CAST('' AS CHAR(4)) AS EMPTY_CHAR, CAST(' a b' AS CHAR(6)) AS INNER_BLANKS,\r\n"
            " CAST('xyzw' AS CHAR(4)) AS FULL_CHAR, CAST(_UTF8 'őű' AS CHAR(5) CHARACTER SET UTF8) AS WIDE,\r\n"
            " CAST('' AS VARCHAR(10)) AS EMPTY_VAR, CAST('  ' AS VARCHAR(10)) AS BLANK_VAR,\r\n"
            " CAST(RPAD('', 1000, 'k') AS VARCHAR(1000)) AS BIG_VAR\r\n"
            "FROM RDB$DATABASE"));
        s.q.Open();
        auto text = [&](const char* name) { return s.q.FieldNamed(name).TextValue(); };
        EXPECT_EQ(text("EMPTY_CHAR"), "    ");
        EXPECT_EQ(text("INNER_BLANKS"), " a b  ");
        EXPECT_EQ(text("FULL_CHAR"), "xyzw");
        EXPECT_EQ(text("WIDE"), QString::fromUtf8("őű   ")) << charset.toStdString();
        EXPECT_EQ(text("EMPTY_VAR"), "");
        EXPECT_FALSE(s.q.FieldNamed("EMPTY_VAR").IsNull());
        EXPECT_EQ(text("BLANK_VAR"), "  ");
        EXPECT_EQ(text("BIG_VAR"), QString(1000, 'k'));
        s.q.Close();
    }
}

TEST(RowStorage, RowsTakeAboutTheirContent)
{
    // The shape of the reader benchmark's table: an integer, a name of up
    // to 40 characters, a double, a timestamp and a CHAR(5).
    Session s;
    s.q.SetSQL(QString(
        "WITH RECURSIVE N (I) AS (SELECT CAST(0 AS INTEGER) FROM RDB$DATABASE UNION ALL SELECT I + 1 FROM N WHERE I < 999),\r\n"
        "M (I) AS (SELECT B.I * 1000 + A.I FROM N A CROSS JOIN N B WHERE B.I < 20)\r\n"
        "SELECT I AS ID, CAST('Name number ' || I AS VARCHAR(40)) AS NAME, I * 1.25e0 AS AMOUNT,\r\n"
        " DATEADD(I SECOND TO TIMESTAMP '2000-01-01 00:00:00') AS STAMP, CAST('C' || MOD(I, 1000) AS CHAR(5)) AS CODE\r\n"
        "FROM M ORDER BY I"));
    s.q.Open();
    while (!s.q.AllFetched())
        s.q.FetchRows(5000);
    ASSERT_EQ(s.q.FetchedRowCount(), 20000);
    // Content: 4 + name + 8 + 8 + 5 bytes a row.
    double content = 0;
    for (int i = 0; i < 20000; ++i)
        content += 25 + QString("Name number %1").arg(i).size();
    const double perRow = double(s.q.BufferedBytes()) / 20000;
    EXPECT_LE(perRow, 1.5 * content / 20000) << perRow << " bytes a row";
    EXPECT_EQ(s.q.CellText(12345, 1), "Name number 12345");
    EXPECT_EQ(s.q.CellText(12345, 4), "C345 ");
    s.q.Close();
}

TEST(RowStorage, ForwardOnlyHoldsOneChunk)
{
    Session s;
    s.q.SetForwardOnly(true);
    s.q.SetBufferChunks(100);
    s.q.SetSQL(mixedRows(3000));
    s.q.Open();
    size_t most = 0;
    int n = 0;
    while (!s.q.Eof()) {
        ASSERT_EQ(rowTexts(s.q, s.q.RecNo()), expectedRow(n)) << "row " << n;
        most = std::max(most, s.q.BufferedBytes());
        ++n;
        s.q.Next();
    }
    EXPECT_EQ(n, 3000);
    EXPECT_EQ(s.q.RecNo(), 2999);   // the last row stays current
    EXPECT_EQ(s.q.Fields(0).TextValue(), "2999");
    // One chunk of at most 100 rows of at most ~360 bytes, however many passed.
    EXPECT_LT(most, size_t(100 * 400 * 2));
    // Rows let go read as no row; going back to the start is refused.
    EXPECT_EQ(s.q.CellText(5, 0), "");
    EXPECT_THROW(s.q.First(), EIBClientError);
    s.q.SetRecNo(3);
    EXPECT_EQ(s.q.RecNo(), 2999);
    s.q.Close();

    // A result that fits its chunk can still go back to its first row.
    s.q.SetSQL(mixedRows(50));
    s.q.Open();
    while (!s.q.Eof())
        s.q.Next();
    s.q.First();
    EXPECT_EQ(s.q.Fields(0).TextValue(), "0");
    s.q.Close();
}
