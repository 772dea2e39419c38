#include "app/ResultJobs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QSaveFile>
#include <QPointer>
#include <QTimer>
#include <algorithm>

#include "app/BackgroundWork.h"
#include "app/ResultTableModel.h"
#include "dbaccess/CsvStream.h"
#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQuery.h"

namespace {
// Rows fetched per hold of the query lock: a few milliseconds, so the grid
// never waits long for it.
const int StepRows = 1000;
// Work that stops between steps is given this long before the server is
// asked to cancel the fetch it is in.
const int ServerCancelDelayMs = 500;

QString tr(const char* text)
{
    return QCoreApplication::translate("ResultJobs", text);
}

// Cancel for work that checks the flag between steps: the server is asked
// only when a single step takes too long.
class DelayedServerCancel {
public:
    explicit DelayedServerCancel(TIBQuery* query) : FCancel(ResultJobs::ServerCancel(query->Database()))
    {
        FTimer.setSingleShot(true);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { FCancel(); });
    }
    // Options for work that stops between steps, with this Cancel.
    WorkOptions Options(const QString& label)
    {
        WorkOptions options;
        options.Label = label;
        options.Cancel = [this] { FTimer.start(ServerCancelDelayMs); };
        return options;
    }

private:
    std::function<void()> FCancel;
    QTimer FTimer;   // stops with this object, after the work has ended
};
}

namespace ResultJobs {
std::function<void()> ServerCancel(TIBDatabase* database)
{
    QPointer<TIBDatabase> session = database;
    return [session] {
        if (session)
            session->CancelOperation();
    };
}

qint64 Open(QWidget* parent, TIBQuery* query)
{
    WorkOptions options;
    options.Label = tr("Running the statement…");
    options.Cancel = ServerCancel(query->Database());
    qint64 elapsed = 0;
    const bool done = RunInBackground(parent, options, [&](WorkProgress& progress) {
        QElapsedTimer clock;
        clock.start();
        query->Open();
        // The first chunk with the statement, so the grid shows it at once.
        if (!query->AllFetched() && query->FetchedRowCount() < query->BufferChunks())
            query->FetchRows(query->BufferChunks() - query->FetchedRowCount());
        progress.Done = query->FetchedRowCount();
        elapsed = clock.elapsed();
    });
    if (!done) {
        query->Close();
        return -1;
    }
    return elapsed;
}

bool FetchToEnd(QWidget* parent, ResultTableModel* model)
{
    TIBQuery* query = model->Query();
    if (!query || !query->Active())
        return true;
    DelayedServerCancel serverCancel(query);
    WorkOptions options = serverCancel.Options(tr("Fetching all rows…"));
    options.Tick = [model] { model->TakeFetchedRows(); };
    model->SetWorkerFetching(true);
    struct EndFetching {
        ResultTableModel* model;
        ~EndFetching() { model->SetWorkerFetching(false); }
    } ending{model};
    return RunInBackground(parent, options, [&](WorkProgress& progress) {
        while (!progress.CancelRequested) {
            QMutexLocker lock(&model->QueryLock());
            query->FetchRows(StepRows);
            progress.Done = query->FetchedRowCount();
            if (query->AllFetched())
                break;
        }
    });
}

qint64 ExportCsv(QWidget* parent, TIBQuery* query, const QString& fileName)
{
    if (!query || !query->Active())
        throw ELarkspanError(tr("There is no result to export."));
    // The grid's query is not touched: the worker reads a query of its own,
    // so the grid can go on painting from its rows meanwhile.
    TIBQuery rows;
    rows.SetDatabase(query->Database());
    rows.SetTransaction(query->Transaction());
    rows.SetSQLDialect(query->SQLDialect());
    rows.SetSQL(query->SQL());
    for (int i = 0; i < std::min(rows.Params().Count(), query->Params().Count()); ++i)
        rows.Params()[i].AssignFrom(query->Params()[i]);
    rows.SetBufferChunks(StepRows);
    rows.SetForwardOnly(true);

    DelayedServerCancel serverCancel(&rows);
    const WorkOptions options = serverCancel.Options(tr("Exporting to %1…").arg(fileName));
    qint64 written = 0;
    const bool done = RunInBackground(parent, options, [&](WorkProgress& progress) {
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            throw EStreamError(tr("Cannot create file \"%1\": %2").arg(fileName, file.errorString()));
        rows.Open();
        CsvStream::Options stream;
        stream.Progress = [&progress](qint64 n) { progress.Done = n; };
        stream.Cancel = &progress.CancelRequested;
        stream.TargetName = fileName;
        const CsvStream::Result result = CsvStream::Write(rows, file, stream);
        rows.Close();
        // Not committed, the save file removes what it wrote.
        if (result.Cancelled)
            return;
        if (!file.commit())
            throw EStreamError(tr("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
        written = result.Rows;
    });
    return done ? written : -1;
}
}
