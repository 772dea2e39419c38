#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "common/ErrorText.h"

#include <QGuiApplication>
#include <memory>

TEST(Session, ConnectDisconnectAndDialects)
{
    TIBDatabase db;
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.DBSQLDialect(), 1);
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { db.SetConnected(true); }), "Database name is missing");

    TestServer::configure(db, TestServer::employeeDialect3());
    db.SetSQLDialect(3);
    db.SetConnected(true);
    db.SetConnected(true);   // connects once
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(db.DBSQLDialect(), 3);
    EXPECT_EQ(db.SQLDialect(), 3);
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { db.SetDatabaseName("x"); }),
              "Cannot perform operation -- DB is currently open");
    EXPECT_EQ(db.DatabaseName(), TestServer::connectionString(TestServer::employeeDialect3()));
    db.SetConnected(false);
    db.SetConnected(false);   // nothing happens
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.DBSQLDialect(), 1);

    // A dialect 1 database lowers the session's dialect.
    TestServer::configure(db, TestServer::employeeDialect1());
    db.SetConnected(true);
    EXPECT_EQ(db.DBSQLDialect(), 1);
    EXPECT_EQ(db.SQLDialect(), 1);
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { db.SetSQLDialect(3); }), "SQL Dialect Invalid");
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { db.SetSQLDialect(0); }), "SQL Dialect Invalid");
    db.SetConnected(false);
}

TEST(Session, ServerErrorsCarryTextCodeAndContext)
{
    TIBDatabase db;
    db.SetDatabaseName(TestServer::connectionString("/nonexistent/nowhere.fdb"));
    db.SetParams(TestServer::loginParams());
    try {
        db.SetConnected(true);
        FAIL() << "connect to a missing file succeeded";
    } catch (const EIBInterBaseError& e) {
        EXPECT_FALSE(e.Message().isEmpty());
        EXPECT_FALSE(e.Message().endsWith('.'));
        EXPECT_EQ(e.Context(), "isc_attach_database");
        EXPECT_NE(e.SQLCode(), 0);
    }
    EXPECT_FALSE(db.Connected());

    // Wrong password, with prefixed and differently cased parameter names.
    TestServer::configure(db, TestServer::employeeDialect3());
    db.SetParams({"ISC_DPB_USER_NAME=SYSDBA", "Password=wrong"});
    EXPECT_THROW(db.SetConnected(true), EIBInterBaseError);
    db.SetParams({"isc_dpb_user_name=SYSDBA", "", "PASSWORD=larchwood"});
    db.SetConnected(true);
    EXPECT_TRUE(db.Connected());

    // A statement error names the failing call; the query stays closed.
    TIBTransaction tr;
    tr.SetDefaultDatabase(&db);
    TIBQuery q;
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetSQL(QString("SELECT NO_SUCH_COLUMN FROM EMPLOYEE"));
    try {
        q.Open();
        FAIL();
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.Context(), "isc_dsql_prepare");
        EXPECT_EQ(e.SQLCode(), -206);
        EXPECT_TRUE(e.Message().contains("NO_SUCH_COLUMN")) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("\r\n"));
    }
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(tr.Active());   // the failed Open ended the transaction it started
}

TEST(Session, QueryChecksAndLifetimes)
{
    auto db = std::make_unique<TIBDatabase>();
    TestServer::configure(*db, TestServer::employeeDialect3());
    TIBTransaction tr;
    TIBQuery q;
    q.SetSQL(QString("SELECT 1 FROM RDB$DATABASE"));
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { q.Open(); }), "Database not assigned");
    q.SetDatabase(db.get());
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { q.Open(); }), "Transaction not assigned");
    q.SetTransaction(&tr);
    tr.SetDefaultDatabase(db.get());

    q.SetSQL(QString("  \r\n"));
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { q.Prepare(); }), "Empty SQL Statement");
    EXPECT_FALSE(tr.Active());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    q.SetSQL(QString("SELECT :A FROM RDB$DATABASE WHERE 'x"));
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { q.Open(); }), "SQL Parse Error:\r\n\r\nEOF in string detected");
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(tr.Active());

    // Opening connects the session and starts the transaction.
    q.SetSQL(QString("SELECT 1 AS ONE FROM RDB$DATABASE"));
    q.Open();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);   // the busy pointer is restored
    EXPECT_TRUE(db->Connected());
    EXPECT_TRUE(tr.Active());
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { q.Prepare(); }), "Dataset open");
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { q.Unprepare(); }), "Dataset open");
    EXPECT_EQ(q.FieldNamed("one").IntegerValue(), 1);

    // Disconnecting commits the transaction and closes the query.
    db->SetConnected(false);
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(q.Prepared());
    EXPECT_FALSE(tr.Active());

    // Destroying the session leaves the query and transaction without it.
    q.Open();
    db.reset();
    EXPECT_EQ(q.Database(), nullptr);
    EXPECT_EQ(q.Transaction(), nullptr);
    EXPECT_EQ(tr.DefaultDatabase(), nullptr);
    EXPECT_FALSE(tr.Active());
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { q.Open(); }), "Database not assigned");

    // A query destroyed before its transaction unregisters itself.
    TIBDatabase db2;
    TestServer::configure(db2, TestServer::employeeDialect3());
    TIBTransaction tr2;
    tr2.SetDefaultDatabase(&db2);
    {
        TIBQuery temp;
        temp.SetDatabase(&db2);
        temp.SetTransaction(&tr2);
        temp.SetSQL(QString("SELECT 1 FROM RDB$DATABASE"));
        temp.Open();
        EXPECT_EQ(tr2.Queries().size(), 1);
    }
    EXPECT_TRUE(tr2.Queries().isEmpty());
    EXPECT_FALSE(tr2.Active());   // its own transaction ended with it
}
