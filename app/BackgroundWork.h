#pragma once
#include <QString>
#include <atomic>
#include <functional>

class QWidget;

// What a piece of background work shares with the user-interface thread.
struct WorkProgress {
    std::atomic<qint64> Done{0};        // units done so far (rows, usually)
    std::atomic<qint64> Total{-1};      // -1: not known
    std::atomic<bool> CancelRequested{false};
};

struct WorkOptions {
    QString Label;                      // the progress window's text
    // Called on the user-interface thread when the user presses Cancel,
    // to stop what the worker waits for (the server's cancel operation).
    // Empty: the progress window has no Cancel button.
    std::function<void()> Cancel;
    // Called on the user-interface thread about every 50 ms while the work
    // runs, e.g. to show the rows fetched so far.
    std::function<void()> Tick;
    int ShowAfterMs = 300;              // the progress window appears after this
};

// Runs work on a worker thread and waits for it on the user-interface
// thread, which keeps handling its events: windows repaint, timers run.
// Meanwhile user input to the program's windows is held back; after
// ShowAfterMs a modal progress window with Cancel appears (TFProgress).
// The work must not touch widgets.
//
// Returns true when the work ran to its end, false when Cancel was pressed
// (whatever error the cancelled work ended with is dropped; work that still
// reached its end is treated as cancelled too). An exception
// of uncancelled work is rethrown here, on the user-interface thread.
bool RunInBackground(QWidget* parent, const WorkOptions& options, const std::function<void(WorkProgress&)>& work);
