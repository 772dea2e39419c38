#pragma once
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>

// Shows the busy mouse pointer for its lifetime when a GUI application runs
// and the pointer has its normal shape. Off the user-interface thread (a
// statement run by a worker) it does nothing: the pointer belongs to the GUI.
class BusyCursor {
public:
    BusyCursor()
    {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
            QThread::currentThread() == QCoreApplication::instance()->thread() &&
            QGuiApplication::overrideCursor() == nullptr) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            FActive = true;
        }
    }
    ~BusyCursor()
    {
        if (FActive)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool FActive = false;
};
