// Random designs run through the designer and compared, row for row, with
// a statement the test writes itself from the same design: every condition
// parenthesised, every name qualified (and delimited where the dialect can),
// literals in place of parameters. Over both employee samples and a schema
// of delimited, mixed-case names whose tables share non-join column names.
//
// LARKSPAN_DIFF_SEED fixes the seed; LARKSPAN_DIFF_DESIGN runs one design
// number only. A failure report names both, so that it can be replayed;
// LARKSPAN_DIFF_REPORTS sets how many failures are told in full (5).
#include <QRegularExpression>
#include <QTreeWidget>
#include <chrono>
#include <climits>
#include <gtest/gtest.h>
#include <iostream>

#include "DifferentialGenerator.h"
#include "common/TestServer.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"

using namespace Differential;

namespace {

quint64 BaseSeed()
{
    static const quint64 seed = [] {
        bool ok = false;
        const quint64 fixed = qEnvironmentVariable("LARKSPAN_DIFF_SEED").toULongLong(&ok);
        if (ok)
            return fixed;
        return quint64(std::chrono::steady_clock::now().time_since_epoch().count()) % 1000000007ULL;
    }();
    return seed;
}

quint64 DesignSeed(quint64 base, int run, int design)
{
    std::seed_seq seq{quint32(base), quint32(base >> 32), quint32(run), quint32(design)};
    std::mt19937_64 mix(seq);
    return mix();
}

// Cells as text; numbers compared by value, because a numeric column may be
// described as a scaled integer to one statement and a double to another.
QString Cell(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    if (number.match(text).hasMatch())
        return QString::number(text.toDouble(), 'g', 15);
    return text;
}

// At most limit rows are read: a statement that lost a join returns a cross
// product, and one row past the right count already tells it is wrong.
QStringList ReadRows(TIBQuery& q, int& columns, int limit = INT_MAX)
{
    QStringList rows;
    q.Open();
    columns = q.FieldCount();
    for (q.First(); !q.Eof() && rows.size() < limit; q.Next()) {
        QStringList cells;
        for (int i = 0; i < q.FieldCount(); ++i)
            cells << Cell(q.Fields(i).TextValue());
        rows << cells.join(QStringLiteral(" | "));
    }
    q.Close();
    rows.sort();
    return rows;
}

// Rows of a that b lacks, as multisets; at most limit of them.
QStringList Missing(const QStringList& a, const QStringList& b, int limit)
{
    QStringList rest = b, out;
    for (const QString& r : a) {
        const int at = int(rest.indexOf(r));
        if (at >= 0)
            rest.removeAt(at);
        else if (out.size() < limit)
            out << r;
    }
    return out;
}

// The designer wired to a session and to its controls, with its view built.
struct Harness {
    TIBDatabase db;
    TIBTransaction tr;
    QTreeWidget tree;
    QTreeWidget list;
    TLarkspan lk;

    Harness(const QString& path, const QString& table, const QString& detail)
    {
        TestServer::configure(db, path);
        tr.SetDefaultDatabase(&db);
        lk.SetIBDataBase(&db);
        lk.SetTreeView(&tree);
        lk.SetListView(&list);
        lk.SetTableName(table);
        lk.SetDetailTableName(detail);
        lk.GenerateView();
    }
};

struct Run {
    QString label;
    QString path;
    QString table;
    QString detail;
    int designs;
    int number;   // distinguishes the runs' design seeds
};

// One design: empty when both statements return the same rows, else a report.
QString Check(Harness& h, Catalog& cat, const Tree& tree, const Design& d, long& rowsSeen)
{
    const QString applied = ApplyDesign(h.lk, tree, d);
    if (!applied.isEmpty())
        return applied;
    const QString reference = ReferenceSql(tree, d, cat);
    TIBQuery generated;
    generated.SetDatabase(&h.db);
    generated.SetTransaction(&h.tr);
    bool built = false;
    try {
        built = h.lk.BuildQuery(&generated);
    } catch (const std::exception& e) {
        return QString("BuildQuery raised: %1").arg(e.what());
    }
    if (reference.isEmpty())
        return built ? QString("a statement for a design without a ticked field") : QString();
    if (!built)
        return QString("no statement, but the design has ticked fields\nreference:\n%1").arg(reference);

    auto statement = [&] {
        QStringList params;
        for (const auto& p : h.lk.ParamList()) {
            const TParam* param = generated.Params().FindParam(p.first);
            params << p.first + "=" + (param ? "'" + param->Value().toString() + "' (type " + QString::number(param->DataType()) + ")"
                                             : QString("(not in the query)"));
        }
        return QString("generated:\n%1\nparameters: %2\nreference:\n%3")
            .arg(QString(h.lk.SQLText()).replace('\r', '\n'), params.join(", "), reference);
    };

    QStringList got, want;
    int gotColumns = 0, wantColumns = 0;
    try {
        TIBQuery ref;
        cat.Bind(ref, reference);
        want = ReadRows(ref, wantColumns);
    } catch (const std::exception& e) {
        return QString("the reference statement failed: %1\n%2").arg(e.what(), statement());
    }
    const int limit = int(want.size()) + 1;
    try {
        got = ReadRows(generated, gotColumns, limit);
    } catch (const std::exception& e) {
        return QString("the generated statement failed: %1\n%2").arg(e.what(), statement());
    }
    rowsSeen += want.size();
    if (got == want && gotColumns == wantColumns)
        return QString();
    return QString("%1%2 rows of %3 columns where %4 rows of %5 columns are right\n%6\nonly generated:\n  %7\nonly reference:\n  %8")
        .arg(got.size() >= limit ? "more than " : "").arg(got.size() >= limit ? limit - 1 : got.size())
        .arg(gotColumns).arg(want.size()).arg(wantColumns)
        .arg(statement(), Missing(got, want, 4).join("\n  "), Missing(want, got, 4).join("\n  "));
}

void RunDesigns(const Run& run)
{
    const UserLocale before = UserLocale::Current();
    UserLocale::SetCurrent(FixedLocale());
    const quint64 seed = BaseSeed();
    bool onlyOk = false;
    const int only = qEnvironmentVariable("LARKSPAN_DIFF_DESIGN").toInt(&onlyOk);
    bool reportsOk = false;
    int reports = qEnvironmentVariable("LARKSPAN_DIFF_REPORTS").toInt(&reportsOk);
    if (!reportsOk)
        reports = 5;
    std::cout << "[ differential ] " << run.label.toStdString() << ": LARKSPAN_DIFF_SEED=" << seed << std::endl;

    Catalog cat(run.path);
    Harness h(run.path, run.table, run.detail);
    const QString root = cat.ResolveRelation(run.table);
    ASSERT_FALSE(root.isEmpty()) << run.table.toStdString();
    const Tree tree = ReadTree(h.lk, cat, root);
    for (const QString& p : tree.problems)
        ADD_FAILURE() << run.label.toStdString() << ": " << p.toStdString();

    Generator generator(tree, cat);
    ASSERT_TRUE(generator.CanTickSomething()) << run.label.toStdString() << ": no field of the view can be ticked";
    Counts counts;
    QStringList failed;
    long rowsSeen = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < run.designs; ++i) {
        if (onlyOk && i != only)
            continue;
        const Design d = generator.Make(DesignSeed(seed, run.number, i), counts);
        const QString failure = Check(h, cat, tree, d, rowsSeen);
        if (failure.isEmpty())
            continue;
        failed << QString::number(i);
        if (failed.size() <= reports)
            ADD_FAILURE() << run.label.toStdString() << " design #" << i << " (LARKSPAN_DIFF_SEED=" << seed
                          << " LARKSPAN_DIFF_DESIGN=" << i << ")\n"
                          << Describe(tree, d).toStdString() << "\n"
                          << failure.toStdString();
    }
    if (h.tr.Active())
        h.tr.Commit();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[ differential ] " << run.label.toStdString() << ": " << counts.designs << " designs in " << ms
              << " ms, " << rowsSeen << " reference rows; conditions " << counts.conditions << " (OR/OR NOT "
              << counts.orLinks << ", negated " << counts.negated << ", second only " << counts.onlySecond
              << ", stale second " << counts.staleSecond << ", on unticked tables " << counts.untickedTables
              << ", CONTAINING/STARTING " << counts.stringOps << "), no ticks " << counts.noTicks
              << "; failed " << failed.size() << std::endl;
    EXPECT_TRUE(failed.isEmpty()) << run.label.toStdString() << ": " << failed.size() << " of " << counts.designs
                                  << " designs differ (LARKSPAN_DIFF_SEED=" << seed << "): #"
                                  << failed.join(", #").toStdString();
    UserLocale::SetCurrent(before);
}

// Tables that share non-join column names (STATUS, "Col Name", QTY, ID),
// delimited names with lower case, a blank, a single and a double quote, a
// composite foreign key, two foreign keys to one table, and a table that
// occurs in two branches. Columns of every kind the designer handles.
const QStringList OwnSchema = {
    "CREATE TABLE CUST (ID INTEGER NOT NULL PRIMARY KEY, STATUS VARCHAR(10), NAME VARCHAR(20), "
    "\"Col Name\" VARCHAR(12), VIP BOOLEAN)",
    "CREATE TABLE \"Q'T\" (QID INTEGER NOT NULL PRIMARY KEY, \"Q'C\" VARCHAR(10), STATUS VARCHAR(10), "
    "\"D\"\"Q\" VARCHAR(5))",
    "CREATE TABLE \"Mixed\" (\"Id\" INTEGER NOT NULL PRIMARY KEY, STATUS VARCHAR(10), \"lower_c\" INTEGER, "
    "QT_ID INTEGER REFERENCES \"Q'T\"(QID))",
    "CREATE TABLE \"Sp ace\" (ID INTEGER NOT NULL, \"Sub No\" SMALLINT NOT NULL, \"Col Name\" VARCHAR(12), "
    "AMOUNT DOUBLE PRECISION, CODE CHAR(4), PRIMARY KEY (ID, \"Sub No\"))",
    "CREATE TABLE \"lower_t\" (\"id\" INTEGER NOT NULL PRIMARY KEY, \"val\" VARCHAR(10), "
    "MIXED_ID INTEGER REFERENCES \"Mixed\"(\"Id\"))",
    "CREATE TABLE ORD (ID INTEGER NOT NULL PRIMARY KEY, STATUS VARCHAR(10), CUST_ID INTEGER REFERENCES CUST(ID), "
    "BILL_CUST_ID INTEGER REFERENCES CUST(ID), \"Mixed_Id\" INTEGER REFERENCES \"Mixed\"(\"Id\"), "
    "SP_ID INTEGER, SP_SUB SMALLINT, QTY SMALLINT, PRICE DOUBLE PRECISION, TOTAL NUMERIC(15,2), BIG BIGINT, "
    "ODATE DATE, STAMP TIMESTAMP, NOTE BLOB SUB_TYPE TEXT, "
    "FOREIGN KEY (SP_ID, SP_SUB) REFERENCES \"Sp ace\"(ID, \"Sub No\"))",
    "CREATE TABLE ITEM (ID INTEGER NOT NULL PRIMARY KEY, ORD_ID INTEGER REFERENCES ORD(ID), STATUS VARCHAR(10), "
    "\"lower_id\" INTEGER REFERENCES \"lower_t\"(\"id\"), \"Col Name\" VARCHAR(12), QTY INTEGER)",
    "EXECUTE BLOCK AS DECLARE I INTEGER = 1; DECLARE S INTEGER; BEGIN "
    "WHILE (I <= 6) DO BEGIN "
    "  INSERT INTO \"Q'T\" VALUES (:I, 'q' || :I, DECODE(MOD(:I, 3), 0, 'open', 1, 'closed'), "
    "    IIF(MOD(:I, 2) = 0, 'a\"b', 'c')); I = I + 1; END "
    "I = 1; WHILE (I <= 8) DO BEGIN "
    "  INSERT INTO \"Mixed\" VALUES (:I, DECODE(MOD(:I, 4), 0, 'open', 1, 'closed', 2, 'held'), :I * 3, "
    "    NULLIF(MOD(:I, 7), 0)); I = I + 1; END "
    "I = 1; WHILE (I <= 5) DO BEGIN S = 1; WHILE (S <= 2) DO BEGIN "
    "  INSERT INTO \"Sp ace\" VALUES (:I, :S, 'sp' || :I || '-' || :S, :I * 1.25 + :S, 'C' || :I); "
    "  S = S + 1; END I = I + 1; END "
    "I = 1; WHILE (I <= 12) DO BEGIN "
    "  INSERT INTO CUST VALUES (:I, DECODE(MOD(:I, 4), 0, 'open', 1, 'closed', 2, 'held'), "
    "    DECODE(MOD(:I, 5), 0, 'O''Brien', 1, 'Smith', 2, 'Johnson', 3, 'Bronson'), 'cust ' || :I, "
    "    MOD(:I, 3) = 0); I = I + 1; END "
    "I = 1; WHILE (I <= 10) DO BEGIN "
    "  INSERT INTO \"lower_t\" VALUES (:I, 'v' || MOD(:I, 4), NULLIF(MOD(:I, 9), 0)); I = I + 1; END "
    "I = 1; WHILE (I <= 40) DO BEGIN "
    "  INSERT INTO ORD VALUES (:I, DECODE(MOD(:I, 4), 0, 'open', 1, 'closed', 2, 'held'), "
    "    NULLIF(MOD(:I, 13), 0), NULLIF(MOD(:I * 5, 13), 0), NULLIF(MOD(:I, 9), 0), "
    "    IIF(MOD(:I, 7) = 0, NULL, 1 + MOD(:I, 5)), 1 + MOD(:I, 2), MOD(:I * 7, 11), :I * 0.5, :I * 12.25, "
    "    :I * 1000000000, DATE '2020-01-01' + :I, IIF(MOD(:I, 6) = 0, NULL, TIMESTAMP '2020-01-01 10:30:00' + :I), "
    "    'note ' || :I); I = I + 1; END "
    "I = 1; WHILE (I <= 80) DO BEGIN "
    "  INSERT INTO ITEM VALUES (:I, NULLIF(MOD(:I, 41), 0), DECODE(MOD(:I, 3), 0, 'open', 1, 'held'), "
    "    NULLIF(MOD(:I, 11), 0), 'item ' || MOD(:I, 6), :I); I = I + 1; END "
    "END",
};

QString OwnSchemaPath()
{
    static const QString path = TestServer::createScratchDatabase("designer_differential", OwnSchema);
    return path;
}

}   // namespace

TEST(Differential, EmployeeDialect1)
{
    RunDesigns({"employee1", TestServer::employeeDialect1(), "Employee", "Employee_project", 150, 1});
}

TEST(Differential, EmployeeDialect3)
{
    RunDesigns({"employee3", TestServer::employeeDialect3(), "Employee", "Employee_project", 150, 3});
}

// Rooted at a plain name typed in mixed case.
TEST(Differential, OwnSchema)
{
    RunDesigns({"own schema, Ord", OwnSchemaPath(), "Ord", "Item", 140, 5});
}

// Rooted at a delimited mixed-case name, with a lower-case detail table.
TEST(Differential, OwnSchemaDelimitedRoot)
{
    RunDesigns({"own schema, Mixed", OwnSchemaPath(), "Mixed", "lower_t", 70, 6});
}
