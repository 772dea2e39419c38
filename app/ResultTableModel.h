#pragma once
#include <QAbstractTableModel>
#include <QPointer>

class TIBQuery;

// Read-only table over the rows of an open query. Rows are fetched on demand,
// BufferChunks rows at a time, as the view scrolls towards the end, so a
// large result shows its first screen at once. Columns are titled with the
// column names.
//
// The model holds no copy of the rows: it reads the query's buffer. Refresh()
// takes over the query's current state (call it after the query opened);
// Detach() empties the model (call it before the query closes).
class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultTableModel(TIBQuery* query, QObject* parent = nullptr);

    TIBQuery* Query() const;
    void Refresh();
    void Detach();

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
    bool FAttached = false;
    int FRowCount = 0;
    int FColumnCount = 0;
};
