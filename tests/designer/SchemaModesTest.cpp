// The schema read at once against the per-table walk: on the samples, odd
// schemas and seeded random foreign-key graphs, both must give the very same
// model and tree; and what each costs in statements, prepares and
// transactions.
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBTransaction.h"
#include "dbaccess/SessionCounters.h"
#include "designer/ForeignKeyGraphs.h"
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

    // Everything a generation leaves behind, as text: every table of the
    // model with its numbers, names and indexes and its fields, then every
    // node of the tree with its depth.
    QStringList View()
    {
        QStringList lines;
        for (int i = 0; i < lk.Tables().Count(); ++i) {
            const TLKTable* t = lk.Tables()[i];
            lines << QStringLiteral("table %1 [%2] linked [%3] own [%4] parent [%5] parentNo %6 node %7 join [%8]")
                         .arg(t->TableNo)
                         .arg(t->TableName, t->LinkedTable, t->OwnIndex, t->ParentIndex)
                         .arg(t->ParentNo)
                         .arg(t->NodeIndex)
                         .arg(t->JoinCondition);
            for (const auto& f : t->Fields)
                lines << QStringLiteral("  field %1 %2 %3 %4 node %5")
                             .arg(f->FieldIndex)
                             .arg(f->FieldName, f->DisplayName)
                             .arg(f->FieldType)
                             .arg(f->TableNodeIndex);
        }
        for (int i = 0; i < TreeNodes::NodeCount(&tree); ++i) {
            const QTreeWidgetItem* item = TreeNodes::ItemAt(&tree, i);
            int depth = 0;
            for (const QTreeWidgetItem* p = item->parent(); p; p = p->parent())
                ++depth;
            lines << QString(depth * 2, ' ') + item->text(0);
        }
        return lines;
    }

    QStringList Generate(bool atOnce, TSessionCounters* used = nullptr)
    {
        lk.SetReadSchemaAtOnce(atOnce);
        const TSessionCounters before = SessionCounters();
        lk.GenerateView();
        if (used)
            *used = SessionCounters() - before;
        EXPECT_FALSE(lk.MetadataTransaction()->Active());
        return View();
    }
};

// Both modes on one schema: the same model and tree, and with every table's
// fields loaded and one field of each ticked, the same join conditions.
void ExpectSameView(const QString& path, const QString& table, const QString& detail, bool joins,
                    const std::string& what)
{
    Designer d(path, table, detail);
    const QStringList walked = d.Generate(false);
    const QStringList atOnce = d.Generate(true);
    ASSERT_GT(walked.size(), 1) << what;
    ASSERT_EQ(atOnce, walked) << what;
    if (!joins)
        return;
    QStringList joined[2];
    for (bool mode : {false, true}) {
        d.Generate(mode);
        d.lk.LoadAllFields();
        for (int i = 0; i < d.lk.Tables().Count(); ++i)
            for (const auto& f : d.lk.Tables()[i]->Fields) {
                f->Selected = true;
                break;
            }
        d.lk.MarkQueryTables();
        joined[mode] = d.View();
    }
    EXPECT_EQ(joined[1], joined[0]) << what;
}

const QStringList OddSchema = {
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
    "X_ID INTEGER REFERENCES XSIDE(ID), Y_ID INTEGER REFERENCES YSIDE(ID), T_ID INTEGER REFERENCES TRANSFER(ID))",
    "CREATE TABLE LONER (ID INTEGER NOT NULL PRIMARY KEY)",
    "CREATE TABLE \"O'BRIEN\" (ID INTEGER NOT NULL PRIMARY KEY, "
    "PARENT_ID INTEGER REFERENCES \"O'BRIEN\"(ID), PERSON_ID INTEGER REFERENCES PERSON(ID))",
    "CREATE TABLE \"Mixed Case\" (ID INTEGER NOT NULL PRIMARY KEY, "
    "\"lower col\" INTEGER REFERENCES \"O'BRIEN\"(ID), H_ID INTEGER REFERENCES HUB(ID), H2_ID INTEGER REFERENCES HUB(ID))",
    "CREATE TABLE \"lower_t\" (ID INTEGER NOT NULL PRIMARY KEY, M_ID INTEGER REFERENCES \"Mixed Case\"(ID))",
};

constexpr int RandomGraphCount = 24;

QString OddPath()
{
    static const QString path = TestServer::createScratchDatabase("schema_modes", OddSchema);
    return path;
}

QString GraphPath(std::vector<ForeignKeyGraph>* graphs)
{
    static std::vector<ForeignKeyGraph> made;
    static const QString path = [] {
        QStringList statements;
        for (int i = 0; i < RandomGraphCount; ++i) {
            // A few graphs name their tables the way tools and ORMs do.
            QStringList names;
            if (i % 6 == 5)
                names = {QStringLiteral("\"g%1 Root\"").arg(i), QStringLiteral("\"g%1_lower\"").arg(i),
                         QStringLiteral("\"G%1 Q'T\"").arg(i)};
            made.push_back(ForeignKeyGraphs::Make(i, 7919u * unsigned(i + 1), names));
            statements += made.back().statements;
        }
        return TestServer::createScratchDatabase("schema_graphs", statements);
    }();
    *graphs = made;
    return path;
}
}

TEST(SchemaModes, SamplesGiveTheSameView)
{
    for (const QString& path : {TestServer::employeeDialect1(), TestServer::employeeDialect3()}) {
        ExpectSameView(path, "Employee", "Employee_project", true, path.toStdString());
        ExpectSameView(path, "Employee", "", false, path.toStdString() + " without detail");
        ExpectSameView(path, "Department", "Employee", false, path.toStdString() + " Department");
    }
}

TEST(SchemaModes, OddSchemasGiveTheSameView)
{
    struct Case {
        const char* table;
        const char* detail;
    } cases[] = {{"HUB", ""},       {"TRANSFER", ""},          {"AAA", "BBB"},       {"\"O'BRIEN\"", ""},
                 {"PERSON", "TRANSFER"}, {"\"lower_t\"", ""}, {"\"Mixed Case\"", "\"lower_t\""}, {"LONER", ""},
                 {"hub", "\"Mixed Case\""}};
    for (const Case& c : cases)
        ExpectSameView(OddPath(), c.table, c.detail, true, c.table);
}

TEST(SchemaModes, RandomForeignKeyGraphsGiveTheSameView)
{
    std::vector<ForeignKeyGraph> graphs;
    const QString path = GraphPath(&graphs);
    ASSERT_EQ(int(graphs.size()), RandomGraphCount);
    int composite = 0, doubles = 0;
    for (size_t i = 0; i < graphs.size(); ++i) {
        const ForeignKeyGraph& g = graphs[i];
        for (const QString& s : g.statements) {
            composite += s.contains("PRIMARY KEY (K1, K2)") ? 1 : 0;
            doubles += s.contains("L1") ? 1 : 0;
        }
        ExpectSameView(path, g.root, g.detail, i % 4 == 0, "graph " + std::to_string(i) + " seed " +
                                                               std::to_string(7919u * unsigned(i + 1)));
    }
    // The graphs hold what they are meant to test.
    EXPECT_GT(composite, 5);
    EXPECT_GT(doubles, 5);
}

TEST(SchemaModes, StatementsPreparesAndTransactionsPerGeneration)
{
    Designer d(TestServer::employeeDialect1(), "Employee", "Employee_project");
    d.db.SetConnected(true);
    TSessionCounters walk, atOnce;
    d.Generate(false, &walk);
    // 6 tables expanded, 2 field loads, 1 detail link, all in one
    // transaction; the fields and the detail statements prepared once, each
    // expansion's statement (its own text) once.
    EXPECT_EQ(walk.Executes, 9u);
    EXPECT_EQ(walk.Prepares, 8u);
    EXPECT_EQ(walk.TransactionStarts, 1u);
    d.Generate(true, &atOnce);
    EXPECT_EQ(atOnce.Executes, 4u);   // links, two field loads, detail link
    EXPECT_EQ(atOnce.Prepares, 3u);
    EXPECT_EQ(atOnce.TransactionStarts, 1u);

    // A bigger tree, with double links whose nodes need the columns of
    // their keys, costs the at-once read no more statements.
    std::vector<ForeignKeyGraph> graphs;
    Designer g(GraphPath(&graphs), "HUB");
    Designer odd(OddPath(), "HUB");
    odd.db.SetConnected(true);
    TSessionCounters hub;
    odd.Generate(true, &hub);
    EXPECT_EQ(hub.Executes, 2u);   // links with their columns, root fields
    EXPECT_EQ(hub.TransactionStarts, 1u);
    odd.Generate(false, &walk);
    EXPECT_EQ(walk.TransactionStarts, 1u);

    // Selecting a table loads its fields: one statement, one prepare, one
    // transaction.
    TLKTable* person = FindTableByName(odd.lk.Tables(), "PERSON");
    ASSERT_NE(person, nullptr);
    const TSessionCounters before = SessionCounters();
    odd.tree.setCurrentItem(TreeNodes::ItemAt(&odd.tree, person->NodeIndex));
    const TSessionCounters load = SessionCounters() - before;
    EXPECT_EQ(person->Fields.Count(), 2);
    EXPECT_EQ(load.Executes, 1u);
    EXPECT_EQ(load.Prepares, 1u);
    EXPECT_EQ(load.TransactionStarts, 1u);
    EXPECT_FALSE(odd.lk.MetadataTransaction()->Active());
}

TEST(SchemaModes, AnErrorEndsTheTransaction)
{
    // A name longer than the system tables' columns fails at the first read.
    for (bool atOnce : {false, true}) {
        Designer d(TestServer::employeeDialect1(), QString(300, 'X'));
        d.lk.SetReadSchemaAtOnce(atOnce);
        EXPECT_ANY_THROW(d.lk.GenerateView());
        EXPECT_FALSE(d.lk.MetadataTransaction()->Active());
        EXPECT_FALSE(d.lk.ViewGenerated());
        // The next generation starts afresh and succeeds.
        d.lk.SetTableName("Employee");
        d.lk.GenerateView();
        EXPECT_TRUE(d.lk.ViewGenerated());
        EXPECT_FALSE(d.lk.MetadataTransaction()->Active());
    }
}
