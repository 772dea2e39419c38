#include "support/RowTables.h"

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "support/BenchDatabase.h"

namespace {
bool HoldsRows(const QString& path, int rows)
{
    TIBDatabase db;
    TestServer::configure(db, path);
    TIBTransaction tr;
    tr.SetDefaultDatabase(&db);
    TIBQuery q;
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetSQL(QString("SELECT COUNT(*) FROM BENCH"));
    q.Open();
    return q.Fields(0).IntegerValue() == rows;
}

QString Ensure(const QString& name, int rows)
{
    return BenchDatabase::Ensure(
        name, [rows](const QString& path) { return HoldsRows(path, rows); },
        {"CREATE TABLE BENCH (ID INTEGER NOT NULL, NAME VARCHAR(40) CHARACTER SET NONE, AMOUNT DOUBLE PRECISION, STAMP TIMESTAMP, CODE CHAR(5) CHARACTER SET NONE)",
         QString("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < %1) DO BEGIN "
                 "INSERT INTO BENCH VALUES (:I, 'Name number ' || :I, :I * 1.25 + 0.125, "
                 "DATEADD(:I SECOND TO TIMESTAMP '2000-01-01 00:00:00'), 'C' || MOD(:I, 1000)); I = I + 1; END END")
             .arg(rows)});
}
}

namespace RowTables {
QString Million()
{
    return Ensure("reader_bench", 1000000);
}

QString ThreeMillion()
{
    return Ensure("rows_3m", 3000000);
}
}
