// Generates the Employee view of the dialect 1 sample N times (first
// argument, default 50) and prints the time per GenerateView and the number
// of statements each generation executed.
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <cstdio>
#include <exception>

#include "common/TestServer.h"
#include "dbaccess/IBDatabase.h"
#include "designer/Larkspan.h"
#include "designer/view/TreeNodes.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 50;
    try {
        TIBDatabase db;
        TestServer::configure(db, TestServer::employeeDialect1());
        QTreeWidget tree, list;
        TLarkspan lk;
        lk.SetIBDataBase(&db);
        lk.SetTreeView(&tree);
        lk.SetListView(&list);
        lk.SetTableName("Employee");
        lk.SetDetailTableName("Employee_project");
        db.SetConnected(true);   // the connect is not part of a generation

        quint64 statements = 0;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < runs; ++i) {
            const quint64 before = db.ExecutedStatementCount();
            lk.GenerateView();
            const quint64 used = db.ExecutedStatementCount() - before;
            if (i > 0 && used != statements)
                std::printf("run %d executed %llu statements (first run: %llu)\n", i, (unsigned long long)used,
                            (unsigned long long)statements);
            statements = used;
        }
        const double ms = double(timer.nsecsElapsed()) / 1e6 / runs;
        std::printf("GenerateView (Employee + Employee_project, dialect 1): %d runs, %.3f ms per run, "
                    "%llu statements per run, %d nodes\n",
                    runs, ms, (unsigned long long)statements, TreeNodes::NodeCount(&tree));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
