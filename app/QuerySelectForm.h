#pragma once
#include <QDialog>

class QListWidget;
class QPushButton;

// Lists the saved queries so that one can be picked for loading. The owner
// fills ListBox1, one line per query with the query's entry index stored
// under Qt::UserRole, and selects a line.
class TFSelectQuery : public QDialog {
    Q_OBJECT
public:
    explicit TFSelectQuery(QWidget* owner = nullptr);

    QListWidget* ListBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr;   // Load (OK)
    QPushButton* BitBtn2 = nullptr;   // Cancel

protected:
    void resizeEvent(QResizeEvent* event) override;
};
