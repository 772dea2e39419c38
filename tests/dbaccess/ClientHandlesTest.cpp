#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/Errors.h"
#include "dbaccess/ClientHandles.h"
#include "dbaccess/ConnectionParams.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "dbaccess/StatusVector.h"

#include <QDir>

// The owners are driven with the client library's own calls here, and what
// they leave on the server is read from the monitoring tables of a scratch
// database that no other test attaches to.
namespace {
QString scratch(const char* name)
{
    return TestServer::createScratchDatabase(QString::fromLatin1(name),
                                             {QStringLiteral("CREATE TABLE T (N INTEGER)")});
}

AttachmentHandle attach(const QString& path)
{
    const ConnectionParams params = BuildConnectionParams(TestServer::loginParams());
    const QByteArray name = TestServer::connectionString(path).toLocal8Bit();
    StatusVector status;
    AttachmentHandle handle;
    isc_attach_database(&status, short(name.size()), name.constData(), &handle, short(params.Dpb.size()),
                        params.Dpb.constData());
    status.Check("isc_attach_database");
    return handle;
}

int attachmentId(AttachmentHandle& handle)
{
    const char items[] = {char(isc_info_attachment_id), char(isc_info_end)};
    char reply[32] = {};
    StatusVector status;
    isc_database_info(&status, &handle, short(sizeof items), items, short(sizeof reply), reply);
    status.Check("isc_database_info");
    EXPECT_EQ(reply[0], char(isc_info_attachment_id));
    const short len = short(isc_vax_integer(reply + 1, 2));
    return int(isc_vax_integer(reply + 3, len));
}

TransactionHandle startTransaction(AttachmentHandle& db)
{
    StatusVector status;
    TransactionHandle tr;
    isc_start_transaction(&status, &tr, 1, &db, 0, nullptr);
    status.Check("isc_start_transaction");
    return tr;
}

void execute(AttachmentHandle& db, TransactionHandle& tr, const char* sql)
{
    StatusVector status;
    isc_dsql_execute_immediate(&status, &db, &tr, 0, sql, 3, nullptr);
    status.Check("isc_dsql_execute_immediate");
}

StatementHandle prepare(AttachmentHandle& db, TransactionHandle& tr, const char* sql)
{
    StatusVector status;
    StatementHandle statement;
    isc_dsql_allocate_statement(&status, &db, &statement);
    status.Check("isc_dsql_allocate_statement");
    isc_dsql_prepare(&status, &tr, &statement, 0, sql, 3, nullptr);
    status.Check("isc_dsql_prepare");
    return statement;
}

// A session of its own that reads the monitoring tables; every statement
// runs in a transaction of its own, so each sees the present state.
struct Observer {
    TIBDatabase db;
    TIBTransaction tr;
    TIBQuery q;
    explicit Observer(const QString& path)
    {
        TestServer::configure(db, path);
        tr.SetDefaultDatabase(&db);
        q.SetDatabase(&db);
        q.SetTransaction(&tr);
    }
    int count(const QString& sql)
    {
        q.SetSQL(sql);
        q.Open();
        const int n = q.Fields(0).IntegerValue();
        q.Close();
        return n;
    }
    int otherAttachments()
    {
        return count(QStringLiteral("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> "
                                    "CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0"));
    }
    int statementsOf(int attachment)
    {
        return count(QStringLiteral("SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$ATTACHMENT_ID = %1").arg(attachment));
    }
    int rows() { return count(QStringLiteral("SELECT COUNT(*) FROM T")); }
};

int openFiles()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}
}

TEST(ClientHandles, OwnersReleaseWhatTheyHoldAndHandItOverOnMove)
{
    const QString path = scratch("handles_release");
    Observer observer(path);
    ASSERT_EQ(observer.otherAttachments(), 0);

    {
        AttachmentHandle first = attach(path);
        EXPECT_TRUE(first);
        EXPECT_EQ(observer.otherAttachments(), 1);

        // Moved, the attachment stays open and answers through its new owner.
        AttachmentHandle second = std::move(first);
        EXPECT_FALSE(first);
        EXPECT_TRUE(second);
        EXPECT_EQ(observer.otherAttachments(), 1);
        const int id = attachmentId(second);
        EXPECT_GT(id, 0);

        // A statement dropped by its owner leaves the attachment's list.
        TransactionHandle tr = startTransaction(second);
        const int before = observer.statementsOf(id);
        {
            StatementHandle statement = prepare(second, tr, "SELECT N FROM T");
            EXPECT_EQ(observer.statementsOf(id), before + 1);
        }
        EXPECT_EQ(observer.statementsOf(id), before);

        // A transaction that goes unfinished is rolled back.
        execute(second, tr, "INSERT INTO T VALUES (1)");
        {
            TransactionHandle moved = std::move(tr);
            EXPECT_FALSE(tr);
        }
        EXPECT_EQ(observer.rows(), 0);
        TransactionHandle committed = startTransaction(second);
        execute(second, committed, "INSERT INTO T VALUES (2)");
        StatusVector status;
        isc_commit_transaction(&status, &committed);
        status.Check("isc_commit_transaction");
        EXPECT_FALSE(committed);   // the library cleared the handle it ended
        EXPECT_EQ(observer.rows(), 1);

        // Assigning over an owner detaches what it held.
        AttachmentHandle third = attach(path);
        EXPECT_EQ(observer.otherAttachments(), 2);
        third = std::move(second);
        EXPECT_EQ(observer.otherAttachments(), 1);
        EXPECT_EQ(attachmentId(third), id);
    }
    EXPECT_EQ(observer.otherAttachments(), 0);
}

TEST(ClientHandles, ReleasingAfterTheAttachmentIsGoneIsHarmless)
{
    const QString path = scratch("handles_gone");
    Observer observer(path);

    // Detached by the client: the statement's handle is stale when its
    // owner drops it.
    {
        AttachmentHandle db = attach(path);
        TransactionHandle tr = startTransaction(db);
        StatementHandle statement = prepare(db, tr, "SELECT N FROM T");
        StatusVector status;
        isc_commit_transaction(&status, &tr);
        status.Check("isc_commit_transaction");
        isc_detach_database(&status, &db);
        status.Check("isc_detach_database");
        EXPECT_FALSE(db);
        EXPECT_TRUE(statement);
        statement.Reset();
        EXPECT_FALSE(statement);
    }

    // Shut down by the server while a transaction and a statement are
    // open: all three owners release into a dead attachment.
    {
        AttachmentHandle db = attach(path);
        TransactionHandle tr = startTransaction(db);
        StatementHandle statement = prepare(db, tr, "SELECT N FROM T");
        execute(db, tr, "INSERT INTO T VALUES (3)");
        const int id = attachmentId(db);
        observer.q.SetSQL(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = %1").arg(id));
        observer.q.Open();
        observer.q.Close();
        EXPECT_EQ(observer.otherAttachments(), 0);
    }
    EXPECT_EQ(observer.rows(), 0);

    // The same through the session classes: the query and the transaction
    // outlive their session's attachment, and then the session itself.
    auto query = std::make_unique<TIBQuery>();
    auto transaction = std::make_unique<TIBTransaction>();
    {
        TIBDatabase db;
        TestServer::configure(db, path);
        transaction->SetDefaultDatabase(&db);
        query->SetDatabase(&db);
        query->SetTransaction(transaction.get());
        query->SetSQL(QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE"));
        query->Prepare();
        query->Open();
        const int id = query->Fields(0).IntegerValue();
        EXPECT_EQ(observer.otherAttachments(), 1);
        observer.q.SetSQL(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = %1").arg(id));
        observer.q.Open();
        observer.q.Close();
        // The session has not noticed: going away, it ends the open
        // cursor, the transaction and the attachment into a dead connection.
        EXPECT_TRUE(query->Active());
        EXPECT_TRUE(transaction->Active());
    }
    EXPECT_FALSE(query->Active());
    EXPECT_FALSE(transaction->Active());
    EXPECT_EQ(query->Database(), nullptr);
    EXPECT_EQ(query->Transaction(), nullptr);
    query.reset();
    transaction.reset();
    EXPECT_EQ(observer.otherAttachments(), 0);
}

TEST(ClientHandles, FailedConnectsLeaveNothingBehind)
{
    const QString path = scratch("handles_failed");
    Observer observer(path);
    ASSERT_EQ(observer.otherAttachments(), 0);

    TIBDatabase db;
    // A refused login and a database that is not there: neither connects.
    auto connectsFail = [&] {
        int failed = 0;
        for (const QString& target : {path, QStringLiteral("/nonexistent/nowhere.fdb")}) {
            db.SetDatabaseName(TestServer::connectionString(target));
            db.SetParams(target == path ? QStringList{QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=wrong")}
                                        : TestServer::loginParams());
            try {
                db.SetConnected(true);
            } catch (const EIBInterBaseError&) {
                failed += db.Connected() ? 0 : 1;
            }
        }
        return failed == 2;
    };
    // The first failures load what the client library keeps for the
    // process; from then on failing leaves the count of open files alone.
    ASSERT_TRUE(connectsFail());
    const int files = openFiles();
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(connectsFail());
    EXPECT_EQ(openFiles(), files);
    EXPECT_EQ(observer.otherAttachments(), 0);

    // The session connects normally afterwards, and disconnecting detaches.
    TestServer::configure(db, path);
    db.SetConnected(true);
    EXPECT_EQ(observer.otherAttachments(), 1);
    db.SetConnected(false);
    EXPECT_EQ(observer.otherAttachments(), 0);
}
