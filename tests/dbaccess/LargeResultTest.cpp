#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

// 200,000 rows: the numbers 0..999 crossed with 0..199.
static const char* Numbers =
    "WITH RECURSIVE N (I) AS (SELECT CAST(0 AS INTEGER) FROM RDB$DATABASE UNION ALL SELECT I + 1 FROM N WHERE I < 999)\r\n"
    "SELECT A.I * 200 + B.I AS V, CAST(CAST(A.I AS INTEGER) AS VARCHAR(10)) AS T FROM N A CROSS JOIN N B WHERE B.I < 200\r\n"
    "ORDER BY 1";

TEST(LargeResult, RowsAreFetchedOnDemand)
{
    for (const QString& path : {TestServer::employeeDialect1(), TestServer::employeeDialect3()}) {
        TIBDatabase db;
        TestServer::configure(db, path);
        TIBTransaction tr;
        tr.SetDefaultDatabase(&db);
        TIBQuery q;
        q.SetDatabase(&db);
        q.SetTransaction(&tr);
        q.SetSQL(QString(Numbers));
        q.Open();
        EXPECT_EQ(q.FetchedRowCount(), 1);
        EXPECT_FALSE(q.AllFetched());
        EXPECT_EQ(q.Fields(0).IntegerValue(), 0);

        // The grid's way: fetch some, read cells, move around.
        EXPECT_EQ(q.FetchRows(2500), 2500);
        EXPECT_EQ(q.FetchedRowCount(), 2501);
        EXPECT_EQ(q.CellText(2500, 0), "2500");
        EXPECT_EQ(q.CellText(2500, 1), "12");
        EXPECT_EQ(q.CellText(2501, 0), "");
        q.SetRecNo(1999);
        EXPECT_EQ(q.RecNo(), 1999);
        EXPECT_EQ(q.Fields(0).IntegerValue(), 1999);

        // The reader's way: First, Next until Eof, every row counted once.
        q.First();
        qint64 count = 0, sum = 0;
        while (!q.Eof()) {
            ++count;
            sum += q.Fields(0).IntegerValue();
            q.Next();
        }
        EXPECT_EQ(count, 200000);
        EXPECT_EQ(sum, qint64(199999) * 200000 / 2);
        EXPECT_TRUE(q.AllFetched());
        EXPECT_EQ(q.RecNo(), 199999);
        EXPECT_EQ(q.Fields(1).TextValue(), "999");
        EXPECT_EQ(q.FetchRows(10), 0);
        q.Close();
        EXPECT_EQ(q.FetchedRowCount(), 0);
        EXPECT_FALSE(tr.Active());
    }
}
