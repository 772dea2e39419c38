// View generation on tree schemas of about 30, 100 and 300 tables, in the
// per-table walk and with the schema read at once. For each size and mode:
// time per generation, statements executed, prepares and transaction starts
// per generation, and the ratio to one bare statement (client calls only)
// reading every foreign-key link of the same database in the same run.
// Not a test: prints the figures.
//
//   schema_bench [generations per measurement, default 10]
#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/IBTransaction.h"
#include "dbaccess/SessionCounters.h"
#include "designer/Larkspan.h"
#include "designer/SchemaSnapshot.h"
#include "designer/view/TreeNodes.h"
#include "support/BenchDatabase.h"
#include "support/TreeSchema.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <ibase.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {
void check(ISC_STATUS* status, const char* call)
{
    if (status[0] == 1 && status[1] > 0) {
        char text[512];
        const ISC_STATUS* p = status;
        fb_interpret(text, sizeof text, &p);
        throw std::runtime_error(std::string(call) + ": " + text);
    }
}

int countTables(const QString& path)
{
    TIBDatabase db;
    TestServer::configure(db, path);
    TIBTransaction tr;
    tr.SetDefaultDatabase(&db);
    TIBQuery q;
    q.SetDatabase(&db);
    q.SetTransaction(&tr);
    q.SetSQL(QString("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'S' "
                     "AND RDB$SYSTEM_FLAG = 0"));
    q.Open();
    return q.Fields(0).IntegerValue();
}

// One execution of the link statement through bare client calls, from the
// start of its transaction to its commit; the best of a few, in ms.
double bareLinkRead(const QString& path, int rounds, int* rows)
{
    ISC_STATUS_ARRAY status = {};
    isc_db_handle db = 0;
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
    const QByteArray sql = TSchemaSnapshot::LinkStatement().toUtf8();
    double best = 1e100;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        isc_tr_handle tr = 0;
        isc_stmt_handle stmt = 0;
        isc_start_transaction(status, &tr, 1, &db, 0, nullptr);
        check(status, "isc_start_transaction");
        isc_dsql_alloc_statement2(status, &db, &stmt);
        check(status, "isc_dsql_alloc_statement2");
        std::unique_ptr<char[]> storage(new char[XSQLDA_LENGTH(8)]());
        XSQLDA* out = reinterpret_cast<XSQLDA*>(storage.get());
        out->version = SQLDA_VERSION1;
        out->sqln = 8;
        isc_dsql_prepare(status, &tr, &stmt, 0, sql.constData(), 1, out);
        check(status, "isc_dsql_prepare");
        std::vector<std::vector<char>> buffers(size_t(out->sqld));
        std::vector<short> nulls(size_t(out->sqld));
        for (int i = 0; i < out->sqld; ++i) {
            buffers[size_t(i)].resize(size_t(out->sqlvar[i].sqllen) + 2);
            out->sqlvar[i].sqldata = buffers[size_t(i)].data();
            out->sqlvar[i].sqlind = &nulls[size_t(i)];
        }
        isc_dsql_execute(status, &tr, &stmt, 1, nullptr);
        check(status, "isc_dsql_execute");
        *rows = 0;
        while (isc_dsql_fetch(status, &stmt, SQLDA_VERSION1, out) == 0)
            ++*rows;
        isc_dsql_free_statement(status, &stmt, DSQL_drop);
        isc_commit_transaction(status, &tr);
        check(status, "isc_commit_transaction");
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    isc_detach_database(status, &db);
    return best;
}

struct Figures {
    double ms = 0;
    TSessionCounters perGeneration;
    int nodes = 0;
};

Figures generate(TLarkspan& lk, QTreeWidget& tree, int runs)
{
    lk.GenerateView();   // warm: the server's caches, the session's connection
    Figures f;
    TSessionCounters before = SessionCounters();
    QElapsedTimer timer;
    timer.start();
    double best = 1e100;
    for (int i = 0; i < runs; ++i) {
        const qint64 start = timer.nsecsElapsed();
        lk.GenerateView();
        best = std::min(best, double(timer.nsecsElapsed() - start) / 1e6);
    }
    const TSessionCounters used = SessionCounters() - before;
    f.ms = best;
    f.perGeneration = {used.Prepares / quint64(runs), used.Executes / quint64(runs),
                       used.TransactionStarts / quint64(runs)};
    f.nodes = TreeNodes::NodeCount(&tree);
    return f;
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    try {
        std::printf("%-6s %-9s %6s %9s %8s %9s %8s %6s %10s %8s\n", "tables", "mode", "nodes", "ms/gen", "ms/table",
                    "stmts", "prepares", "trans", "bare ms", "ratio");
        for (int size : {30, 100, 300}) {
            const TreeSchema schema = MakeTreeSchema(size, unsigned(size));
            const QString path = BenchDatabase::Ensure(
                QStringLiteral("schema_bench_%1_tables").arg(size),
                [&](const QString& p) { return countTables(p) == schema.tables; }, schema.statements);
            TIBDatabase db;
            TestServer::configure(db, path);
            QTreeWidget tree, list;
            TLarkspan lk;
            lk.SetIBDataBase(&db);
            lk.SetTreeView(&tree);
            lk.SetListView(&list);
            lk.SetTableName(schema.root);
            db.SetConnected(true);   // the connect is not part of a generation
            Figures figures[2];
            for (bool atOnce : {false, true}) {
                lk.SetReadSchemaAtOnce(atOnce);
                figures[atOnce] = generate(lk, tree, runs);
            }
            // The bare statement after the generations, on a server as warm
            // as they found it.
            int links = 0;
            const double bare = bareLinkRead(path, 2 * runs, &links);
            for (bool atOnce : {false, true}) {
                const Figures& f = figures[atOnce];
                std::printf("%-6d %-9s %6d %9.2f %8.3f %9llu %8llu %6llu %10.2f %8.2f\n", schema.tables,
                            atOnce ? "at-once" : "per-table", f.nodes, f.ms, f.ms / f.nodes,
                            (unsigned long long)f.perGeneration.Executes, (unsigned long long)f.perGeneration.Prepares,
                            (unsigned long long)f.perGeneration.TransactionStarts, bare, f.ms / bare);
            }
            std::fflush(stdout);
            std::printf("       schema: %d tables, %d links (%d double, %d back to an ancestor), depth %d; "
                        "bare link statement read %d rows\n",
                        schema.tables, schema.links, schema.doubleLinks, schema.cycles, schema.depth, links);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "schema_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
