// The results window over large and slow results, driven through its keys
// and commands: export, fetching to the end, Cancel, and a user-interface
// thread that keeps running while the work goes on; the same for the main
// window while it builds the tree of a large schema.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/Main.h"
#include "app/ProgressForm.h"
#include "app/QueryResultForm.h"
#include "app/ResultTableModel.h"
#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "common/TimingSlack.h"

namespace {

// Rows 1..N made on the server by a selectable procedure; every seventh
// name holds a comma and double quotes, every eleventh amount is null.
const QStringList GeneratorSchema = {
    "CREATE PROCEDURE GEN (N INTEGER) RETURNS (ID INTEGER, NAME VARCHAR(40), AMOUNT INTEGER) AS "
    "BEGIN ID = 1; WHILE (ID <= N) DO BEGIN "
    "NAME = 'row ' || ID || IIF(MOD(ID, 7) = 0, ', \"quoted\"', ''); "
    "AMOUNT = IIF(MOD(ID, 11) = 0, NULL, ID * 3); SUSPEND; ID = ID + 1; END END"};

QString GeneratorDatabase()
{
    static const QString path = TestServer::createScratchDatabase("resultwindow", GeneratorSchema);
    return path;
}

QString RowsSql(int n)
{
    return QStringLiteral("SELECT ID, NAME, AMOUNT FROM GEN(%1)").arg(n);
}

// Answers the next progress window once it shows; records when it did.
void WhenProgress(std::function<void(TFProgress*)> action)
{
    WhenModal<TFProgress>(std::move(action));
}

// Counts the largest pause between ticks of a 5 ms timer on this thread.
class GapMeter {
public:
    GapMeter()
    {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            const qint64 now = FClock.elapsed();
            FLargest = std::max(FLargest, now - FLast);
            FLast = now;
            ++FTicks;
        });
        FClock.start();
        FTimer.start();
    }
    // A pause still going on when asked counts too: work that ends by
    // blocking the thread shows no tick after it.
    qint64 Largest() const { return std::max(FLargest, FClock.elapsed() - FLast); }
    int Ticks() const { return FTicks; }

private:
    QTimer FTimer;
    QElapsedTimer FClock;
    qint64 FLast = 0;
    qint64 FLargest = 0;
    int FTicks = 0;
};

class ResultWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestServer::configure(db, GeneratorDatabase());
        db.SetLoginPrompt(false);
        db.SetSQLDialect(3);
        db.SetDefaultTransaction(&tr);
        tr.SetDefaultDatabase(&db);
        db.SetConnected(true);
        query.SetDatabase(&db);
        query.SetTransaction(&tr);
        ASSERT_TRUE(scratch.isValid());
    }

    // Opens sql and shows the results window modally; check runs once it is up.
    void ShowResults(const QString& sql, std::function<void(TFQueryResult*)> check)
    {
        query.SetSQL(sql);
        query.Open();
        TFQueryResult results(nullptr, &query);
        bool ran = false;
        WhenModal<TFQueryResult>([&](TFQueryResult* w) {
            check(w);
            w->BitBtn1->click();
        }, &ran);
        results.exec();
        query.Close();
        EXPECT_TRUE(ran);
    }

    // The CSV that the rows of sql make, read through a session of its own.
    QByteArray ExpectedCsv(const QString& sql)
    {
        OwnSession own(GeneratorDatabase(), 3);
        TIBQuery& q = own.Open(sql);
        auto field = [](const QString& text) {
            if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r'))
                return text;
            return "\"" + QString(text).replace("\"", "\"\"") + "\"";
        };
        QString csv = "ID,NAME,AMOUNT\r\n";
        for (q.First(); !q.Eof(); q.Next())
            csv += field(q.Fields(0).TextValue()) + "," + field(q.Fields(1).TextValue()) + "," +
                   field(q.Fields(2).TextValue()) + "\r\n";
        return csv.toUtf8();
    }

    MessageRecorder messages;
    TIBDatabase db;
    TIBTransaction tr;
    TIBQuery query;
    QTemporaryDir scratch;
};

TEST_F(ResultWindowTest, ExportWritesEveryRowAndCancelLeavesNoFile)
{
    const QString file = scratch.filePath("rows.csv");
    const QString cancelled = scratch.filePath("cancelled.csv");
    bool exported = false, cancelResult = true;
    int rowsBeforeExport = -1, rowsAfterExport = -1;
    QString status;
    ShowResults(RowsSql(100000), [&](TFQueryResult* w) {
        rowsBeforeExport = w->DataSource1->rowCount();
        exported = w->ExportToCsv(file);
        rowsAfterExport = w->DataSource1->rowCount();
        status = w->LStatus->text();
    });
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    EXPECT_TRUE(exported);
    // The export reads on a query of its own: the grid keeps what it had.
    EXPECT_EQ(rowsBeforeExport, 1000);
    EXPECT_EQ(rowsAfterExport, rowsBeforeExport);
    EXPECT_EQ(status, QLocale().toString(100000) + " rows exported");
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray actual = written.readAll();
    const QByteArray expected = ExpectedCsv(RowsSql(100000));
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected) << "first difference at byte "
                                    << std::mismatch(actual.begin(), actual.end(), expected.begin()).first - actual.begin();

    QElapsedTimer clock;
    qint64 returnedAfterCancel = -1;
    ShowResults(RowsSql(3000000), [&](TFQueryResult* w) {
        WhenProgress([&](TFProgress* progress) {
            clock.start();
            progress->BtnCancel->click();
        });
        cancelResult = w->ExportToCsv(cancelled);
        returnedAfterCancel = clock.isValid() ? clock.elapsed() : -1;
    });
    EXPECT_FALSE(cancelResult);
    EXPECT_GE(returnedAfterCancel, 0);
    EXPECT_LT(returnedAfterCancel, 1000 * TimingSlack());
    EXPECT_FALSE(QFile::exists(cancelled));
    // Nothing else is left in the folder either (no temporary file).
    EXPECT_EQ(QDir(scratch.path()).entryList(QDir::Files), QStringList{"rows.csv"});
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
}

TEST_F(ResultWindowTest, CtrlEndShowsTheLastRowOfALargeResult)
{
    int rows = -1, lastVisible = -1;
    QString lastId, status;
    ShowResults(RowsSql(200000), [&](TFQueryResult* w) {
        EXPECT_EQ(w->DataSource1->rowCount(), 1000);
        w->DBGrid1->setFocus();
        w->DBGrid1->setCurrentIndex(w->DataSource1->index(0, 0));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(w->DBGrid1, &press);
        QApplication::processEvents();
        rows = w->DataSource1->rowCount();
        lastVisible = w->DBGrid1->rowAt(w->DBGrid1->viewport()->height() - 2);
        lastId = w->DataSource1->data(w->DataSource1->index(rows - 1, 0)).toString();
        status = w->LStatus->text();
        EXPECT_EQ(w->DBGrid1->currentIndex().row(), rows - 1);
    });
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    EXPECT_EQ(rows, 200000);
    EXPECT_EQ(lastVisible, 199999);
    EXPECT_EQ(lastId.remove(QRegularExpression("[^0-9]")), "200000");
    EXPECT_TRUE(status.startsWith("all ")) << status.toStdString();
}

TEST_F(ResultWindowTest, ScrollBarDraggedToTheBottomFetchesEverything)
{
    int rows = -1;
    ShowResults(RowsSql(30000), [&](TFQueryResult* w) {
        QScrollBar* bar = w->DBGrid1->verticalScrollBar();
        bar->setSliderDown(true);
        bar->setValue(bar->maximum());
        bar->setSliderDown(false);
        QApplication::processEvents();
        rows = w->DataSource1->rowCount();
    });
    EXPECT_EQ(rows, 30000);
}

TEST_F(ResultWindowTest, UserInterfaceKeepsRunningDuringAMillionRowFetchAndExport)
{
    qint64 fetchGap = -1, exportGap = -1;
    int fetchTicks = 0, rows = -1;
    bool exported = false;
    ShowResults(RowsSql(1000000), [&](TFQueryResult* w) {
        {
            GapMeter meter;
            EXPECT_TRUE(w->FetchToEnd());
            fetchGap = meter.Largest();
            fetchTicks = meter.Ticks();
        }
        rows = w->DataSource1->rowCount();
    });
    ShowResults(RowsSql(1000000), [&](TFQueryResult* w) {
        GapMeter meter;
        exported = w->ExportToCsv(scratch.filePath("million.csv"));
        exportGap = meter.Largest();
    });
    std::printf("largest pause of the user-interface thread: fetch to end %lld ms (%d ticks), export %lld ms\n",
                static_cast<long long>(fetchGap), fetchTicks, static_cast<long long>(exportGap));
    EXPECT_EQ(rows, 1000000);
    EXPECT_TRUE(exported);
    EXPECT_GT(fetchTicks, 20);
    EXPECT_LT(fetchGap, 100 * TimingSlack());
    EXPECT_LT(exportGap, 100 * TimingSlack());
}

// A schema of 300 tables in a tree of foreign keys: table i refers to its
// five children 5i+1 .. 5i+5, so the tree around S000 holds every table once.
QString TreeSchemaDatabase()
{
    const int tables = 300;
    QStringList statements;
    for (int i = tables - 1; i >= 0; --i) {
        QString columns = "ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20)";
        for (int child = 5 * i + 1; child <= 5 * i + 5 && child < tables; ++child)
            columns += QString(", R%1 INTEGER REFERENCES S%1 (ID)").arg(child, 3, 10, QChar('0'));
        statements << QString("CREATE TABLE S%1 (%2)").arg(i, 3, 10, QChar('0')).arg(columns);
    }
    static const QString path = TestServer::createScratchDatabase("treeschema", statements);
    return path;
}

int ItemCount(QTreeWidget* tree)
{
    int count = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        ++count;
    return count;
}

class TreeGenerationTest : public MainWindowFixture {};

TEST_F(TreeGenerationTest, UserInterfaceKeepsRunningWhileALargeTreeIsBuilt)
{
    const QString path = TreeSchemaDatabase();
    form->Larkspan1->SetTableName("S000");
    form->Larkspan1->SetDetailTableName(QString());
    // Table by table, the schema read takes a few hundred milliseconds:
    // long enough that doing it on this thread would show.
    form->Larkspan1->SetUsePermanentCache(false);
    form->Larkspan1->SetReadSchemaAtOnce(false);
    QElapsedTimer clock;
    clock.start();
    GapMeter meter;
    Connect(path);
    const qint64 gap = meter.Largest();
    std::printf("building the tree of 300 tables: %lld ms, largest pause of the user-interface thread %lld ms "
                "(%d ticks)\n",
                static_cast<long long>(clock.elapsed()), static_cast<long long>(gap), meter.Ticks());
    EXPECT_EQ(ItemCount(form->TreeView1), 300);
    EXPECT_EQ(form->Larkspan1->Tables().Count(), 300);
    EXPECT_GT(meter.Ticks(), 10);
    EXPECT_LT(gap, 100 * TimingSlack());
}

}   // namespace
