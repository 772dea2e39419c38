#pragma once
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

// Shows the busy mouse pointer for its lifetime when a GUI application runs
// and the pointer has its normal shape.
class BusyCursor {
public:
    BusyCursor()
    {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
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
