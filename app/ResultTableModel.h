#pragma once
#include <QAbstractTableModel>
#include <QMutex>
#include <QPointer>
#include <QStringList>

class TIBQuery;

// Read-only table over the rows of an open query. Rows are fetched on demand,
// BufferChunks rows at a time, as the view scrolls towards the end, so a
// large result shows its first screen at once. Columns are titled with the
// column names.
//
// The model holds no copy of the rows: it reads the query's buffer. Refresh()
// takes over the query's current state (call it after the query opened);
// Detach() empties the model (call it before the query closes).
//
// While a worker thread fetches more rows into the query (fetching to the
// end, an export), every access to the query, the worker's and the view's,
// holds QueryLock(); the model then leaves fetching to the worker
// (SetWorkerFetching) and takes the new rows with TakeFetchedRows().
class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultTableModel(TIBQuery* query, QObject* parent = nullptr);

    TIBQuery* Query() const;
    void Refresh();
    void Detach();

    QMutex& QueryLock() const { return FLock; }
    void SetWorkerFetching(bool value) { FWorkerFetching = value; }
    // Shows the rows the query holds beyond those shown (UI thread).
    void TakeFetchedRows();
    // The query has no more rows to fetch.
    bool AllFetched() const;
    // Per column, the tooltip of its header (e.g. the field's display name).
    void SetHeaderToolTips(const QStringList& tips) { FHeaderToolTips = tips; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    bool Usable() const;

    QPointer<TIBQuery> FQuery;
    mutable QMutex FLock;
    QStringList FHeaderToolTips;
    bool FWorkerFetching = false;
    mutable bool FMissedCells = false;      // a cell went unpainted while the query was busy
    mutable bool FAllFetchedSeen = false;
    bool FAttached = false;
    int FRowCount = 0;
    int FColumnCount = 0;
};
