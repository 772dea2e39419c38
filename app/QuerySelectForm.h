#pragma once
#include <QDialog>

class QListWidget;
class QListWidgetItem;
class QPushButton;

// Lists the saved queries so that one can be picked for loading. The owner
// fills ListBox1, one line per query with the query's entry index stored
// under Qt::UserRole, and selects a line. The list's context menu and the
// Delete key ask the owner to delete the selected query (DeleteRequested);
// the owner removes the line when it did.
class TFSelectQuery : public QDialog {
    Q_OBJECT
public:
    explicit TFSelectQuery(QWidget* owner = nullptr);

    QListWidget* ListBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr;   // Load (OK)
    QPushButton* BitBtn2 = nullptr;   // Cancel

signals:
    void DeleteRequested(QListWidgetItem* item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
