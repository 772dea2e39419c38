#pragma once
// Answering modal dialogs in widget tests: a dialog's exec() blocks the
// test's own code, so the answer is given from a timer.
#include <QApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

// Runs action on the next modal dialog of type T once it is shown. If the
// action leaves the dialog open, it is rejected a little later, so a test
// that went wrong fails instead of hanging.
template <class T>
void WhenModal(std::function<void(T*)> action, bool* ran = nullptr)
{
    // Owned by the application, so that a timer still waiting when the
    // program ends is freed with it (the leak checker counts it otherwise).
    auto* timer = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    QObject::connect(timer, &QObject::destroyed, [clock] { delete clock; });
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, ran] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog && clock->elapsed() < 5000)
            return;
        timer->stop();
        timer->deleteLater();   // frees the clock too
        if (!dialog)
            return;
        if (ran)
            *ran = true;
        action(dialog);
        QPointer<T> guard(dialog);
        QTimer::singleShot(3000, [guard] {
            if (guard && guard->isVisible())
                guard->reject();
        });
    });
    timer->start();
}
