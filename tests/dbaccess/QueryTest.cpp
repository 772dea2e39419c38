#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "dbaccess/SessionCounters.h"
#include "core/UserLocale.h"
#include "common/ErrorText.h"

#include <utility>
#include <vector>


namespace {
// A session on one sample with a transaction and a query on it.
struct Session {
    TIBDatabase db;
    TIBTransaction tr;
    TIBQuery q;
    explicit Session(const QString& path, int dialect = 1)
    {
        TestServer::configure(db, path);
        db.SetSQLDialect(dialect);
        tr.SetDefaultDatabase(&db);
        q.SetDatabase(&db);
        q.SetTransaction(&tr);
        UserLocale loc;
        loc.DecimalSeparator = ',';
        loc.ThousandSeparator = '.';
        loc.ShortDateFormat = "yyyy.MM.dd";
        loc.LongTimeFormat = "HH:mm:ss";
        UserLocale::SetCurrent(loc);
    }
    QStringList column(const QString& name)
    {
        QStringList values;
        q.Open();
        q.First();
        while (!q.Eof()) {
            values << q.FieldNamed(name).TextValue();
            q.Next();
        }
        q.Close();
        return values;
    }
};

const char* FieldsQuery =
    "SELECT RDB$RELATION_FIELDS.RDB$FIELD_NAME as FieldName, RDB$FIELD_TYPE as FieldType,\r"
    "       RDB$CHARACTER_LENGTH as CharLength,\r"
    "       RDB$DESCRIPTION AS Description\r"
    "FROM RDB$RELATION_FIELDS, RDB$FIELDS\r"
    "WHERE RDB$RELATION_FIELDS.RDB$RELATION_NAME = :TableName AND\r"
    "      RDB$FIELD_SOURCE = RDB$FIELD_NAME";
}

TEST(Query, DesignerMetadataReadInDialect1)
{
    for (const QString& path : {TestServer::employeeDialect1(), TestServer::employeeDialect3()}) {
        Session s(path, 1);
        s.q.SetSQL(QString(FieldsQuery));
        ASSERT_EQ(s.q.Params().Count(), 1);
        s.q.Params()[0].SetDataType(ftString);
        s.q.Params()[0].SetParamType(ptInput);
        s.q.ParamNamed("tablename").SetText("EMPLOYEE");
        s.q.Prepare();
        s.q.Open();
        EXPECT_FALSE(s.q.Eof());
        QStringList names;
        int salaryType = 0;
        while (!s.q.Eof()) {
            const QString name = s.q.FieldNamed("Fieldname").TextValue();
            names << name.trimmed();
            if (name.trimmed() == "SALARY")
                salaryType = s.q.FieldNamed("FIELDTYPE").IntegerValue();
            s.q.Next();
        }
        s.q.Close();
        s.q.Unprepare();
        EXPECT_EQ(names.size(), 11);
        EXPECT_TRUE(names.contains("FIRST_NAME"));
        // SALARY is DOUBLE PRECISION in the dialect 1 sample, INT64 NUMERIC in dialect 3.
        EXPECT_EQ(salaryType, path == TestServer::employeeDialect1() ? 27 : 16);
        EXPECT_FALSE(s.tr.Active());
        EXPECT_GE(s.db.ExecutedStatementCount(), 1u);
    }
}

TEST(Query, ValuesAsText)
{
    Session s(TestServer::employeeDialect3(), 3);
    s.q.SetSQL(QString(
        "SELECT CAST('ab' AS CHAR(5)) AS PADDED, CAST('ab' AS VARCHAR(5)) AS VAR, D.HEAD_DEPT, D.DEPT_NO,\r\n"
        " D.BUDGET, CAST(2.5 AS DOUBLE PRECISION) AS DBL, CAST(-7 AS SMALLINT) AS SMALL,\r\n"
        " CAST(-0.05 AS NUMERIC(9,2)) AS NEG, TIMESTAMP '2001-02-03 04:05:06' AS TS,\r\n"
        " TIMESTAMP '2001-02-03 00:00:00' AS MIDNIGHT, DATE '1999-12-31' AS DT, TIME '13:14:15' AS TM,\r\n"
        " CAST(12345678901 AS BIGINT) AS BIG, CAST(NULL AS INTEGER) AS NOTHING\r\n"
        "FROM DEPARTMENT D WHERE D.DEPT_NO = '000'"));
    s.q.Open();
    auto text = [&](const char* name) { return s.q.FieldNamed(name).TextValue(); };
    EXPECT_EQ(text("PADDED"), "ab   ");
    EXPECT_EQ(text("VAR"), "ab");
    EXPECT_EQ(text("HEAD_DEPT"), "");
    EXPECT_TRUE(s.q.FieldNamed("HEAD_DEPT").IsNull());
    EXPECT_EQ(text("DEPT_NO"), "000");
    EXPECT_EQ(text("BUDGET"), "1000000,00");
    EXPECT_EQ(text("DBL"), "2,5");
    EXPECT_EQ(text("SMALL"), "-7");
    EXPECT_EQ(text("NEG"), "-0,05");
    EXPECT_EQ(text("TS"), "2001.02.03 04:05:06");
    EXPECT_EQ(text("MIDNIGHT"), "2001.02.03");
    EXPECT_EQ(text("DT"), "1999.12.31");
    EXPECT_EQ(text("TM"), "13:14:15");
    EXPECT_EQ(text("BIG"), "12345678901");
    EXPECT_EQ(text("NOTHING"), "");
    EXPECT_EQ(s.q.FieldNamed("NOTHING").IntegerValue(), 0);
    EXPECT_EQ(s.q.FieldNamed("SMALL").IntegerValue(), -7);
    EXPECT_EQ(s.q.FieldNamed("BUDGET").IntegerValue(), 1000000);
    EXPECT_EQ(s.q.FieldNamed("PADDED").DataType(), ftString);
    EXPECT_EQ(s.q.FieldNamed("PADDED").Size(), 5);
    EXPECT_EQ(s.q.FieldNamed("BUDGET").DataType(), ftBCD);
    EXPECT_EQ(s.q.FieldNamed("BIG").DataType(), ftLargeint);
    EXPECT_EQ(s.q.FieldNamed("TS").DataType(), ftDateTime);
    EXPECT_EQ(s.q.FieldNamed("DT").DataType(), ftDate);
    EXPECT_EQ(s.q.FieldNamed("TM").DataType(), ftTime);
    s.q.Next();
    EXPECT_TRUE(s.q.Eof());
    EXPECT_EQ(text("VAR"), "ab");   // the last row stays current
    s.q.Close();
    EXPECT_EQ(text("VAR"), "");     // no current row

    // BLOB text, whole.
    s.q.SetSQL(QString("SELECT JOB_REQUIREMENT FROM JOB WHERE JOB_CODE = 'Eng' AND JOB_GRADE = 3 AND JOB_COUNTRY = 'USA'"));
    s.q.Open();
    EXPECT_EQ(s.q.Fields(0).DataType(), ftMemo);
    EXPECT_TRUE(s.q.Fields(0).TextValue().startsWith("5+ years experience.\nBA/BS required."));
    s.q.Close();

    // An empty result.
    s.q.SetSQL(QString("SELECT DEPT_NO, BUDGET FROM DEPARTMENT WHERE 1 = 0"));
    s.q.Open();
    EXPECT_TRUE(s.q.Eof());
    EXPECT_EQ(s.q.FieldNamed("DEPT_NO").TextValue(), "");
    EXPECT_EQ(s.q.FieldNamed("BUDGET").IntegerValue(), 0);
    s.q.setObjectName("Result");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { s.q.FieldNamed("nope"); }), "Result: A(z) 'nope' mező nem található");
    s.q.Close();
}

TEST(Query, ParameterConversions)
{
    Session s(TestServer::employeeDialect3(), 3);
    s.q.SetSQL(QString("SELECT COUNT(*) AS N FROM EMPLOYEE WHERE EMP_NO = :No AND FIRST_NAME <> ':x'"));
    s.q.ParamNamed("no").SetDataType(ftInteger);
    s.q.ParamNamed("no").SetValue(QString("2"));
    s.q.Open();
    EXPECT_EQ(s.q.FieldNamed("N").IntegerValue(), 1);
    s.q.Close();

    s.q.ParamNamed("no").SetValue(QString("abc"));
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { s.q.Open(); }), "Invalid variant type conversion");
    EXPECT_FALSE(s.q.Active());
    EXPECT_FALSE(s.tr.Active());

    s.q.ParamNamed("no").SetDataType(ftADT);
    s.q.ParamNamed("no").SetValue(QString("2"));
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { s.q.Open(); }), "Unsupported feature");
    EXPECT_FALSE(s.tr.Active());

    // A null parameter matches nothing.
    s.q.ParamNamed("no").SetDataType(ftInteger);
    s.q.Open();
    EXPECT_EQ(s.q.FieldNamed("N").IntegerValue(), 0);
    s.q.Close();

    // Dates by the locale, floats with its separator, currency.
    s.q.SetSQL(QString("SELECT COUNT(*) AS N FROM EMPLOYEE WHERE HIRE_DATE >= :D AND HIRE_DATE < :DT\r\n"
                       " AND SALARY > :F AND SALARY > :C"));
    s.q.ParamNamed("D").SetDataType(ftDate);
    s.q.ParamNamed("D").SetValue(QString("1990.01.01"));
    s.q.ParamNamed("DT").SetDataType(ftDateTime);
    s.q.ParamNamed("DT").SetValue(QString("1991.01.01 12:00:00"));
    s.q.ParamNamed("F").SetDataType(ftFloat);
    s.q.ParamNamed("F").SetValue(QString("1000,5"));
    s.q.ParamNamed("C").SetDataType(ftCurrency);
    s.q.ParamNamed("C").SetValue(QString("1000,25"));
    s.q.Open();
    const int viaParams = s.q.FieldNamed("N").IntegerValue();
    s.q.Close();
    s.q.SetSQL(QString("SELECT COUNT(*) AS N FROM EMPLOYEE WHERE HIRE_DATE >= '1990-01-01' AND HIRE_DATE < '1991-01-01 12:00'"));
    s.q.Open();
    EXPECT_EQ(viaParams, s.q.FieldNamed("N").IntegerValue());
    EXPECT_GT(viaParams, 0);
    s.q.Close();
}

TEST(Query, TextsPassInTheConnectionCharacterSet)
{
    const QString text = QString::fromUtf8("Árvíztűrő tükörfúrógép");
    // Without lc_ctype the bytes are Windows-1250; with lc_ctype=UTF8, UTF-8.
    for (const QString& charset : {QString(), QString("UTF8")}) {
        Session s(TestServer::employeeDialect3(), 3);
        if (!charset.isEmpty())
            s.db.SetParams(TestServer::loginParams() << "lc_ctype=" + charset);
        s.q.SetSQL(QString::fromUtf8("SELECT CAST(:P AS VARCHAR(40)) AS V, 'ő:x' AS L FROM RDB$DATABASE"));
        ASSERT_EQ(s.q.Params().Count(), 1);
        s.q.ParamNamed("P").SetText(text);
        s.q.Open();
        EXPECT_EQ(s.db.CharacterSet(), charset);
        EXPECT_EQ(s.q.FieldNamed("V").TextValue(), text) << charset.toStdString();
        EXPECT_EQ(s.q.FieldNamed("L").TextValue(), QString::fromUtf8("ő:x"));
        s.q.Close();
    }
}

TEST(Query, LargeintConditionMatchesLiteral)
{
    Session s(TestServer::employeeDialect3(), 3);
    EXPECT_EQ(s.db.SQLDialect(), 3);
    const QStringList literal = [&] {
        s.q.SetSQL(QString("SELECT EMP_NO FROM EMPLOYEE WHERE SALARY >= 40000 ORDER BY EMP_NO"));
        return s.column("EMP_NO");
    }();
    s.q.SetSQL(QString("SELECT EMP_NO FROM EMPLOYEE WHERE SALARY >= :S ORDER BY EMP_NO"));
    s.q.ParamNamed("S").SetDataType(ftLargeint);
    s.q.ParamNamed("S").SetValue(QString("40000"));
    EXPECT_EQ(s.column("EMP_NO"), literal);
    EXPECT_EQ(literal.size(), 31);
}

TEST(Query, OwnStartRuleAndReprepare)
{
    Session s(TestServer::employeeDialect1(), 1);
    QStringList executed;
    QObject::connect(&s.db, &TIBDatabase::StatementExecuted, [&](const QString& sql) { executed << sql; });
    s.q.SetSQL(QString("SELECT DEPT_NO FROM DEPARTMENT WHERE DEPT_NO = :D"));
    s.q.ParamNamed("D").SetText("000");
    s.q.Open();
    EXPECT_TRUE(s.tr.Active());
    EXPECT_TRUE(s.q.OwnStart());
    EXPECT_EQ(s.q.FieldNamed("DEPT_NO").TextValue(), "000");
    s.q.Close();
    EXPECT_FALSE(s.tr.Active());
    EXPECT_FALSE(s.q.Prepared());   // committed away
    s.q.Open();                     // new transaction, prepared again
    EXPECT_TRUE(s.tr.Active());
    EXPECT_TRUE(s.q.Prepared());
    EXPECT_EQ(s.q.FieldNamed("DEPT_NO").TextValue(), "000");
    ASSERT_EQ(executed.count(), 2);
    EXPECT_EQ(executed.at(0), "SELECT DEPT_NO FROM DEPARTMENT WHERE DEPT_NO = ?\r\n");

    // A second query on the same transaction: closing the first one leaves
    // the transaction to the open one.
    TIBQuery other;
    other.SetDatabase(&s.db);
    other.SetTransaction(&s.tr);
    other.SetSQL(QString("SELECT COUNT(*) FROM COUNTRY"));
    other.Open();
    EXPECT_FALSE(other.OwnStart());
    other.Close();
    EXPECT_TRUE(s.tr.Active());
    EXPECT_TRUE(other.Prepared());
    other.Open();
    s.q.Close();   // the own-starter closes while other is open: mark cleared only
    EXPECT_TRUE(s.tr.Active());
    EXPECT_FALSE(s.q.OwnStart());
    EXPECT_TRUE(s.q.Prepared());
    // An explicit commit closes and releases every query on the transaction.
    s.tr.Commit();
    EXPECT_FALSE(other.Active());
    EXPECT_FALSE(other.Prepared());
    EXPECT_FALSE(s.q.Prepared());
}

TEST(Query, ProcedureCallGivesOneRow)
{
    Session s(TestServer::employeeDialect3(), 3);
    s.q.SetSQL(QString("EXECUTE PROCEDURE SUB_TOT_BUDGET :Dept"));
    s.q.ParamNamed("dept").SetText("100");
    s.q.Open();
    ASSERT_FALSE(s.q.Eof());
    EXPECT_FALSE(s.q.FieldNamed("TOT_BUDGET").TextValue().isEmpty());
    EXPECT_GT(s.q.FieldNamed("TOT_BUDGET").IntegerValue(), 0);
    s.q.Next();
    EXPECT_TRUE(s.q.Eof());
    s.q.Close();
    EXPECT_FALSE(s.tr.Active());
}

TEST(Query, DuplicateColumnNames)
{
    Session s(TestServer::employeeDialect3(), 3);
    s.q.SetSQL(QString("SELECT E.DEPT_NO, D.DEPT_NO FROM EMPLOYEE E JOIN DEPARTMENT D ON D.DEPT_NO = E.DEPT_NO"));
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { s.q.Open(); }), "Már létezik DEPT_NO nevű komponens");
    EXPECT_FALSE(s.q.Active());
    EXPECT_FALSE(s.q.Prepared());
    EXPECT_FALSE(s.tr.Active());
}

TEST(Query, LineCommentDoesNotShiftValues)
{
    // With a phantom parameter from the comment, :b would take :a's value.
    Session s(TestServer::employeeDialect3(), 3);
    s.q.SetSQL(QString("SELECT COUNT(*) AS N FROM EMPLOYEE\r\n"
                       "WHERE DEPT_NO = :a -- was :old\r\n"
                       "AND JOB_CODE = :b"));
    ASSERT_EQ(s.q.Params().Count(), 2);
    s.q.ParamNamed("a").SetText("623");
    s.q.ParamNamed("b").SetText("Eng");
    s.q.Open();
    const int viaParams = s.q.FieldNamed("N").IntegerValue();
    s.q.Close();
    s.q.SetSQL(QString("SELECT COUNT(*) AS N FROM EMPLOYEE WHERE DEPT_NO = '623' AND JOB_CODE = 'Eng'"));
    s.q.Open();
    EXPECT_EQ(viaParams, s.q.FieldNamed("N").IntegerValue());
    EXPECT_GT(viaParams, 0);
    s.q.Close();
}

TEST(Query, ParameterCountMustMatchTheServers)
{
    // A "?" written into the text is a parameter only the server sees; its
    // value would be missing and every later one shifted.
    Session s(TestServer::employeeDialect3(), 3);
    s.q.SetSQL(QString("SELECT COUNT(*) FROM EMPLOYEE WHERE EMP_NO = ? AND DEPT_NO = :d"));
    s.q.ParamNamed("d").SetText("600");
    EXPECT_EQ(ErrorOf<EIBClientError>([&] { s.q.Open(); }),
              "Parameter count mismatch: 1 named in the statement, 2 described by the server");
    EXPECT_FALSE(s.q.Active());
    EXPECT_FALSE(s.q.Prepared());
    EXPECT_FALSE(s.tr.Active());
}

TEST(Query, BooleanColumnsAndParameters)
{
    for (const QString& path : {TestServer::employeeDialect1(), TestServer::employeeDialect3()}) {
        Session s(path, path == TestServer::employeeDialect1() ? 1 : 3);
        s.q.SetSQL(QString("SELECT TRUE AS T, 1 = 0 AS F, CAST(NULL AS BOOLEAN) AS N, 7 AS AFTER_THEM FROM RDB$DATABASE"));
        s.q.Open();
        ASSERT_EQ(s.q.FieldCount(), 4);
        EXPECT_EQ(s.q.FieldNamed("T").DataType(), ftBoolean);
        EXPECT_EQ(s.q.FieldNamed("T").TextValue(), "True");
        EXPECT_EQ(s.q.FieldNamed("F").TextValue(), "False");
        EXPECT_EQ(s.q.FieldNamed("T").IntegerValue(), 1);
        EXPECT_EQ(s.q.FieldNamed("N").TextValue(), "");
        EXPECT_TRUE(s.q.FieldNamed("N").IsNull());
        EXPECT_EQ(s.q.FieldNamed("AFTER_THEM").IntegerValue(), 7);
        s.q.Close();

        // A Boolean parameter compared with a BOOLEAN, from every text a
        // Boolean value is written as; a null one matches nothing.
        s.q.SetSQL(QString("SELECT COUNT(*) AS N FROM RDB$DATABASE WHERE (1 = 1) = :B"));
        s.q.ParamNamed("B").SetDataType(ftBoolean);
        for (const auto& [text, count] : std::vector<std::pair<QString, int>>{
                 {"True", 1}, {"false", 0}, {"1", 1}, {"0", 0}}) {
            s.q.ParamNamed("B").SetValue(text);
            s.q.Open();
            EXPECT_EQ(s.q.FieldNamed("N").IntegerValue(), count) << text.toStdString();
            s.q.Close();
        }
        s.q.ParamNamed("B").SetValue(QVariant());
        s.q.Open();
        EXPECT_EQ(s.q.FieldNamed("N").IntegerValue(), 0);
        s.q.Close();
        // A Boolean compared with a SMALLINT still goes as a number.
        s.q.SetSQL(QString("SELECT COUNT(*) AS N FROM RDB$DATABASE WHERE CAST(1 AS SMALLINT) = :B"));
        s.q.ParamNamed("B").SetDataType(ftBoolean);
        s.q.ParamNamed("B").SetValue(QString("True"));
        s.q.Open();
        EXPECT_EQ(s.q.FieldNamed("N").IntegerValue(), 1);
        s.q.Close();
    }
}

TEST(Query, CountsPreparesExecutesAndTransactions)
{
    Session s(TestServer::employeeDialect1(), 1);
    s.db.SetConnected(true);
    s.q.SetSQL(QString("SELECT DEPT_NO FROM DEPARTMENT WHERE DEPT_NO = :D"));
    s.q.ParamNamed("D").SetText("000");

    // An explicit Prepare in its own transaction is committed away, so the
    // Open that follows prepares again in a second transaction.
    TSessionCounters before = SessionCounters();
    s.q.Prepare();
    s.q.Open();
    s.q.Close();
    TSessionCounters used = SessionCounters() - before;
    EXPECT_EQ(used.Prepares, 2u);
    EXPECT_EQ(used.Executes, 1u);
    EXPECT_EQ(used.TransactionStarts, 2u);

    // Inside a transaction started by its owner the statement stays
    // prepared from one read to the next.
    before = SessionCounters();
    s.tr.StartTransaction();
    for (const char* dept : {"000", "100", "600"}) {
        s.q.ParamNamed("D").SetText(dept);
        s.q.Prepare();
        s.q.Open();
        EXPECT_EQ(s.q.FieldNamed("DEPT_NO").TextValue(), dept);
        s.q.Close();
    }
    s.tr.Commit();
    used = SessionCounters() - before;
    EXPECT_EQ(used.Prepares, 1u);
    EXPECT_EQ(used.Executes, 3u);
    EXPECT_EQ(used.TransactionStarts, 1u);
    EXPECT_FALSE(s.q.Prepared());
}
