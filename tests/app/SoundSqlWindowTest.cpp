// Designs whose conditions join two comparisons with OR, entered through the
// demo's main window and its value dialog against the dialect 1 sample: the
// results grid must show exactly the rows of a statement written by hand
// with every condition in parentheses.
#include <QAbstractItemModel>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/Main.h"
#include "app/QueryResultForm.h"
#include "common/TestServer.h"
#include "common/QueryRows.h"
#include "controls/FieldValueForm.h"
#include "controls/ZOVNumberEdit.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

namespace {

// The rows of a statement, each as its cells joined by "|", sorted; read
// through a session of the test's own.
QStringList ReferenceRows(const QString& sql)
{
    OwnSession own(TestServer::employeeDialect1());
    own.query.SetSQL(sql);
    const QStringList rows = SortedRows(own.query);
    own.tr.Commit();
    return rows;
}

class SoundSqlWindowTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        if (!HasFatalFailure())
            Connect();
    }

    // Double-clicks the field; answer fills in the value dialog, then OK.
    void Condition(const QString& field, std::function<void(TFFieldValue*)> answer)
    {
        QTreeWidgetItem* item = Field(field);
        ASSERT_NE(item, nullptr) << field.toStdString();
        bool shown = false;
        WhenModal<TFFieldValue>([answer](TFFieldValue* dialog) {
            answer(dialog);
            dialog->BitBtn1->click();
        }, &shown);
        form->ListView1->setCurrentItem(item);
        emit form->ListView1->itemDoubleClicked(item, 0);
        EXPECT_TRUE(shown);
        EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString();
        EXPECT_FALSE(item->text(1).isEmpty()) << field.toStdString();
    }

    // Open results; every row the grid shows, cells joined by "|", sorted.
    QStringList GridRows()
    {
        QStringList rows;
        bool shown = false;
        WhenModal<TFQueryResult>([&rows](TFQueryResult* results) {
            QAbstractItemModel* model = results->DBGrid1->model();
            while (model->canFetchMore(QModelIndex()))
                model->fetchMore(QModelIndex());
            for (int r = 0; r < model->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < model->columnCount(); ++c)
                    cells << model->data(model->index(r, c)).toString();
                rows << cells.join('|');
            }
            results->BitBtn1->click();
        }, &shown);
        form->BtnResults->click();
        EXPECT_TRUE(shown);
        EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join('\n').toStdString() << "\n" << Statement();
        rows.sort();
        return rows;
    }

    std::string Statement() const { return QString(form->Larkspan1->SQLText()).replace('\r', '\n').toStdString(); }

};

// Salary below 30000 or above 200000, with the department's name: the OR
// stays inside the salary condition, the join holds for every row.
TEST_F(SoundSqlWindowTest, OrConditionKeepsTheJoin)
{
    SelectTable("Employees");
    Tick("Last name");
    Tick("Salary");
    Condition("Salary", [](TFFieldValue* d) {
        d->FloatOperator1->setCurrentIndex(3);          // <
        d->FloatValue1->setText("30000");
        d->FloatBoolBetweenFields->setCurrentIndex(2);  // OR
        d->FloatOperator2->setCurrentIndex(2);          // >
        d->FloatValue2->setText("200000");
    });
    SelectTable("Departments");
    Tick("Department");

    const QStringList expected = ReferenceRows(
        "SELECT R0.LAST_NAME, R0.SALARY, R1.DEPARTMENT FROM EMPLOYEE R0, DEPARTMENT R1 "
        "WHERE (R1.DEPT_NO = R0.DEPT_NO) AND ((R0.SALARY < 30000) OR (R0.SALARY > 200000))");
    ASSERT_EQ(expected.size(), 5);   // the sample's answer to this design
    const QStringList shown = GridRows();
    EXPECT_EQ(shown.size(), expected.size()) << Statement();
    EXPECT_EQ(shown.join('\n').toStdString(), expected.join('\n').toStdString());
}

// A string condition with OR and a date condition on the same table, the
// department's name ticked: seven employees, each once.
TEST_F(SoundSqlWindowTest, StringOrWithDateCondition)
{
    SelectTable("Employees");
    Tick("Last name");
    Condition("Last name", [](TFFieldValue* d) {
        d->StringOperator1->setCurrentIndex(7);          // STARTING WITH
        d->StringValue1->setText("B");
        d->StringBoolBetWeenFields->setCurrentIndex(2);  // OR
        d->StringOperator2->setCurrentIndex(6);          // CONTAINING
        d->StringValue2->setText("son");
    });
    Condition("Hired on", [](TFFieldValue* d) {
        d->DateOperator1->setCurrentIndex(2);            // >
        d->DateValue1->setDateTime(QDateTime(QDate(1991, 1, 1), QTime(0, 0)));
    });
    SelectTable("Departments");
    Tick("Department");

    const QStringList expected = ReferenceRows(
        "SELECT R0.LAST_NAME, R1.DEPARTMENT FROM EMPLOYEE R0, DEPARTMENT R1 "
        "WHERE (R1.DEPT_NO = R0.DEPT_NO) "
        "AND ((R0.LAST_NAME STARTING WITH 'B') OR (R0.LAST_NAME CONTAINING 'son')) "
        "AND (R0.HIRE_DATE > CAST('1991-01-01 00:00:00' AS TIMESTAMP))");
    ASSERT_EQ(expected.size(), 7);
    const QStringList shown = GridRows();
    EXPECT_EQ(shown.size(), expected.size()) << Statement();
    EXPECT_EQ(shown.join('\n').toStdString(), expected.join('\n').toStdString());
}

}   // namespace
