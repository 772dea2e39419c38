#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "designer/Larkspan.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

// Names outside ASCII in a dialect 3 database, read by a session that names
// no connection character set. The system tables keep names in UTF-8; the
// columns of the data keep their own character sets (the database's
// default, WIN1250, and one column without any).
namespace {
const QString Goods = QString::fromUtf8("ÁRU");            // Á is 0xC3 0x81 in UTF-8: 0x81 is no Windows-1250 character
const QString Order = QString::fromUtf8("RENDELÉS");
const QString Probe = QString::fromUtf8("ПРОБА");         // outside Windows-1250 altogether
const QString Name = QString::fromUtf8("NÉV");
const QString Hungarian = QString::fromUtf8("Őz és fűrész");

const QStringList Schema = {
    QString::fromUtf8("CREATE TABLE \"ПРОБА\" (ID INTEGER NOT NULL PRIMARY KEY)"),
    QString::fromUtf8("CREATE TABLE \"ÁRU\" (ID INTEGER NOT NULL PRIMARY KEY, \"NÉV\" VARCHAR(20), "
                      "RAW VARCHAR(20) CHARACTER SET NONE, P_ID INTEGER REFERENCES \"ПРОБА\"(ID))"),
    QString::fromUtf8("CREATE TABLE \"RENDELÉS\" (ID INTEGER NOT NULL PRIMARY KEY, "
                      "\"ÁRU_ID\" INTEGER REFERENCES \"ÁRU\"(ID))"),
};

QString ScratchPath()
{
    static const QString path = TestServer::createScratchDatabase("metadata_charset", Schema);
    return path;
}

struct Session {
    TIBDatabase db;
    TIBTransaction tr;
    TIBQuery q;
    Session()
    {
        TestServer::configure(db, ScratchPath());
        db.SetSQLDialect(3);
        tr.SetDefaultDatabase(&db);
        q.SetDatabase(&db);
        q.SetTransaction(&tr);
    }
    QStringList column(const QString& sql, const QString& name, const QString& param = {},
                       const QString& value = {})
    {
        q.SetSQL(sql);
        if (!param.isEmpty())
            q.ParamNamed(param).SetText(value);
        QStringList values;
        q.Open();
        while (!q.Eof()) {
            values << q.FieldNamed(name).TextValue().trimmed();
            q.Next();
        }
        q.Close();
        return values;
    }
};

QStringList NodeTexts(QTreeWidget& tree)
{
    QStringList texts;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        texts << (*it)->text(0);
    return texts;
}
}

TEST(MetadataCharset, NamesOutsideAsciiReadAndWrittenUnchanged)
{
    Session s;
    EXPECT_EQ(s.db.CharacterSet(), QString());

    // A description written through the session, as statement text.
    s.q.SetSQL(QString::fromUtf8("COMMENT ON TABLE \"ÁRU\" IS 'Termékek, árak'"));
    s.q.Open();
    s.q.Close();

    // Names read from the system tables, as CHAR and as a text BLOB.
    QStringList tables = s.column("SELECT RDB$RELATION_NAME AS N FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0", "N");
    QStringList expected{Goods, Order, Probe};
    tables.sort();
    expected.sort();
    EXPECT_EQ(tables, expected);
    EXPECT_EQ(s.column("SELECT RDB$DESCRIPTION AS D FROM RDB$RELATIONS WHERE RDB$DESCRIPTION IS NOT NULL", "D"),
              QStringList{QString::fromUtf8("Termékek, árak")});

    // The same names sent back as a parameter and as text of the statement.
    for (const QString& table : tables) {
        EXPECT_EQ(s.column("SELECT COUNT(*) AS C FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = :T", "C", "T", table),
                  QStringList{"1"})
            << table.toStdString();
        EXPECT_EQ(s.column("SELECT COUNT(*) AS C FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = '" + table + "'", "C"),
                  QStringList{"1"})
            << table.toStdString();
        EXPECT_EQ(s.column("SELECT COUNT(*) AS C FROM \"" + table + "\"", "C"), QStringList{"0"})
            << table.toStdString();
    }
}

TEST(MetadataCharset, DataKeepsTheBytesOfItsCharacterSet)
{
    Session s;
    s.q.SetSQL(QString::fromUtf8("INSERT INTO \"ÁRU\" (ID, \"NÉV\", RAW) VALUES (1, :N, :R)"));
    s.q.ParamNamed("N").SetText(Hungarian);
    s.q.ParamNamed("R").SetText(Hungarian);
    s.q.Open();
    s.q.Close();

    EXPECT_EQ(s.column(QString::fromUtf8("SELECT \"NÉV\" FROM \"ÁRU\""), Name), QStringList{Hungarian});
    EXPECT_EQ(s.column(QString::fromUtf8("SELECT RAW FROM \"ÁRU\""), "RAW"), QStringList{Hungarian});
    // A column without a character set holds the Windows-1250 bytes, as a
    // database written by the original program does (Ő is 0xD5 there); the
    // WIN1250 column holds them through the server's transliteration.
    EXPECT_EQ(s.column(QString::fromUtf8("SELECT ASCII_VAL(RAW) AS B FROM \"ÁRU\""), "B"), QStringList{"213"});
    EXPECT_EQ(s.column(QString::fromUtf8("SELECT ASCII_VAL(CAST(\"NÉV\" AS VARCHAR(20) CHARACTER SET OCTETS)) AS B "
                                         "FROM \"ÁRU\""),
                       "B"),
              QStringList{"213"});
    // A condition on the column without a character set finds the row.
    EXPECT_EQ(s.column("SELECT ID FROM \"" + Goods + "\" WHERE RAW = :R", "ID", "R", Hungarian), QStringList{"1"});

    s.q.SetSQL(QString::fromUtf8("DELETE FROM \"ÁRU\""));
    s.q.Open();
    s.q.Close();
}

TEST(MetadataCharset, ViewGenerationFollowsNamesOutsideAscii)
{
    TIBDatabase db;
    TestServer::configure(db, ScratchPath());
    QTreeWidget tree;
    QTreeWidget list;
    TLarkspan lk;
    lk.SetIBDataBase(&db);
    lk.SetTreeView(&tree);
    lk.SetListView(&list);
    lk.SetTableName(Order);
    lk.GenerateView();

    // Main table, the table it refers to, and the one that refers to further:
    // its lookup goes through a statement naming the path walked so far.
    EXPECT_EQ(NodeTexts(tree), (QStringList{Order, Goods, Probe}));
    ASSERT_EQ(lk.Tables().Count(), 3);
    EXPECT_EQ(lk.Tables()[1]->TableName, Goods);
    EXPECT_EQ(lk.Tables()[2]->TableName, Probe);
    QStringList fields;
    lk.LoadTableFields(lk.Tables()[1]);
    for (const auto& f : lk.Tables()[1]->Fields)
        fields << f->FieldName;
    EXPECT_TRUE(fields.contains(Name)) << fields.join(',').toStdString();
}
