#include "app/AppExceptionHandler.h"

#include <QApplication>
#include <QString>

#include "app/Messages.h"
#include "core/Errors.h"
#include "core/ExceptionHandler.h"

void InstallAppExceptionHandler()
{
    SetExceptionHandler([](const std::exception& e) {
        // The project's exceptions carry their message as a QString; others
        // are taken as UTF-8.
        const auto* own = dynamic_cast<const ELarkspanError*>(&e);
        const QString text = own ? own->Message() : QString::fromUtf8(e.what());
        AppMessages::ShowError(QApplication::activeWindow(), text);
    });
}
