// Saved queries on the dialect 1 sample: the bytes written, files put
// together by hand read back, free and partial entries, damaged files.
#include <QDate>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstring>
#include <gtest/gtest.h>

#include "common/FileBytes.h"
#include "DesignerTestFixture.h"
#include "FileLayout.h"
#include "HandBuiltModel.h"
#include "core/ExceptionHandler.h"

using namespace FileLayout;
using HandBuilt::ClearDesign;

namespace {

// Records that name a table beyond the model: skipped by a load.
QList<QByteArray> Filler(int count)
{
    QList<QByteArray> out;
    for (int i = 0; i < count; ++i)
        out << Record(9999, 0, 1);
    return out;
}

QList<QPair<int, QString>> List(TLarkspan& lk)
{
    QList<QPair<int, QString>> out;
    lk.EnumQueries([&](int index, const QString& name) { out.append({index, name}); });
    return out;
}

struct QueryFixture : DesignerTestFixture {
    QTemporaryDir dir;
    QString path;
    QueryFixture() : DesignerTestFixture(TestServer::employeeDialect1())
    {
        lk.SetDetailTableName("Employee_project");
        lk.SetPermanentCacheDir(dir.path());
        path = dir.path() + "/Employee@Employee_project.qry";
    }
    int TotalFields()
    {
        int n = 0;
        for (const auto& t : lk.Tables()) {
            if (t->Fields.Count() == 0)
                lk.LoadTableFields(t.get());
            n += t->Fields.Count();
        }
        return n;
    }
};

} // namespace

TEST(QueryFile, SaveWritesTheLayoutAndLoadRestoresIt)
{
    QueryFixture f;
    EXPECT_EQ(f.lk.QueryFileName(), f.path);
    TLKTable* root = f.lk.Tables()[0];
    TLKField* empNo = f.Field(root, "EMP_NO");
    TLKField* salary = f.Field(root, "SALARY");
    ASSERT_TRUE(empNo && salary);
    f.Select(root);
    f.Check("EMP_NO");
    f.Enter("SALARY", DesignerTestFixture::Answer(4, "1000", 1, 5, "2000"));
    salary->MainBool = 2;
    const QString salaryText = salary->ConditionText;
    ASSERT_FALSE(salaryText.isEmpty());

    f.lk.SaveQuery(QString::fromUtf8("Fizetés Ő"));
    const int total = f.TotalFields();   // saving loaded every table's fields

    // The file, assembled from the layout.
    QByteArray expected = Header(total);
    expected += '\0';
    expected += NameField("Fizet\xE9s \xD5");
    for (int t = 0; t < f.lk.Tables().Count(); ++t) {
        const TLKTable* table = f.lk.Tables()[t];
        for (int i = 0; i < table->Fields.Count(); ++i) {
            const TLKField* fld = table->Fields[i];
            expected += Record(t, i, fld->Selected, fld->MainBool, fld->BoolBetweenFields,
                               QByteArray(reinterpret_cast<const char*>(&fld->LowValue), 258),
                               QByteArray(reinterpret_cast<const char*>(&fld->HighValue), 258));
        }
    }
    const QByteArray written = ReadAll(f.path);
    EXPECT_EQ(written.size(), 16 + 257 + total * RecordSize);
    EXPECT_EQ(written, expected);
    // SALARY's bounds as the model keeps them: operator, presence, double.
    const int salaryRecord = 16 + 257 + salary->FieldIndex * RecordSize;
    EXPECT_EQ(written.mid(salaryRecord + 8, 3), QByteArray("\x00\x02\x01", 3));
    EXPECT_EQ(written.mid(salaryRecord + 11, 2), QByteArray("\x04\x01", 2));
    double low;
    std::memcpy(&low, written.constData() + salaryRecord + 13, 8);
    EXPECT_EQ(low, 1000.0);

    // The same name again adds a second entry.
    f.lk.SaveQuery(QString::fromUtf8("Fizetés Ő"));
    EXPECT_EQ(List(f.lk), (QList<QPair<int, QString>>{{0, QString::fromUtf8("Fizetés Ő")},
                                                       {1, QString::fromUtf8("Fizetés Ő")}}));

    // Loading restores the design; the root is already the selected node,
    // and the list shows the restored states all the same.
    ClearDesign(f.lk);
    f.Select(root);
    ASSERT_EQ(f.tree.currentItem(), f.tree.topLevelItem(0));
    f.lk.LoadQuery(1);
    EXPECT_TRUE(empNo->Selected);
    EXPECT_EQ(salary->MainBool, 2);
    EXPECT_EQ(salary->BoolBetweenFields, 1);
    EXPECT_EQ(salary->ConditionText, salaryText);
    EXPECT_EQ(salary->ConditionSQL, QString("SALARY >= :a_0_%1 AND SALARY <= :b_0_%1")
                                        .arg(salary->FieldIndex));
    ASSERT_TRUE(f.Item("EMP_NO") && f.Item("SALARY"));
    EXPECT_EQ(f.Item("EMP_NO")->checkState(0), Qt::Checked);
    EXPECT_EQ(f.Item("SALARY")->text(1), salaryText);

    // From another table, the load selects the root.
    ClearDesign(f.lk);
    f.Select(f.Table("JOB"));
    f.lk.LoadQuery(0);
    EXPECT_EQ(f.tree.currentItem(), f.tree.topLevelItem(0));
    EXPECT_EQ(f.Item("EMP_NO")->checkState(0), Qt::Checked);
    EXPECT_EQ(f.Item("SALARY")->text(1), salaryText);
}

TEST(QueryFile, ReadsFilesPutTogetherByHand)
{
    QueryFixture f;
    TLKTable* root = f.lk.Tables()[0];
    ASSERT_GE(root->Fields.Count(), 3);

    // Live A, free, live B, then a partial entry. Every entry holds one
    // record per field of the view; records beyond the model fill them up.
    const int total = f.TotalFields();
    auto records = [&](QList<QByteArray> first) { return first + Filler(total - int(first.size())); };
    QByteArray file = Header(total);
    file += Entry(0, "A", records({Record(0, 0, 1), Record(0, 1, 1)}));
    file += Entry(1, "free", records({Record(0, 2, 1), Record(0, 2, 1)}));
    file += Entry(0, "B", records({Record(0, 2, 1, 3, 1, IntBlock(1, 7), IntBlock(0, 9)),
                                   Record(5000, 0, 1)}));
    file += Entry(0, "partial", records({Record(0, 0, 1)})).left(300);
    WriteAll(f.path, file);

    EXPECT_EQ(List(f.lk), (QList<QPair<int, QString>>{{0, "A"}, {2, "B"}}));
    ClearDesign(f.lk);
    f.lk.LoadQuery(2);
    TLKField* third = root->Fields[2];
    EXPECT_TRUE(third->Selected);
    EXPECT_EQ(third->MainBool, 3);
    EXPECT_EQ(third->BoolBetweenFields, 1);
    EXPECT_EQ(third->LowValue.Operator, 1);
    EXPECT_EQ(third->LowValue.Present, 1);
    EXPECT_EQ(third->HighValue.Present, 1);
    EXPECT_FALSE(third->ConditionSQL.isEmpty());
    EXPECT_FALSE(root->Fields[0]->Selected);
    EXPECT_FALSE(root->Fields[1]->Selected);

    // The partial entry is not loaded; an index past it restores nothing.
    ClearDesign(f.lk);
    try {
        f.lk.LoadQuery(3);
        FAIL() << "no error";
    } catch (const ELarkspanError& e) {
        EXPECT_TRUE(e.Message().contains(f.path)) << e.what();
        EXPECT_TRUE(e.Message().contains("query 3")) << e.what();
    }
    EXPECT_FALSE(root->Fields[0]->Selected);
    f.lk.LoadQuery(4);
    f.lk.LoadQuery(-1);
    EXPECT_FALSE(root->Fields[0]->Selected);
    // A free entry is restored all the same.
    f.lk.LoadQuery(1);
    EXPECT_TRUE(root->Fields[2]->Selected);

    // Negative positions fail with the list's error and restore nothing.
    WriteAll(f.path, Header(total) + Entry(0, "neg", records({Record(0, 0, 1), Record(-1, 0, 1)})) +
                         Entry(0, "negfield", records({Record(0, 0, 1), Record(0, -5, 1)})) +
                         Entry(0, "negbeyond", records({Record(0, 0, 1), Record(7777, -5, 1)})));
    ClearDesign(f.lk);
    for (auto [index, message] : {std::pair{0, "List index out of bounds (-1)"},
                                  std::pair{1, "List index out of bounds (-5)"}}) {
        try {
            f.lk.LoadQuery(index);
            ADD_FAILURE() << "no error for " << index;
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), message);
        }
        EXPECT_FALSE(root->Fields[0]->Selected);
    }
    // A table beyond the model is skipped before its field is looked at.
    f.lk.LoadQuery(2);
    EXPECT_TRUE(root->Fields[0]->Selected);

    // Only a header: nothing listed.
    WriteAll(f.path, Header(0));
    EXPECT_TRUE(List(f.lk).isEmpty());
    // No callback: nothing happens, even without a file.
    QFile::remove(f.path);
    f.lk.EnumQueries({});
    try {
        List(f.lk);
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().startsWith("Cannot open file \"" + f.path + "\"")) << e.what();
    }
    EXPECT_THROW(f.lk.LoadQuery(0), EStreamError);
}

TEST(QueryFile, SavingReusesFreeEntriesAndRefusesOtherFieldCounts)
{
    QueryFixture f;
    const int total = f.TotalFields();
    const int entrySize = 257 + total * RecordSize;

    // Live A and a free entry: the save overwrites the free one.
    const QByteArray start = Header(total) + Entry(0, "A", Filler(total)) +
                             Entry(7, "old", Filler(total));
    WriteAll(f.path, start);
    f.lk.SaveQuery("C");
    QByteArray now = ReadAll(f.path);
    EXPECT_EQ(now.size(), start.size());
    EXPECT_EQ(now.left(16 + entrySize), start.left(16 + entrySize));
    EXPECT_EQ(List(f.lk), (QList<QPair<int, QString>>{{0, "A"}, {1, "C"}}));

    // No free entry: appended. A partial entry at the end is not reused as
    // a free one; the new entry takes its place right after the whole ones,
    // so that every entry stays where the readers look for it.
    WriteAll(f.path, now + Entry(5, "partial", {}).left(100));
    f.lk.SaveQuery("D");
    now = ReadAll(f.path);
    EXPECT_EQ(now.size(), 16 + 3 * entrySize);
    EXPECT_EQ(List(f.lk), (QList<QPair<int, QString>>{{0, "A"}, {1, "C"}, {2, "D"}}));

    // Another field count: refused, nothing written.
    const QByteArray other = Header(total + 1) + Entry(0, "X", Filler(total + 1));
    WriteAll(f.path, other);
    try {
        f.lk.SaveQuery("Y");
        FAIL() << "no error";
    } catch (const ELarkspanError& e) {
        EXPECT_TRUE(e.Message().contains(f.path)) << e.what();
        EXPECT_TRUE(e.Message().contains(QString::number(total))) << e.what();
        EXPECT_TRUE(e.Message().contains(QString::number(total + 1))) << e.what();
    }
    EXPECT_EQ(ReadAll(f.path), other);

    // An empty file gets the header with the view's field count.
    WriteAll(f.path, QByteArray());
    f.lk.SaveQuery("E");
    EXPECT_EQ(ReadAll(f.path).left(16), Header(total));
    EXPECT_EQ(ReadAll(f.path).size(), 16 + entrySize);

    // Wrong magic: the two classes of error, and a listing of nothing.
    QByteArray wrong = ReadAll(f.path);
    wrong[0] = 'l';
    WriteAll(f.path, wrong);
    try {
        f.lk.SaveQuery("Z");
        FAIL() << "no error";
    } catch (const EInvalidFileFormat& e) {
        EXPECT_EQ(e.Message(), "Invalid query file structure.");
    }
    try {
        f.lk.LoadQuery(0);
        FAIL() << "no error";
    } catch (const EInvalidFileFormat&) {
        FAIL() << "the general class is expected";
    } catch (const ELarkspanError& e) {
        EXPECT_EQ(e.Message(), "Invalid query file structure.");
    }
    EXPECT_TRUE(List(f.lk).isEmpty());
    EXPECT_EQ(ReadAll(f.path), wrong);

    // A missing directory.
    f.lk.SetPermanentCacheDir(f.dir.path() + "/missing");
    try {
        f.lk.SaveQuery("Z");
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().startsWith("Cannot create file")) << e.what();
    }
}

TEST(QueryFile, NoViewAndDamagedFiles)
{
    QueryFixture f;
    // Without a view the file holds entries of 257 bytes, and a load only
    // selects the first node.
    QTreeWidget tree, list;
    TLarkspan bare;
    bare.SetTreeView(&tree);
    bare.SetListView(&list);
    bare.SetTableName("Employee");
    bare.SetDetailTableName("Employee_project");
    bare.SetPermanentCacheDir(f.dir.path());
    bare.SaveQuery("none");
    EXPECT_EQ(ReadAll(f.path), Header(0) + Entry(0, "none", {}));
    TreeNodes::AddChildLast(&tree, nullptr, "node");
    bare.LoadQuery(0);
    EXPECT_EQ(tree.currentItem(), tree.topLevelItem(0));

    // Every shorter length of a small file, and random damage with a fixed
    // seed: errors of the project's hierarchy, never a crash or a hang.
    const QByteArray valid = Header(2) + Entry(0, "A", {Record(0, 0, 1), Record(0, 1, 1)}) +
                             Entry(1, "B", {Record(0, 1, 1), Record(3, 2, 0)});
    SetExceptionHandler([](const std::exception&) {});
    auto exercise = [&](const QByteArray& bytes) {
        WriteAll(f.path, bytes);
        try { List(f.lk); } catch (const ELarkspanError&) {}
        for (int i = 0; i < 3; ++i)
            try { f.lk.LoadQuery(i); } catch (const ELarkspanError&) {}
        try { f.lk.SaveQuery("S"); } catch (const ELarkspanError&) {}
    };
    for (int n = 0; n < valid.size(); n += (n < 300 ? 1 : 37))
        exercise(valid.left(n));
    QRandomGenerator random(4242);
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes = valid;
        if (round % 2)
            bytes.truncate(random.bounded(int(bytes.size())));
        for (int i = 0; i < 8; ++i)
            if (!bytes.isEmpty())
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        exercise(bytes);
    }
    SetExceptionHandler({});
}

// An entry records fields by position: loaded into a view with another
// number of fields it would land on the wrong fields. It is refused, with
// both counts and the file named, and nothing of the design changes.
TEST(QueryFile, LoadingRefusesOtherFieldCounts)
{
    QueryFixture f;
    const int total = f.TotalFields();
    TLKTable* root = f.lk.Tables()[0];
    for (int count : {total + 1, total - 1, 0}) {
        QList<QByteArray> records;
        for (int i = 0; i < count; ++i)
            records << Record(0, i % root->Fields.Count(), 1, 0, 0, IntBlock(0, 5));
        WriteAll(f.path, Header(count) + Entry(0, "other view", records));
        ClearDesign(f.lk);
        try {
            f.lk.LoadQuery(0);
            ADD_FAILURE() << "no error for " << count << " fields";
        } catch (const ELarkspanError& e) {
            EXPECT_EQ(e.Message(), QString("Cannot load the query from \"%1\": its queries hold %2 "
                                           "fields, the current view has %3 fields. Nothing was "
                                           "restored.")
                                       .arg(f.path)
                                       .arg(count)
                                       .arg(total));
        }
        for (const auto& t : f.lk.Tables())
            for (const auto& field : t->Fields) {
                EXPECT_FALSE(field->Selected) << count;
                EXPECT_EQ(field->LowValue.Present, 0) << count;
            }
    }

    // The same count loads.
    QList<QByteArray> records{Record(0, 1, 1)};
    records += Filler(total - 1);
    WriteAll(f.path, Header(total) + Entry(0, "this view", records));
    f.lk.LoadQuery(0);
    EXPECT_TRUE(root->Fields[1]->Selected);
}
