// The permanent view cache: the bytes written, reading them back, damaged
// files, a failed write, and the cache inside GenerateView on the sample.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtEndian>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "common/FileBytes.h"
#include "common/TestServer.h"
#include "FileLayout.h"
#include "core/ExceptionHandler.h"
#include "dbaccess/IBDatabase.h"
#include "designer/Larkspan.h"
#include "designer/view/TreeNodes.h"
#include "designer/view/WidgetTreeText.h"

using namespace FileLayout;

namespace {

// A designer without a database, with a small view put together by hand.
struct HandMadeView {
    QTemporaryDir dir;
    QTreeWidget tree;
    QTreeWidget list;
    TLarkspan lk;

    HandMadeView()
    {
        lk.SetTreeView(&tree);
        lk.SetListView(&list);
        lk.SetTableName("Employee");
        lk.SetDetailTableName("Employee_project");
        lk.SetUsePermanentCache(true);
        lk.SetPermanentCacheDir(dir.path());
    }

    QString Path() const { return dir.path() + "/Employee@Employee_project.lks"; }

    // Root "Employee" with the fields EMP_NO and a long one; child "Osztály"
    // (no fields loaded) whose names are longer than the records hold.
    void Build()
    {
        tree.clear();
        lk.Tables().Clear();
        auto root = TreeNodes::AddChildLast(&tree, nullptr, "Employee");
        TreeNodes::AddChildLast(&tree, root, QString::fromUtf8("Osztály"));
        TLKTable* t0 = lk.Tables().Add(
            std::make_unique<TLKTable>("EMPLOYEE", "", "", "", 0, -1, 0));
        t0->Fields.Add(std::make_unique<TLKField>("EMP_NO", "Number", 7, 0, true, true, 0, 0));
        auto f1 = t0->Fields.Add(std::make_unique<TLKField>(
            QString(40, 'F'), QString(140, QChar(0x0150)), 37, 25, false, false, 0, 1));
        f1->BoolBetweenFields = 1;   // the design is not part of the cache
        f1->LowValue.Present = 1;
        lk.Tables().Add(std::make_unique<TLKTable>(QString(40, 'D'), "EMPLOYEE",
                                                   "RDB$FOREIGN8", "RDB$PRIMARY5", 1, 0, 1));
        lk.ViewTree() = TreeNodes::Nodes(&tree);
    }

    QByteArray Expected() const
    {
        QByteArray out = Header();
        const QByteArray treeText("Employee\r\n\tOszt\xE1ly\r\n");
        Int32(out, treeText.size());
        out += treeText;
        Int32(out, 2);
        // Table 0 and its two fields.
        Short(out, "EMPLOYEE", 31);
        Short(out, "", 31);
        Short(out, "", 31);
        Short(out, "", 31);
        Int32(out, 0);
        Int32(out, 0);
        Int32(out, -1);
        Int32(out, 2);
        Int32(out, 0);
        Int32(out, 0);
        Short(out, "EMP_NO", 31);
        Short(out, "Number", 128);
        Int32(out, 7);
        Int32(out, 0);
        out.append('\x01');
        Int32(out, 0);
        Int32(out, 1);
        Short(out, QByteArray(31, 'F'), 31);
        Short(out, QByteArray(128, '\xD5'), 128);
        Int32(out, 37);
        Int32(out, 25);
        out.append('\x00');
        // Table 1, names cut to 31 characters, no fields.
        Short(out, QByteArray(31, 'D'), 31);
        Short(out, "EMPLOYEE", 31);
        Short(out, "RDB$FOREIGN8", 31);
        Short(out, "RDB$PRIMARY5", 31);
        Int32(out, 1);
        Int32(out, 1);
        Int32(out, 0);
        Int32(out, 0);
        return out;
    }
};

// Reads the cache and expects it to fail cleanly: an error of the project's
// hierarchy and an empty view.
void ExpectCleanFailure(HandMadeView& v, const char* what)
{
    try {
        v.lk.ReadViewFromCache();
        ADD_FAILURE() << "no error for " << what;
    } catch (const ELarkspanError&) {
    }
    EXPECT_EQ(v.lk.Tables().Count(), 0) << what;
    EXPECT_EQ(v.tree.topLevelItemCount(), 0) << what;
}

} // namespace

TEST(CacheFile, WritesTheLayoutAndReadsItBack)
{
    HandMadeView v;
    v.Build();
    EXPECT_EQ(v.lk.CacheFileName(), "Employee@Employee_project.lks");
    EXPECT_TRUE(v.lk.CacheExists() == false);
    v.lk.WriteViewToCache();
    EXPECT_TRUE(v.lk.CacheExists());
    v.lk.SetUsePermanentCache(false);
    EXPECT_FALSE(v.lk.CacheExists());
    v.lk.SetUsePermanentCache(true);
    const QByteArray expected = v.Expected();
    ASSERT_EQ(ReadAll(v.Path()), expected);

    // Another designer reads it: tree, tables and fields, every field
    // unselected and without conditions; the root becomes the selected node.
    QTreeWidget tree, list;
    TLarkspan other;
    other.SetTreeView(&tree);
    other.SetListView(&list);
    other.SetTableName("Employee");
    other.SetDetailTableName("Employee_project");
    other.SetUsePermanentCache(true);
    other.SetPermanentCacheDir(v.dir.path());
    other.ReadViewFromCache();
    EXPECT_EQ(TreeText::Save(&tree), TreeText::Save(&v.tree));
    EXPECT_EQ(tree.currentItem(), tree.topLevelItem(0));
    ASSERT_EQ(other.Tables().Count(), 2);
    const TLKTable* t0 = other.Tables()[0];
    const TLKTable* t1 = other.Tables()[1];
    EXPECT_EQ(t0->TableName, "EMPLOYEE");
    EXPECT_EQ(t0->ParentNo, -1);
    EXPECT_EQ(t1->TableName, QString(31, 'D'));
    EXPECT_EQ(t1->LinkedTable, "EMPLOYEE");
    EXPECT_EQ(t1->OwnIndex, "RDB$FOREIGN8");
    EXPECT_EQ(t1->ParentIndex, "RDB$PRIMARY5");
    EXPECT_EQ(t1->NodeIndex, 1);
    EXPECT_EQ(t1->TableNo, 1);
    EXPECT_EQ(t1->ParentNo, 0);
    EXPECT_EQ(t1->Fields.Count(), 0);
    ASSERT_EQ(t0->Fields.Count(), 2);
    const TLKField* a = t0->Fields[0];
    const TLKField* b = t0->Fields[1];
    EXPECT_EQ(a->FieldName, "EMP_NO");
    EXPECT_EQ(a->DisplayName, "Number");
    EXPECT_EQ(a->FieldType, 7);
    EXPECT_TRUE(a->Visible);
    EXPECT_EQ(b->FieldName, QString(31, 'F'));
    EXPECT_EQ(b->DisplayName, QString(128, QChar(0x0150)));
    EXPECT_EQ(b->CharLength, 25);
    EXPECT_EQ(b->FieldIndex, 1);
    EXPECT_FALSE(b->Visible);
    for (const TLKField* f : {a, b}) {
        EXPECT_FALSE(f->Selected);
        EXPECT_EQ(f->BoolBetweenFields, 0);
        EXPECT_EQ(f->LowValue.Present, 0);
        EXPECT_TRUE(f->ConditionText.isEmpty());
    }
    // The list shows the root's visible field.
    EXPECT_EQ(list.topLevelItemCount(), 1);

    // Writing it again gives the same bytes.
    other.WriteViewToCache();
    EXPECT_EQ(ReadAll(v.Path()), expected);
}

TEST(CacheFile, WriteErrors)
{
    HandMadeView v;
    try {
        v.lk.WriteViewToCache();   // no tables
        FAIL() << "no error";
    } catch (const ELarkspanError& e) {
        EXPECT_EQ(e.Message(), "TLarkspan: Can not write view to cache without assigned "
                               "TreeView or without generated view.");
    }
    TLarkspan bare;
    bare.Tables().Add(std::make_unique<TLKTable>("EMPLOYEE", "", "", "", 0, -1, 0));
    EXPECT_THROW(bare.WriteViewToCache(), ELarkspanError);   // no tree

    v.Build();
    v.lk.SetPermanentCacheDir(v.dir.path() + "/missing");
    try {
        v.lk.WriteViewToCache();
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().startsWith("Cannot create file \"" + v.dir.path() +
                                           "/missing/Employee@Employee_project.lks\""))
            << e.what();
    }
}

// A write that fails part-way (the file size limit stops it after 512
// bytes, which also binds root) leaves the previous cache as it was.
TEST(CacheFile, FailedWriteKeepsThePreviousCache)
{
    HandMadeView v;
    v.Build();
    v.lk.WriteViewToCache();
    const QByteArray previous = ReadAll(v.Path());
    ASSERT_GT(previous.size(), 512);

    auto root = v.tree.topLevelItem(0);
    for (int i = 0; i < 40; ++i)
        TreeNodes::AddChildLast(&v.tree, root, QStringLiteral("Extra table %1").arg(i));
    v.lk.ViewTree() = TreeNodes::Nodes(&v.tree);

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    try {
        v.lk.WriteViewToCache();
    } catch (const EStreamError& e) {
        failed = true;
        EXPECT_TRUE(e.Message().contains(v.Path())) << e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadAll(v.Path()), previous);
    EXPECT_EQ(QDir(v.dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"Employee@Employee_project.lks"});

    // Without the limit the same write replaces it.
    v.lk.WriteViewToCache();
    EXPECT_GT(ReadAll(v.Path()).size(), previous.size());
}

TEST(CacheFile, DamagedFilesFailCleanly)
{
    HandMadeView v;
    v.Build();
    const QByteArray valid = v.Expected();

    auto expectInvalid = [&](const QByteArray& bytes, const char* what) {
        WriteAll(v.Path(), bytes);
        v.Build();
        try {
            v.lk.ReadViewFromCache();
            ADD_FAILURE() << "no error for " << what;
        } catch (const EInvalidFileFormat& e) {
            EXPECT_EQ(e.Message(), "Invalid cache file structure.") << what;
        }
        EXPECT_EQ(v.lk.Tables().Count(), 0) << what;
        EXPECT_EQ(v.tree.topLevelItemCount(), 0) << what;
    };
    QByteArray wrongMagic = valid;
    wrongMagic[3] = 'X';
    expectInvalid(wrongMagic, "wrong magic");
    QByteArray noTree = Header();
    Int32(noTree, 0);
    Int32(noTree, 0);
    expectInvalid(noTree, "tree length 0");
    // Cut inside the table blocks and inside the last field record.
    const int treeEnd = 16 + 20;
    expectInvalid(valid.left(treeEnd + 2), "cut in the table count");
    expectInvalid(valid.left(treeEnd + 4 + 100), "cut in a table record");
    expectInvalid(valid.left(treeEnd + 4 + 140 + 4 + 178 + 50), "cut in a field record");
    expectInvalid(valid.left(valid.size() - 1), "cut in the last field count");
    QByteArray moreFields = valid;
    qToLittleEndian<qint32>(3, moreFields.data() + treeEnd + 4 + 140);
    expectInvalid(moreFields, "field count beyond the file");

    // Tree text shorter than its length: the stream's read error.
    WriteAll(v.Path(), valid.left(20));
    try {
        v.lk.ReadViewFromCache();
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().startsWith("Read error: file \"" + v.Path() + "\" ends before"))
            << e.what();
    }

    // Every shorter length of the valid file.
    for (int n = 0; n < valid.size(); ++n) {
        WriteAll(v.Path(), valid.left(n));
        v.Build();
        ExpectCleanFailure(v, qPrintable(QString("length %1").arg(n)));
    }

    // Random damage with a fixed seed: an error of the project or a view,
    // never a crash or a hang. Errors from selecting a node go to the
    // handler; silence it.
    SetExceptionHandler([](const std::exception&) {});
    QRandomGenerator random(20261207);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes;
        if (round % 3 == 0) {
            bytes.resize(random.bounded(600));
            for (auto& c : bytes)
                c = char(random.bounded(256));
        } else {
            bytes = valid;
            const int changes = 1 + random.bounded(6);
            for (int i = 0; i < changes; ++i)
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
            if (round % 3 == 2)
                bytes.truncate(random.bounded(int(bytes.size())));
        }
        WriteAll(v.Path(), bytes);
        try {
            v.lk.ReadViewFromCache();
        } catch (const ELarkspanError&) {
            EXPECT_EQ(v.lk.Tables().Count(), 0);
        }
    }
    SetExceptionHandler({});
}

// The cache inside GenerateView, on the dialect 1 sample.
TEST(CacheFile, SecondGenerationReadsNoSystemTables)
{
    QTemporaryDir dir;
    TIBDatabase db;
    TestServer::configure(db, TestServer::employeeDialect1());
    QTreeWidget tree, list;
    TLarkspan lk;
    lk.SetIBDataBase(&db);
    lk.SetTreeView(&tree);
    lk.SetListView(&list);
    lk.SetTableName("Employee");
    lk.SetDetailTableName("Employee_project");
    lk.SetPermanentCacheDir(dir.path());
    const QString path = dir.path() + "/Employee@Employee_project.lks";

    // Off: a cache file present is neither read nor written.
    WriteAll(path, "not a cache");
    lk.GenerateView();
    EXPECT_EQ(ReadAll(path), QByteArray("not a cache"));
    QFile::remove(path);

    lk.SetUsePermanentCache(true);
    lk.GenerateView();   // from the system tables, then written
    ASSERT_TRUE(QFile::exists(path));
    const QByteArray treeText = TreeText::Save(&tree);
    QStringList model;
    for (const auto& t : lk.Tables()) {
        model << QString("%1 %2 %3 %4 %5 %6 %7 %8").arg(t->TableName, t->LinkedTable, t->OwnIndex,
                                                        t->ParentIndex).arg(t->NodeIndex)
                     .arg(t->TableNo).arg(t->ParentNo).arg(t->Fields.Count());
        for (const auto& f : t->Fields)
            model << QString("  %1 %2 %3 %4 %5").arg(f->FieldName).arg(f->FieldType)
                         .arg(f->CharLength).arg(f->FieldIndex).arg(f->TableNodeIndex);
    }
    ASSERT_GT(lk.Tables().Count(), 2);
    TLKTable* detail = lk.Tables().Items(lk.Tables().Count() - 1);
    (void)detail;

    const quint64 before = db.ExecutedStatementCount();
    lk.GenerateView();   // from the cache, written again
    EXPECT_EQ(db.ExecutedStatementCount(), before);
    EXPECT_TRUE(lk.ViewGenerated());
    EXPECT_EQ(TreeText::Save(&tree), treeText);
    QStringList cached;
    for (const auto& t : lk.Tables()) {
        cached << QString("%1 %2 %3 %4 %5 %6 %7 %8").arg(t->TableName, t->LinkedTable, t->OwnIndex,
                                                         t->ParentIndex).arg(t->NodeIndex)
                      .arg(t->TableNo).arg(t->ParentNo).arg(t->Fields.Count());
        for (const auto& f : t->Fields)
            cached << QString("  %1 %2 %3 %4 %5").arg(f->FieldName).arg(f->FieldType)
                          .arg(f->CharLength).arg(f->FieldIndex).arg(f->TableNodeIndex);
    }
    EXPECT_EQ(cached, model);
    TLKTable* root = lk.Tables()[0];
    TLKTable* project = FindTableByName(lk.Tables(), "EMPLOYEE_PROJECT");
    ASSERT_TRUE(project);
    EXPECT_GT(root->Fields.Count(), 0);
    EXPECT_GT(project->Fields.Count(), 0);
    EXPECT_EQ(tree.currentItem(), tree.topLevelItem(0));
    EXPECT_EQ(list.topLevelItemCount(), root->Fields.Count());

    // Another table still gets its fields from the database when selected.
    TLKTable* department = FindTableByName(lk.Tables(), "DEPARTMENT");
    ASSERT_TRUE(department);
    EXPECT_EQ(department->Fields.Count(), 0);
    tree.setCurrentItem(TreeNodes::ItemAt(&tree, department->NodeIndex));
    EXPECT_GT(department->Fields.Count(), 0);
    EXPECT_GT(db.ExecutedStatementCount(), before);

    // A damaged cache makes the generation fail and leaves no view.
    QByteArray bytes = ReadAll(path);
    bytes[0] = 'X';
    WriteAll(path, bytes);
    try {
        lk.GenerateView();
        FAIL() << "no error";
    } catch (const EInvalidFileFormat& e) {
        EXPECT_EQ(e.Message(), "Invalid cache file structure.");
    }
    EXPECT_FALSE(lk.ViewGenerated());
    EXPECT_EQ(lk.Tables().Count(), 0);
    EXPECT_EQ(tree.topLevelItemCount(), 0);
}
