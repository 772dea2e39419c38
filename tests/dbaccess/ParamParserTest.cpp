#include <gtest/gtest.h>

#include "core/Errors.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/ParamParser.h"

namespace {
QString parseError(const QString& sql)
{
    try {
        ParseStatementParams(sql, true);
    } catch (const EIBClientError& e) {
        return e.Message();
    }
    return QString();
}
}

TEST(ParamParser, ReferencesLiteralsAndComments)
{
    auto p = ParseStatementParams("SELECT * FROM T WHERE A = :a_0_1 AND B = ':x'", true);
    EXPECT_EQ(p.names, QStringList{"a_0_1"});
    EXPECT_EQ(p.text, "SELECT * FROM T WHERE A = ? AND B = ':x'");

    p = ParseStatementParams("SELECT 'it''s :no', \"a\"\":b\" /* :c */ FROM T WHERE X=:P$1+:p2", true);
    EXPECT_EQ(p.names, (QStringList{"P$1", "p2"}));
    EXPECT_EQ(p.text, "SELECT 'it''s :no', \"a\"\":b\" /* :c */ FROM T WHERE X=?+?");

    // A name ends before the first other character; a name twice gives two parameters.
    p = ParseStatementParams("WHERE A=:Name\r\nOR B=:name)", true);
    EXPECT_EQ(p.names, (QStringList{"Name", "name"}));
    EXPECT_EQ(p.text, "WHERE A=?\r\nOR B=?)");
}

TEST(ParamParser, LineComments)
{
    // A -- comment hides references up to the end of its line, whether the
    // line ends in LF, CR or CR LF, or the text ends.
    auto p = ParseStatementParams("SELECT A FROM T -- :x, ':y\nWHERE A = :a -- :z\rAND B = :b--:w\r\nOR C = :c --", true);
    EXPECT_EQ(p.names, (QStringList{"a", "b", "c"}));
    EXPECT_EQ(p.text, "SELECT A FROM T -- :x, ':y\nWHERE A = ? -- :z\rAND B = ?--:w\r\nOR C = ? --");
    // A single minus, or dashes inside literals and block comments, start nothing.
    p = ParseStatementParams("SELECT 1 - :a, '--', /* -- */ :b FROM T", true);
    EXPECT_EQ(p.names, (QStringList{"a", "b"}));
    // An unterminated quote inside a line comment is no literal.
    EXPECT_NO_THROW(ParseStatementParams("SELECT 1 FROM T -- it's\nWHERE A = :a", true));
}

TEST(ParamParser, ParseErrors)
{
    EXPECT_EQ(parseError("SELECT : FROM T"), "SQL Parse Error:\r\n\r\nParameter name expected");
    EXPECT_EQ(parseError("SELECT 'abc FROM T"), "SQL Parse Error:\r\n\r\nEOF in string detected");
    EXPECT_EQ(parseError("SELECT \"abc"), "SQL Parse Error:\r\n\r\nEOF in string detected");
    EXPECT_EQ(parseError("SELECT 1 /* open"), "SQL Parse Error:\r\n\r\nEOF in comment detected");
    // Leniently (at assignment) the same texts raise nothing.
    EXPECT_NO_THROW(ParseStatementParams("SELECT 'abc :x", false));
    EXPECT_TRUE(ParseStatementParams("SELECT 'abc :x", false).names.isEmpty());
}

TEST(QuerySQL, LinesAndParameterCarryOver)
{
    TIBQuery q;
    q.SetSQL(QString("SELECT *\rFROM T\nWHERE A = :TableName\r\nAND B = :Other AND C = :tablename"));
    EXPECT_EQ(q.SQL(), (QStringList{"SELECT *", "FROM T", "WHERE A = :TableName", "AND B = :Other AND C = :tablename"}));
    EXPECT_EQ(q.SQLText(), "SELECT *\r\nFROM T\r\nWHERE A = :TableName\r\nAND B = :Other AND C = :tablename\r\n");
    ASSERT_EQ(q.Params().Count(), 3);
    EXPECT_EQ(&q.ParamNamed("tablename"), &q.Params()[0]);

    q.ParamNamed("TABLENAME").SetDataType(ftString);
    q.ParamNamed("TableName").SetParamType(ptInput);
    q.ParamNamed("TableName").SetValue(QString("EMPLOYEE"));
    q.ParamNamed("Other").SetDataType(ftInteger);
    q.ParamNamed("Other").SetValue(QString("12"));

    // The same text again keeps types and values.
    q.SetSQL(q.SQLText());
    ASSERT_EQ(q.Params().Count(), 3);
    EXPECT_EQ(q.Params()[0].Value().toString(), "EMPLOYEE");
    EXPECT_EQ(q.Params()[0].ParamType(), ptInput);
    EXPECT_EQ(q.Params()[1].DataType(), ftInteger);
    EXPECT_EQ(q.Params()[1].Value().toString(), "12");
    EXPECT_TRUE(q.Params()[2].IsNull());   // only the first of a name inherits

    // Names that no longer occur are dropped.
    q.SetSQL(QString("SELECT 1 FROM T WHERE X = :other"));
    ASSERT_EQ(q.Params().Count(), 1);
    EXPECT_EQ(q.Params()[0].Name(), "other");
    EXPECT_EQ(q.Params()[0].DataType(), ftInteger);

    // Value keeps the type, SetText makes it a string, DataType clears the value.
    TParam p("x");
    p.SetValue(QString("1"));
    EXPECT_EQ(p.DataType(), ftString);
    p.SetDataType(ftInteger);
    EXPECT_TRUE(p.IsNull());
    p.SetValue(QString("5"));
    EXPECT_EQ(p.DataType(), ftInteger);
    p.SetText("z");
    EXPECT_EQ(p.DataType(), ftString);

    q.setObjectName("ResultQuery");
    try {
        q.ParamNamed("missing");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "ResultQuery: A(z) 'missing' paraméter nem található");
    }
}
