// The field list and value entry on real controls and the dialect 1 sample.
#include <QHeaderView>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

#include "DesignerTestFixture.h"
#include "core/ExceptionHandler.h"
#include "dbaccess/IBQuery.h"

namespace {

bool SameField(const TLKField& a, const TLKField& b)
{
    return a.ConditionText == b.ConditionText && a.ConditionSQL == b.ConditionSQL &&
           a.Selected == b.Selected && a.MainBool == b.MainBool &&
           a.BoolBetweenFields == b.BoolBetweenFields &&
           std::memcmp(&a.LowValue, &b.LowValue, sizeof a.LowValue) == 0 &&
           std::memcmp(&a.HighValue, &b.HighValue, sizeof a.HighValue) == 0;
}

}   // namespace

TEST(FieldList, SetupLazyLoadingAndCheckMarks)
{
    DesignerTestFixture f(TestServer::employeeDialect1());
    // Set up on assignment: two captioned columns of 33% and 66%, halves to even.
    EXPECT_EQ(f.list.columnCount(), 2);
    EXPECT_EQ(f.list.headerItem()->text(0), "Field name");
    EXPECT_EQ(f.list.headerItem()->text(1), "Value");
    EXPECT_EQ(f.list.columnWidth(0), 146);
    EXPECT_EQ(f.list.columnWidth(1), 291);
    EXPECT_FALSE(f.list.rootIsDecorated());

    TLKTable* root = f.lk.Tables()[0];
    TLKTable* job = f.Table("JOB");
    ASSERT_TRUE(root && job);
    EXPECT_EQ(job->Fields.Count(), 0);

    // First selection of a table reads its fields; the next one does not.
    const quint64 before = f.db.ExecutedStatementCount();
    f.Select(job);
    const quint64 afterFirst = f.db.ExecutedStatementCount();
    EXPECT_EQ(afterFirst - before, 1u);
    ASSERT_GT(job->Fields.Count(), 0);
    EXPECT_EQ(f.list.topLevelItemCount(), job->Fields.Count());
    for (int i = 0; i < f.list.topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = f.list.topLevelItem(i);
        EXPECT_EQ(TLarkspan::FieldOfItem(item), job->Fields[i]);
        EXPECT_FALSE(job->Fields[i]->DisplayName.isEmpty());   // filled on first show
        EXPECT_EQ(item->text(0), job->Fields[i]->DisplayName);
        EXPECT_EQ(item->checkState(0), Qt::Unchecked);
    }
    f.Select(root);
    f.Select(job);
    EXPECT_EQ(f.db.ExecutedStatementCount(), afterFirst);

    // A hidden field has no item; the item in its place is the next field's.
    TLKField* first = f.Field(root, "FIRST_NAME");
    ASSERT_TRUE(first);
    first->Visible = false;
    f.Select(root);
    EXPECT_EQ(f.Item("FIRST_NAME"), nullptr);
    EXPECT_EQ(f.list.topLevelItemCount(), root->Fields.Count() - 1);
    QTreeWidgetItem* inPlace = f.list.topLevelItem(first->FieldIndex);
    TLKField* below = TLarkspan::FieldOfItem(inPlace);
    ASSERT_TRUE(below);
    EXPECT_NE(below, first);
    inPlace->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(below->Selected);
    EXPECT_FALSE(first->Selected);
    inPlace->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(below->Selected);

    // Check marks live in the fields and survive switching tables.
    f.Check("EMP_NO");
    f.Select(job);
    f.Select(root);
    ASSERT_NE(f.Item("EMP_NO"), nullptr);
    EXPECT_EQ(f.Item("EMP_NO")->checkState(0), Qt::Checked);
    EXPECT_FALSE(f.lk.FillingList());

    // Without a current node in the tree, check marks change nothing.
    f.tree.setCurrentItem(nullptr);
    ASSERT_EQ(f.tree.currentItem(), nullptr);
    f.Check("EMP_NO", false);
    f.Check("LAST_NAME", true);
    EXPECT_TRUE(f.Field(root, "EMP_NO")->Selected);
    EXPECT_FALSE(f.Field(root, "LAST_NAME")->Selected);
    bool called = false;
    f.Enter("SALARY", [&](auto&&...) { called = true; });
    EXPECT_FALSE(called);

    // Every table's fields, loaded on demand.
    int expected = 0;
    const int total = f.lk.LoadAllFields();
    for (const auto& t : f.lk.Tables()) {
        EXPECT_GT(t->Fields.Count(), 0) << t->TableName.toStdString();
        expected += t->Fields.Count();
    }
    EXPECT_EQ(total, expected);
}

TEST(FieldList, ValueEntry)
{
    DesignerTestFixture f(TestServer::employeeDialect1());
    TLKTable* root = f.lk.Tables()[0];
    f.Select(root);
    TLKField* salary = f.Field(root, "SALARY");
    TLKField* last = f.Field(root, "LAST_NAME");
    ASSERT_TRUE(salary && last);

    // No handler: nothing changes.
    const TLKField unchanged = *salary;
    f.Enter("SALARY", nullptr);
    EXPECT_TRUE(SameField(*salary, unchanged));

    // The handler gets the field's description and the current values.
    QString table, name;
    TFieldType type = ftUnknown;
    QObject* sender = nullptr;
    TFieldValueExpression seenLow;
    f.Enter("SALARY", [&](QObject* s, const QString& t, const QString& n, const QString&,
                          TFieldType dt, int, TFieldBoolOperators& mainBool,
                          TFieldBoolOperators& between, TFieldValueExpression& low,
                          TFieldValueExpression&, bool&) {
        sender = s, table = t, name = n, type = dt, seenLow = low;
        mainBool = fboOr;
        between = fboNone;
        low.Operator = 4;
        low.Value = "40000";
    });
    EXPECT_EQ(sender, &f.list);
    EXPECT_EQ(table, root->TableName);
    EXPECT_EQ(name, "SALARY");
    EXPECT_EQ(type, ftFloat);
    EXPECT_FALSE(seenLow.Present);
    EXPECT_EQ(salary->MainBool, fboOr);   // written straight into the field
    EXPECT_TRUE(salary->LowValue.Present);
    EXPECT_EQ(salary->LowValue.Operator, 4);
    EXPECT_EQ(salary->ConditionSQL, QString("SALARY >= :a_0_%1").arg(salary->FieldIndex));
    EXPECT_EQ(f.Item("SALARY")->text(1), salary->ConditionText);
    EXPECT_TRUE(salary->ConditionText.contains("40000"));

    // The next entry sees the stored value; a high value without a link is ignored.
    f.Enter("SALARY", [&](QObject*, const QString&, const QString&, const QString&, TFieldType,
                          int, TFieldBoolOperators&, TFieldBoolOperators& between,
                          TFieldValueExpression& low, TFieldValueExpression& high, bool&) {
        seenLow = low;
        between = fboNone;
        high.Operator = 5;
        high.Value = "90000";
    });
    EXPECT_TRUE(seenLow.Present);
    EXPECT_EQ(seenLow.Operator, 4);
    EXPECT_EQ(seenLow.Value, "40000");
    EXPECT_FALSE(salary->HighValue.Present);
    EXPECT_FALSE(salary->ConditionSQL.contains("b_"));

    // An operator outside the table (an empty operator box) or a text that
    // does not convert leaves the value out.
    f.Enter("SALARY", DesignerTestFixture::Answer(255, "40000"));
    EXPECT_FALSE(salary->LowValue.Present);
    EXPECT_TRUE(salary->ConditionSQL.isEmpty());
    EXPECT_TRUE(f.Item("SALARY")->text(1).isEmpty());
    f.Enter("SALARY", DesignerTestFixture::Answer(4, "forty"));
    EXPECT_FALSE(salary->LowValue.Present);
    f.Enter("SALARY", DesignerTestFixture::Answer(0, "1000", fboOr, 255, "2000"));
    EXPECT_TRUE(salary->LowValue.Present);
    EXPECT_FALSE(salary->HighValue.Present);

    // A cancelled dialog on a string field leaves it without a condition
    // (not a comparison with the empty string) ...
    auto cancelled = [](auto&&...) {};
    f.Enter("LAST_NAME", cancelled);
    EXPECT_FALSE(last->LowValue.Present);
    EXPECT_TRUE(last->ConditionSQL.isEmpty());
    // ... and keeps an existing one as it was.
    f.Enter("LAST_NAME", DesignerTestFixture::Answer(7, "B"));
    ASSERT_TRUE(last->LowValue.Present);
    f.Enter("LAST_NAME", cancelled);
    EXPECT_TRUE(last->LowValue.Present);
    EXPECT_EQ(last->LowValue.Operator, 7);
    EXPECT_EQ(last->ConditionSQL, QString("LAST_NAME STARTING WITH :a_0_%1").arg(last->FieldIndex));

    // ClearValues removes the condition, keeps the check mark and the link.
    f.Check("LAST_NAME");
    f.Enter("LAST_NAME", DesignerTestFixture::Answer(0, "Baldwin", fboOr, 0, "Bender"));
    EXPECT_TRUE(last->HighValue.Present);
    f.Enter("LAST_NAME", [](QObject*, const QString&, const QString&, const QString&, TFieldType,
                            int, TFieldBoolOperators&, TFieldBoolOperators&,
                            TFieldValueExpression&, TFieldValueExpression&, bool& clear) {
        clear = true;
    });
    EXPECT_TRUE(last->ConditionText.isEmpty());
    EXPECT_TRUE(last->ConditionSQL.isEmpty());
    EXPECT_FALSE(last->LowValue.Present);
    EXPECT_FALSE(last->HighValue.Present);
    EXPECT_EQ(last->BoolBetweenFields, fboOr);
    EXPECT_TRUE(last->Selected);
    EXPECT_EQ(f.Item("LAST_NAME")->checkState(0), Qt::Checked);
    EXPECT_TRUE(f.Item("LAST_NAME")->text(1).isEmpty());
    TIBQuery query;
    query.SetDatabase(&f.db);
    ASSERT_TRUE(f.lk.BuildQuery(&query));
    EXPECT_FALSE(f.lk.SQLText().contains("LAST_NAME STARTING")) << f.lk.SQLText().toStdString();
    EXPECT_FALSE(f.lk.SQLText().contains("LAST_NAME = "));

    // A handler that throws ends the event; the link it already wrote stays,
    // nothing else changes, and the exception does not escape the signal.
    QString reported;
    SetExceptionHandler([&](const std::exception& e) { reported = e.what(); });
    const TLKField before = *salary;
    f.Enter("SALARY", [](QObject*, const QString&, const QString&, const QString&, TFieldType, int,
                         TFieldBoolOperators&, TFieldBoolOperators& between,
                         TFieldValueExpression& low, TFieldValueExpression&, bool&) {
        between = fboAndNot;
        low.Value = "123";
        throw std::runtime_error("dialog failed");
    });
    SetExceptionHandler(nullptr);
    EXPECT_EQ(reported, "dialog failed");
    EXPECT_EQ(salary->BoolBetweenFields, fboAndNot);
    salary->BoolBetweenFields = before.BoolBetweenFields;
    EXPECT_TRUE(SameField(*salary, before));
}
