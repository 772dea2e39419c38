// What the demo adds around its specified windows, driven through the main
// window against the private server: the live statement window, sorting and
// copying in the results window, Cancel of a slow statement, replacing and
// deleting saved designs, and the messages when something is missing.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/Main.h"
#include "app/ProgressForm.h"
#include "app/QueryNameForm.h"
#include "app/QueryResultForm.h"
#include "app/QuerySelectForm.h"
#include "app/ResultTableModel.h"
#include "app/ShowSqlForm.h"
#include "common/TestServer.h"
#include "controls/FieldValueForm.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "common/TimingSlack.h"

namespace {

// Rows of sql through a session of its own: each row's cells joined by tabs.
QStringList ReadRows(const QString& path, const QString& sql, int dialect = 1)
{
    OwnSession own(path, dialect);
    TIBQuery& q = own.Open(sql);
    QStringList rows;
    for (q.First(); !q.Eof(); q.Next()) {
        QStringList cells;
        for (int c = 0; c < q.FieldCount(); ++c)
            cells << q.Fields(c).TextValue();
        rows << cells.join('\t');
    }
    return rows;
}

QStringList GridRows(QAbstractItemModel* model, int count)
{
    QStringList rows;
    for (int r = 0; r < std::min(count, model->rowCount()); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->data(model->index(r, c)).toString();
        rows << cells.join('\t');
    }
    return rows;
}

class DemoFeaturesTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        AppMessages::SetQuestionHook([this](const QString& text) {
            questions << text;
            return answer;
        });
    }
    void TearDown() override
    {
        AppMessages::SetQuestionHook({});
        MainWindowFixture::TearDown();
    }

    void StartsWith(const QString& field, const QString& value)
    {
        WhenModal<TFFieldValue>([value](TFFieldValue* dialog) {
            dialog->StringOperator1->setCurrentIndex(7);   // STARTING WITH
            dialog->StringValue1->setText(value);
            dialog->BitBtn1->click();
        });
        QTreeWidgetItem* item = Field(field);
        form->ListView1->setCurrentItem(item);
        emit form->ListView1->itemDoubleClicked(item, 0);
    }
    void SaveAs(const QString& name)
    {
        WhenModal<TFQueryName>([name](TFQueryName* dialog) {
            dialog->EQueryName->setText(name);
            dialog->BitBtn1->click();
        });
        form->BtnSave->click();
    }
    QStringList Listed()
    {
        QStringList names;
        form->Larkspan1->EnumQueries([&](int, const QString& name) { names << name; });
        return names;
    }

    QStringList questions;
    AppMessages::Answer answer = AppMessages::Answer::Yes;
};

TEST_F(DemoFeaturesTest, LiveStatementFollowsTicksAndConditions)
{
    Connect();
    form->ShowSQL();
    TFShowSQL* window = form->ShowSqlForm();
    ASSERT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_TRUE(window->MSQL->toPlainText().contains("empty")) << window->MSQL->toPlainText().toStdString();

    SelectTable("Employees");
    Tick("Last name");
    QApplication::processEvents();
    const QString ticked = window->MSQL->toPlainText();
    EXPECT_TRUE(ticked.contains("LAST_NAME")) << ticked.toStdString();
    EXPECT_FALSE(ticked.contains("Parameters")) << ticked.toStdString();

    StartsWith("Last name", "Bal");
    QApplication::processEvents();
    const QString conditioned = window->MSQL->toPlainText();
    EXPECT_TRUE(conditioned.contains("STARTING WITH")) << conditioned.toStdString();
    EXPECT_TRUE(conditioned.contains("= Bal")) << conditioned.toStdString();

    // Unticked with its condition cleared: empty again.
    Field("Last name")->setCheckState(0, Qt::Unchecked);
    WhenModal<TFFieldValue>([](TFFieldValue* dialog) {
        dialog->CBClearValues->setChecked(true);
        dialog->BitBtn1->click();
    });
    emit form->ListView1->itemDoubleClicked(Field("Last name"), 0);
    QApplication::processEvents();
    EXPECT_TRUE(window->MSQL->toPlainText().contains("empty")) << window->MSQL->toPlainText().toStdString();
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
}

TEST_F(DemoFeaturesTest, LiveStatementFollowsARebuiltTree)
{
    Connect();
    form->ShowSQL();
    TFShowSQL* window = form->ShowSqlForm();
    SelectTable("Employees");
    Tick("Last name");
    QApplication::processEvents();
    EXPECT_TRUE(window->MSQL->toPlainText().contains("LAST_NAME")) << window->MSQL->toPlainText().toStdString();

    // The tree is built anew off this thread; the window waits for it and
    // then shows the new, empty design.
    form->RebuildAround("DEPARTMENT");
    QApplication::processEvents();
    ASSERT_GT(form->TreeView1->topLevelItemCount(), 0);
    EXPECT_EQ(form->Larkspan1->TableName(), "DEPARTMENT");
    EXPECT_TRUE(window->MSQL->toPlainText().contains("empty")) << window->MSQL->toPlainText().toStdString();
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
}

TEST_F(DemoFeaturesTest, SortedGridCopyStatusAndHeaderTips)
{
    Connect();
    SelectTable("Employees");
    Tick("Last name");
    Tick("First name");
    Tick("Salary");
    const QString path = TestServer::employeeDialect1();
    const QStringList ascending = ReadRows(path, "SELECT LAST_NAME, FIRST_NAME, SALARY FROM EMPLOYEE ORDER BY SALARY, EMP_NO");
    const QStringList descending = ReadRows(path, "SELECT LAST_NAME, FIRST_NAME, SALARY FROM EMPLOYEE ORDER BY SALARY DESC, EMP_NO");

    QStringList headers, tips, sortedUp, sortedDown, unsorted, before;
    QString status, copied, expectedCopy;
    int salary = -1, sortAfterThree = 0;
    WhenModal<TFQueryResult>([&](TFQueryResult* w) {
        QAbstractItemModel* model = w->DBGrid1->model();
        for (int c = 0; c < model->columnCount(); ++c) {
            headers << model->headerData(c, Qt::Horizontal).toString();
            tips << model->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString();
        }
        salary = headers.indexOf("SALARY");
        status = w->LStatus->text();
        // LARKSPAN_RESULTS_SCREENSHOT=<file> saves a picture of the window.
        const QString screenshot = qEnvironmentVariable("LARKSPAN_RESULTS_SCREENSHOT");
        if (!screenshot.isEmpty()) {
            QApplication::processEvents();
            EXPECT_TRUE(w->grab().save(screenshot));
        }
        before = GridRows(model, 42);
        emit w->DBGrid1->horizontalHeader()->sectionClicked(salary);
        sortedUp = GridRows(model, 42);
        emit w->DBGrid1->horizontalHeader()->sectionClicked(salary);
        sortedDown = GridRows(model, 42);
        emit w->DBGrid1->horizontalHeader()->sectionClicked(salary);
        unsorted = GridRows(model, 42);
        sortAfterThree = w->SortColumn();

        // Rows 0 and 2 selected, copied with the usual shortcut.
        w->DBGrid1->selectionModel()->clearSelection();
        w->DBGrid1->selectRow(0);
        w->DBGrid1->selectionModel()->select(model->index(2, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
        QApplication::sendEvent(w->DBGrid1, &copy);
        copied = QApplication::clipboard()->text();
        expectedCopy = headers.join('\t') + "\n" + unsorted[0] + "\n" + unsorted[2] + "\n";
        w->BitBtn1->click();
    });
    form->BtnResults->click();
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    ASSERT_GE(salary, 0) << headers.join(',').toStdString();
    // The display names as the headers' tooltips.
    EXPECT_EQ(tips[headers.indexOf("LAST_NAME")], "Last name");
    EXPECT_EQ(tips[salary], "Salary");
    EXPECT_TRUE(status.startsWith("all 42 rows")) << status.toStdString();
    EXPECT_TRUE(status.endsWith(" s")) << status.toStdString();

    // Compared by the sorted column, whose order is fixed; the rows as a set.
    auto column = [&](const QStringList& rows, int index) {
        QStringList values;
        for (const QString& row : rows)
            values << row.split('\t')[index];
        return values;
    };
    auto oracleColumn = [&](const QStringList& rows) { return column(rows, 2); };
    ASSERT_EQ(sortedUp.size(), ascending.size());
    EXPECT_EQ(column(sortedUp, salary), oracleColumn(ascending));
    EXPECT_EQ(column(sortedDown, salary), oracleColumn(descending));
    QStringList a = sortedUp, b = before;
    a.sort();
    b.sort();
    EXPECT_EQ(a, b);
    EXPECT_EQ(unsorted, before);   // the third click runs the statement unsorted again
    EXPECT_EQ(sortAfterThree, -1);
    EXPECT_EQ(copied, expectedCopy);
    EXPECT_FALSE(form->ResultQuery->Active());
}

TEST_F(DemoFeaturesTest, CancelOfASlowStatementReturnsAndTheSessionGoesOn)
{
    // A view whose first row takes the server minutes: a four-way cross join
    // of a system table filtered by a condition that never holds.
    const QString path = TestServer::createScratchDatabase(
        "slowview", {"CREATE VIEW SLOW_V (T, U) AS SELECT a.RDB$TYPE, b.RDB$TYPE FROM RDB$TYPES a, RDB$TYPES b, "
                     "RDB$TYPES c, RDB$TYPES d WHERE a.RDB$TYPE + b.RDB$TYPE + c.RDB$TYPE + d.RDB$TYPE < -1"});
    form->Larkspan1->SetTableName("SLOW_V");
    form->Larkspan1->SetDetailTableName("NO_DETAIL");
    Connect(path);
    SelectTable(form->TreeView1->topLevelItem(0)->text(0));
    ASSERT_GT(form->ListView1->topLevelItemCount(), 0);
    form->ListView1->topLevelItem(0)->setCheckState(0, Qt::Checked);

    QElapsedTimer clock;
    bool progressShown = false, resultsShown = false;
    WhenModal<TFProgress>([&](TFProgress* progress) {
        progressShown = true;
        QTimer::singleShot(300, progress, [&, progress] {
            clock.start();
            progress->BtnCancel->click();
        });
    });
    WhenModal<TFQueryResult>([&](TFQueryResult* w) {
        resultsShown = true;
        w->reject();
    });
    form->BtnResults->click();
    const qint64 afterCancel = clock.isValid() ? clock.elapsed() : -1;
    std::printf("control returned %lld ms after Cancel\n", static_cast<long long>(afterCancel));
    EXPECT_TRUE(progressShown);
    EXPECT_FALSE(resultsShown);
    EXPECT_GE(afterCancel, 0);
    EXPECT_LT(afterCancel, 1000 * TimingSlack());
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    EXPECT_TRUE(form->IBDatabase1->Connected());
    EXPECT_FALSE(form->ResultQuery->Active());

    // The next statement runs on the same connection and transaction.
    TIBQuery next;
    next.SetDatabase(form->IBDatabase1);
    next.SetTransaction(form->IBTransaction1);
    next.SetSQL("SELECT COUNT(*) FROM RDB$DATABASE");
    next.Open();
    EXPECT_EQ(next.Fields(0).IntegerValue(), 1);
    next.Close();
}

TEST_F(DemoFeaturesTest, ReplaceDeleteAndSaveMessages)
{
    Connect();
    SelectTable("Employees");
    Tick("Last name");
    SaveAs("first");
    ASSERT_EQ(messages.informations.size(), 1);
    EXPECT_TRUE(messages.informations[0].contains(QDir::toNativeSeparators(form->Larkspan1->QueryFileName())))
        << messages.informations[0].toStdString();
    SaveAs("second");
    ASSERT_EQ(Listed(), (QStringList{"first", "second"}));
    QFile file(form->Larkspan1->QueryFileName());
    const qint64 sizeBefore = file.size();

    // Same name again, answered Cancel: nothing written, nothing said.
    messages.clear();
    answer = AppMessages::Answer::Cancel;
    Tick("First name");
    SaveAs("first");
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(messages.informations.isEmpty());
    EXPECT_EQ(file.size(), sizeBefore);

    // Answered Yes: the entry is written over in place.
    answer = AppMessages::Answer::Yes;
    SaveAs("first");
    EXPECT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions.last().contains("\"first\" already exists")) << questions.last().toStdString();
    EXPECT_EQ(file.size(), sizeBefore);
    EXPECT_EQ(Listed(), (QStringList{"first", "second"}));
    // Loading it gives the new design: both names ticked.
    Field("First name")->setCheckState(0, Qt::Unchecked);
    Field("Last name")->setCheckState(0, Qt::Unchecked);
    form->Larkspan1->LoadQuery(0);
    SelectTable("Employees");
    EXPECT_EQ(Field("First name")->checkState(0), Qt::Checked);
    EXPECT_EQ(Field("Last name")->checkState(0), Qt::Checked);

    // Delete from the selection dialog: the first entry becomes free, the
    // second keeps its place; the next save reuses the free room.
    QStringList remaining;
    WhenModal<TFSelectQuery>([&](TFSelectQuery* dialog) {
        dialog->ListBox1->setCurrentRow(0);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(dialog->ListBox1, &del);
        for (int i = 0; i < dialog->ListBox1->count(); ++i)
            remaining << dialog->ListBox1->item(i)->text();
        dialog->BitBtn2->click();
    });
    form->BtnLoad->click();
    EXPECT_EQ(remaining, QStringList{"second"});
    EXPECT_EQ(Listed(), QStringList{"second"});
    EXPECT_EQ(file.size(), sizeBefore);
    SaveAs("third");
    EXPECT_EQ(file.size(), sizeBefore);
    EXPECT_EQ(Listed(), (QStringList{"third", "second"}));
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
}

TEST_F(DemoFeaturesTest, DisconnectedAndMissingTableMessages)
{
    for (QPushButton* button : {form->BtnSave, form->BtnLoad, form->BtnResults}) {
        messages.clear();
        button->click();
        EXPECT_EQ(messages.informations, QStringList{"Connect to a database first."})
            << button->objectName().toStdString();
        EXPECT_TRUE(messages.errors.isEmpty());
    }
    EXPECT_TRUE(form->findChildren<TFQueryName*>().isEmpty());

    messages.clear();
    form->Larkspan1->SetTableName("NO_SUCH_TABLE");
    form->ServerAddr->setText(TestServer::serverAddress());
    form->Path->setText(TestServer::employeeDialect1());
    // Enter in the path edit connects.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(form->Path, &enter);
    EXPECT_EQ(messages.errors, QStringList{"The table \"NO_SUCH_TABLE\" does not exist in this database."});
    EXPECT_FALSE(form->IBDatabase1->Connected());
    EXPECT_EQ(form->BtnConnect->text(), "Connect to server");

    messages.clear();
    form->Larkspan1->SetTableName("Employee");
    QApplication::sendEvent(form->Path, &enter);
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
    EXPECT_TRUE(form->IBDatabase1->Connected());
}

TEST_F(DemoFeaturesTest, CaptionsFitTheirControls)
{
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        QString text = button->text();
        text.remove('&');
        int needed = button->fontMetrics().horizontalAdvance(text);
        if (!button->icon().isNull())
            needed += button->iconSize().width();
        EXPECT_LE(needed, button->width()) << text.toStdString();
    }
    EXPECT_LT(form->Label1->x() + form->Label1->sizeHint().width(), form->Path->x());
    EXPECT_LT(form->Label2->x() + form->Label2->sizeHint().width(), form->ServerAddr->x());
    // Positions and sizes stay as laid out.
    EXPECT_EQ(form->BtnSave->geometry(), QRect(272, 416, 121, 25));
    EXPECT_EQ(form->Path->geometry(), QRect(120, 40, 329, 21));
}

}   // namespace
