#include <gtest/gtest.h>

#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "designer/Larkspan.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <csignal>
#include <stdexcept>

// The server dies under a session: killed by its process id in the middle
// of a fetch, of a view generation, or while the session is idle. These
// tests own their server (tests/dbaccess/fault/faultserver.sh, in
// LARKSPAN_FAULT_ROOT); the shared one is never touched.
namespace {
QString run(const QString& command)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(LARKSPAN_SOURCE_DIR "/tests/dbaccess/fault/faultserver.sh"),
            {command, QStringLiteral(LARKSPAN_FAULT_ROOT)});
    if (!p.waitForFinished(240000) || p.exitCode() != 0)
        throw std::runtime_error(("faultserver.sh " + command + " failed: ").toStdString() + p.readAll().toStdString());
    return QString::fromLocal8Bit(p.readAll());
}

QString rootFile(const QString& name)
{
    QFile f(QStringLiteral(LARKSPAN_FAULT_ROOT "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(("cannot read " + f.fileName()).toStdString());
    return QString::fromLatin1(f.readAll()).trimmed();
}

struct FaultServer {
    static void Start() { run(QStringLiteral("start")); }

    // SIGKILL, then wait until the process is gone (or a zombie) and its
    // port no longer answers.
    static void Kill()
    {
        const pid_t pid = pid_t(rootFile(QStringLiteral("firebird.pid")).toLongLong());
        ASSERT_GT(pid, 1);
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly) || stat.readAll().split(' ').value(2) == "Z")
                return;
            QThread::msleep(20);
        }
        FAIL() << "server " << pid << " still runs after SIGKILL";
    }

    static QString Database(int dialect)
    {
        return "localhost/" + rootFile(QStringLiteral("port")) + QStringLiteral(":" LARKSPAN_FAULT_ROOT "/databases/employee") +
               QString::number(dialect) + ".fdb";
    }

    static void Configure(TIBDatabase& db, int dialect)
    {
        db.SetDatabaseName(Database(dialect));
        db.SetParams({"user_name=SYSDBA", "password=larchwood"});
        db.SetLoginPrompt(false);
        db.SetSQLDialect(dialect);
    }
};

class ConnectionFault : public ::testing::Test {
protected:
    void SetUp() override { FaultServer::Start(); }
    // Whatever a test did to it, the next one finds the server running.
    void TearDown() override { FaultServer::Start(); }
};

// 1,000,000 rows without a table: three system tables crossed.
const char* MillionRows = "SELECT FIRST 1000000 A.RDB$TYPE AS T FROM RDB$TYPES A CROSS JOIN RDB$TYPES B "
                          "CROSS JOIN RDB$TYPES C";

template <class F>
QString lostConnectionError(F&& f, qint64* ms = nullptr)
{
    QElapsedTimer t;
    t.start();
    try {
        f();
    } catch (const EIBConnectionLost& e) {
        if (ms)
            *ms = t.elapsed();
        return e.Message();
    }
    return QStringLiteral("<no lost connection>");
}

QStringList nodeTexts(QTreeWidget& tree)
{
    QStringList texts;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        texts << (*it)->text(0);
    return texts;
}
}

TEST_F(ConnectionFault, KilledDuringLargeFetch)
{
    TIBDatabase db;
    FaultServer::Configure(db, 3);
    TIBTransaction tr;
    tr.SetDefaultDatabase(&db);
    TIBQuery q;
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetSQL(QString::fromLatin1(MillionRows));
    q.Open();
    while (q.FetchedRowCount() < 100000)
        ASSERT_GT(q.FetchRows(1000), 0);
    int dropped = 0;
    QObject::connect(&db, &TIBDatabase::ConnectionDropped, [&] {
        EXPECT_FALSE(db.Connected());
        ++dropped;
    });

    FaultServer::Kill();
    qint64 ms = 0;
    const QString message = lostConnectionError(
        [&] {
            while (!q.AllFetched())
                q.FetchRows(1000);
        },
        &ms);
    EXPECT_TRUE(message.startsWith("The connection to the database " + FaultServer::Database(3) + " was lost\r\n"))
        << message.toStdString();
    EXPECT_LT(ms, 5000);
    EXPECT_EQ(dropped, 1);
    // Nothing of the connection is left: the session, the transaction and
    // the query all say so, and reading the dropped rows gives nothing.
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(tr.Active());
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(q.Prepared());
    EXPECT_EQ(q.FetchedRowCount(), 0);
    EXPECT_EQ(q.FieldNamed("T").TextValue(), QString());

    // While the server is down the next operation tries to connect, and
    // says that it could not; it does not pretend to be connected.
    try {
        q.Open();
        ADD_FAILURE() << "opened without a server";
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.Context(), "isc_attach_database");
        EXPECT_FALSE(e.Message().contains("Error writing data")) << e.Message().toStdString();
    }
    EXPECT_FALSE(db.Connected());

    // The server is back: the same objects read the whole result again.
    FaultServer::Start();
    q.Open();
    EXPECT_TRUE(db.Connected());
    while (!q.AllFetched())
        q.FetchRows(100000);
    EXPECT_EQ(q.FetchedRowCount(), 1000000);
    q.Close();
    db.SetConnected(false);
}

TEST_F(ConnectionFault, KilledDuringViewGeneration)
{
    TIBDatabase db;
    FaultServer::Configure(db, 1);
    QTreeWidget tree;
    QTreeWidget list;
    TLarkspan lk;
    lk.SetIBDataBase(&db);
    lk.SetTreeView(&tree);
    lk.SetListView(&list);
    lk.SetTableName("Employee");
    lk.SetDetailTableName("Employee_project");
    lk.GenerateView();
    const QStringList whole = nodeTexts(tree);
    ASSERT_GT(whole.size(), 3);

    // The server dies right after the fourth statement of the next generation.
    int statements = 0;
    const auto connection = QObject::connect(&db, &TIBDatabase::StatementExecuted, [&] {
        if (++statements == 4)
            FaultServer::Kill();
    });
    qint64 ms = 0;
    const QString message = lostConnectionError([&] { lk.GenerateView(); }, &ms);
    QObject::disconnect(connection);
    EXPECT_EQ(statements, 4);
    EXPECT_TRUE(message.startsWith("The connection to the database " + FaultServer::Database(1) + " was lost\r\n"))
        << message.toStdString();
    EXPECT_LT(ms, 5000);
    EXPECT_FALSE(db.Connected());

    // The same designer and session generate the same tree once the server is back.
    FaultServer::Start();
    lk.GenerateView();
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(nodeTexts(tree), whole);
    db.SetConnected(false);
}

TEST_F(ConnectionFault, ServerDiedWhileIdle)
{
    TIBDatabase db;
    FaultServer::Configure(db, 3);
    TIBTransaction tr;
    tr.SetDefaultDatabase(&db);
    TIBQuery q;
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetSQL(QStringLiteral("SELECT COUNT(*) AS N FROM EMPLOYEE"));
    q.Open();
    const int employees = q.FieldNamed("N").IntegerValue();
    ASSERT_GT(employees, 0);
    q.Close();

    // Killed and back before the session uses the connection again: the old
    // attachment is dead all the same. The first operation says so once;
    // the next one connects again instead of failing for good.
    FaultServer::Kill();
    FaultServer::Start();
    EXPECT_TRUE(db.Connected());   // nothing has used the connection yet
    const QString message = lostConnectionError([&] { q.Open(); });
    EXPECT_TRUE(message.startsWith("The connection to the database " + FaultServer::Database(3) + " was lost"))
        << message.toStdString();
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(tr.Active());
    q.Open();
    EXPECT_EQ(q.FieldNamed("N").IntegerValue(), employees);
    EXPECT_TRUE(tr.Active());

    // Disconnecting from a dead connection, with a transaction still open,
    // succeeds without a word.
    FaultServer::Kill();
    db.SetConnected(false);
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(tr.Active());
    EXPECT_FALSE(q.Active());
}

TEST_F(ConnectionFault, ShutDownAttachmentDropsOnlyItsSession)
{
    // Two sessions on one server; the second shuts the first one's
    // attachment down. Only the first is dropped, and it connects again.
    struct Session {
        TIBDatabase db;
        TIBTransaction tr;
        TIBQuery q;
        Session()
        {
            FaultServer::Configure(db, 3);
            tr.SetDefaultDatabase(&db);
            q.SetDatabase(&db);
            q.SetTransaction(&tr);
        }
        int attachment()
        {
            q.SetSQL(QStringLiteral("SELECT CURRENT_CONNECTION AS ID FROM RDB$DATABASE"));
            q.Open();
            const int id = q.FieldNamed("ID").IntegerValue();
            q.Close();
            return id;
        }
    } victim, survivor;

    const int first = victim.attachment();
    survivor.q.SetSQL(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = :ID"));
    survivor.q.ParamNamed("ID").SetDataType(ftInteger);
    survivor.q.ParamNamed("ID").SetValue(first);
    survivor.q.Open();
    survivor.q.Close();

    const QString message = lostConnectionError([&] { victim.attachment(); });
    EXPECT_TRUE(message.startsWith("The connection to the database " + FaultServer::Database(3) + " was lost"))
        << message.toStdString();
    EXPECT_FALSE(victim.db.Connected());
    EXPECT_TRUE(survivor.db.Connected());
    EXPECT_GT(survivor.attachment(), 0);

    const int second = victim.attachment();
    EXPECT_TRUE(victim.db.Connected());
    EXPECT_NE(second, first);
}
