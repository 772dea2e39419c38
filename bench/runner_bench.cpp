// larkspan-run --csv of a design over the benchmark table against isql-fb
// printing the same rows, both with their output going to /dev/null, for
// 1,000,000 and 3,000,000 rows: wall time of each (median of the rounds),
// their ratio, and the peak resident memory of larkspan-run.
// Not a test: prints the figures.
//
//   runner_bench [rounds]     rounds per size (default 3)
//
// With RUNNER_BENCH_KEEP set, the folders of the saved designs are kept
// (and named), so that larkspan-run can be run on them by hand.
#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "designer/Larkspan.h"
#include "support/RowTables.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const QString DesignName = QStringLiteral("Every row");

QString LoginValue(const QString& name)
{
    for (const QString& line : TestServer::loginParams())
        if (line.startsWith(name + "="))
            return line.section('=', 1);
    return QString();
}

struct ChildRun {
    double wallMs = 0;
    long peakKiB = 0;     // ru_maxrss of the child
    double cpuMs = 0;     // the child's user and system time
    qint64 lines = -1;    // lines of its output, when counted
};

// Runs program with args, standard output to /dev/null or, with
// countLines, through a pipe whose lines are counted. Standard input comes
// from input (a file), or /dev/null.
ChildRun Run(const QString& program, const QStringList& args, bool countLines, const QString& input = QString())
{
    std::vector<std::string> words{program.toStdString()};
    for (const QString& a : args)
        words.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const std::string in = (input.isEmpty() ? QStringLiteral("/dev/null") : input).toStdString();

    int pipeEnds[2] = {-1, -1};
    if (countLines && pipe(pipeEnds) != 0)
        throw std::runtime_error("pipe failed");
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int inFd = open(in.c_str(), O_RDONLY);
        const int outFd = countLines ? pipeEnds[1] : open("/dev/null", O_WRONLY);
        dup2(inFd, 0);
        dup2(outFd, 1);
        if (countLines)
            close(pipeEnds[0]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    ChildRun run;
    if (countLines) {
        close(pipeEnds[1]);
        run.lines = 0;
        char buffer[1 << 16];
        ssize_t n;
        while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            run.lines += std::count(buffer, buffer + n, '\n');
        close(pipeEnds[0]);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        throw std::runtime_error("wait4 failed");
    clock_gettime(CLOCK_MONOTONIC, &end);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error((program + " " + args.join(' ') + " failed").toStdString());
    run.wallMs = double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6;
    run.peakKiB = usage.ru_maxrss;
    run.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return run;
}

// Saves a design that ticks every field of BENCH into dir and returns the
// statement it writes.
QString SaveDesign(const QString& path, const QString& dir)
{
    TIBDatabase db;
    TestServer::configure(db, path);
    TLarkspan designer;
    designer.SetIBDataBase(&db);
    designer.SetTableName("BENCH");
    designer.SetDetailTableName(QString());
    designer.SetPermanentCacheDir(dir);
    designer.GenerateModel();
    TLKTable* table = designer.Tables().Count() > 0 ? designer.Tables()[0] : nullptr;
    if (!table)
        throw std::runtime_error("no view of BENCH");
    if (table->Fields.Count() == 0)
        designer.LoadTableFields(table);
    for (const auto& field : table->Fields)
        field->Selected = true;
    designer.SaveQuery(DesignName);
    designer.BuildQuery(nullptr);
    return designer.SQLText();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Measure(const QString& label, const QString& path, qint64 rows, int rounds)
{
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("RUNNER_BENCH_KEEP"));
    const QString sql = SaveDesign(path, dir.path());
    if (!dir.autoRemove())
        std::printf("%s: the design is kept in %s\n", qPrintable(label), qPrintable(dir.path()));
    const QStringList runnerArgs = {"--server", TestServer::serverAddress(), "--path", path, "--table", "BENCH",
                                    "--detail", "", "--cache-dir", dir.path(), "--csv", DesignName};
    // isql prints every row of the same statement; its script comes on
    // standard input.
    const QString script = dir.path() + "/select.sql";
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the isql script");
    file.write(("SET HEADING OFF;\n" + QString(sql).replace('\r', ' ').trimmed() + ";\n").toUtf8());
    file.close();
    const QStringList isqlArgs = {"-q", "-i", script, TestServer::connectionString(path)};

    // Both print every row: counted once through a pipe, untimed.
    const ChildRun runnerCheck = Run(LARKSPAN_RUNNER, runnerArgs, true);
    const ChildRun isqlCheck = Run("isql-fb", isqlArgs, true);
    std::printf("%s: larkspan-run wrote %lld lines (rows and header), isql-fb %lld lines\n", qPrintable(label),
                runnerCheck.lines, isqlCheck.lines);
    if (runnerCheck.lines != rows + 1 || isqlCheck.lines < rows)
        throw std::runtime_error("a program did not print every row");

    std::vector<double> runnerMs, isqlMs, runnerKiB, isqlKiB, runnerCpu, isqlCpu;
    for (int round = 0; round < rounds; ++round) {
        const ChildRun r = Run(LARKSPAN_RUNNER, runnerArgs, false);
        const ChildRun i = Run("isql-fb", isqlArgs, false);
        std::printf("  round %d: larkspan-run %.0f ms (cpu %.0f ms, peak %.1f MiB), isql-fb %.0f ms (cpu %.0f ms, "
                    "peak %.1f MiB)\n",
                    round + 1, r.wallMs, r.cpuMs, r.peakKiB / 1024.0, i.wallMs, i.cpuMs, i.peakKiB / 1024.0);
        std::fflush(stdout);
        runnerMs.push_back(r.wallMs);
        isqlMs.push_back(i.wallMs);
        runnerKiB.push_back(double(r.peakKiB));
        isqlKiB.push_back(double(i.peakKiB));
        runnerCpu.push_back(r.cpuMs);
        isqlCpu.push_back(i.cpuMs);
    }
    const double runner = Median(runnerMs), isql = Median(isqlMs);
    std::printf("%s, median of %d: larkspan-run %.0f ms, isql-fb %.0f ms, ratio %.2f (target <= 1.0); "
                "peak memory of larkspan-run %.1f MiB (target < 50 MB), of isql-fb %.1f MiB\n",
                qPrintable(label), rounds, runner, isql, runner / isql, Median(runnerKiB) / 1024.0,
                Median(isqlKiB) / 1024.0);
    std::printf("%s, median client cpu: larkspan-run %.0f ms, isql-fb %.0f ms, ratio %.2f\n", qPrintable(label),
                Median(runnerCpu), Median(isqlCpu), Median(runnerCpu) / Median(isqlCpu));
    std::fflush(stdout);
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        qputenv("ISC_USER", LoginValue("user_name").toUtf8());
        qputenv("ISC_PASSWORD", LoginValue("password").toUtf8());
        const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
        // Both tables first: creating one takes a while, once.
        const QString million = RowTables::Million();
        const QString threeMillion = RowTables::ThreeMillion();
        Measure("1,000,000 rows", million, 1000000, rounds);
        Measure("3,000,000 rows", threeMillion, 3000000, rounds);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "runner_bench: %s\n", e.what());
        return 2;
    }
}
