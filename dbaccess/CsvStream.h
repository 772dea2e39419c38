#pragma once
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

class QIODevice;
class QMutex;
class TIBQuery;

// The rows of an open query as CSV text (RFC 4180): a header line of the
// column names, then one line per row with every cell's text as the
// query's CellText gives it. Fields are separated by commas; a field that
// holds a comma, a double quote, CR or LF is enclosed in double quotes with
// its inner quotes doubled; every line ends with CR LF; the text is UTF-8.
namespace CsvStream {
// One CSV line of the given fields, CR LF included.
QString Line(const QStringList& fields);

struct Options {
    // Called after each chunk of rows is written, with the rows written so
    // far. May be empty.
    std::function<void(qint64 rows)> Progress;
    // Checked before each chunk; once true, the stream stops at the next
    // chunk boundary and reports Cancelled. May be null.
    const std::atomic<bool>* Cancel = nullptr;
    // Held while the query is touched (fetching, reading cells), released
    // while the chunk is written; for a query that other threads read too.
    // May be null.
    QMutex* QueryLock = nullptr;
    // Names the target in write errors; empty: the device's file name.
    QString TargetName;
};

struct Result {
    qint64 Rows = 0;          // data lines written (the header not counted)
    bool Cancelled = false;   // stopped by Options::Cancel before the end
};

// Writes the header and every row of query, from its first row to the last,
// to out (open for writing), fetching BufferChunks rows at a time and
// writing each chunk's lines as one block. The query must be open; a
// forward-only query must still hold its first row, and is read with only
// one chunk of rows held at any time. Database errors pass through; a
// failed write raises EStreamError "Cannot write file "NAME": REASON".
// Nothing is flushed or committed: that is the caller's.
Result Write(TIBQuery& query, QIODevice& out, const Options& options = {});
}
