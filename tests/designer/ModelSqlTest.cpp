// The statement a design produces, from a model built in the test: no
// server, no controls. Every expected text is written out in full.
#include <QStringList>
#include <gtest/gtest.h>

#include "common/ErrorText.h"
#include "HandBuiltModel.h"
#include "dbaccess/TypeCodes.h"

using namespace HandBuilt;

namespace {

namespace Code = FieldTypeCode;   // the columns' stored type codes

// EMPLOYEE with DEPARTMENT (one join column), JOB (three join columns) and
// below it COUNTRY, and "Sp ace", whose names need double quotes and which
// shares LAST_NAME with EMPLOYEE. Tables are numbered 0 to 4 in that order.
class ModelSql : public FixedLocale {
protected:
    TLarkspan lk;
    TLKTable* emp = nullptr;
    TLKTable* dept = nullptr;
    TLKTable* job = nullptr;
    TLKTable* country = nullptr;
    TLKTable* space = nullptr;

    void SetUp() override
    {
        FixedLocale::SetUp();
        // Typed in upper case: the name is the table's own, nothing to look up.
        lk.SetTableName("EMPLOYEE");
        emp = AddTable(lk, "EMPLOYEE", -1,
                       {{"EMP_NO", Code::Smallint}, {"LAST_NAME", Code::Varchar}, {"DEPT_NO", Code::Char},
                        {"JOB_CODE", Code::Varchar}, {"JOB_GRADE", Code::Smallint},
                        {"JOB_COUNTRY", Code::Varchar}, {"SALARY", Code::Double}});
        dept = AddTable(lk, "DEPARTMENT", 0,
                        {{"DEPT_NO", Code::Char}, {"DEPARTMENT", Code::Varchar}, {"LOCATION", Code::Varchar}},
                        "RDB$PRIMARY5", "RDB$FOREIGN8");
        job = AddTable(lk, "JOB", 0,
                       {{"JOB_CODE", Code::Varchar}, {"JOB_GRADE", Code::Smallint},
                        {"JOB_COUNTRY", Code::Varchar}, {"JOB_TITLE", Code::Varchar}},
                       "RDB$PRIMARY2", "RDB$FOREIGN9");
        country = AddTable(lk, "COUNTRY", 2, {{"COUNTRY", Code::Varchar}, {"CURRENCY", Code::Varchar}},
                           "RDB$PRIMARY1", "RDB$FOREIGN10");
        space = AddTable(lk, "Sp ace", 0,
                         {{"Key Col", Code::Integer}, {"Say \"hi\"", Code::Varchar},
                          {"LAST_NAME", Code::Varchar}, {"lower", Code::Varchar}},
                         "PK_SP", "FK_EMP_SP");
        // The index names as the system tables pad them.
        lk.SetIndexColumns("RDB$PRIMARY5                   ", {"DEPT_NO"});
        lk.SetIndexColumns("RDB$FOREIGN8", {"DEPT_NO"});
        lk.SetIndexColumns("RDB$PRIMARY2", {"JOB_CODE", "JOB_GRADE", "JOB_COUNTRY"});
        lk.SetIndexColumns("RDB$FOREIGN9", {"JOB_CODE", "JOB_GRADE", "JOB_COUNTRY"});
        lk.SetIndexColumns("RDB$PRIMARY1", {"COUNTRY"});
        lk.SetIndexColumns("RDB$FOREIGN10", {"JOB_COUNTRY"});
        lk.SetIndexColumns("PK_SP", {"Key Col"});
        lk.SetIndexColumns("FK_EMP_SP", {"EMP_NO"});
    }

    void Tick(TLKTable* table, const QString& field) { Field(table, field)->Selected = true; }

    QString Sql()
    {
        lk.MarkQueryTables();
        return lk.GenerateSQL();
    }

    QStringList ParamNames() const
    {
        QStringList names;
        for (const auto& p : lk.ParamList())
            names << p.first;
        return names;
    }
};

const QString JobJoin =
    "Tbl_0.JOB_CODE=Tbl_2.JOB_CODE AND Tbl_0.JOB_GRADE=Tbl_2.JOB_GRADE AND Tbl_0.JOB_COUNTRY=Tbl_2.JOB_COUNTRY";

}   // namespace

// LAST_NAME of the main table and DEPARTMENT of DEPARTMENT, SALARY >= 40000.
TEST_F(ModelSql, WorkedExample)
{
    Tick(emp, "LAST_NAME");
    Answer(Field(emp, "SALARY"), 4, "40000");
    Tick(dept, "DEPARTMENT");
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.LAST_NAME,\rTbl_1.DEPARTMENT\rFROM\rEMPLOYEE Tbl_0,\rDEPARTMENT Tbl_1\r"
                     "WHERE\rSALARY >= :a_0_6 AND \rTbl_0.DEPT_NO=Tbl_1.DEPT_NO");
    ASSERT_EQ(lk.ParamList().size(), 1);
    EXPECT_EQ(lk.ParamList()[0].first, "a_0_6");
    EXPECT_EQ(lk.ParamList()[0].second, Field(emp, "SALARY"));
    EXPECT_EQ(lk.UsedTables().size(), 2);

    // Without a ticked field in DEPARTMENT the table and its join go.
    Field(dept, "DEPARTMENT")->Selected = false;
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.LAST_NAME\rFROM\rEMPLOYEE Tbl_0\rWHERE\rSALARY >= :a_0_6");

    // Include fields lead the select list; a line without "=" is left out.
    lk.SetIncludeFields({"EMP_NO=Number", "NOEQUALS", "HIRE_DATE=Hired"});
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.EMP_NO AS Number,Tbl_0.HIRE_DATE AS Hired,\rTbl_0.LAST_NAME\rFROM\r"
                     "EMPLOYEE Tbl_0\rWHERE\rSALARY >= :a_0_6");

    // No ticked field: no statement and nothing to bind, conditions or not.
    Field(emp, "LAST_NAME")->Selected = false;
    EXPECT_EQ(Sql(), "");
    EXPECT_TRUE(lk.ParamList().isEmpty());
    EXPECT_TRUE(lk.WhereList().isEmpty());
}

// The forms of one field's condition and the parameters they bind.
TEST_F(ModelSql, ConditionForms)
{
    Tick(emp, "EMP_NO");
    TLKField* salary = Field(emp, "SALARY");
    const struct {
        quint8 lowOp;
        const char* low;
        quint8 link;
        quint8 highOp;
        const char* high;
        const char* where;
        QStringList params;
    } cases[] = {
        {4, "30000", fboAnd, 5, "60000", "SALARY >= :a_0_6 AND SALARY <= :b_0_6", {"a_0_6", "b_0_6"}},
        // OR binds looser than the AND that joins the terms: parentheses.
        {3, "30000", fboOr, 2, "200000", "(SALARY < :a_0_6 OR SALARY > :b_0_6)", {"a_0_6", "b_0_6"}},
        {3, "30000", fboOrNot, 3, "200000", "(SALARY < :a_0_6 OR NOT SALARY < :b_0_6)", {"a_0_6", "b_0_6"}},
        {0, "1", fboAndNot, 1, "5", "SALARY = :a_0_6 AND NOT SALARY <> :b_0_6", {"a_0_6", "b_0_6"}},
        // Only the second comparison: its link has nothing on its left.
        {0, "", fboAnd, 2, "100000", "SALARY > :b_0_6", {"b_0_6"}},
        {0, "", fboOr, 2, "100000", "SALARY > :b_0_6", {"b_0_6"}},
        {0, "", fboAndNot, 2, "100000", "NOT SALARY > :b_0_6", {"b_0_6"}},
        {0, "", fboOrNot, 2, "100000", "NOT SALARY > :b_0_6", {"b_0_6"}},
        // Without a link the second value is not used.
        {0, "600", fboNone, 1, "700", "SALARY = :a_0_6", {"a_0_6"}},
        // A text that is no number is no value.
        {4, "lots", fboAnd, 5, "60000", "SALARY <= :b_0_6", {"b_0_6"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        Answer(salary, c.lowOp, c.low, c.link, c.highOp, c.high);
        EXPECT_EQ(Sql(), QString("SELECT\rTbl_0.EMP_NO\rFROM\rEMPLOYEE Tbl_0\rWHERE\r") + c.where);
        EXPECT_EQ(ParamNames(), c.params);
    }

    // Values as a query file may hold them: a stale second value without a
    // link, a link outside the link table, an operator outside the
    // comparison table. None of them may reach the statement or the bindings.
    Answer(salary, 4, "1", fboNone);
    salary->SetValueText("9", 2);
    salary->BuildCondition();
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.EMP_NO\rFROM\rEMPLOYEE Tbl_0\rWHERE\rSALARY >= :a_0_6");
    EXPECT_EQ(ParamNames(), QStringList{"a_0_6"});
    salary->BoolBetweenFields = 9;
    salary->BuildCondition();
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.EMP_NO\rFROM\rEMPLOYEE Tbl_0\rWHERE\rSALARY >= :a_0_6");
    EXPECT_EQ(ParamNames(), QStringList{"a_0_6"});
    salary->BoolBetweenFields = fboOr;
    salary->LowValue.Operator = 255;
    salary->HighValue.Operator = 1;
    salary->BuildCondition();
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.EMP_NO\rFROM\rEMPLOYEE Tbl_0\rWHERE\rSALARY <> :b_0_6");
    EXPECT_EQ(ParamNames(), QStringList{"b_0_6"});
    salary->HighValue.Operator = 8;
    salary->BuildCondition();
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.EMP_NO\rFROM\rEMPLOYEE Tbl_0");
    EXPECT_TRUE(lk.ParamList().isEmpty());
}

// Parameters in the order of the statement: tables, then fields, low value
// before high value; a condition on a table without ticks joins that table.
TEST_F(ModelSql, ConditionsAcrossTablesAndCompositeJoin)
{
    Tick(emp, "EMP_NO");
    Answer(Field(emp, "SALARY"), 4, "30000", fboAnd, 5, "60000");
    Answer(Field(emp, "EMP_NO"), 2, "10");
    Answer(Field(job, "JOB_TITLE"), 6, "Engineer", fboOr, 7, "Chief");
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.EMP_NO\rFROM\rEMPLOYEE Tbl_0,\rJOB Tbl_2\rWHERE\r"
                     "EMP_NO > :a_0_0 AND \rSALARY >= :a_0_6 AND SALARY <= :b_0_6 AND \r" +
                         JobJoin + " AND \r(JOB_TITLE CONTAINING :a_2_3 OR JOB_TITLE STARTING WITH :b_2_3)");
    EXPECT_EQ(ParamNames(), (QStringList{"a_0_0", "a_0_6", "b_0_6", "a_2_3", "b_2_3"}));
    EXPECT_EQ(lk.ParamList()[3].second, Field(job, "JOB_TITLE"));
    EXPECT_EQ(job->JoinCondition, JobJoin);

    // A field two levels down brings every table on its path, each join
    // after its own table.
    ClearDesign(lk);
    Tick(country, "CURRENCY");
    EXPECT_EQ(Sql(), "SELECT\rTbl_3.CURRENCY\rFROM\rEMPLOYEE Tbl_0,\rJOB Tbl_2,\rCOUNTRY Tbl_3\rWHERE\r" + JobJoin +
                         " AND \rTbl_2.JOB_COUNTRY=Tbl_3.COUNTRY");
    EXPECT_EQ(lk.WhereList(), (QStringList{JobJoin, "Tbl_2.JOB_COUNTRY=Tbl_3.COUNTRY"}));

    // Join indexes of different widths cannot make a join.
    lk.SetIndexColumns("RDB$PRIMARY1", {"COUNTRY", "CURRENCY"});
    EXPECT_EQ(ErrorOf([&] { lk.MarkQueryTables(); }), "Diferrent field count in indexes");
}

// A column name that two tables of the statement share is qualified in a
// condition and renamed in the select list; names that are not plain
// identifiers are written in double quotes.
TEST_F(ModelSql, SharedAndQuotedNames)
{
    Tick(emp, "EMP_NO");
    Answer(Field(dept, "DEPT_NO"), 0, "600");
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.EMP_NO\rFROM\rEMPLOYEE Tbl_0,\rDEPARTMENT Tbl_1\rWHERE\r"
                     "Tbl_0.DEPT_NO=Tbl_1.DEPT_NO AND \rTbl_1.DEPT_NO = :a_1_0");

    ClearDesign(lk);
    Tick(emp, "LAST_NAME");
    Answer(Field(emp, "LAST_NAME"), 7, "B");
    Tick(space, "LAST_NAME");
    Tick(space, "Say \"hi\"");
    Tick(space, "lower");
    Answer(Field(space, "Key Col"), 0, "6");
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.LAST_NAME,\rTbl_4.\"Say \"\"hi\"\"\",\rTbl_4.LAST_NAME AS LAST_NAME_4,\r"
                     "Tbl_4.\"lower\"\rFROM\rEMPLOYEE Tbl_0,\r\"Sp ace\" Tbl_4\rWHERE\r"
                     "Tbl_0.LAST_NAME STARTING WITH :a_0_1 AND \rTbl_0.EMP_NO=Tbl_4.\"Key Col\" AND \r"
                     "\"Key Col\" = :a_4_0");
    EXPECT_EQ(ParamNames(), (QStringList{"a_0_1", "a_4_0"}));

    // The main table typed with a blank needs no look-up either: it is
    // written delimited, as typed.
    TLarkspan odd;
    odd.SetTableName("My Table");
    TLKTable* root = AddTable(odd, "My Table", -1, {{"ID", Code::Integer}});
    Field(root, "ID")->Selected = true;
    odd.MarkQueryTables();
    EXPECT_EQ(odd.GenerateSQL(), "SELECT\rTbl_0.ID\rFROM\r\"My Table\" Tbl_0");
}
