#include <gtest/gtest.h>

#include "core/UserLocale.h"
#include "designer/LarkspanTypes.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstddef>
#include <cstring>

namespace {

// Runs a test under a fixed, known locale and restores the previous one.
class ModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = UserLocale::Current();
        UserLocale l;
        l.DecimalSeparator = ',';
        l.ThousandSeparator = '.';
        l.ShortDateFormat = "dd.MM.yyyy";
        l.LongTimeFormat = "HH:mm:ss";
        UserLocale::SetCurrent(l);
    }
    void TearDown() override { UserLocale::SetCurrent(saved); }

    UserLocale saved;
};

TLKField MakeField(qint32 type, const QString& name = "F", const QString& display = "Field")
{
    return TLKField(name, display, type, 0, true, false, 1, 2);
}

QByteArray DataBytes(const TValueBlock& b, int n)
{
    return QByteArray(reinterpret_cast<const char*>(b.Data), n);
}

QByteArray LittleEndianDouble(double v)
{
    QByteArray a(8, 0);
    std::memcpy(a.data(), &v, 8); // the test machine is little-endian
    return a;
}

} // namespace

TEST_F(ModelTest, ValueBlocksByTypeCode)
{
    struct Case {
        qint32 type;
        QString text;
        QByteArray data;
        QString back;
    };
    const double date = DateTimeValue::FromDate(QDate(2024, 3, 9));
    const double time = DateTimeValue::FromTime(QTime(12, 30, 0));
    const QList<Case> cases = {
        {7, "-2", QByteArray("\xFE\xFF", 2), "-2"},
        {7, "70000", QByteArray("\x70\x11", 2), "4464"},
        {8, "305419896", QByteArray("\x78\x56\x34\x12", 4), "305419896"},
        {16, "-1", QByteArray(8, '\xFF'), "-1"},
        {16, "9223372036854775807", QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 8), "9223372036854775807"},
        {10, "1,5", LittleEndianDouble(1.5), "1,5"},
        {11, "-0,25", LittleEndianDouble(-0.25), "-0,25"},
        {27, "1000", QByteArray("\0\0\0\0\0\x40\x8F\x40", 8), "1000"},
        {12, "09.03.2024", LittleEndianDouble(date), "09.03.2024"},
        {13, "12:30:00", LittleEndianDouble(time), "12:30:00"},
        {35, "09.03.2024 12:30:00", LittleEndianDouble(date + time), "09.03.2024 12:30:00"},
        {35, "09.03.2024", LittleEndianDouble(date), "09.03.2024"},
        {14, "AB", QByteArray("\x02" "AB", 3), "AB"},
        {37, QString::fromUtf8("ő"), QByteArray("\x01\xF5", 2), QString::fromUtf8("ő")},
        {40, "", QByteArray("\0", 1), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        SCOPED_TRACE(c.text.toStdString());
        TLKField f = MakeField(c.type);
        f.LowValue.Operator = 5;
        f.SetValueText(c.text, 1);
        EXPECT_EQ(f.LowValue.Operator, 5);
        EXPECT_EQ(f.LowValue.Present, 1);
        EXPECT_EQ(DataBytes(f.LowValue, int(c.data.size())), c.data);
        EXPECT_EQ(f.GetValueText(1), c.back);
        // Low and high blocks are independent.
        EXPECT_EQ(f.HighValue.Present, 0);
        EXPECT_EQ(f.GetValueText(2), "");
    }

    // Codes without a value layout: present, nothing stored, no text.
    for (qint32 type : {261, 9}) {
        TLKField f = MakeField(type);
        f.SetValueText("12", 2);
        EXPECT_EQ(f.HighValue.Present, 1);
        EXPECT_EQ(DataBytes(f.HighValue, 256), QByteArray(256, 0));
        EXPECT_EQ(f.GetValueText(2), "");
    }

    // Texts that do not convert leave the block without a value.
    const QList<QPair<qint32, QString>> bad = {
        {7, ""}, {7, "x"}, {8, "2147483648"}, {8, "1,5"}, {16, "1e3"}, {10, "1.5"}, {27, ""},
        {12, "31.02.2024"}, {12, ""}, {13, "25:00"}, {35, "09.03.2024 xx"}};
    for (const auto& [type, text] : bad) {
        TLKField f = MakeField(type);
        f.SetValueText("1", 1);
        f.SetValueText(text, 1);
        EXPECT_EQ(f.LowValue.Present, 0) << type << " " << text.toStdString();
        EXPECT_EQ(f.GetValueText(1), "");
    }

    // Strings are cut at 255 bytes.
    TLKField s = MakeField(37);
    s.SetValueText(QString(300, 'x'), 1);
    EXPECT_EQ(s.LowValue.Data[0], 255);
    EXPECT_EQ(s.GetValueText(1), QString(255, 'x'));

    // The expression carries presence, operator and text.
    s.LowValue.Operator = 6;
    const TFieldValueExpression e = s.GetValueExpression(1);
    EXPECT_TRUE(e.Present);
    EXPECT_EQ(e.Operator, 6);
    EXPECT_EQ(e.Value.size(), 255);
}

TEST_F(ModelTest, DatesOfEveryYearRoundTrip)
{
    for (qint32 type : {12, 35}) {
        TLKField f = MakeField(type);
        for (int year = 100; year <= 9999; ++year) {
            const QDate d(year, 1 + year % 12, 1 + year % 28);
            const double v = DateTimeValue::FromDate(d);
            std::memcpy(f.LowValue.Data, &v, 8);
            f.LowValue.Present = 1;
            const QString text = f.GetValueText(1);
            f.SetValueText(text, 1);
            ASSERT_EQ(f.LowValue.Present, 1) << text.toStdString();
            double back;
            std::memcpy(&back, f.LowValue.Data, 8);
            ASSERT_EQ(back, v) << text.toStdString();
        }
    }
    // A time of day before 1899 keeps both parts.
    TLKField f = MakeField(35);
    f.SetValueText("15.03.1848 18:00:00", 1);
    EXPECT_EQ(f.GetValueText(1), "15.03.1848 18:00:00");
}

TEST_F(ModelTest, BuildCondition)
{
    TLKField f("SALARY", "Salary", 27, 0, true, false, 3, 5);
    EXPECT_EQ(f.BuildCondition(), "");
    EXPECT_EQ(f.ConditionSQL, "");

    f.LowValue.Operator = 4;
    f.SetValueText("1000", 1);
    f.HighValue.Operator = 5;
    f.SetValueText("2000", 2);
    // Without a link only the low condition counts.
    EXPECT_EQ(f.BuildCondition(), "\"Salary\" >= \"1000\"");
    EXPECT_EQ(f.ConditionSQL, "SALARY >= :a_3_5");

    f.BoolBetweenFields = fboAnd;
    EXPECT_EQ(f.BuildCondition(), "\"Salary\" >= \"1000\" AND \"Salary\" <= \"2000\"");
    EXPECT_EQ(f.ConditionText, "\"Salary\" >= \"1000\" AND \"Salary\" <= \"2000\"");
    EXPECT_EQ(f.ConditionSQL, "SALARY >= :a_3_5 AND SALARY <= :b_3_5");

    // Low value absent, link and high value present.
    f.LowValue.Present = 0;
    f.BoolBetweenFields = fboOrNot;
    EXPECT_EQ(f.BuildCondition(), " OR NOT \"Salary\" <= \"2000\"");
    EXPECT_EQ(f.ConditionSQL, " OR NOT SALARY <= :b_3_5");

    // An operator outside the table makes that block count as absent.
    f.LowValue.Present = 1;
    f.LowValue.Operator = 255;
    f.HighValue.Operator = 8;
    EXPECT_EQ(f.BuildCondition(), "");
    EXPECT_EQ(f.ConditionSQL, "");
    f.LowValue.Operator = 7;
    f.HighValue.Operator = 6;
    // A link outside the table counts as none.
    f.BoolBetweenFields = 5;
    EXPECT_EQ(f.BuildCondition(), "\"Salary\" STARTING WITH \"1000\"");
    EXPECT_EQ(f.ConditionSQL, "SALARY STARTING WITH :a_3_5");
    f.BoolBetweenFields = 255;
    EXPECT_EQ(f.BuildCondition(), "\"Salary\" STARTING WITH \"1000\"");
}

TEST_F(ModelTest, TablesListsAndLookups)
{
    // The system tables pad names with blanks at the end; blanks inside a
    // (delimited) name belong to it.
    TLKTable t("EMPLOYEE    ", "Sp ace ", "RDB$FOREIGN1  ", "RDB$PRIMARY2", 3, 1, 7);
    EXPECT_EQ(t.TableName, "EMPLOYEE");
    EXPECT_EQ(t.LinkedTable, "Sp ace");
    EXPECT_EQ(t.OwnIndex, "RDB$FOREIGN1");
    EXPECT_EQ(t.ParentIndex, "RDB$PRIMARY2");
    EXPECT_EQ(t.TableNo, 3);
    EXPECT_EQ(t.ParentNo, 1);
    EXPECT_EQ(t.NodeIndex, 7);
    EXPECT_EQ(RemoveBlanks(" A B  C "), "ABC");

    TLKTables list;
    list.Add(std::make_unique<TLKTable>("DEPARTMENT", "", "", "", 0, -1, 0));
    list.Add(std::make_unique<TLKTable>("EMPLOYEE", "DEPARTMENT", "I1", "I2", 1, 0, 1));
    list.Add(std::make_unique<TLKTable>("EMPLOYEE", "DEPARTMENT", "I3", "I4", 2, 0, 4));
    list.Add(std::make_unique<TLKTable>("EMPLOYEE", "DEPARTMENT", "I1", "I2", 3, 1, 6));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(FindTableByName(list, "employee"), list[1]);
    EXPECT_EQ(FindTableByName(list, "Department"), list[0]);
    EXPECT_EQ(FindTableByName(list, "PROJECT"), nullptr);
    EXPECT_EQ(FindTableByNode(list, 4), list[2]);
    EXPECT_EQ(FindTableByNode(list, 5), nullptr);
    EXPECT_EQ(CountTableLinks(list, "EMPLOYEE", "DEPARTMENT", 0), 2);
    EXPECT_EQ(CountTableLinks(list, "EMPLOYEE", "DEPARTMENT", 1), 1);
    EXPECT_EQ(CountTableLinks(list, "employee", "DEPARTMENT", 0), 0);
    EXPECT_EQ(CountTableLinks(list, "EMPLOYEE", "department", 0), 0);

    EXPECT_EQ(list.Items(3), list[3]);
    try {
        list.Items(4);
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (4)");
    }
    EXPECT_THROW(list.Items(-1), EListError);
    TLKFields fields;
    fields.Add(std::make_unique<TLKField>(MakeField(8)));
    EXPECT_EQ(fields.Items(0)->FieldType, 8);
    try {
        fields.Items(1);
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (1)");
    }

    const QList<QPair<qint16, TFieldType>> types = {
        {7, ftSmallint}, {8, ftInteger}, {10, ftFloat}, {11, ftFloat}, {27, ftFloat},
        {12, ftDate},    {13, ftTime},   {35, ftDateTime}, {16, ftLargeint}, {14, ftString},
        {37, ftString},  {40, ftString}, {261, ftBlob}, {9, ftUnknown}, {0, ftUnknown}, {-1, ftUnknown}};
    for (const auto& [code, type] : types)
        EXPECT_EQ(IBTypeToFieldType(code), type) << code;
}

TEST_F(ModelTest, CacheRecords)
{
    EXPECT_EQ(offsetof(TTableCacheRecord, LinkedTable), 32u);
    EXPECT_EQ(offsetof(TTableCacheRecord, NodeIndex), 128u);
    EXPECT_EQ(offsetof(TTableCacheRecord, ParentNo), 136u);
    EXPECT_EQ(offsetof(TFieldCacheRecord, FieldName), 8u);
    EXPECT_EQ(offsetof(TFieldCacheRecord, DisplayName), 40u);
    EXPECT_EQ(offsetof(TFieldCacheRecord, FieldType), 169u);
    EXPECT_EQ(offsetof(TFieldCacheRecord, Visible), 177u);
    EXPECT_EQ(offsetof(TValueBlock, Data), 2u);

    TLKField f(QString(40, 'N'), QString::fromUtf8("Fizetés ") + QString(200, 'd'), 37, 25, true, true, 4, 9);
    TFieldCacheRecord r;
    f.ToCacheRecord(r);
    const auto* raw = reinterpret_cast<const quint8*>(&r);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(raw), 8), QByteArray("\x04\0\0\0\x09\0\0\0", 8));
    EXPECT_EQ(raw[8], 31);
    EXPECT_EQ(raw[40], 128);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(raw + 41), 8), QByteArray("Fizet\xE9s ", 8));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(raw + 169), 9), QByteArray("\x25\0\0\0\x19\0\0\0\x01", 9));

    TLKField g("", "", 0, 0, false, false, 0, 0);
    g.FromCacheRecord(r);
    EXPECT_EQ(g.TableNodeIndex, 4);
    EXPECT_EQ(g.FieldIndex, 9);
    EXPECT_EQ(g.FieldName, QString(31, 'N'));
    EXPECT_EQ(g.DisplayName, f.DisplayName.left(128));
    EXPECT_EQ(g.FieldType, 37);
    EXPECT_EQ(g.CharLength, 25);
    EXPECT_TRUE(g.Visible);
    EXPECT_FALSE(g.Selected); // not part of the record

    // A damaged length byte reads no further than the room.
    r.FieldName.Length = 200;
    g.FromCacheRecord(r);
    EXPECT_EQ(g.FieldName.size(), 31);

    TLKTable t("EMPLOYEE", "DEPARTMENT", "RDB$FOREIGN8", QString(40, 'P'), 2, 0, 5);
    TTableCacheRecord tr;
    t.ToCacheRecord(tr);
    const auto* traw = reinterpret_cast<const quint8*>(&tr);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(traw), 9), QByteArray("\x08" "EMPLOYEE", 9));
    EXPECT_EQ(traw[96], 31);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(traw + 128), 12),
              QByteArray("\x05\0\0\0\x02\0\0\0\0\0\0\0", 12));
    const auto back = TLKTable::FromCacheRecord(tr);
    EXPECT_EQ(back->TableName, "EMPLOYEE");
    EXPECT_EQ(back->LinkedTable, "DEPARTMENT");
    EXPECT_EQ(back->OwnIndex, "RDB$FOREIGN8");
    EXPECT_EQ(back->ParentIndex, QString(31, 'P'));
    EXPECT_EQ(back->NodeIndex, 5);
    EXPECT_EQ(back->TableNo, 2);
    EXPECT_EQ(back->ParentNo, 0);
    EXPECT_EQ(back->Fields.Count(), 0);
}
