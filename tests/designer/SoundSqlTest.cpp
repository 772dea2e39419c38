// Designs whose statement once returned wrong rows or failed at the server:
// disjunctions inside one field's condition, a lone second comparison,
// same-named columns, conditions on tables without ticks, names that are not
// plain identifiers, include fields. Each statement is run and its rows are
// compared with a hand-written statement of the same meaning.
#include <QElapsedTimer>
#include <QStringList>
#include <gtest/gtest.h>

#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "DesignerTestFixture.h"
#include "common/QueryRows.h"
#include "common/TimingSlack.h"

namespace {

QStringList Rows(TIBQuery& q) { return SortedRows(q); }

QStringList Reference(TIBDatabase& db, const QString& sql, int dialect = 0)
{
    TIBTransaction tr;
    tr.SetDefaultDatabase(&db);
    TIBQuery q;
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetSQLDialect(dialect);
    q.SetSQL(sql);
    return Rows(q);
}

QStringList Designed(DesignerTestFixture& f, QString* sql = nullptr)
{
    TIBTransaction tr;
    tr.SetDefaultDatabase(&f.db);
    TIBQuery q;
    q.SetDatabase(&f.db);
    q.SetTransaction(&tr);
    EXPECT_TRUE(f.lk.BuildQuery(&q));
    if (sql)
        *sql = f.lk.SQLText();
    return Rows(q);
}

const QString Dept = "DEPARTMENT";

}   // namespace

TEST(SoundSql, DisjunctionKeepsTheJoinsAndOtherConditions)
{
    for (const QString& path : {TestServer::employeeDialect1(), TestServer::employeeDialect3()}) {
        SCOPED_TRACE(path.toStdString());
        DesignerTestFixture f(path);
        TLKTable* root = f.lk.Tables()[0];
        f.Select(root);
        f.Check("LAST_NAME");
        f.Check("SALARY");
        f.Enter("SALARY", DesignerTestFixture::Answer(3, "30000", fboOr, 2, "200000"));
        f.Select(f.Table(Dept));
        f.Check(Dept);
        QString sql;
        const QStringList rows = Designed(f, &sql);
        EXPECT_TRUE(sql.contains("(SALARY < :a_0_")) << sql.toStdString();
        const QStringList expected =
            Reference(f.db, "SELECT E.LAST_NAME, E.SALARY, D.DEPARTMENT FROM EMPLOYEE E, DEPARTMENT D "
                            "WHERE E.DEPT_NO = D.DEPT_NO AND (E.SALARY < 30000 OR E.SALARY > 200000)");
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(rows.size(), 5);

        // OR NOT likewise, together with a second field's condition.
        f.Select(root);
        f.Enter("SALARY", DesignerTestFixture::Answer(3, "30000", fboOrNot, 3, "200000"));
        f.Enter("LAST_NAME", DesignerTestFixture::Answer(7, "B", fboOr, 6, "son"));
        EXPECT_EQ(Designed(f),
                  Reference(f.db, "SELECT E.LAST_NAME, E.SALARY, D.DEPARTMENT FROM EMPLOYEE E, DEPARTMENT D "
                                  "WHERE E.DEPT_NO = D.DEPT_NO AND (E.SALARY < 30000 OR NOT E.SALARY < 200000) "
                                  "AND (E.LAST_NAME STARTING WITH 'B' OR E.LAST_NAME CONTAINING 'son')"));
    }
}

TEST(SoundSql, OnlyTheSecondComparisonGiven)
{
    for (const QString& path : {TestServer::employeeDialect1(), TestServer::employeeDialect3()}) {
        SCOPED_TRACE(path.toStdString());
        DesignerTestFixture f(path);
        f.Select(f.lk.Tables()[0]);
        f.Check("LAST_NAME");
        const struct {
            quint8 link;
            const char* where;
        } cases[] = {{fboAnd, "SALARY > 100000"},
                     {fboOr, "SALARY > 100000"},
                     {fboAndNot, "NOT SALARY > 100000"},
                     {fboOrNot, "NOT SALARY > 100000"}};
        for (const auto& c : cases) {
            f.Enter("SALARY", DesignerTestFixture::Answer(0, QString(), c.link, 2, "100000"));
            TLKField* salary = f.Field(f.lk.Tables()[0], "SALARY");
            ASSERT_FALSE(salary->LowValue.Present);
            QString sql;
            const QStringList rows = Designed(f, &sql);
            EXPECT_TRUE(sql.endsWith(QString("WHERE\r") + (c.link >= fboAndNot ? "NOT " : "") +
                                     QString("SALARY > :b_0_%1").arg(salary->FieldIndex)))
                << sql.toStdString();
            EXPECT_EQ(rows, Reference(f.db, QString("SELECT LAST_NAME FROM EMPLOYEE WHERE ") + c.where));
            EXPECT_FALSE(rows.isEmpty());
        }
    }
}

TEST(SoundSql, ConditionOnATableWithoutTicksRestrictsTheRows)
{
    DesignerTestFixture f(TestServer::employeeDialect1());
    f.Select(f.lk.Tables()[0]);
    f.Check("LAST_NAME");
    TLKTable* dept = f.Table(Dept);
    f.Select(dept);
    f.Enter("DEPT_NO", DesignerTestFixture::Answer(0, "600"));
    QString sql;
    const QStringList rows = Designed(f, &sql);
    // Both tables have DEPT_NO: the condition names its table.
    EXPECT_TRUE(sql.contains(QString("Tbl_%1.DEPT_NO = :a_").arg(dept->TableNo))) << sql.toStdString();
    EXPECT_EQ(rows, Reference(f.db, "SELECT LAST_NAME FROM EMPLOYEE WHERE DEPT_NO = '600'"));
    EXPECT_EQ(rows.size(), 2);
}

TEST(SoundSql, IncludeFieldsNameTheMainTableByItsAlias)
{
    for (const QString& path : {TestServer::employeeDialect1(), TestServer::employeeDialect3()}) {
        SCOPED_TRACE(path.toStdString());
        DesignerTestFixture f(path);
        f.Select(f.lk.Tables()[0]);
        f.Check("LAST_NAME");
        f.lk.SetIncludeFields({"EMP_NO=Number", "HIRE_DATE=Say \"when\""});
        TIBTransaction tr;
        tr.SetDefaultDatabase(&f.db);
        TIBQuery q;
        q.SetDatabase(&f.db);
        q.SetTransaction(&tr);
        ASSERT_TRUE(f.lk.BuildQuery(&q));
        const bool dialect3 = f.db.DBSQLDialect() == 3;
        const QString item = dialect3 ? "Tbl_0.EMP_NO AS \"Number\",Tbl_0.HIRE_DATE AS \"Say \"\"when\"\"\""
                                      // A dialect 1 statement cannot delimit a label.
                                      : "Tbl_0.EMP_NO AS Number,Tbl_0.HIRE_DATE";
        EXPECT_TRUE(f.lk.SQLText().startsWith("SELECT\r" + item + ",\rTbl_0.LAST_NAME\rFROM"))
            << f.lk.SQLText().toStdString();
        q.Open();
        ASSERT_EQ(q.FieldCount(), 3);
        EXPECT_EQ(q.Fields(0).FieldName(), dialect3 ? "Number" : "NUMBER");
        EXPECT_EQ(q.Fields(1).FieldName(), dialect3 ? "Say \"when\"" : "HIRE_DATE");
        q.Close();
        EXPECT_EQ(Rows(q).size(), 42);
    }
}

namespace {
// Names that tools and mappers create in dialect 3 databases: mixed and
// lower case, blanks, a quote, and same-named columns that are not join
// columns.
const QStringList OddNames = {
    "CREATE TABLE CUST (ID INTEGER NOT NULL PRIMARY KEY, STATUS VARCHAR(10))",
    "CREATE TABLE ORD (ID INTEGER NOT NULL PRIMARY KEY, CUST_ID INTEGER REFERENCES CUST(ID), "
    "STATUS VARCHAR(10))",
    "CREATE TABLE \"lower_t\" (\"id\" INTEGER NOT NULL PRIMARY KEY, \"Label\" VARCHAR(10))",
    "CREATE TABLE \"Sp ace\" (\"Key Col\" INTEGER NOT NULL PRIMARY KEY, \"lower_id\" INTEGER "
    "REFERENCES \"lower_t\"(\"id\"), \"Say \"\"hi\"\"\" VARCHAR(10))",
    "CREATE TABLE \"Q'T\" (ID INTEGER NOT NULL PRIMARY KEY, \"space_key\" INTEGER REFERENCES \"Sp ace\"(\"Key Col\"), "
    "STATUS VARCHAR(10))",
    "CREATE TABLE \"Mixed\" (ID INTEGER NOT NULL PRIMARY KEY, QT_ID INTEGER REFERENCES \"Q'T\"(ID), "
    "\"Amount\" INTEGER)",
    "CREATE TABLE PEOPLE (ID INTEGER NOT NULL PRIMARY KEY, LAST_NAME VARCHAR(20), "
    "\"N OR 1=1 OR N\" INTEGER)",
    "INSERT INTO PEOPLE VALUES (1, 'Young', 1)",
    "INSERT INTO PEOPLE VALUES (2, 'Young', 2)",
    "INSERT INTO PEOPLE VALUES (3, 'Old', 1)",
    "CREATE TABLE \"lower_d\" (\"n\" INTEGER NOT NULL PRIMARY KEY, \"mixed_id\" INTEGER REFERENCES \"Mixed\"(ID))",
    "INSERT INTO CUST VALUES (1, 'open')",
    "INSERT INTO CUST VALUES (2, 'closed')",
    "INSERT INTO ORD VALUES (10, 1, 'closed')",
    "INSERT INTO ORD VALUES (11, 2, 'open')",
    "INSERT INTO ORD VALUES (12, 2, 'closed')",
    "INSERT INTO \"lower_t\" VALUES (1, 'one')",
    "INSERT INTO \"lower_t\" VALUES (2, 'two')",
    "INSERT INTO \"Sp ace\" VALUES (5, 1, 'five')",
    "INSERT INTO \"Sp ace\" VALUES (6, 2, 'six')",
    "INSERT INTO \"Q'T\" VALUES (7, 5, 'open')",
    "INSERT INTO \"Q'T\" VALUES (8, 6, 'closed')",
    "INSERT INTO \"Mixed\" VALUES (100, 7, 3)",
    "INSERT INTO \"Mixed\" VALUES (101, 8, 4)",
    "INSERT INTO \"Mixed\" VALUES (102, 8, 5)",
    "INSERT INTO \"lower_d\" VALUES (1, 100)",
    "INSERT INTO \"lower_d\" VALUES (2, 102)",
    "INSERT INTO \"lower_d\" VALUES (3, 102)",
};

QString OddPath()
{
    static const QString path = TestServer::createScratchDatabase("sound_sql_names", OddNames);
    return path;
}
}   // namespace

TEST(SoundSql, SameNamedColumnsAreQualified)
{
    DesignerTestFixture f(OddPath(), "ORD");
    TLKTable* ord = f.lk.Tables()[0];
    TLKTable* cust = f.Table("CUST");
    f.Select(ord);
    f.Check("ID");
    f.Enter("STATUS", DesignerTestFixture::Answer(0, "open"));
    f.Select(cust);
    f.Check("STATUS");
    QString sql;
    const QStringList rows = Designed(f, &sql);
    EXPECT_TRUE(sql.contains("Tbl_0.STATUS = :a_0_")) << sql.toStdString();
    EXPECT_EQ(rows, QStringList{"11|closed"});

    // And the other way round: the customer's status, the order's id.
    f.Select(ord);
    f.Enter("STATUS", [](QObject*, const QString&, const QString&, const QString&, TFieldType, int,
                         TFieldBoolOperators&, TFieldBoolOperators&, TFieldValueExpression&,
                         TFieldValueExpression&, bool& clear) { clear = true; });
    f.Select(cust);
    f.Enter("STATUS", DesignerTestFixture::Answer(0, "closed"));
    EXPECT_EQ(Designed(f, &sql), (QStringList{"11|closed", "12|closed"}));
    EXPECT_TRUE(sql.contains(QString("Tbl_%1.STATUS = :a_").arg(cust->TableNo))) << sql.toStdString();
}

TEST(SoundSql, NamesThatAreNotPlainIdentifiers)
{
    // The main table typed in double quotes is taken as it stands.
    DesignerTestFixture f(OddPath(), "\"Mixed\"");
    const TLKTables& tables = f.lk.Tables();
    ASSERT_EQ(tables.Count(), 4);
    EXPECT_EQ(tables[1]->TableName, "Q'T");
    EXPECT_EQ(tables[2]->TableName, "Sp ace");
    EXPECT_EQ(tables[3]->TableName, "lower_t");
    EXPECT_EQ(tables[0]->Fields.Count(), 3);
    EXPECT_EQ(f.lk.TablePathList(2), "'Sp ace','Q''T','Mixed'");

    f.Select(tables[0]);
    f.Check("Amount");
    f.Select(tables[3]);
    ASSERT_EQ(tables[3]->Fields.Count(), 2);
    f.Check("Label");
    f.Select(tables[2]);
    ASSERT_EQ(tables[2]->Fields.Count(), 3);
    f.Check("Say \"hi\"");
    f.Enter("Key Col", DesignerTestFixture::Answer(0, "6"));
    QString sql;
    const QStringList rows = Designed(f, &sql);
    EXPECT_TRUE(sql.contains("\"Q'T\" Tbl_1")) << sql.toStdString();
    EXPECT_TRUE(sql.contains("Tbl_2.\"Say \"\"hi\"\"\"")) << sql.toStdString();
    EXPECT_EQ(rows, (QStringList{"4|six|two", "5|six|two"}));

    // A plain name typed in any case finds its table.
    DesignerTestFixture lower(OddPath(), "ord");
    EXPECT_EQ(lower.lk.Tables()[0]->Fields.Count(), 3);
    EXPECT_EQ(lower.lk.Tables().Count(), 2);

    // Typed without quotes, a name with no upper-case table of its own
    // finds the table of exactly that spelling, as main and as detail table.
    DesignerTestFixture typed(OddPath(), "Mixed");
    typed.lk.SetDetailTableName("lower_d");
    typed.lk.GenerateView();
    const TLKTables& t = typed.lk.Tables();
    ASSERT_EQ(t.Count(), 5);
    EXPECT_EQ(t[0]->Fields.Count(), 3);
    EXPECT_EQ(t[4]->TableName, "lower_d");
    EXPECT_EQ(t[4]->Fields.Count(), 2);
    EXPECT_FALSE(t[4]->OwnIndex.isEmpty());
    typed.Select(t[0]);
    typed.Check("Amount");
    typed.Select(t[4]);
    typed.Check("n");
    const QStringList joined = Designed(typed, &sql);
    EXPECT_TRUE(sql.contains("\"Mixed\" Tbl_0")) << sql.toStdString();
    EXPECT_TRUE(sql.contains("\"lower_d\" Tbl_4")) << sql.toStdString();
    EXPECT_EQ(joined, (QStringList{"3|1", "5|2", "5|3"}));
}

TEST(SoundSql, ANameFromTheDatabaseIsNeverSqlText)
{
    DesignerTestFixture f(OddPath(), "PEOPLE");
    f.Select(f.lk.Tables()[0]);
    f.Check("ID");
    f.Enter("LAST_NAME", DesignerTestFixture::Answer(0, "Young"));
    f.Enter("N OR 1=1 OR N", DesignerTestFixture::Answer(0, "2"));
    QString sql;
    EXPECT_EQ(Designed(f, &sql), QStringList{"2"});
    EXPECT_TRUE(sql.contains("\"N OR 1=1 OR N\" = :a_0_2")) << sql.toStdString();
}

// A view read from a cache can be very wide; the join pass over it must not
// grow with the square of the number of tables.
TEST(SoundSql, JoinPassOverAWideTree)
{
    DesignerTestFixture f(TestServer::employeeDialect1());
    TLKTables& tables = f.lk.Tables();
    QTreeWidgetItem* root = TreeNodes::FirstNode(&f.tree);
    const int before = tables.Count();
    const int nodesBefore = TreeNodes::NodeCount(&f.tree);
    const int wide = 50000;
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < wide; ++i)
        items << new QTreeWidgetItem(QStringList{QString("T%1").arg(i)});
    root->addChildren(items);
    for (int i = 0; i < wide; ++i) {
        TLKTable* t = tables.Add(std::make_unique<TLKTable>(QString("T%1").arg(i), "EMPLOYEE", "", "",
                                                             before + i, 0, nodesBefore + i));
        t->Fields.Add(std::make_unique<TLKField>("F", "F", 8, 0, true, false, t->NodeIndex, 0));
    }
    tables[tables.Count() - 1]->Fields[0]->Selected = true;
    tables[0]->Fields[0]->Selected = true;
    QElapsedTimer timer;
    timer.start();
    f.lk.MarkQueryTables();
    const qint64 elapsed = timer.elapsed();
    ASSERT_EQ(f.lk.UsedTables().size(), 2);
    EXPECT_EQ(f.lk.UsedTables()[0].second, tables[0]);
    EXPECT_EQ(f.lk.UsedTables()[1].second, tables[tables.Count() - 1]);
    // Quadratic, this pass took about 19 s; linear, a few milliseconds.
    EXPECT_LT(elapsed, 3000 * TimingSlack()) << elapsed << " ms";
    RecordProperty("join_pass_ms", int(elapsed));
}
