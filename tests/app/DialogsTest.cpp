// The demo's small windows: keyboard behaviour of the two dialogs and the
// results grid over a large result.
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/QueryNameForm.h"
#include "app/QueryResultForm.h"
#include "app/QuerySelectForm.h"
#include "app/ResultTableModel.h"
#include "controls/FieldValueForm.h"
#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

namespace {

void PressKey(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// Shows the dialog modally and presses key in it once it is up.
template <class T>
int ExecWithKey(T& dialog, int key)
{
    WhenModal<T>([key](T* d) { PressKey(d, key); });
    return dialog.exec();
}

TEST(DialogsTest, EnterConfirmsEscapeCancels)
{
    TFQueryName name;
    EXPECT_EQ(name.windowTitle(), "Enter the name of the query");
    EXPECT_EQ(name.EQueryName->maxLength(), 255);
    name.EQueryName->setText(QString(300, QLatin1Char('x')));
    EXPECT_EQ(name.EQueryName->text().size(), 255);
    EXPECT_EQ(ExecWithKey(name, Qt::Key_Return), QDialog::Accepted);
    EXPECT_EQ(ExecWithKey(name, Qt::Key_Escape), QDialog::Rejected);

    TFSelectQuery select;
    EXPECT_EQ(select.windowTitle(), "Select a query to load");
    EXPECT_EQ(select.BitBtn1->text(), "Load");
    select.ListBox1->addItems({"one", "two"});
    select.ListBox1->setCurrentRow(0);
    EXPECT_EQ(ExecWithKey(select, Qt::Key_Enter), QDialog::Accepted);
    EXPECT_EQ(ExecWithKey(select, Qt::Key_Escape), QDialog::Rejected);
    // A double click only selects.
    WhenModal<TFSelectQuery>([](TFSelectQuery* d) {
        QListWidgetItem* second = d->ListBox1->item(1);
        d->ListBox1->setCurrentItem(second);
        emit d->ListBox1->itemDoubleClicked(second);
        EXPECT_TRUE(d->isVisible());
        d->BitBtn2->click();
    });
    EXPECT_EQ(select.exec(), QDialog::Rejected);
    EXPECT_EQ(select.ListBox1->currentRow(), 1);
}

TEST(DialogsTest, BlobFieldValueDialogShowsNoLayoutCaptions)
{
    for (TFieldType type : {ftMemo, ftBlob}) {
        TFFieldValue dialog(nullptr, "Project description", type);
        for (QLabel* label : dialog.Notebook1->findChildren<QLabel*>()) {
            EXPECT_FALSE(label->text().startsWith("Label")) << label->text().toStdString();
            EXPECT_FALSE(label->text().contains("FieldName")) << label->text().toStdString();
        }
    }
}

class ResultGridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestServer::configure(db, TestServer::employeeDialect1());
        db.SetLoginPrompt(false);
        db.SetSQLDialect(1);
        db.SetDefaultTransaction(&tr);
        tr.SetDefaultDatabase(&db);
        db.SetConnected(true);
        query.SetDatabase(&db);
        query.SetTransaction(&tr);
    }

    MessageRecorder messages;
    TIBDatabase db;
    TIBTransaction tr;
    TIBQuery query;
};

TEST_F(ResultGridTest, MillionRowsShowTheirFirstScreenAtOnce)
{
    // Three copies of a system table joined with each other give far more
    // than a million rows; FIRST cuts them to exactly a million.
    query.SetSQL("SELECT FIRST 1000000 a.RDB$TYPE AS T1, b.RDB$TYPE_NAME AS NAME2\r"
                 "FROM RDB$TYPES a, RDB$TYPES b, RDB$TYPES c");
    query.SetBufferChunks(1000);

    TFQueryResult results(nullptr, &query);
    EXPECT_EQ(results.windowTitle(), "FQueryResult");
    QElapsedTimer clock;
    qint64 firstScreenMs = -1;
    int shownRows = -1, columns = -1;
    QString header;
    bool canFetch = false;
    WhenModal<TFQueryResult>([&](TFQueryResult* w) {
        firstScreenMs = clock.elapsed();
        QAbstractItemModel* model = w->DBGrid1->model();
        shownRows = model->rowCount();
        columns = model->columnCount();
        header = model->headerData(1, Qt::Horizontal).toString();
        canFetch = model->canFetchMore(QModelIndex());
        // Scrolling to the end of what is there fetches one more chunk.
        w->DBGrid1->scrollToBottom();
        model->fetchMore(QModelIndex());
        EXPECT_GE(model->rowCount(), 2000);
        EXPECT_LE(model->rowCount(), 4000);
        w->BitBtn1->click();
    });
    clock.start();
    query.Open();
    results.exec();
    std::printf("first screen of a million-row result after %lld ms\n", static_cast<long long>(firstScreenMs));
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    EXPECT_EQ(shownRows, 1000);
    EXPECT_EQ(columns, 2);
    EXPECT_EQ(header, "NAME2");
    EXPECT_TRUE(canFetch);
    EXPECT_LT(firstScreenMs, 3000);

    // Hidden, the grid lets go of the rows; closing the query is then safe.
    EXPECT_EQ(results.DataSource1->rowCount(), 0);
    query.Close();
    EXPECT_FALSE(results.DataSource1->canFetchMore(QModelIndex()));
    EXPECT_FALSE(results.DataSource1->data(results.DataSource1->index(0, 0)).isValid());
}

}   // namespace
