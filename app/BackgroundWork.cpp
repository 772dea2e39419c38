#include "app/BackgroundWork.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <exception>
#include <memory>
#include <thread>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "app/ProgressForm.h"
#include "core/ExceptionHandler.h"

namespace {
const int WorkerNiceness = 10;

// Holds back user input and window closes for every window but the
// progress window while work runs, so that no second command starts on
// the same session; painting and timers go on.
class InputHold : public QObject {
public:
    explicit InputHold(QWidget* allowed) : FAllowed(allowed) { qApp->installEventFilter(this); }
    ~InputHold() override { qApp->removeEventFilter(this); }
    void Allow(QWidget* allowed) { FAllowed = allowed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Close:
        case QEvent::ContextMenu: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (!widget)
                return false;
            if (FAllowed && (widget == FAllowed || FAllowed->isAncestorOf(widget)))
                return false;
            if (event->type() == QEvent::Close)
                event->ignore();
            return true;
        }
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> FAllowed;
};
}

bool RunInBackground(QWidget* parent, const WorkOptions& options, const std::function<void(WorkProgress&)>& work)
{
    WorkProgress progress;
    std::exception_ptr failure;
    std::atomic<bool> finished{false};
    QEventLoop loop;

    InputHold hold(nullptr);
    std::thread worker([&] {
        // The worker yields the processor to the user-interface thread, which
        // needs little of it but must get it at once to stay responsive when
        // the machine is busy. Raising one's own nice value needs no rights.
        ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), WorkerNiceness);
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    std::unique_ptr<TFProgress> window;
    auto cancel = [&] {
        if (progress.CancelRequested.exchange(true))
            return;
        if (window)
            window->SetCancelling();
        if (options.Cancel)
            Guarded(options.Cancel);
    };
    QTimer showTimer;
    showTimer.setSingleShot(true);
    QObject::connect(&showTimer, &QTimer::timeout, [&] {
        if (finished)
            return;
        window = std::make_unique<TFProgress>(parent, options.Label, bool(options.Cancel));
        QObject::connect(window.get(), &TFProgress::CancelPressed, cancel);
        window->SetProgress(progress.Done, progress.Total);
        hold.Allow(window.get());
        window->show();
    });
    QTimer tickTimer;
    tickTimer.setInterval(50);
    QObject::connect(&tickTimer, &QTimer::timeout, [&] {
        if (options.Tick)
            Guarded(options.Tick);
        if (window)
            window->SetProgress(progress.Done, progress.Total);
    });
    showTimer.start(options.ShowAfterMs);
    tickTimer.start();

    while (!finished)
        loop.exec();
    worker.join();
    tickTimer.stop();
    showTimer.stop();
    window.reset();
    if (options.Tick)
        Guarded(options.Tick);

    if (progress.CancelRequested)
        return false;
    if (failure)
        std::rethrow_exception(failure);
    return true;
}
