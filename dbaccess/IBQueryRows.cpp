#include "dbaccess/IBQuery.h"

#include "dbaccess/BlobReader.h"
#include "core/CodePage.h"
#include "dbaccess/ColumnText.h"
#include "core/Errors.h"
#include "dbaccess/IBDatabase.h"
#include "dbaccess/IBQueryImpl.h"
#include "dbaccess/IBTransaction.h"
#include "dbaccess/StatusVector.h"
#include "core/UserLocale.h"

#include <cstring>

namespace {
// A BLOB's content as text, read through the query's transaction. Kept out
// of line: the cell reader that calls it runs for every cell.
Q_NEVER_INLINE void blobText(isc_db_handle* db, isc_tr_handle* tr, StoredValue value, const ColumnSlot& slot,
                             const QString& charset, QString& out)
{
    ISC_QUAD id;
    std::memcpy(&id, value.data, sizeof id);
    const QByteArray content = ReadBlob(db, tr, id);
    // A text BLOB's character set is described in its scale.
    DecodeText(content.constData(), int(content.size()), CodePage::ValueCharset(charset, slot.scale), out);
}
}

// Fetches the next row of the cursor into the row buffer.
bool TIBQuery::FetchOne()
{
    if (!FActive || d->allFetched || !d->cursorOpen)
        return false;
    const ISC_STATUS rc = isc_dsql_fetch(&d->fetchStatus, &d->statement, SQLDA_VERSION1, d->out.get());
    if (rc == 100) {
        d->allFetched = true;
        return false;
    }
    if (rc != 0)
        d->fetchStatus.Check("isc_dsql_fetch");
    d->rows.StoreFetched();
    return true;
}

int TIBQuery::FetchRows(int n)
{
    int added = 0;
    while (added < n && FetchOne())
        ++added;
    return added;
}

int TIBQuery::FetchedRowCount() const
{
    return FActive ? d->rows.Count() : 0;
}

size_t TIBQuery::BufferedBytes() const
{
    return d->rows.HeldBytes();
}

bool TIBQuery::AllFetched() const
{
    return !FActive || d->allFetched;
}

void TIBQuery::First()
{
    if (FActive && d->rows.Count() > 0 && !d->rows.Held(0))
        throw EIBClientError(QStringLiteral("Forward-only query: the first rows are no longer held"));
    if (FActive && d->rows.Count() > 0) {
        FCurrentRow = 0;
        FEof = false;
    } else {
        FEof = true;
    }
}

void TIBQuery::Next()
{
    if (!FActive)
        return;
    if (FCurrentRow + 1 < d->rows.Count() || FetchOne()) {
        ++FCurrentRow;
        FEof = false;
    } else {
        FEof = true;
    }
}

void TIBQuery::SetRecNo(int row)
{
    if (!FActive || row < d->rows.FirstHeld())
        return;
    while (row >= d->rows.Count() && FetchOne()) {
    }
    if (row < d->rows.Count()) {
        FCurrentRow = row;
        FEof = false;
    }
}

QString TIBQuery::CellText(int row, int column) const
{
    return ColumnText(row, column);
}

bool TIBQuery::ColumnIsNull(int row, int column) const
{
    if (!FActive || !d->rows.Held(row) || column < 0 || column >= int(d->fieldSlot.size()))
        return true;
    return RowBuffer::IsNull(d->rows.Row(row), d->rows.Slots()[size_t(d->fieldSlot[size_t(column)])]);
}

void TIBQuery::ColumnText(int row, int column, QString& out) const
{
    // The checks of ColumnIsNull, done once: this runs for every cell read.
    if (!FActive || !d->rows.Held(row) || column < 0 || column >= int(d->fieldSlot.size()))
        return void(out = QString());
    const ColumnSlot& slot = d->rows.Slots()[size_t(d->fieldSlot[size_t(column)])];
    const char* data = d->rows.Row(row);
    if (RowBuffer::IsNull(data, slot))
        return void(out = QString());
    const StoredValue value = d->rows.Value(data, slot);
    if (slot.server->value == ValueClass::Blob)
        return blobText(static_cast<isc_db_handle*>(FDatabase->HandlePtr()),
                        static_cast<isc_tr_handle*>(FTransaction->HandlePtr()), value, slot, d->charset, out);
    ValueText(value, slot, d->charset, d->format, out);
}

QString TIBQuery::ColumnText(int row, int column) const
{
    QString text;
    ColumnText(row, column, text);
    return text;
}

qint64 TIBQuery::ColumnInteger(int row, int column) const
{
    if (ColumnIsNull(row, column))
        return 0;
    const ColumnSlot& slot = d->rows.Slots()[size_t(d->fieldSlot[size_t(column)])];
    if (slot.server->value == ValueClass::Blob)
        return d->format.Locale().StrToInt64(ColumnText(row, column)).value_or(0);
    const char* data = d->rows.Row(row);
    return ValueInteger(d->rows.Value(data, slot), slot, d->charset, d->format);
}

const QString& TField::TextValue() const
{
    FQuery->ColumnText(FQuery->RecNo(), FIndex, FText);
    return FText;
}

int TField::IntegerValue() const
{
    return int(FQuery->ColumnInteger(FQuery->RecNo(), FIndex));
}

bool TField::IsNull() const
{
    return FQuery->ColumnIsNull(FQuery->RecNo(), FIndex);
}
