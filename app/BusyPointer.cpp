#include "app/BusyPointer.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>

#include "dbaccess/BusyCursor.h"

namespace {
bool ShowBusy()
{
    // Only over the normal shape: a pointer the application set stays.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ||
        QThread::currentThread() != QCoreApplication::instance()->thread() ||
        QGuiApplication::overrideCursor() != nullptr)
        return false;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    return true;
}

void RestoreBusy() { QGuiApplication::restoreOverrideCursor(); }
}   // namespace

void InstallBusyPointer() { BusyHooks::Install(&ShowBusy, &RestoreBusy); }
