#pragma once
#include <QString>
#include <functional>

class QWidget;
class ResultTableModel;
class TIBDatabase;
class TIBQuery;

// The long parts of working with a result, run off the user-interface
// thread with a progress window and Cancel (RunInBackground). Cancel stops
// the work on the server; the session stays connected.
namespace ResultJobs {
// A Cancel for background work on database's session: asks the server to
// stop what the session runs (the worker's call then fails); the session
// stays connected.
std::function<void()> ServerCancel(TIBDatabase* database);

// Opens query: executes the statement and fetches its first chunk of rows.
// Returns the milliseconds that took, or -1 when cancelled (the query is
// then closed). A server error is thrown.
qint64 Open(QWidget* parent, TIBQuery* query);

// Fetches every remaining row of the model's query; the model shows them
// as they come. Returns false when cancelled (the rows fetched so far stay).
bool FetchToEnd(QWidget* parent, ResultTableModel* model);

// Writes the whole result of the open query to fileName as CSV (RFC 4180,
// a header row of the column names, UTF-8). The statement runs again with
// the same parameter values in the same transaction, on a forward-only
// query of the export's own that holds one chunk of rows at a time; query
// and its rows are left as they were. The file appears only once complete;
// cancelled or failed, nothing is left of it. Returns the rows written, or
// -1 when cancelled; a server or write error is thrown.
qint64 ExportCsv(QWidget* parent, TIBQuery* query, const QString& fileName);
}
