// larkspan-run as a process against the private server, with no display:
// designs are saved through the designer component, then listed, printed
// and run by the runner, and its rows compared with the results grid's.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "app/ResultTableModel.h"
#include "app/RowText.h"
#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "designer/Larkspan.h"
#include "designer/DesignerTestFixture.h"

namespace {
struct RunOutput {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QString LoginValue(const QString& name)
{
    for (const QString& line : TestServer::loginParams())
        if (line.startsWith(name + "="))
            return line.section('=', 1);
    return QString();
}

// A design saved into dir's query file of the dialect 1 sample's view of
// Employee with Employee_project, the runner's default view.
struct SavedDesigns : DesignerTestFixture {
    QTemporaryDir dir;

    SavedDesigns() : DesignerTestFixture(TestServer::employeeDialect1())
    {
        lk.SetDetailTableName("Employee_project");
        lk.SetPermanentCacheDir(dir.path());
        lk.GenerateView();
    }

    QString QueryFile() const { return dir.path() + "/Employee@Employee_project.qry"; }

    // Ticks EMP_NO, LAST_NAME and SALARY, with SALARY > 50000.
    void DesignSalaries()
    {
        Select(lk.Tables()[0]);
        Check("EMP_NO");
        Check("LAST_NAME");
        Check("SALARY");
        Enter("SALARY", Answer(2, "50000"));
    }

    // The runner in dir, with the login in Firebird's variables and neither
    // a display nor a platform plugin named.
    RunOutput Run(const QStringList& arguments, bool connection = true) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("ISC_USER", LoginValue("user_name"));
        env.insert("ISC_PASSWORD", LoginValue("password"));
        QStringList args = arguments;
        if (connection)
            args = QStringList{"--server", TestServer::serverAddress(), "--path", TestServer::employeeDialect1(),
                               "--cache-dir", dir.path()} + args;
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(LARKSPAN_RUNNER, args);
        RunOutput result;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
            ADD_FAILURE() << "larkspan-run did not finish normally";
            return result;
        }
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    // What the design's statement and parameters are, from the component.
    QByteArray ComponentSql()
    {
        TIBQuery query;
        EXPECT_TRUE(lk.BuildQuery(&query));
        QByteArray text = query.SQL().join('\n').toUtf8() + "\n";
        if (query.Params().Count() > 0)
            text += "\n";
        for (int i = 0; i < query.Params().Count(); ++i)
            text += ":" + query.Params()[i].Name().toUtf8() + " = '" + query.Params()[i].Value().toString().toUtf8() +
                    "'\n";
        return text;
    }

    // The rows of the design as the results grid shows them, as CSV lines.
    QByteArray GridCsv()
    {
        TIBTransaction tr;
        tr.SetDefaultDatabase(&db);
        TIBQuery query;
        query.SetDatabase(&db);
        query.SetTransaction(&tr);
        query.SetBufferChunks(1000);
        EXPECT_TRUE(lk.BuildQuery(&query));
        query.Open();
        ResultTableModel model(&query);
        model.Refresh();
        while (model.canFetchMore(QModelIndex()))
            model.fetchMore(QModelIndex());
        QStringList header;
        for (int c = 0; c < model.columnCount(); ++c)
            header << model.headerData(c, Qt::Horizontal).toString();
        QByteArray csv = RowText::CsvLine(header).toUtf8();
        for (int r = 0; r < model.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model.columnCount(); ++c)
                cells << model.data(model.index(r, c)).toString();
            csv += RowText::CsvLine(cells).toUtf8();
        }
        model.Detach();
        query.Close();
        return csv;
    }
};

void ExpectError(const RunOutput& run, int exitCode, const QString& message)
{
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_EQ(QString::fromUtf8(run.err).section('\n', 0, 0), "larkspan-run: " + message);
}
}

TEST(Runner, ListsAndPrintsDesignsSavedThroughTheComponent)
{
    SavedDesigns f;
    f.DesignSalaries();
    f.lk.SaveQuery("Salaries");
    const QByteArray salariesSql = f.ComponentSql();
    f.Check("LAST_NAME", false);
    f.lk.SaveQuery(QString::fromUtf8("Fizetés Ő"));
    f.lk.SaveQuery("2024");

    const RunOutput list = f.Run({"--list"});
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(list.out), QString::fromUtf8("0\tSalaries\n1\tFizetés Ő\n2\t2024\n"));

    const RunOutput byName = f.Run({"--sql", "Salaries"});
    EXPECT_EQ(byName.exitCode, 0) << byName.err.toStdString();
    EXPECT_EQ(byName.out, salariesSql);
    EXPECT_TRUE(byName.out.contains("SALARY")) << byName.out.toStdString();
    EXPECT_TRUE(byName.out.endsWith(" = '50000'\n")) << byName.out.toStdString();

    // Digits are an index; the others are names.
    EXPECT_EQ(f.Run({"--sql", "0"}).out, salariesSql);
    const RunOutput second = f.Run({"--sql", QString::fromUtf8("Fizetés Ő")});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_NE(second.out, salariesSql);
    EXPECT_EQ(f.Run({"--sql", "1"}).out, second.out);
    ExpectError(f.Run({"--sql", "2024"}), 1,
                "There is no saved design with index 2024 in \"" + f.QueryFile() + "\".");
}

TEST(Runner, CsvRowsEqualTheRowsOfTheResultsGrid)
{
    SavedDesigns f;
    f.DesignSalaries();
    // A column of the detail table's tree: several rows per employee.
    TLKTable* project = f.Table("PROJECT");
    ASSERT_NE(project, nullptr);
    f.Select(project);
    f.Check("PROJ_NAME");
    f.lk.SaveQuery("Projects");
    const QByteArray grid = f.GridCsv();
    ASSERT_GT(grid.count('\n'), 3);

    const RunOutput toStdout = f.Run({"--csv", "Projects"});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err.toStdString();
    EXPECT_EQ(toStdout.out, grid);

    const QString file = f.dir.path() + "/rows.csv";
    const RunOutput toFile = f.Run({"--csv", "0", "--output", file});
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err.toStdString();
    EXPECT_TRUE(toFile.out.isEmpty());
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), grid);
}

TEST(Runner, ErrorsEndWithStatusOneAndOneLineNamingTheProblem)
{
    SavedDesigns f;
    f.DesignSalaries();
    f.lk.SaveQuery("Salaries");

    // The command line wins over the environment.
    const RunOutput login = f.Run({"--password", "wrong", "--list"});
    EXPECT_EQ(login.exitCode, 1);
    EXPECT_TRUE(login.err.startsWith("larkspan-run: Your user name and password are not defined"))
        << login.err.toStdString();
    EXPECT_EQ(login.err.count('\n'), 1);

    ExpectError(f.Run({"--sql", "Missing"}), 1,
                "There is no saved design named \"Missing\" in \"" + f.QueryFile() + "\".");
    ExpectError(f.Run({"--table", "NO_SUCH_TABLE", "--list"}), 1,
                "The table \"NO_SUCH_TABLE\" does not exist in this database.");
    ExpectError(f.Run({"--detail", "NO_SUCH_DETAIL", "--list"}), 1,
                "The table \"NO_SUCH_DETAIL\" does not exist in this database.");

    // An output that cannot be created leaves nothing behind.
    const QString badOutput = f.dir.path() + "/missing/rows.csv";
    const RunOutput unwritable = f.Run({"--csv", "Salaries", "--output", badOutput});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_TRUE(unwritable.err.startsWith("larkspan-run: Cannot create file \"" + badOutput.toUtf8() + "\""))
        << unwritable.err.toStdString();
    EXPECT_FALSE(QFile::exists(badOutput));

    // A query file that is not one: an error, not an empty listing.
    QFile file(f.QueryFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("not a query file at all");
    file.close();
    for (const QStringList& args : {QStringList{"--list"}, QStringList{"--csv", "Salaries"}})
        ExpectError(f.Run(args), 1, "File \"" + f.QueryFile() + "\": Invalid query file structure.");

    // No query file at all: the stream layer's message names it.
    ASSERT_TRUE(QFile::remove(f.QueryFile()));
    const RunOutput none = f.Run({"--list"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains(f.QueryFile().toUtf8())) << none.err.toStdString();
}

TEST(Runner, BadUsageEndsWithStatusTwoAndTheUsage)
{
    SavedDesigns f;
    const QList<QPair<QStringList, QString>> cases = {
        {{"--server", "x", "--path", "y"}, "Give exactly one of --list, --sql and --csv."},
        {{"--path", "y", "--list", "--sql", "A"}, "Give exactly one of --list, --sql and --csv."},
        {{"--list"}, "Option '--path' is required."},
        {{"--path", "y", "--list", "--output", "z"}, "Option '--output' goes with --csv only."},
        {{"--path", "y", "--list", "--bogus"}, "Unknown option 'bogus'."},
        {{"--path", "y", "--list", "extra"}, "Unexpected argument 'extra'."},
        {{"--path", "y", "--sql"}, "Missing value after '--sql'."},
    };
    for (const auto& [args, message] : cases) {
        const RunOutput run = f.Run(args, false);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(QString::fromUtf8(run.err).section('\n', 0, 0), "larkspan-run: " + message)
            << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("\nUsage: larkspan-run ")) << run.err.toStdString();
    }
    const RunOutput help = f.Run({"--help"}, false);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: larkspan-run "));
}

// The runner needs neither a display nor Qt's widget and GUI libraries.
TEST(Runner, LinksNoGuiLibrary)
{
    QProcess ldd;
    ldd.start("ldd", {LARKSPAN_RUNNER});
    ASSERT_TRUE(ldd.waitForFinished(30000));
    const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    EXPECT_TRUE(libraries.contains("libQt6Core")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Gui")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Widgets")) << libraries.toStdString();
}
