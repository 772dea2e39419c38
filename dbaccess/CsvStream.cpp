#include "dbaccess/CsvStream.h"

#include <QCoreApplication>
#include <QFileDevice>
#include <QIODevice>
#include <QMutexLocker>

#include "core/Errors.h"
#include "dbaccess/IBQuery.h"

namespace {
bool NeedsQuotes(const QString& field)
{
    for (const QChar ch : field) {
        const char16_t c = ch.unicode();
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

void AppendField(QString& line, const QString& field)
{
    if (!NeedsQuotes(field)) {
        line += field;
        return;
    }
    line += QLatin1Char('"');
    for (const QChar ch : field) {
        if (ch == QLatin1Char('"'))
            line += QLatin1Char('"');
        line += ch;
    }
    line += QLatin1Char('"');
}

QString TargetName(const QIODevice& out, const CsvStream::Options& options)
{
    if (!options.TargetName.isEmpty())
        return options.TargetName;
    if (const auto* file = qobject_cast<const QFileDevice*>(&out))
        return file->fileName();
    return QString();
}

void WriteText(QIODevice& out, const QString& text, const CsvStream::Options& options)
{
    const QByteArray bytes = text.toUtf8();
    if (out.write(bytes) != bytes.size())
        throw EStreamError(QCoreApplication::translate("CsvStream", "Cannot write file \"%1\": %2")
                               .arg(TargetName(out, options), out.errorString()));
}

// The lock of Options::QueryLock, when there is one.
class OptionalLock {
public:
    explicit OptionalLock(QMutex* mutex) : FMutex(mutex)
    {
        if (FMutex)
            FMutex->lock();
    }
    ~OptionalLock()
    {
        if (FMutex)
            FMutex->unlock();
    }
    OptionalLock(const OptionalLock&) = delete;
    OptionalLock& operator=(const OptionalLock&) = delete;

private:
    QMutex* FMutex;
};
}

namespace CsvStream {
QString Line(const QStringList& fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += QLatin1Char(',');
        AppendField(line, fields[i]);
    }
    return line + QLatin1String("\r\n");
}

Result Write(TIBQuery& query, QIODevice& out, const Options& options)
{
    Result result;
    QString text;
    {
        OptionalLock lock(options.QueryLock);
        if (!query.Active())
            throw EIBClientError(QStringLiteral("The query is not open"));
        // A forward-only query that has let its first rows go says so here.
        if (query.ForwardOnly())
            query.First();
        QStringList names;
        for (int c = 0; c < query.FieldCount(); ++c)
            names << query.Fields(c).FieldName();
        text = Line(names);
    }
    WriteText(out, text, options);

    const int columns = query.FieldCount();
    QString cell;
    int row = 0;
    for (;;) {
        if (options.Cancel && options.Cancel->load()) {
            result.Cancelled = true;
            return result;
        }
        text.clear();
        bool atEnd = false;
        {
            OptionalLock lock(options.QueryLock);
            // Rows are fetched up to the end of the chunk being filled, and a
            // new chunk only once every held row is written: a forward-only
            // query drops a chunk's rows when the next chunk starts.
            const int chunkRows = query.BufferChunks();
            int fetched = query.FetchedRowCount();
            bool more = !query.AllFetched();
            if (more && (fetched % chunkRows != 0 || row >= fetched)) {
                const int added = query.FetchRows(chunkRows - fetched % chunkRows);
                fetched += added;
                more = added > 0 && !query.AllFetched();
            }
            const int until = std::min(fetched, row + chunkRows);
            for (; row < until; ++row) {
                for (int c = 0; c < columns; ++c) {
                    if (c > 0)
                        text += QLatin1Char(',');
                    query.ColumnText(row, c, cell);
                    AppendField(text, cell);
                }
                text += QLatin1String("\r\n");
            }
            atEnd = row >= fetched && !more;
        }
        if (!text.isEmpty())
            WriteText(out, text, options);
        result.Rows = row;
        if (options.Progress)
            options.Progress(result.Rows);
        if (atEnd)
            return result;
    }
}
}
