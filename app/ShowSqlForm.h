#pragma once
#include <QDialog>

class QPlainTextEdit;
class QTimer;
class TIBQuery;
class TLarkspan;

// A non-modal window with the statement the current design produces and
// the values of its parameters, as "Open results" would run it. It follows
// the design: every change of the field list (a tick, a condition, another
// table) or of the tree refreshes it. The text is selectable and copyable.
class TFShowSQL : public QDialog {
    Q_OBJECT
public:
    TFShowSQL(QWidget* owner, TLarkspan* designer);

    QPlainTextEdit* MSQL = nullptr;

    // Writes the design's statement now (changes are otherwise taken a
    // moment later, all at once).
    void Refresh();
    // Takes a change of the design, to refresh once the change is complete.
    void ScheduleRefresh();
    // While the designer's model is rebuilt on another thread, the window
    // does not read it; resumed, it refreshes.
    void SetSuspended(bool value);

private:
    TLarkspan* FDesigner;
    TIBQuery* FScratch;       // receives the statement and its values
    QTimer* FPending;
    bool FSuspended = false;
};
