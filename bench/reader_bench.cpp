// Reads a 1,000,000-row table through the session layer (every cell's
// TextValue) and through a bare isc_dsql_fetch loop (no conversion), and
// compares wall and client CPU times; then measures, each in a process of
// its own, the peak resident memory of a buffered read of 1,000,000 rows
// and of forward-only reads of 1,000,000 and 3,000,000 rows.
// Not a test: prints the figures.
//
//   reader_bench [rounds]           the whole set (rounds of the timing, default 3)
//   reader_bench --memory MODE N    one memory figure (MODE buffered or forward)
#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "support/BenchDatabase.h"
#include "support/RowTables.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <ibase.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {
const char* Statement = "SELECT ID, NAME, AMOUNT, STAMP, CODE FROM BENCH";
// The table's rows repeated: K copies of the million, read without a sort.
const char* RepeatedStatement =
    "SELECT B.ID + K.K * 1000000 AS ID, B.NAME, B.AMOUNT, B.STAMP, B.CODE FROM BENCH B CROSS JOIN\r\n"
    "(SELECT 0 AS K FROM RDB$DATABASE UNION ALL SELECT 1 FROM RDB$DATABASE UNION ALL SELECT 2 FROM RDB$DATABASE) K\r\n"
    "WHERE K.K < %1";
constexpr int RowCount = 1000000;

struct Timing {
    double firstRowMs = 0;
    double totalMs = 0;
    double cpuMs = 0;   // client CPU time of the whole read
    qint64 rows = 0;
    qint64 checksum = 0;
};

void check(ISC_STATUS* status, const char* call)
{
    if (status[0] == 1 && status[1] > 0) {
        char text[512];
        const ISC_STATUS* p = status;
        fb_interpret(text, sizeof text, &p);
        throw std::runtime_error(std::string(call) + ": " + text);
    }
}

// Every cell's text, row by row, the way a report or export reads.
Timing readThroughSession(const QString& path, const QString& sql, bool forwardOnly)
{
    TIBDatabase db;
    TestServer::configure(db, path);
    db.SetSQLDialect(3);
    db.SetConnected(true);
    TIBTransaction tr;
    tr.SetDefaultDatabase(&db);
    TIBQuery q;
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetForwardOnly(forwardOnly);
    q.SetSQL(sql);

    Timing t;
    const double cpuStart = BenchDatabase::CpuMs();
    QElapsedTimer timer;
    timer.start();
    q.Open();
    std::vector<TField*> fields;
    for (int i = 0; i < q.FieldCount(); ++i)
        fields.push_back(&q.Fields(i));
    bool first = true;
    while (!q.Eof()) {
        for (TField* f : fields)
            t.checksum += f->TextValue().size();
        if (first) {
            t.firstRowMs = double(timer.nsecsElapsed()) / 1e6;
            first = false;
        }
        ++t.rows;
        q.Next();
    }
    q.Close();
    t.totalMs = double(timer.nsecsElapsed()) / 1e6;
    t.cpuMs = BenchDatabase::CpuMs() - cpuStart;
    return t;
}

Timing readBare(const QString& path)
{
    ISC_STATUS_ARRAY status = {};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    isc_stmt_handle stmt = 0;
    const QByteArray name = TestServer::connectionString(path).toLocal8Bit();
    QByteArray dpb(1, char(isc_dpb_version1));
    for (const QString& line : TestServer::loginParams()) {
        const QByteArray value = line.section('=', 1).toLatin1();
        dpb.append(char(line.startsWith("user_name") ? isc_dpb_user_name : isc_dpb_password));
        dpb.append(char(value.size()));
        dpb.append(value);
    }
    isc_attach_database(status, short(name.size()), name.constData(), &db, short(dpb.size()), dpb.constData());
    check(status, "isc_attach_database");

    // Timed from the start of the transaction, as the session's Open starts one.
    Timing t;
    const double cpuStart = BenchDatabase::CpuMs();
    QElapsedTimer timer;
    timer.start();
    isc_start_transaction(status, &tr, 1, &db, 0, nullptr);
    check(status, "isc_start_transaction");
    isc_dsql_alloc_statement2(status, &db, &stmt);
    check(status, "isc_dsql_alloc_statement2");
    std::unique_ptr<char[]> daStorage(new char[XSQLDA_LENGTH(5)]());
    XSQLDA* out = reinterpret_cast<XSQLDA*>(daStorage.get());
    out->version = SQLDA_VERSION1;
    out->sqln = 5;
    isc_dsql_prepare(status, &tr, &stmt, 0, Statement, 3, out);
    check(status, "isc_dsql_prepare");
    std::vector<std::vector<char>> buffers(size_t(out->sqld));
    std::vector<short> nulls(size_t(out->sqld));
    for (int i = 0; i < out->sqld; ++i) {
        XSQLVAR& v = out->sqlvar[i];
        buffers[size_t(i)].resize(size_t(v.sqllen) + 2);
        v.sqldata = buffers[size_t(i)].data();
        v.sqlind = &nulls[size_t(i)];
        v.sqltype = short(v.sqltype | 1);
    }
    isc_dsql_execute(status, &tr, &stmt, 3, nullptr);
    check(status, "isc_dsql_execute");
    while (isc_dsql_fetch(status, &stmt, SQLDA_VERSION1, out) == 0) {
        if (t.rows == 0)
            t.firstRowMs = double(timer.nsecsElapsed()) / 1e6;
        ++t.rows;
        t.checksum += nulls[0];
    }
    check(status, "isc_dsql_fetch");
    isc_dsql_free_statement(status, &stmt, DSQL_drop);
    t.totalMs = double(timer.nsecsElapsed()) / 1e6;
    t.cpuMs = BenchDatabase::CpuMs() - cpuStart;
    isc_commit_transaction(status, &tr);
    isc_detach_database(status, &db);
    return t;
}

// One memory figure, in this process: read the rows, print the peak.
int memoryRun(const QString& path, const QString& mode, int rows)
{
    const bool forward = mode == "forward";
    const QString sql = forward || rows != RowCount ? QString(RepeatedStatement).arg((rows + RowCount - 1) / RowCount)
                                                     : QString(Statement);
    const long before = BenchDatabase::PeakResidentKiB();
    const Timing t = readThroughSession(path, sql, forward);
    std::printf("peak %ld KiB before %ld KiB rows %lld\n", BenchDatabase::PeakResidentKiB(), before, t.rows);
    return t.rows == rows ? 0 : 1;
}

struct MemoryFigure {
    long peakKiB = -1;
    long baseKiB = -1;
};

MemoryFigure measureInChild(const QString& mode, int rows)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"--memory", mode, QString::number(rows)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        throw std::runtime_error(("memory run " + mode + " " + QString::number(rows) + " failed").toStdString());
    const QList<QByteArray> words = child.readAllStandardOutput().simplified().split(' ');
    MemoryFigure m;
    if (words.size() >= 5) {
        m.peakKiB = words[1].toLong();
        m.baseKiB = words[4].toLong();
    }
    return m;
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        const QString path = RowTables::Million();
        if (argc >= 4 && std::strcmp(argv[1], "--memory") == 0)
            return memoryRun(path, argv[2], std::atoi(argv[3]));

        readBare(path);   // warm the server's page cache
        // Alternate the two readers and keep each one's best figures, so
        // that load from other processes on the machine weighs less.
        Timing bare, session;
        const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
        for (int round = 0; round < rounds; ++round) {
            const Timing b = readBare(path);
            const Timing s = readThroughSession(path, Statement, false);
            std::printf("round %d: bare %.1f ms (cpu %.1f), session %.1f ms (cpu %.1f)\n", round + 1, b.totalMs,
                        b.cpuMs, s.totalMs, s.cpuMs);
            std::fflush(stdout);
            auto keepBest = [&](Timing& best, const Timing& t) {
                if (round == 0) {
                    best = t;
                    return;
                }
                best.firstRowMs = std::min(best.firstRowMs, t.firstRowMs);
                best.totalMs = std::min(best.totalMs, t.totalMs);
                best.cpuMs = std::min(best.cpuMs, t.cpuMs);
            };
            keepBest(bare, b);
            keepBest(session, s);
        }
        std::printf("rows: session %lld, bare %lld\n", session.rows, bare.rows);
        std::printf("bare fetch loop:  first row %8.2f ms, all rows %9.1f ms, client cpu %9.1f ms\n", bare.firstRowMs,
                    bare.totalMs, bare.cpuMs);
        std::printf("session layer:    first row %8.2f ms, all rows %9.1f ms, client cpu %9.1f ms\n",
                    session.firstRowMs, session.totalMs, session.cpuMs);
        std::printf("ratio session/bare: first row %.2f (target <= 2), all rows %.2f (target <= 1.2), "
                    "client cpu %.2f (target <= 1.2)\n",
                    session.firstRowMs / bare.firstRowMs, session.totalMs / bare.totalMs, session.cpuMs / bare.cpuMs);
        std::fflush(stdout);

        const MemoryFigure buffered = measureInChild("buffered", RowCount);
        const MemoryFigure forward1 = measureInChild("forward", RowCount);
        const MemoryFigure forward3 = measureInChild("forward", 3 * RowCount);
        auto mb = [](long kib) { return double(kib) / 1024.0; };
        std::printf("peak resident memory, buffered read of 1,000,000 rows: %.1f MiB (%.1f MiB before the read; "
                    "target <= 75 MB)\n",
                    mb(buffered.peakKiB), mb(buffered.baseKiB));
        std::printf("peak resident memory, forward-only read: 1,000,000 rows %.1f MiB, 3,000,000 rows %.1f MiB, "
                    "difference %.1f MiB (target within 10 MB)\n",
                    mb(forward1.peakKiB), mb(forward3.peakKiB), mb(forward3.peakKiB - forward1.peakKiB));
        return session.rows == bare.rows ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "reader_bench: %s\n", e.what());
        return 2;
    }
}
