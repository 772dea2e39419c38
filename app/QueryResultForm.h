#pragma once
#include <QDialog>

class QPushButton;
class QTableView;
class ResultTableModel;
class TIBQuery;

// The results window: a read-only grid over the main window's result query.
// The owner opens the query, shows this window modally and closes the query
// afterwards; the grid takes the query's rows each time the window is shown
// and lets go of them when it is hidden.
class TFQueryResult : public QDialog {
    Q_OBJECT
public:
    TFQueryResult(QWidget* owner, TIBQuery* dataSet);

    QTableView* DBGrid1 = nullptr;
    QPushButton* BitBtn1 = nullptr;   // Close
    ResultTableModel* DataSource1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
