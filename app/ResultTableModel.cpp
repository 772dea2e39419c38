#include "app/ResultTableModel.h"
#include <mutex>

#include "core/ExceptionHandler.h"
#include "dbaccess/IBQuery.h"

namespace {
bool IsNumeric(TFieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return true;
    default:
        return false;
    }
}
}

ResultTableModel::ResultTableModel(TIBQuery* query, QObject* parent)
    : QAbstractTableModel(parent), FQuery(query)
{
}

TIBQuery* ResultTableModel::Query() const
{
    return FQuery;
}

bool ResultTableModel::Usable() const
{
    return FAttached && FQuery && FQuery->Active();
}

void ResultTableModel::Refresh()
{
    beginResetModel();
    FAttached = FQuery && FQuery->Active();
    // The first chunk is there at once, whatever the view asks for later.
    if (FAttached && !FQuery->AllFetched() && FQuery->FetchedRowCount() < FQuery->BufferChunks())
        Guarded([this] { FQuery->FetchRows(FQuery->BufferChunks() - FQuery->FetchedRowCount()); });
    FRowCount = FAttached ? FQuery->FetchedRowCount() : 0;
    FColumnCount = FAttached ? FQuery->FieldCount() : 0;
    endResetModel();
}

void ResultTableModel::Detach()
{
    beginResetModel();
    FAttached = false;
    FRowCount = 0;
    FColumnCount = 0;
    endResetModel();
}

int ResultTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FRowCount;
}

int ResultTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FColumnCount;
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !Usable() || index.row() >= FRowCount || index.column() >= FColumnCount)
        return {};
    if (role == Qt::DisplayRole) {
        // While a worker holds the query (its buffer may be growing), the
        // view does not wait: the cell is painted again once it is free.
        if (!FLock.tryLock()) {
            FMissedCells = true;
            return {};
        }
        std::unique_lock<QMutex> lock(FLock, std::adopt_lock);
        QString text;
        // Called by the view while painting: a failure must not unwind into Qt.
        Guarded([&] { text = FQuery->CellText(index.row(), index.column()); });
        return text;
    }
    if (role == Qt::TextAlignmentRole && IsNumeric(FQuery->Fields(index.column()).DataType()))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (!Usable() || section < 0 || section >= FColumnCount)
        return {};
    if (role == Qt::ToolTipRole)
        return section < FHeaderToolTips.size() ? QVariant(FHeaderToolTips[section]) : QVariant();
    return FQuery->Fields(section).FieldName();
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;   // never editable
}

bool ResultTableModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !FWorkerFetching && Usable() && !AllFetched();
}

bool ResultTableModel::AllFetched() const
{
    // Busy: the last answer, which a worker's fetch can only make stale
    // towards "not yet".
    if (!FLock.tryLock())
        return FAllFetchedSeen;
    std::unique_lock<QMutex> lock(FLock, std::adopt_lock);
    FAllFetchedSeen = !FQuery || FQuery->AllFetched();
    return FAllFetchedSeen;
}

void ResultTableModel::TakeFetchedRows()
{
    if (!Usable())
        return;
    int fetched = 0;
    {
        // A worker holding the query is not waited for: its rows come at
        // the next call.
        if (!FLock.tryLock())
            return;
        std::unique_lock<QMutex> lock(FLock, std::adopt_lock);
        fetched = FQuery->FetchedRowCount();
        FAllFetchedSeen = FQuery->AllFetched();
    }
    if (FMissedCells && FRowCount > 0 && FColumnCount > 0) {
        FMissedCells = false;
        emit dataChanged(index(0, 0), index(FRowCount - 1, FColumnCount - 1), {Qt::DisplayRole});
    }
    if (fetched > FRowCount) {
        beginInsertRows(QModelIndex(), FRowCount, fetched - 1);
        FRowCount = fetched;
        endInsertRows();
    }
}

void ResultTableModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    // fetchMore is called by the view; a server error while fetching goes to
    // the application's handler and leaves the rows fetched so far.
    Guarded([&] {
        {
            QMutexLocker lock(&FLock);
            FQuery->FetchRows(FQuery->BufferChunks());
        }
        TakeFetchedRows();
    });
}
