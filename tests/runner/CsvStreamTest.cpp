#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QMutex>
#include <QRandomGenerator>

#include "app/RowText.h"
#include "common/TestServer.h"
#include "core/Errors.h"
#include "dbaccess/CsvStream.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

namespace {
// 2,500 rows, in order: the numbers 0..2499 and a text per row.
const char* Numbers =
    "WITH RECURSIVE N (I) AS (SELECT CAST(0 AS INTEGER) FROM RDB$DATABASE UNION ALL SELECT I + 1 FROM N WHERE I < 49)\r\n"
    "SELECT CAST(A.I * 50 + B.I AS INTEGER) AS V, CAST('row ' || CAST(CAST(A.I * 50 + B.I AS INTEGER) AS VARCHAR(10)) AS VARCHAR(20)) AS T\r\n"
    "FROM N A CROSS JOIN N B ORDER BY 1";
constexpr int NumberRows = 2500;

struct Session {
    TIBDatabase db;
    TIBTransaction tr;
    TIBQuery q;
    explicit Session(const QString& path = TestServer::employeeDialect3())
    {
        TestServer::configure(db, path);
        tr.SetDefaultDatabase(&db);
        q.SetDatabase(&db);
        q.SetTransaction(&tr);
    }
};

// The CSV of the numbers statement, line by line.
QByteArray NumbersCsv()
{
    QByteArray csv = "V,T\r\n";
    for (int i = 0; i < NumberRows; ++i)
        csv += QByteArray::number(i) + ",row " + QByteArray::number(i) + "\r\n";
    return csv;
}

QByteArray WriteAll(TIBQuery& q, const CsvStream::Options& options = {})
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const CsvStream::Result result = CsvStream::Write(q, buffer, options);
    EXPECT_FALSE(result.Cancelled);
    return buffer.data();
}
}

// The lines must be byte for byte those of the results window's export.
TEST(CsvStream, LinesEqualTheExportLinesOfTheApplication)
{
    EXPECT_EQ(CsvStream::Line({}), "\r\n");
    EXPECT_EQ(CsvStream::Line({""}), "\r\n");
    EXPECT_EQ(CsvStream::Line({"a", "", "b"}), "a,,b\r\n");
    EXPECT_EQ(CsvStream::Line({"a,b", "say \"hi\"", "x\ny", "cr\r", "tab\there"}),
              "\"a,b\",\"say \"\"hi\"\"\",\"x\ny\",\"cr\r\",tab\there\r\n");
    EXPECT_EQ(CsvStream::Line({"\"", QString::fromUtf8("Ő, ű")}), QString::fromUtf8("\"\"\"\",\"Ő, ű\"\r\n"));

    // Random fields over the characters that matter and a few others.
    const QString alphabet = QString::fromUtf8(",\"\r\n\t ;aZ0Ő'");
    QRandomGenerator random(20240611);
    for (int round = 0; round < 2000; ++round) {
        QStringList fields;
        const int count = random.bounded(6);
        for (int f = 0; f < count; ++f) {
            QString field;
            const int length = random.bounded(8);
            for (int c = 0; c < length; ++c)
                field += alphabet[random.bounded(int(alphabet.size()))];
            fields << field;
        }
        ASSERT_EQ(CsvStream::Line(fields), RowText::CsvLine(fields)) << fields.join('|').toStdString();
    }
}

TEST(CsvStream, WritesHeaderAndCellsQuotedAsRfc4180)
{
    Session s;
    s.q.SetSQLDialect(3);
    s.q.SetSQL(QString(
        "SELECT 'plain' AS \"Plain\", 'a,b' AS \"x,y\", 'say \"hi\"' AS Q,\r\n"
        "'one' || ASCII_CHAR(13) || ASCII_CHAR(10) || 'two' AS ML, CAST(NULL AS INTEGER) AS N,\r\n"
        "CAST('ab' AS CHAR(4)) AS P, 12 AS I FROM RDB$DATABASE"));
    s.q.Open();
    EXPECT_EQ(WriteAll(s.q), QByteArray("Plain,\"x,y\",Q,ML,N,P,I\r\n"
                                        "plain,\"a,b\",\"say \"\"hi\"\"\",\"one\r\ntwo\",,ab  ,12\r\n"));
}

TEST(CsvStream, ForwardOnlyReadHoldsOneChunkAndLosesNoRow)
{
    Session s;
    s.q.SetSQL(QString(Numbers));
    s.q.SetForwardOnly(true);
    s.q.SetBufferChunks(64);   // 2,500 rows: 39 full chunks and a part
    s.q.Open();
    size_t mostBytes = 0;
    QList<qint64> progress;
    CsvStream::Options options;
    options.Progress = [&](qint64 rows) {
        progress << rows;
        mostBytes = std::max(mostBytes, s.q.BufferedBytes());
    };
    EXPECT_EQ(WriteAll(s.q, options), NumbersCsv());
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), NumberRows);
    for (qsizetype i = 1; i < progress.size(); ++i)
        EXPECT_GE(progress[i], progress[i - 1]);
    // One chunk of 64 short rows, not the 2,500 rows.
    EXPECT_LT(mostBytes, size_t(64 * 200));
    EXPECT_TRUE(s.q.AllFetched());
}

// The results window exports a buffered query that already holds the rows
// the grid fetched; the export starts at the first of them.
TEST(CsvStream, BufferedQueryWithRowsFetchedIsWrittenWhole)
{
    for (int held : {1, 700, 1000, 2000, NumberRows}) {
        Session s(TestServer::employeeDialect1());
        s.q.SetSQL(QString(Numbers));
        s.q.SetBufferChunks(1000);
        s.q.Open();
        s.q.FetchRows(held - s.q.FetchedRowCount());
        s.q.SetRecNo(held - 1);
        QMutex lock;
        CsvStream::Options options;
        options.QueryLock = &lock;
        EXPECT_EQ(WriteAll(s.q, options), NumbersCsv()) << held;
        EXPECT_TRUE(lock.tryLock());   // released again
        lock.unlock();
    }
}

TEST(CsvStream, CancelAndFailuresStopTheStream)
{
    {
        // Cancelled after the second chunk: whole lines only, then nothing.
        Session s;
        s.q.SetSQL(QString(Numbers));
        s.q.SetBufferChunks(100);
        s.q.Open();
        std::atomic<bool> cancel = false;
        CsvStream::Options options;
        options.Cancel = &cancel;
        options.Progress = [&](qint64 rows) { cancel = rows >= 200; };
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const CsvStream::Result result = CsvStream::Write(s.q, buffer, options);
        EXPECT_TRUE(result.Cancelled);
        EXPECT_EQ(result.Rows, 200);
        EXPECT_EQ(buffer.data(), NumbersCsv().left(buffer.data().size()));
        EXPECT_EQ(buffer.data().count('\n'), 201);
    }
    {
        // A device that takes no bytes: the write error names the target.
        QFile full("/dev/full");
        ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        Session s;
        s.q.SetSQL(QString(Numbers));
        s.q.Open();
        CsvStream::Options options;
        options.TargetName = "out.csv";
        try {
            CsvStream::Write(s.q, full, options);
            FAIL() << "no error";
        } catch (const EStreamError& e) {
            EXPECT_TRUE(e.Message().startsWith("Cannot write file \"out.csv\": ")) << e.what();
        }
    }
    {
        Session s;
        s.q.SetSQL(QString(Numbers));
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_THROW(CsvStream::Write(s.q, buffer), EIBClientError);   // not open
        // A forward-only query past its first chunk cannot give every row.
        s.q.SetForwardOnly(true);
        s.q.SetBufferChunks(10);
        s.q.Open();
        s.q.FetchRows(20);
        try {
            CsvStream::Write(s.q, buffer);
            FAIL() << "no error";
        } catch (const EIBClientError& e) {
            EXPECT_EQ(e.Message(), "Forward-only query: the first rows are no longer held");
        }
        EXPECT_TRUE(buffer.data().isEmpty());
    }
}
