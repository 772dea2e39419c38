#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;
class QTableView;
class ResultTableModel;
class TIBQuery;

// The results window: a read-only grid over the main window's result query.
// The owner opens the query, shows this window modally and closes the query
// afterwards; the grid takes the query's rows each time the window is shown
// and lets go of them when it is hidden.
//
// Beyond its fixed layout: a status line beside Close (rows fetched, all
// rows once the end is reached, the statement's time), the grid growing
// with the window, sorting by a header click (the statement runs again with
// ORDER BY), copying the selected rows, fetching to the last row (Ctrl+End,
// the scroll bar dragged to the bottom) and an export to CSV. Long work runs
// off the user-interface thread with a progress window and Cancel.
class TFQueryResult : public QDialog {
    Q_OBJECT
public:
    TFQueryResult(QWidget* owner, TIBQuery* dataSet);

    QTableView* DBGrid1 = nullptr;
    QPushButton* BitBtn1 = nullptr;   // Close
    QLabel* LStatus = nullptr;        // status line beside Close
    ResultTableModel* DataSource1 = nullptr;

    // Set by the owner before showing: how long the statement took (ms,
    // negative: unknown) and the header tooltips, one per column.
    void SetStatementTime(qint64 ms) { FStatementMs = ms; }
    void SetHeaderToolTips(const QStringList& tips);

    // ---- commands (also reached through the grid's keys and menu) ----
    // Header click: ascending, descending, then unsorted again.
    void SortByColumn(int column);
    int SortColumn() const { return FSortColumn; }
    bool SortDescending() const { return FSortDescending; }
    bool FetchToEnd();                          // false: cancelled
    bool ExportToCsv(const QString& fileName);  // false: cancelled
    QString SelectedRowsText() const;           // header line, then the rows, tab-separated
    void CopySelectedRows();
    void UpdateStatus();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowGridMenu(const QPoint& pos);
    void ChooseExportFile();
    void FitColumns();
    void Reopen();

    TIBQuery* FQuery;
    QString FBaseSQL;          // the statement as the owner opened it
    int FSortColumn = -1;
    bool FSortDescending = false;
    qint64 FStatementMs = -1;
};
