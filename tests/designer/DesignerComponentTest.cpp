// The component itself: property setters, handler installation, forgetting
// removed controls and database, and the checks that GenerateView makes.
#include <QPointer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "designer/Larkspan.h"
#include "designer/view/TreeNodes.h"
#include "common/ErrorText.h"

namespace {
}

TEST(DesignerComponent, ConstructionWiresTheMetadataQueries)
{
    QObject owner;
    auto* lk = new TLarkspan(&owner);
    EXPECT_EQ(lk->parent(), &owner);
    EXPECT_TRUE(lk->TableName().isEmpty());
    EXPECT_EQ(lk->TreeView(), nullptr);
    EXPECT_EQ(lk->ListView(), nullptr);
    EXPECT_EQ(lk->IBDataBase(), nullptr);
    EXPECT_EQ(lk->DisplayNameSourceType(), dnsNone);
    EXPECT_FALSE(lk->AutoSetupListView());
    EXPECT_FALSE(lk->UsePermanentCache());
    EXPECT_FALSE(lk->ViewGenerated());
    EXPECT_FALSE(static_cast<bool>(lk->OnFieldValueRequired));
    EXPECT_EQ(lk->Tables().Count(), 0);
    EXPECT_FALSE(lk->MetadataTransaction()->Active());

    for (TIBQuery* q : {lk->ReferenceQuery(), lk->DetailQuery(), lk->IndexQuery(), lk->FieldsQuery()}) {
        EXPECT_EQ(q->parent(), lk);
        EXPECT_EQ(q->Transaction(), lk->MetadataTransaction());
    }
    EXPECT_EQ(lk->FieldsQuery()->SQL().join('\r'), LarkspanSQL::FieldsQueryText());
    EXPECT_EQ(lk->IndexQuery()->SQL().join('\r'), LarkspanSQL::IndexQueryText());
    EXPECT_EQ(lk->DetailQuery()->SQL().join('\r'), LarkspanSQL::DetailQueryText());
    EXPECT_EQ(LarkspanSQL::FieldsQueryText().count('\r'), 5);
    EXPECT_FALSE(LarkspanSQL::ReferenceQueryFormat().contains('\n'));
    EXPECT_TRUE(LarkspanSQL::IndexQueryText().contains("\r       RDB$FIELD_POSITION AS FIELD_POSITION\r"));
    EXPECT_EQ(LarkspanSQL::ReferenceQueryFormat().count("%s"), 1);

    struct { TIBQuery* q; const char* name; } params[] = {
        {lk->FieldsQuery(), "TableName"}, {lk->IndexQuery(), "Index"},
        {lk->DetailQuery(), "TableName"}, {lk->DetailQuery(), "MasterTable"}};
    for (auto& p : params) {
        EXPECT_EQ(p.q->ParamNamed(p.name).DataType(), ftString) << p.name;
        EXPECT_EQ(p.q->ParamNamed(p.name).ParamType(), ptInput) << p.name;
    }

    // The database reaches the transaction and every query.
    TIBDatabase db;
    lk->SetIBDataBase(&db);
    EXPECT_EQ(lk->MetadataTransaction()->DefaultDatabase(), &db);
    for (TIBQuery* q : {lk->ReferenceQuery(), lk->DetailQuery(), lk->IndexQuery(), lk->FieldsQuery()})
        EXPECT_EQ(q->Database(), &db);
    delete lk;
}

TEST(DesignerComponent, SetterEdgeCases)
{
    TLarkspan lk;
    lk.SetIncludeFields({"A", "B"});
    lk.SetTableName("Employee");
    EXPECT_TRUE(lk.IncludeFields().isEmpty());   // a different table name clears them
    lk.SetIncludeFields({"A", "B"});
    lk.SetTableName("Employee");
    EXPECT_EQ(lk.IncludeFields(), (QStringList{"A", "B"}));
    lk.SetTableName("EMPLOYEE");                  // letter case counts
    EXPECT_TRUE(lk.IncludeFields().isEmpty());
    lk.SetIncludeFields({"A"});
    lk.SetIncludeFields({"A", ""});               // an extra empty line is a change
    EXPECT_EQ(lk.IncludeFields().count(), 2);

    lk.SetPermanentCacheDir("/tmp/cache");
    EXPECT_EQ(lk.PermanentCacheDir(), "/tmp/cache/");
    lk.SetPermanentCacheDir("/tmp/other/");
    EXPECT_EQ(lk.PermanentCacheDir(), "/tmp/other/");
    lk.SetPermanentCacheDir("c:\\temp\\");
    EXPECT_EQ(lk.PermanentCacheDir(), "c:\\temp\\");
    lk.SetPermanentCacheDir("");
    EXPECT_EQ(lk.PermanentCacheDir(), "");

    lk.SetDetailTableName("Employee_project");
    EXPECT_EQ(lk.DetailTableName(), "Employee_project");

    // Auto set-up applies when a list view is assigned, not afterwards.
    QTreeWidget first, second;
    lk.SetListView(&first);
    EXPECT_EQ(first.columnCount(), 1);
    lk.SetAutoSetupListView(true);
    EXPECT_EQ(first.columnCount(), 1);
    lk.SetListView(&second);
    EXPECT_EQ(second.columnCount(), 2);
    lk.SetListView(nullptr);                      // no list view: still usable
    EXPECT_EQ(lk.ListView(), nullptr);
    lk.SetTreeView(nullptr);
    EXPECT_EQ(ErrorOf([&] { lk.GenerateView(); }), "Both TreeView and ListView must be set");
}

TEST(DesignerComponent, RemovedComponentsAreForgotten)
{
    TLarkspan lk;
    auto tree = std::make_unique<QTreeWidget>();
    auto list = std::make_unique<QTreeWidget>();
    auto db = std::make_unique<TIBDatabase>();
    TestServer::configure(*db, TestServer::employeeDialect1());
    lk.SetTreeView(tree.get());
    lk.SetListView(list.get());
    lk.SetIBDataBase(db.get());
    lk.SetTableName("Employee");
    lk.GenerateView();
    EXPECT_TRUE(lk.ViewGenerated());

    db.reset();
    EXPECT_EQ(lk.IBDataBase(), nullptr);
    list.reset();
    EXPECT_EQ(lk.ListView(), nullptr);
    EXPECT_EQ(lk.TreeView(), tree.get());
    tree.reset();
    EXPECT_EQ(lk.TreeView(), nullptr);
    EXPECT_EQ(ErrorOf([&] { lk.GenerateView(); }), "Both TreeView and ListView must be set");
    EXPECT_TRUE(lk.ViewGenerated());   // raised before anything changed
    EXPECT_EQ(lk.Tables().Count(), 4);

    // A designer that goes first leaves the database and controls working.
    QTreeWidget t, l;
    TIBDatabase db2;
    TestServer::configure(db2, TestServer::employeeDialect3());
    {
        TLarkspan other;
        other.SetTreeView(&t);
        other.SetListView(&l);
        other.SetIBDataBase(&db2);
        other.SetTableName("Employee");
        other.GenerateView();
    }
    t.setCurrentItem(t.topLevelItem(0));   // no handler of the gone designer runs
    EXPECT_TRUE(db2.Connected());
    db2.SetConnected(false);
}

TEST(DesignerComponent, GenerateViewChecksAndFailures)
{
    TIBDatabase db;
    QTreeWidget tree, list;
    TLarkspan lk;
    TestServer::configure(db, TestServer::employeeDialect1());
    lk.SetIBDataBase(&db);
    lk.SetTreeView(&tree);
    lk.SetListView(&list);
    EXPECT_EQ(ErrorOf([&] { lk.GenerateView(); }), "Tablename missing.");

    lk.SetTableName("Employee");
    lk.GenerateView();
    ASSERT_TRUE(lk.ViewGenerated());
    lk.SetTableName("");
    EXPECT_EQ(ErrorOf([&] { lk.GenerateView(); }), "Tablename missing.");
    EXPECT_FALSE(lk.ViewGenerated());
    EXPECT_EQ(lk.Tables().Count(), 0);   // the old model went first

    // A failing connect: the error passes through, the tree repaints again.
    db.SetConnected(false);
    db.SetDatabaseName(TestServer::connectionString("/nonexistent/larkspan.fdb"));
    lk.SetTableName("Employee");
    bool raised = false;
    try {
        lk.GenerateView();
    } catch (const EIBError&) {
        raised = true;
    }
    EXPECT_TRUE(raised);
    EXPECT_FALSE(lk.ViewGenerated());
    EXPECT_TRUE(tree.updatesEnabled());

    // The next generation starts afresh.
    TestServer::configure(db, TestServer::employeeDialect1());
    lk.GenerateView();
    EXPECT_TRUE(lk.ViewGenerated());
    EXPECT_EQ(lk.Tables().Count(), 4);
    EXPECT_EQ(TreeNodes::NodeCount(&tree), 4);
    EXPECT_TRUE(tree.updatesEnabled());
}

TEST(DesignerComponent, HandlersFollowTheControls)
{
    TIBDatabase db;
    TestServer::configure(db, TestServer::employeeDialect1());
    QTreeWidget tree, list;
    TLarkspan lk;
    lk.SetIBDataBase(&db);
    lk.SetTreeView(&tree);
    lk.SetListView(&list);
    lk.SetTableName("Employee");
    lk.GenerateView();
    // Generating selects nothing and loads only the root's fields.
    EXPECT_EQ(tree.currentItem(), nullptr);
    TLKTable* job = FindTableByName(lk.Tables(), "JOB");
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->Fields.Count(), 0);
    tree.setCurrentItem(TreeNodes::ItemAt(&tree, job->NodeIndex));
    EXPECT_GT(job->Fields.Count(), 0);            // the selection handler ran
    EXPECT_GT(list.topLevelItemCount(), 0);

    // Regenerating drops the list's items with the model they point into.
    lk.GenerateView();
    EXPECT_EQ(list.topLevelItemCount(), 0);
    EXPECT_EQ(tree.currentItem(), nullptr);

    // Assigning the same tree again installs nothing new.
    int calls = 0;
    QObject::connect(&tree, &QTreeWidget::currentItemChanged, [&] { ++calls; });
    lk.SetTreeView(&tree);
    tree.setCurrentItem(tree.topLevelItem(0));
    EXPECT_EQ(calls, 1);

    // At design time no handlers are installed.
    QTreeWidget designTree, designList;
    TLarkspan design;
    design.SetDesigning(true);
    design.SetIBDataBase(&db);
    design.SetTreeView(&designTree);
    design.SetListView(&designList);
    design.SetTableName("Employee");
    design.GenerateView();
    TLKTable* designJob = FindTableByName(design.Tables(), "JOB");
    designTree.setCurrentItem(TreeNodes::ItemAt(&designTree, designJob->NodeIndex));
    EXPECT_EQ(designJob->Fields.Count(), 0);
    EXPECT_EQ(designList.topLevelItemCount(), 0);
}
