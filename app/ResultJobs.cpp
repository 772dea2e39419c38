#include "app/ResultJobs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QSaveFile>
#include <QTimer>
#include <QPointer>

#include "app/BackgroundWork.h"
#include "app/ResultTableModel.h"
#include "app/RowText.h"
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

std::function<void()> ServerCancel(TIBQuery* query)
{
    QPointer<TIBDatabase> database = query->Database();
    return [database] {
        if (database)
            database->CancelOperation();
    };
}

// Cancel for work that checks the flag between steps: the server is asked
// only when a single step takes too long.
class DelayedServerCancel {
public:
    explicit DelayedServerCancel(TIBQuery* query) : FCancel(ServerCancel(query))
    {
        FTimer.setSingleShot(true);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { FCancel(); });
    }
    std::function<void()> Trigger()
    {
        return [this] { FTimer.start(ServerCancelDelayMs); };
    }

private:
    std::function<void()> FCancel;
    QTimer FTimer;   // stops with this object, after the work has ended
};

QStringList ColumnNames(TIBQuery* query)
{
    QStringList names;
    for (int c = 0; c < query->FieldCount(); ++c)
        names << query->Fields(c).FieldName();
    return names;
}
}

namespace ResultJobs {
qint64 Open(QWidget* parent, TIBQuery* query)
{
    WorkOptions options;
    options.Label = tr("Running the statement…");
    options.Cancel = ServerCancel(query);
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
    WorkOptions options;
    options.Label = tr("Fetching all rows…");
    options.Cancel = serverCancel.Trigger();
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

bool ExportCsv(QWidget* parent, ResultTableModel* model, const QString& fileName)
{
    TIBQuery* query = model->Query();
    if (!query || !query->Active())
        throw ELarkspanError(tr("There is no result to export."));
    DelayedServerCancel serverCancel(query);
    WorkOptions options;
    options.Label = tr("Exporting to %1…").arg(fileName);
    options.Cancel = serverCancel.Trigger();
    options.Tick = [model] { model->TakeFetchedRows(); };
    model->SetWorkerFetching(true);
    struct EndFetching {
        ResultTableModel* model;
        ~EndFetching() { model->SetWorkerFetching(false); }
    } ending{model};
    return RunInBackground(parent, options, [&](WorkProgress& progress) {
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            throw EStreamError(tr("Cannot create file \"%1\": %2").arg(fileName, file.errorString()));
        auto write = [&](const QString& text) {
            const QByteArray bytes = text.toUtf8();
            if (file.write(bytes) != bytes.size())
                throw EStreamError(tr("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
        };
        QString header;
        {
            QMutexLocker lock(&model->QueryLock());
            header = RowText::CsvLine(ColumnNames(query));
        }
        write(header);
        int row = 0;
        bool atEnd = false;
        QStringList cells;
        while (!atEnd) {
            if (progress.CancelRequested) {
                file.cancelWriting();
                return;
            }
            QString chunk;
            {
                QMutexLocker lock(&model->QueryLock());
                if (row >= query->FetchedRowCount() && !query->AllFetched())
                    query->FetchRows(StepRows);
                const int fetched = query->FetchedRowCount();
                const int until = std::min(fetched, row + StepRows);
                for (; row < until; ++row) {
                    cells.clear();
                    for (int c = 0; c < query->FieldCount(); ++c)
                        cells << query->CellText(row, c);
                    chunk += RowText::CsvLine(cells);
                }
                atEnd = row >= fetched && query->AllFetched();
            }
            write(chunk);
            progress.Done = row;
        }
        if (progress.CancelRequested) {
            file.cancelWriting();
            return;
        }
        if (!file.commit())
            throw EStreamError(tr("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
    });
}
}
