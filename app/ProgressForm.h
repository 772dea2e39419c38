#pragma once
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The small modal window shown while long work runs off the user-interface
// thread: what runs, how far it is, and Cancel. Escape and the title-bar
// button cancel too.
class TFProgress : public QDialog {
    Q_OBJECT
public:
    TFProgress(QWidget* owner, const QString& text, bool cancellable);

    // done of total units; total < 0 shows a busy bar.
    void SetProgress(qint64 done, qint64 total);
    void SetCancelling();

    QLabel* LText = nullptr;
    QProgressBar* Bar = nullptr;
    QPushButton* BtnCancel = nullptr;

signals:
    void CancelPressed();

public slots:
    void reject() override;   // Escape, title-bar close: Cancel, never a close

private:
    bool FCancellable;
};
