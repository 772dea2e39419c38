// View generation against the sample databases and a scratch schema: node
// texts and order, table numbering, join indexes checked against the system
// tables, path exclusion, the join pass and the statement count.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "designer/Larkspan.h"
#include "designer/view/TreeNodes.h"

namespace {
struct Designer {
    TIBDatabase db;
    QTreeWidget tree;
    QTreeWidget list;
    TLarkspan lk;

    Designer(const QString& path, const QString& table, const QString& detail = QString())
    {
        TestServer::configure(db, path);
        lk.SetIBDataBase(&db);
        lk.SetTreeView(&tree);
        lk.SetListView(&list);
        lk.SetTableName(table);
        lk.SetDetailTableName(detail);
    }

    QStringList NodeTexts()
    {
        QStringList texts;
        for (int i = 0; i < TreeNodes::NodeCount(&tree); ++i)
            texts << TreeNodes::ItemAt(&tree, i)->text(0);
        return texts;
    }

    TLKTable* Table(int no) { return lk.Tables().Items(no); }
};

struct Expected {
    const char* name;
    const char* linked;
    const char* ownIndex;
    const char* parentIndex;
    int tableNo, parentNo, nodeIndex;
};

// The foreign key (detail table, its index, referenced table, referenced
// index) read straight from the system tables.
bool ForeignKeyExists(TIBDatabase& db, const QString& detailTable, const QString& detailIndex,
                      const QString& masterTable, const QString& masterIndex)
{
    TIBTransaction tr;
    tr.SetDefaultDatabase(&db);
    TIBQuery q;
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetSQL(QStringLiteral(
        "SELECT COUNT(*) AS N FROM RDB$RELATION_CONSTRAINTS C "
        "JOIN RDB$INDICES D ON D.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
        "JOIN RDB$INDICES M ON M.RDB$INDEX_NAME = D.RDB$FOREIGN_KEY "
        "WHERE C.RDB$CONSTRAINT_TYPE = 'FOREIGN KEY' AND C.RDB$RELATION_NAME = :DT "
        "AND D.RDB$INDEX_NAME = :DI AND M.RDB$RELATION_NAME = :MT AND M.RDB$INDEX_NAME = :MI"));
    q.ParamNamed("DT").SetText(detailTable.toUpper());
    q.ParamNamed("DI").SetText(detailIndex);
    q.ParamNamed("MT").SetText(masterTable.toUpper());
    q.ParamNamed("MI").SetText(masterIndex);
    q.Open();
    const int n = q.FieldNamed("N").IntegerValue();
    q.Close();
    return n == 1;
}

void CheckEmployeeView(const QString& path)
{
    SCOPED_TRACE(path.toStdString());
    Designer d(path, "Employee", "Employee_project");
    d.lk.GenerateView();
    EXPECT_TRUE(d.lk.ViewGenerated());

    EXPECT_EQ(d.NodeTexts(), (QStringList{"Employee", "DEPARTMENT", "JOB", "COUNTRY", "Employee_project", "PROJECT"}));
    ASSERT_EQ(d.tree.topLevelItemCount(), 1);
    QTreeWidgetItem* root = d.tree.topLevelItem(0);
    ASSERT_EQ(root->childCount(), 3);
    EXPECT_EQ(root->child(1)->child(0)->text(0), "COUNTRY");
    EXPECT_EQ(root->child(2)->child(0)->text(0), "PROJECT");

    const Expected expected[] = {
        {"Employee", "", "", "", 0, -1, 0},
        {"DEPARTMENT", "EMPLOYEE", "RDB$PRIMARY5", "RDB$FOREIGN8", 1, 0, 1},
        {"JOB", "EMPLOYEE", "RDB$PRIMARY2", "RDB$FOREIGN9", 2, 0, 2},
        {"COUNTRY", "JOB", "RDB$PRIMARY1", "RDB$FOREIGN3", 3, 2, 3},
        {"Employee_project", "Employee", "RDB$FOREIGN15", "RDB$PRIMARY7", 4, 0, 4},
        {"PROJECT", "EMPLOYEE_PROJECT", "RDB$PRIMARY12", "RDB$FOREIGN16", 5, 4, 5},
    };
    ASSERT_EQ(d.lk.Tables().Count(), 6);
    for (const Expected& e : expected) {
        TLKTable* t = d.Table(e.tableNo);
        SCOPED_TRACE(e.name);
        EXPECT_EQ(t->TableName, e.name);
        EXPECT_EQ(t->LinkedTable, e.linked);
        EXPECT_EQ(t->OwnIndex, e.ownIndex);
        EXPECT_EQ(t->ParentIndex, e.parentIndex);
        EXPECT_EQ(t->TableNo, e.tableNo);
        EXPECT_EQ(t->ParentNo, e.parentNo);
        EXPECT_EQ(t->NodeIndex, e.nodeIndex);
        EXPECT_TRUE(t->JoinCondition.isEmpty());
        if (e.parentNo < 0)
            continue;
        // Referenced tables hold the parent's foreign key; the detail
        // table holds its own.
        if (e.tableNo == 4)
            EXPECT_TRUE(ForeignKeyExists(d.db, t->TableName, t->OwnIndex, t->LinkedTable, t->ParentIndex));
        else
            EXPECT_TRUE(ForeignKeyExists(d.db, t->LinkedTable, t->ParentIndex, t->TableName, t->OwnIndex));
    }

    // Fields only for the root and the detail table, numbered per table.
    EXPECT_EQ(d.Table(0)->Fields.Count(), 11);
    EXPECT_EQ(d.Table(4)->Fields.Count(), 2);
    for (int no : {1, 2, 3, 5})
        EXPECT_EQ(d.Table(no)->Fields.Count(), 0);
    for (int i = 0; i < d.Table(4)->Fields.Count(); ++i) {
        const TLKField* f = d.Table(4)->Fields[i];
        EXPECT_EQ(f->FieldIndex, i);
        EXPECT_EQ(f->TableNodeIndex, 4);
        EXPECT_FALSE(f->FieldName.contains(' '));
        EXPECT_TRUE(f->Visible);
        EXPECT_FALSE(f->Selected);
    }
    // Metadata reads leave the designer's transaction closed.
    EXPECT_FALSE(d.lk.MetadataTransaction()->Active());
}
}

TEST(Schema, EmployeeViewMatchesSystemTablesInBothDialects)
{
    CheckEmployeeView(TestServer::employeeDialect1());
    CheckEmployeeView(TestServer::employeeDialect3());
}

TEST(Schema, FieldsOfEmployeeCarryTypesAndLengths)
{
    Designer d(TestServer::employeeDialect1(), "Employee");
    d.lk.GenerateView();
    EXPECT_EQ(d.NodeTexts(), (QStringList{"Employee", "DEPARTMENT", "JOB", "COUNTRY"}));
    TLKTable* root = d.Table(0);
    QMap<QString, const TLKField*> byName;
    for (const auto& f : root->Fields)
        byName.insert(f->FieldName, f.get());
    ASSERT_TRUE(byName.contains("FIRST_NAME"));
    EXPECT_EQ(byName["FIRST_NAME"]->FieldType, 37);
    EXPECT_EQ(byName["FIRST_NAME"]->CharLength, 15);
    EXPECT_EQ(byName["FIRST_NAME"]->DisplayName, "FIRST_NAME");
    EXPECT_EQ(byName["EMP_NO"]->FieldType, 7);
    EXPECT_EQ(byName["EMP_NO"]->CharLength, 0);
    EXPECT_EQ(byName["SALARY"]->FieldType, 27);   // DOUBLE PRECISION in dialect 1
    EXPECT_EQ(byName["JOB_COUNTRY"]->FieldType, 37);

    // Regenerating starts from an empty model and gives the same view.
    d.lk.GenerateView();
    EXPECT_EQ(d.lk.Tables().Count(), 4);
    EXPECT_EQ(d.tree.topLevelItemCount(), 1);
    EXPECT_EQ(TreeNodes::NodeCount(&d.tree), 4);
}

namespace {
const QStringList ScratchSchema = {
    "CREATE TABLE PERSON (ID INTEGER NOT NULL PRIMARY KEY, BORN DATE)",
    "CREATE TABLE TRANSFER (ID INTEGER NOT NULL PRIMARY KEY, "
    "FROM_PERSON INTEGER REFERENCES PERSON(ID), TO_PERSON INTEGER REFERENCES PERSON(ID))",
    "CREATE TABLE AAA (ID INTEGER NOT NULL PRIMARY KEY, B_ID INTEGER)",
    "CREATE TABLE BBB (ID INTEGER NOT NULL PRIMARY KEY, A_ID INTEGER REFERENCES AAA(ID))",
    "ALTER TABLE AAA ADD CONSTRAINT FK_A_B FOREIGN KEY (B_ID) REFERENCES BBB(ID)",
    "CREATE TABLE SHARED (ID INTEGER NOT NULL PRIMARY KEY)",
    "CREATE TABLE XSIDE (ID INTEGER NOT NULL PRIMARY KEY, S_ID INTEGER REFERENCES SHARED(ID))",
    "CREATE TABLE YSIDE (ID INTEGER NOT NULL PRIMARY KEY, S_ID INTEGER REFERENCES SHARED(ID))",
    "CREATE TABLE HUB (ID INTEGER NOT NULL PRIMARY KEY, "
    "X_ID INTEGER REFERENCES XSIDE(ID), Y_ID INTEGER REFERENCES YSIDE(ID))",
    "CREATE TABLE LONER (ID INTEGER NOT NULL PRIMARY KEY)",
    "CREATE TABLE \"O'BRIEN\" (ID INTEGER NOT NULL PRIMARY KEY, "
    "PARENT_ID INTEGER REFERENCES \"O'BRIEN\"(ID), PERSON_ID INTEGER REFERENCES PERSON(ID))",
};

QString ScratchPath()
{
    static const QString path = TestServer::createScratchDatabase("designer_schema", ScratchSchema);
    return path;
}
}

TEST(Schema, TwoForeignKeysToOneTableArePrefixedWithTheirColumns)
{
    Designer d(ScratchPath(), "TRANSFER");
    d.lk.GenerateView();
    QStringList texts = d.NodeTexts();
    ASSERT_EQ(texts.count(), 3);
    EXPECT_EQ(texts[0], "TRANSFER");
    QStringList children = texts.mid(1);
    children.sort();
    EXPECT_EQ(children, (QStringList{"FROM_PERSON - PERSON", "TO_PERSON - PERSON"}));
    // Each child joins through its own foreign key.
    EXPECT_NE(d.Table(1)->ParentIndex, d.Table(2)->ParentIndex);
    EXPECT_EQ(d.Table(1)->OwnIndex, d.Table(2)->OwnIndex);
}

TEST(Schema, CyclesStopAndSharedTablesGetTheirOwnNumbers)
{
    {
        Designer d(ScratchPath(), "AAA");
        d.lk.GenerateView();
        EXPECT_EQ(d.NodeTexts(), (QStringList{"AAA", "BBB"}));
        d.lk.SetTableName("BBB");
        d.lk.GenerateView();
        EXPECT_EQ(d.NodeTexts(), (QStringList{"BBB", "AAA"}));
    }
    {
        Designer d(ScratchPath(), "HUB");
        d.lk.GenerateView();
        EXPECT_EQ(d.NodeTexts(), (QStringList{"HUB", "XSIDE", "SHARED", "YSIDE", "SHARED"}));
        // TableNo: siblings numbered before expansion; NodeIndex: pre-order.
        const int tableNos[] = {0, 1, 2, 3, 4};
        const int nodes[] = {0, 1, 3, 2, 4};
        const int parents[] = {-1, 0, 0, 1, 2};
        const char* names[] = {"HUB", "XSIDE", "YSIDE", "SHARED", "SHARED"};
        ASSERT_EQ(d.lk.Tables().Count(), 5);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(d.Table(i)->TableName, names[i]);
            EXPECT_EQ(d.Table(i)->TableNo, tableNos[i]);
            EXPECT_EQ(d.Table(i)->NodeIndex, nodes[i]);
            EXPECT_EQ(d.Table(i)->ParentNo, parents[i]);
        }
        EXPECT_EQ(d.lk.TablePathList(3), "'SHARED','XSIDE','HUB'");
        EXPECT_EQ(d.lk.TablePathList(0), "'HUB'");
    }
}

TEST(Schema, LonelyTablesAndDetailsWithoutLink)
{
    Designer d(ScratchPath(), "LONER");
    d.lk.GenerateView();
    EXPECT_EQ(d.NodeTexts(), QStringList{"LONER"});

    // A detail table whose only foreign key leads to the main table.
    d.lk.SetTableName("SHARED");
    d.lk.SetDetailTableName("XSIDE");
    d.lk.GenerateView();
    EXPECT_EQ(d.NodeTexts(), (QStringList{"SHARED", "XSIDE"}));

    // A detail table without any link to the main table still becomes a
    // node, with empty indexes and so an empty join.
    d.lk.SetTableName("HUB");
    d.lk.SetDetailTableName("LONER");
    d.lk.GenerateView();
    EXPECT_EQ(d.NodeTexts(), (QStringList{"HUB", "XSIDE", "SHARED", "YSIDE", "SHARED", "LONER"}));
    TLKTable* loner = d.Table(5);
    EXPECT_EQ(loner->TableName, "LONER");
    EXPECT_EQ(loner->LinkedTable, "HUB");
    EXPECT_TRUE(loner->OwnIndex.isEmpty());
    EXPECT_TRUE(loner->ParentIndex.isEmpty());
    EXPECT_EQ(loner->NodeIndex, 5);
    EXPECT_EQ(loner->Fields.Count(), 1);
    loner->Fields[0]->Selected = true;
    d.lk.MarkQueryTables();
    ASSERT_EQ(d.lk.UsedTables().count(), 2);
    EXPECT_EQ(d.lk.UsedTables()[0].second, loner);
    EXPECT_TRUE(loner->JoinCondition.isEmpty());

    // A table name that does not exist: a root without fields or children.
    d.lk.SetTableName("NO_SUCH_TABLE");
    d.lk.SetDetailTableName("");
    d.lk.GenerateView();
    EXPECT_EQ(d.NodeTexts(), QStringList{"NO_SUCH_TABLE"});
    EXPECT_EQ(d.Table(0)->Fields.Count(), 0);
}

// A quote inside a table name must not break (or change) the exclusion
// list of the reference statement: it is doubled inside the literal.
TEST(Schema, QuoteInTableNameIsEscapedInPathList)
{
    Designer d(ScratchPath(), "O'BRIEN");
    d.lk.GenerateView();
    // The self reference is excluded by the path; PERSON has no keys.
    EXPECT_EQ(d.NodeTexts(), (QStringList{"O'BRIEN", "PERSON"}));
    EXPECT_EQ(d.lk.TablePathList(1), "'PERSON','O''BRIEN'");
    EXPECT_EQ(d.Table(0)->Fields.Count(), 3);
    EXPECT_EQ(d.Table(1)->LinkedTable, "O'BRIEN");

    // Reached as a child, the table is still excluded below itself.
    d.lk.SetTableName("PERSON");
    d.lk.SetDetailTableName("O'BRIEN");
    d.lk.GenerateView();
    EXPECT_EQ(d.NodeTexts(), (QStringList{"PERSON", "O'BRIEN"}));
    EXPECT_FALSE(d.Table(1)->OwnIndex.isEmpty());
}

TEST(Schema, MarkQueryTablesBuildsJoinsAlongThePath)
{
    Designer d(TestServer::employeeDialect1(), "Employee", "Employee_project");
    d.lk.GenerateView();
    TLKTable* employee = d.Table(0);
    TLKTable* department = d.Table(1);
    TLKTable* job = d.Table(2);
    TLKTable* country = d.Table(3);
    d.lk.LoadTableFields(department);
    d.lk.LoadTableFields(country);

    // Nothing selected: nothing takes part.
    d.lk.MarkQueryTables();
    EXPECT_TRUE(d.lk.UsedTables().isEmpty());

    // Only the root: itself, without a join.
    employee->Fields[0]->Selected = true;
    d.lk.MarkQueryTables();
    ASSERT_EQ(d.lk.UsedTables().count(), 1);
    EXPECT_EQ(d.lk.UsedTables()[0].first, "Employee");
    EXPECT_TRUE(employee->JoinCondition.isEmpty());

    // A grandchild pulls in every table on its path.
    employee->Fields[0]->Selected = false;
    country->Fields[0]->Selected = true;
    department->Fields[0]->Selected = true;
    d.lk.MarkQueryTables();
    QList<TLKTable*> used;
    for (const auto& entry : d.lk.UsedTables())
        used << entry.second;
    // A parent is added right after its first taking-part child.
    EXPECT_EQ(used, (QList<TLKTable*>{department, employee, country, job}));
    EXPECT_EQ(department->JoinCondition, "Tbl_0.DEPT_NO=Tbl_1.DEPT_NO");
    EXPECT_EQ(country->JoinCondition, "Tbl_2.JOB_COUNTRY=Tbl_3.COUNTRY");
    EXPECT_EQ(job->JoinCondition,
              "Tbl_0.JOB_CODE=Tbl_2.JOB_CODE AND Tbl_0.JOB_GRADE=Tbl_2.JOB_GRADE AND "
              "Tbl_0.JOB_COUNTRY=Tbl_2.JOB_COUNTRY");

    // Same selection, same result; deselecting drops the branch.
    d.lk.MarkQueryTables();
    EXPECT_EQ(d.lk.UsedTables().count(), 4);
    country->Fields[0]->Selected = false;
    d.lk.MarkQueryTables();
    used.clear();
    for (const auto& entry : d.lk.UsedTables())
        used << entry.second;
    EXPECT_EQ(used, (QList<TLKTable*>{department, employee}));

    // Index column counts that differ stop the pass, the table stays listed.
    department->OwnIndex = "RDB$PRIMARY2";
    try {
        d.lk.MarkQueryTables();
        FAIL() << "no error";
    } catch (const ELarkspanError& e) {
        EXPECT_EQ(e.Message(), "Diferrent field count in indexes");
    }
    EXPECT_EQ(d.lk.UsedTables().last().second, department);
    EXPECT_FALSE(d.lk.MetadataTransaction()->Active());

    QStringList columns;
    d.lk.GetIndexFields("RDB$PRIMARY2", columns);
    EXPECT_EQ(columns, (QStringList{"JOB_CODE", "JOB_GRADE", "JOB_COUNTRY"}));
    columns.clear();
    d.lk.GetIndexFields("", columns);
    d.lk.GetIndexFields("NO_SUCH_INDEX", columns);
    EXPECT_TRUE(columns.isEmpty());
}

// One reference statement per expanded table, the two field loads and the
// detail link; nothing else.
TEST(Schema, GenerateViewStatementCount)
{
    Designer d(TestServer::employeeDialect1(), "Employee", "Employee_project");
    d.db.SetConnected(true);
    QStringList texts;
    QObject::connect(&d.db, &TIBDatabase::StatementExecuted, [&](const QString& sql) { texts << sql; });
    const quint64 before = d.db.ExecutedStatementCount();
    d.lk.GenerateView();
    const quint64 used = d.db.ExecutedStatementCount() - before;
    // 6 tables expanded + 2 field loads + 1 detail link.
    EXPECT_EQ(used, 9u);
    ASSERT_EQ(texts.count(), 9);
    EXPECT_EQ(texts.filter("NOT IN").count(), 6);
    EXPECT_EQ(texts.filter("RDB$RELATION_FIELDS").count(), 2);
    EXPECT_EQ(texts.filter("DETAIL_TABLE").count() - texts.filter("NOT IN").count(), 1);

    // Two foreign keys to one table: one index statement per such child.
    Designer t(ScratchPath(), "TRANSFER");
    t.db.SetConnected(true);
    const quint64 start = t.db.ExecutedStatementCount();
    t.lk.GenerateView();
    EXPECT_EQ(t.db.ExecutedStatementCount() - start, 1u + 3u + 2u);
}

// With the cache on, the first generation writes the cache file; the next
// one reads it instead of the system tables and writes it again.
TEST(Schema, CachedViewNeedsNoMetadataStatements)
{
    QTemporaryDir dir;
    Designer d(TestServer::employeeDialect1(), "Employee", "Employee_project");
    d.lk.SetPermanentCacheDir(dir.path());
    d.lk.SetUsePermanentCache(true);
    d.db.SetConnected(true);
    quint64 start = d.db.ExecutedStatementCount();
    d.lk.GenerateView();
    EXPECT_EQ(d.db.ExecutedStatementCount() - start, 9u);
    const QString cacheFile = d.lk.PermanentCacheDir() + d.lk.CacheFileName();
    ASSERT_TRUE(QFile::exists(cacheFile));
    const QStringList texts = d.NodeTexts();

    const QDateTime past = QDateTime::currentDateTime().addDays(-1);
    {
        QFile f(cacheFile);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(past, QFileDevice::FileModificationTime));
    }
    start = d.db.ExecutedStatementCount();
    d.lk.GenerateView();
    EXPECT_EQ(d.db.ExecutedStatementCount() - start, 0u);
    EXPECT_TRUE(d.lk.ViewGenerated());
    EXPECT_EQ(d.NodeTexts(), texts);
    EXPECT_EQ(d.lk.Tables().Count(), 6);
    EXPECT_GT(QFileInfo(cacheFile).lastModified(), past);
    EXPECT_TRUE(d.tree.updatesEnabled());
}
