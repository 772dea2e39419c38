// The query file and the view cache written from a model built in the test,
// compared byte for byte with files assembled from their layout, and read
// back into a designer: no server, no controls.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/FileBytes.h"
#include "common/ErrorText.h"
#include "FileLayout.h"
#include "HandBuiltModel.h"
#include "dbaccess/TypeCodes.h"

using namespace FileLayout;
using namespace HandBuilt;

namespace {

namespace Code = FieldTypeCode;   // the columns' stored type codes

// EMPLOYEE (EMP_NO, SALARY, LAST_NAME) and DEPARTMENT below it (DEPT_NO,
// BUDGET): five records per saved design.
class QueryFileFormat : public FixedLocale {
protected:
    QTemporaryDir dir;
    TLarkspan lk;
    TLKTable* emp = nullptr;
    TLKTable* dept = nullptr;

    void SetUp() override
    {
        FixedLocale::SetUp();
        ASSERT_TRUE(dir.isValid());
        lk.SetTableName("EMPLOYEE");
        lk.SetDetailTableName("EMPLOYEE_PROJECT");
        lk.SetPermanentCacheDir(dir.path());
        emp = AddTable(lk, "EMPLOYEE", -1,
                       {{"EMP_NO", Code::Smallint}, {"SALARY", Code::Double}, {"LAST_NAME", Code::Varchar}});
        dept = AddTable(lk, "DEPARTMENT", 0, {{"DEPT_NO", Code::Char}, {"BUDGET", Code::Integer}}, "RDB$PRIMARY5",
                        "RDB$FOREIGN8");
        lk.SetIndexColumns("RDB$PRIMARY5", {"DEPT_NO"});
        lk.SetIndexColumns("RDB$FOREIGN8", {"DEPT_NO"});
    }

    QString Path() const { return dir.path() + "/EMPLOYEE@EMPLOYEE_PROJECT.qry"; }

    // Ticks and conditions in both tables, values of four kinds.
    void DesignA()
    {
        Field(emp, "EMP_NO")->Selected = true;
        TLKField* salary = Field(emp, "SALARY");
        Answer(salary, 4, "1000", fboAnd, 5, "2000.5");
        salary->MainBool = fboOr;
        Answer(Field(emp, "LAST_NAME"), 7, QString::fromUtf8("Ő"));
        Field(dept, "DEPT_NO")->Selected = true;
        Answer(Field(dept, "BUDGET"), 2, "500");
    }

    QList<QByteArray> RecordsA() const
    {
        return {Record(0, 0, 1),
                Record(0, 1, 0, fboOr, fboAnd, DoubleBlock(4, 1000), DoubleBlock(5, 2000.5)),
                Record(0, 2, 0, 0, 0, StringBlock(7, "\xD5")),
                Record(1, 0, 1),
                Record(1, 1, 0, 0, 0, IntBlock(2, 500))};
    }

    QList<QPair<int, QString>> List()
    {
        QList<QPair<int, QString>> out;
        lk.EnumQueries([&](int index, const QString& name) { out.append({index, name}); });
        return out;
    }

    QString Sql()
    {
        lk.MarkQueryTables();
        return lk.GenerateSQL();
    }
};

}   // namespace

TEST_F(QueryFileFormat, SavedBytesAndTheDesignReadBack)
{
    DesignA();
    const QString sqlA = Sql();
    ASSERT_EQ(sqlA, "SELECT\rTbl_0.EMP_NO,\rTbl_1.DEPT_NO\rFROM\rEMPLOYEE Tbl_0,\rDEPARTMENT Tbl_1\rWHERE\r"
                    "SALARY >= :a_0_1 AND SALARY <= :b_0_1 AND \rLAST_NAME STARTING WITH :a_0_2 AND \r"
                    "Tbl_0.DEPT_NO=Tbl_1.DEPT_NO AND \rBUDGET > :a_1_1");
    EXPECT_EQ(lk.QueryFileName(), Path());
    lk.SaveQuery(QString::fromUtf8("Fizetés Ő"));
    const QByteArray entryA = Entry(0, "Fizet\xE9s \xD5", RecordsA());
    ASSERT_EQ(ReadAll(Path()), Header(5) + entryA);

    // A second design goes after the first.
    ClearDesign(lk);
    Field(emp, "LAST_NAME")->Selected = true;
    lk.SaveQuery("Second");
    const QByteArray entryB =
        Entry(0, "Second", {Record(0, 0), Record(0, 1), Record(0, 2, 1), Record(1, 0), Record(1, 1)});
    EXPECT_EQ(ReadAll(Path()), Header(5) + entryA + entryB);
    EXPECT_EQ(List(), (QList<QPair<int, QString>>{{0, QString::fromUtf8("Fizetés Ő")}, {1, "Second"}}));

    // Loading restores ticks, links, values and the texts built from them:
    // the same statement as before saving.
    ClearDesign(lk);
    lk.LoadQuery(0);
    TLKField* salary = Field(emp, "SALARY");
    EXPECT_EQ(salary->MainBool, fboOr);
    EXPECT_EQ(salary->ConditionText, "\"SALARY\" >= \"1000\" AND \"SALARY\" <= \"2000.5\"");
    EXPECT_EQ(Field(emp, "LAST_NAME")->ConditionText, QString::fromUtf8("\"LAST_NAME\" STARTING WITH \"Ő\""));
    EXPECT_FALSE(Field(emp, "LAST_NAME")->Selected);
    EXPECT_EQ(Sql(), sqlA);
    EXPECT_EQ(lk.ParamList().size(), 4);
    lk.LoadQuery(1);
    EXPECT_EQ(Sql(), "SELECT\rTbl_0.LAST_NAME\rFROM\rEMPLOYEE Tbl_0");

    // Saving and loading leave the file as it was written.
    EXPECT_EQ(ReadAll(Path()), Header(5) + entryA + entryB);
}

// A free entry is taken by the next save; the entries around it keep their
// bytes and their places.
TEST_F(QueryFileFormat, SaveFillsAFreeEntryInPlace)
{
    QList<QByteArray> zeros;
    for (int i = 0; i < 5; ++i)
        zeros << Record(0, i);
    const QByteArray first = Entry(0, "first", zeros);
    const QByteArray last = Entry(0, "last", zeros);
    WriteAll(Path(), Header(5) + first + Entry(1, "gone", zeros) + last);
    EXPECT_EQ(List(), (QList<QPair<int, QString>>{{0, "first"}, {2, "last"}}));

    DesignA();
    lk.SaveQuery("taken");
    EXPECT_EQ(ReadAll(Path()), Header(5) + first + Entry(0, "taken", RecordsA()) + last);
    EXPECT_EQ(List(), (QList<QPair<int, QString>>{{0, "first"}, {1, "taken"}, {2, "last"}}));
}

// Records name fields by position: a file of a view with another number of
// fields is neither written into nor loaded from, and says why.
TEST_F(QueryFileFormat, OtherFieldCountsAreRefused)
{
    QList<QByteArray> six;
    for (int i = 0; i < 6; ++i)
        six << Record(0, i % 3, 1);
    const QByteArray other = Header(6) + Entry(0, "wider view", six);
    WriteAll(Path(), other);
    EXPECT_EQ(ErrorOf([&] { lk.SaveQuery("mine"); }),
              QString("Cannot save the query into \"%1\": its queries hold 6 fields, "
                      "the current view has 5 fields.")
                  .arg(Path()));
    EXPECT_EQ(ErrorOf([&] { lk.LoadQuery(0); }),
              QString("Cannot load the query from \"%1\": its queries hold 6 fields, the "
                      "current view has 5 fields. Nothing was restored.")
                  .arg(Path()));
    EXPECT_EQ(ReadAll(Path()), other);
    for (const auto& t : lk.Tables())
        for (const auto& f : t->Fields)
            EXPECT_FALSE(f->Selected);
}

namespace {

// A view of three tables in a chain; the middle node's text begins with a
// blank, so that its line is escaped.
struct CachedView {
    QTemporaryDir dir;
    TLarkspan lk;

    CachedView()
    {
        Configure(lk);
        TViewTree& tree = lk.ViewTree();
        tree.AddLast(-1, "Employee");
        tree.AddLast(0, QString::fromUtf8(" Osztály"));
        tree.AddLast(1, QString::fromUtf8("Ország"));
        TLKTable* emp = lk.Tables().Add(std::make_unique<TLKTable>("EMPLOYEE", "", "", "", 0, -1, 0));
        emp->Fields.Add(std::make_unique<TLKField>("EMP_NO", "Number", Code::Smallint, 0, true, true, 0, 0));
        TLKField* name = emp->Fields.Add(std::make_unique<TLKField>("LAST_NAME", QString::fromUtf8("Név"),
                                                                    Code::Varchar, 20, false, false, 0, 1));
        Answer(name, 0, "Young");   // the design is not part of the cache
        lk.Tables().Add(
            std::make_unique<TLKTable>("DEPARTMENT", "EMPLOYEE", "RDB$PRIMARY5", "RDB$FOREIGN8", 1, 0, 1));
        TLKTable* country = lk.Tables().Add(
            std::make_unique<TLKTable>("COUNTRY", "DEPARTMENT", "RDB$PRIMARY1", "RDB$FOREIGN10", 2, 1, 2));
        country->Fields.Add(std::make_unique<TLKField>("COUNTRY", QString::fromUtf8("Ország"), Code::Varchar, 15,
                                                       true, false, 2, 0));
    }

    void Configure(TLarkspan& designer) const
    {
        designer.SetTableName("Employee");
        designer.SetDetailTableName("Employee_project");
        designer.SetUsePermanentCache(true);
        designer.SetPermanentCacheDir(dir.path());
    }

    QString Path() const { return dir.path() + "/Employee@Employee_project.lks"; }

    static QByteArray Expected()
    {
        QByteArray out = Header();
        const QByteArray treeText("Employee\r\n\t\x01 Oszt\xE1ly\r\n\t\tOrsz\xE1g\r\n");
        Int32(out, treeText.size());
        out += treeText;
        Int32(out, 3);
        auto table = [&](const QByteArray& name, const QByteArray& linked, const QByteArray& own,
                         const QByteArray& parent, qint32 node, qint32 number, qint32 parentNo, qint32 fields) {
            for (const QByteArray& s : {name, linked, own, parent})
                Short(out, s, 31);
            for (qint32 v : {node, number, parentNo, fields})
                Int32(out, v);
        };
        auto field = [&](qint32 node, qint32 index, const QByteArray& name, const QByteArray& display,
                         qint32 type, qint32 length, bool visible) {
            Int32(out, node);
            Int32(out, index);
            Short(out, name, 31);
            Short(out, display, 128);
            Int32(out, type);
            Int32(out, length);
            out.append(visible ? '\x01' : '\x00');
        };
        table("EMPLOYEE", "", "", "", 0, 0, -1, 2);
        field(0, 0, "EMP_NO", "Number", Code::Smallint, 0, true);
        field(0, 1, "LAST_NAME", "N\xE9v", Code::Varchar, 20, false);
        table("DEPARTMENT", "EMPLOYEE", "RDB$PRIMARY5", "RDB$FOREIGN8", 1, 1, 0, 0);
        table("COUNTRY", "DEPARTMENT", "RDB$PRIMARY1", "RDB$FOREIGN10", 2, 2, 1, 1);
        field(2, 0, "COUNTRY", "Orsz\xE1g", Code::Varchar, 15, true);
        return out;
    }
};

QStringList NodeLines(const TViewTree& tree)
{
    QStringList out;
    for (int i = 0; i < tree.Count(); ++i)
        out << QStringLiteral("%1:%2").arg(tree[i].Level).arg(tree[i].Text);
    return out;
}

}   // namespace

TEST(ViewCacheFormat, WrittenBytesAndTheModelReadBack)
{
    CachedView v;
    EXPECT_FALSE(v.lk.CacheExists());
    v.lk.WriteViewToCache();
    ASSERT_EQ(ReadAll(v.Path()), CachedView::Expected());

    // A designer without a database builds its model from the cache, and
    // writes the cache again with the same bytes.
    TLarkspan reader;
    v.Configure(reader);
    ASSERT_TRUE(reader.CacheExists());
    reader.GenerateModel();
    EXPECT_TRUE(reader.ViewGenerated());
    EXPECT_EQ(ReadAll(v.Path()), CachedView::Expected());
    EXPECT_EQ(NodeLines(reader.ViewTree()),
              (QStringList{"0:Employee", QString::fromUtf8("1: Osztály"), QString::fromUtf8("2:Ország")}));

    const TLKTables& tables = reader.Tables();
    ASSERT_EQ(tables.Count(), 3);
    EXPECT_EQ(tables[0]->Parent, nullptr);
    EXPECT_EQ(tables[1]->Parent, tables[0]);
    EXPECT_EQ(tables[2]->Parent, tables[1]);
    EXPECT_EQ(tables[2]->LinkedTable, "DEPARTMENT");
    EXPECT_EQ(tables[2]->OwnIndex, "RDB$PRIMARY1");
    EXPECT_EQ(tables[2]->ParentIndex, "RDB$FOREIGN10");
    EXPECT_EQ(tables[1]->Fields.Count(), 0);
    ASSERT_EQ(tables[0]->Fields.Count(), 2);
    const TLKField* name = tables[0]->Fields[1];
    EXPECT_EQ(name->DisplayName, QString::fromUtf8("Név"));
    EXPECT_EQ(name->CharLength, 20);
    EXPECT_FALSE(name->Visible);
    // Ticks and conditions stay out of the cache.
    EXPECT_FALSE(tables[0]->Fields[0]->Selected);
    EXPECT_TRUE(name->ConditionSQL.isEmpty());
    EXPECT_EQ(name->LowValue.Present, 0);
    EXPECT_EQ(tables[2]->Fields[0]->TableNodeIndex, 2);

    // ReadViewFromCache reads the same model.
    TLarkspan again;
    v.Configure(again);
    again.ReadViewFromCache();
    EXPECT_EQ(NodeLines(again.ViewTree()), NodeLines(reader.ViewTree()));
    EXPECT_EQ(again.Tables().Count(), 3);
}

// A cache cut short fails with a message that says so and leaves no model,
// and the file is not replaced.
TEST(ViewCacheFormat, ACacheCutShortLeavesNoModel)
{
    CachedView v;
    const QByteArray full = CachedView::Expected();
    const QString invalid = "Invalid cache file structure.";
    const QList<QPair<qsizetype, QString>> cases = {
        {0, invalid},
        {11, invalid},   // inside the header
        {20, QString("Read error: file \"%1\" ends before the tree text is complete.").arg(v.Path())},
        {full.size() - 1, invalid},   // inside the last field record
    };
    for (const auto& [size, message] : cases) {
        SCOPED_TRACE(size);
        WriteAll(v.Path(), full.left(size));
        TLarkspan reader;
        v.Configure(reader);
        EXPECT_EQ(ErrorOf([&] { reader.GenerateModel(); }), message);
        EXPECT_EQ(reader.Tables().Count(), 0);
        EXPECT_TRUE(reader.ViewTree().IsEmpty());
        EXPECT_FALSE(reader.ViewGenerated());
        EXPECT_EQ(ReadAll(v.Path()), full.left(size));
    }
}
