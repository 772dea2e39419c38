// SQL generation and parameter binding against the sample databases.
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "DesignerTestFixture.h"
#include "common/QueryRows.h"

namespace {

QStringList Rows(TIBQuery& q) { return SortedRows(q); }

}   // namespace

// The statement of the documented example: LAST_NAME of the root and
// DEPARTMENT of DEPARTMENT selected, SALARY >= 40000 on the root.
TEST(SqlGeneration, WorkedExampleByteForByte)
{
    DesignerTestFixture f(TestServer::employeeDialect1());
    TLKTable* root = f.lk.Tables()[0];
    TLKTable* dept = f.Table("DEPARTMENT");
    ASSERT_TRUE(root && dept);
    EXPECT_EQ(dept->TableNo, 1);
    EXPECT_EQ(dept->NodeIndex, 1);
    EXPECT_EQ(dept->ParentNo, 0);

    f.Select(root);
    f.Check("LAST_NAME");
    f.Enter("SALARY", DesignerTestFixture::Answer(4, "40000"));
    f.Select(dept);
    f.Check("DEPARTMENT");
    TLKField* salary = f.Field(root, "SALARY");
    ASSERT_TRUE(salary);
    const QString a = QString("a_0_%1").arg(salary->FieldIndex);

    TIBQuery query;
    query.SetDatabase(&f.db);
    ASSERT_TRUE(f.lk.BuildQuery(&query));
    const QString expected =
        QString("SELECT\rTbl_0.LAST_NAME,\rTbl_%1.DEPARTMENT\rFROM\rEmployee Tbl_0,\r"
                "DEPARTMENT Tbl_%1\rWHERE\rSALARY >= :%2 AND \rTbl_0.DEPT_NO=Tbl_%1.DEPT_NO")
            .arg(dept->TableNo)
            .arg(a);
    EXPECT_EQ(f.lk.SQLText(), expected);
    EXPECT_EQ(f.lk.SQLText().split('\r').size(), 9);
    EXPECT_FALSE(f.lk.SQLText().contains('\n'));
    EXPECT_EQ(query.SQL().size(), 9);

    ASSERT_EQ(f.lk.ParamList().size(), 1);
    EXPECT_EQ(f.lk.ParamList()[0].first, a);
    EXPECT_EQ(f.lk.ParamList()[0].second, salary);
    TParam& p = query.ParamNamed(a);
    EXPECT_EQ(p.DataType(), ftFloat);   // DOUBLE PRECISION in dialect 1
    EXPECT_EQ(p.ParamType(), ptInput);
    EXPECT_EQ(p.Value(), QVariant(QString("40000")));

    // Without a selected field in DEPARTMENT the table and its join go.
    f.Check("DEPARTMENT", false);
    ASSERT_TRUE(f.lk.BuildQuery(&query));
    EXPECT_EQ(f.lk.SQLText(),
              QString("SELECT\rTbl_0.LAST_NAME\rFROM\rEmployee Tbl_0\rWHERE\rSALARY >= :%1").arg(a));

    // Include fields lead the select list as one item, naming the main
    // table by its alias; malformed lines vanish.
    f.lk.SetIncludeFields({"EMP_NO=Number", "", "NOEQUALS", "HIRE_DATE=Hired"});
    ASSERT_TRUE(f.lk.BuildQuery(&query));
    EXPECT_TRUE(f.lk.SQLText().startsWith(
        "SELECT\rTbl_0.EMP_NO AS Number,Tbl_0.HIRE_DATE AS Hired,\rTbl_0.LAST_NAME\rFROM"))
        << f.lk.SQLText().toStdString();
    f.lk.SetIncludeFields({"", "NOEQUALS"});
    ASSERT_TRUE(f.lk.BuildQuery(&query));
    EXPECT_TRUE(f.lk.SQLText().startsWith("SELECT\rTbl_0.LAST_NAME\rFROM"));

    // Nothing selected: False, and the query keeps its statement.
    f.lk.SetIncludeFields({"EMP_NO=Number"});
    f.Select(root);
    f.Check("LAST_NAME", false);
    query.SetSQL(QString("SELECT 1 FROM RDB$DATABASE"));
    EXPECT_FALSE(f.lk.BuildQuery(&query));
    EXPECT_TRUE(f.lk.SQLText().isEmpty());
    EXPECT_TRUE(f.lk.ParamList().isEmpty());
    EXPECT_EQ(query.SQL(), QStringList{"SELECT 1 FROM RDB$DATABASE"});

    // An empty tree yields nothing either.
    f.Check("LAST_NAME");
    f.tree.clear();
    EXPECT_FALSE(f.lk.BuildQuery(&query));
    EXPECT_EQ(query.SQL(), QStringList{"SELECT 1 FROM RDB$DATABASE"});
}

// Which conditions and parameters make it into the statement.
TEST(SqlGeneration, ConditionsAndParameters)
{
    DesignerTestFixture f(TestServer::employeeDialect1());
    TLKTable* root = f.lk.Tables()[0];
    TLKTable* job = f.Table("JOB");
    ASSERT_TRUE(root && job);
    TIBQuery query;
    query.SetDatabase(&f.db);

    // A condition in a table without a ticked field brings the table in.
    f.Select(job);
    f.Enter("JOB_TITLE", DesignerTestFixture::Answer(6, "Engineer"));
    TLKField* title = f.Field(job, "JOB_TITLE");
    ASSERT_TRUE(title);
    EXPECT_FALSE(title->ConditionSQL.isEmpty());

    f.Select(root);
    f.Check("EMP_NO");
    // Two values: a_ before b_, bound from the low and the high value.
    f.Enter("SALARY", DesignerTestFixture::Answer(4, "30000", fboAnd, 5, "60000"));
    // Link 0: the high value the handler returned is not used.
    f.Enter("DEPT_NO", DesignerTestFixture::Answer(0, "600", fboNone, 1, "700"));
    TLKField* salary = f.Field(root, "SALARY");
    TLKField* dept = f.Field(root, "DEPT_NO");
    ASSERT_TRUE(salary && dept);
    EXPECT_FALSE(dept->ConditionSQL.contains("b_"));

    ASSERT_TRUE(f.lk.BuildQuery(&query));
    const QString sql = f.lk.SQLText();
    EXPECT_TRUE(sql.contains(QString("JOB_TITLE CONTAINING :a_%1_%2").arg(job->NodeIndex).arg(title->FieldIndex)))
        << sql.toStdString();
    EXPECT_TRUE(sql.contains(QString("JOB Tbl_%1").arg(job->TableNo)));
    const QString a = QString("a_0_%1").arg(salary->FieldIndex);
    const QString b = QString("b_0_%1").arg(salary->FieldIndex);
    const QString d = QString("a_0_%1").arg(dept->FieldIndex);
    QStringList names;
    for (const auto& e : f.lk.ParamList())
        names << e.first;
    // Field order of the root decides which condition comes first.
    QStringList expected = dept->FieldIndex < salary->FieldIndex ? QStringList{d, a, b}
                                                                 : QStringList{a, b, d};
    expected << QString("a_%1_%2").arg(job->NodeIndex).arg(title->FieldIndex);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(query.ParamNamed(a).Value(), QVariant(QString("30000")));
    EXPECT_EQ(query.ParamNamed(b).Value(), QVariant(QString("60000")));
    EXPECT_EQ(query.ParamNamed(d).Value(), QVariant(QString("600")));
    EXPECT_EQ(query.ParamNamed(d).DataType(), ftString);
    EXPECT_TRUE(sql.contains(QString("\rSALARY >= :%1 AND SALARY <= :%2").arg(a, b))) << sql.toStdString();

    // A stale high value with link 0 is never bound, even if present.
    dept->HighValue.Present = 1;
    ASSERT_TRUE(f.lk.BuildQuery(&query));
    for (const auto& e : f.lk.ParamList())
        EXPECT_FALSE(e.first.startsWith('b') && e.second == dept);

    // Values as a query file may hold them: a link outside the link table,
    // a present value with an operator outside the comparison table. The
    // condition leaves them out, so no parameter may be bound for them.
    TLKField* empNo = f.Field(root, "EMP_NO");
    TLKField* phone = f.Field(root, "PHONE_EXT");
    ASSERT_TRUE(empNo && phone);
    empNo->SetValueText("5", 1);
    empNo->SetValueText("9", 2);
    empNo->BoolBetweenFields = 9;
    empNo->BuildCondition();
    phone->SetValueText("1", 1);
    phone->LowValue.Operator = 255;
    phone->SetValueText("250", 2);
    phone->BoolBetweenFields = fboOr;
    phone->BuildCondition();
    ASSERT_TRUE(f.lk.BuildQuery(&query));
    for (const auto& e : f.lk.ParamList()) {
        EXPECT_FALSE(e.second == empNo && e.first.startsWith('b'));
        EXPECT_FALSE(e.second == phone && e.first.startsWith('a'));
        EXPECT_TRUE(f.lk.SQLText().contains(":" + e.first)) << e.first.toStdString();
    }
}

// The bound statement returns what the same statement with literals returns.
static void CompareWithLiterals(const QString& path, TFieldType salaryType)
{
    DesignerTestFixture f(path);
    TLKTable* root = f.lk.Tables()[0];
    TLKTable* dept = f.Table("DEPARTMENT");
    ASSERT_TRUE(root && dept);
    f.Select(root);
    f.Check("EMP_NO");
    f.Check("LAST_NAME");
    f.Check("SALARY");
    f.Enter("SALARY", DesignerTestFixture::Answer(4, "40000", fboAnd, 5, "90000"));
    f.Select(dept);
    f.Check("DEPARTMENT");
    f.Enter("LOCATION", DesignerTestFixture::Answer(0, "Monterey"));

    TIBTransaction tr;
    tr.SetDefaultDatabase(&f.db);
    TIBQuery bound;
    bound.SetDatabase(&f.db);
    bound.SetTransaction(&tr);
    ASSERT_TRUE(f.lk.BuildQuery(&bound));
    TLKField* salary = f.Field(root, "SALARY");
    TLKField* location = f.Field(dept, "LOCATION");
    ASSERT_TRUE(salary && location);
    EXPECT_EQ(bound.ParamNamed(QString("a_0_%1").arg(salary->FieldIndex)).DataType(), salaryType);

    QString literal = f.lk.SQLText();
    literal.replace(QString(":a_0_%1").arg(salary->FieldIndex), "40000");
    literal.replace(QString(":b_0_%1").arg(salary->FieldIndex), "90000");
    literal.replace(QString(":a_%1_%2").arg(dept->NodeIndex).arg(location->FieldIndex), "'Monterey'");
    ASSERT_FALSE(literal.contains(':')) << literal.toStdString();
    TIBQuery byHand;
    byHand.SetDatabase(&f.db);
    byHand.SetTransaction(&tr);
    byHand.SetSQL(literal);

    const QStringList got = Rows(bound);
    EXPECT_EQ(got.size(), 10);
    EXPECT_EQ(got, Rows(byHand));
    tr.Commit();
}

TEST(SqlGeneration, BoundQueryMatchesLiteralsDialect1)
{
    CompareWithLiterals(TestServer::employeeDialect1(), ftFloat);
}

TEST(SqlGeneration, BoundQueryMatchesLiteralsDialect3)
{
    CompareWithLiterals(TestServer::employeeDialect3(), ftLargeint);
}

// A field selected two levels below the root brings every table on its path
// into the statement, each join right after its table in numbering order.
TEST(SqlGeneration, DeepSelectionJoinsThePath)
{
    DesignerTestFixture f(TestServer::employeeDialect1());
    TLKTable* job = f.Table("JOB");
    TLKTable* country = f.Table("COUNTRY");
    ASSERT_TRUE(job && country);
    ASSERT_EQ(country->ParentNo, job->TableNo);
    f.Select(country);
    f.Check("CURRENCY");

    TIBTransaction tr;
    tr.SetDefaultDatabase(&f.db);
    TIBQuery query;
    query.SetDatabase(&f.db);
    query.SetTransaction(&tr);
    ASSERT_TRUE(f.lk.BuildQuery(&query));
    ASSERT_EQ(f.lk.UsedTables().size(), 3);
    const QString from = QString("\rFROM\rEmployee Tbl_0,\rJOB Tbl_%1,\rCOUNTRY Tbl_%2\rWHERE\r")
                             .arg(job->TableNo)
                             .arg(country->TableNo);
    EXPECT_TRUE(f.lk.SQLText().contains(from)) << f.lk.SQLText().toStdString();
    ASSERT_EQ(f.lk.WhereList().size(), 2);
    EXPECT_EQ(f.lk.WhereList()[0], job->JoinCondition);
    EXPECT_EQ(f.lk.WhereList()[1], country->JoinCondition);
    EXPECT_TRUE(f.lk.SQLText().endsWith(job->JoinCondition + " AND \r" + country->JoinCondition));
    EXPECT_EQ(Rows(query).size(), 42);   // every employee has a job in a known country
    tr.Commit();
}
