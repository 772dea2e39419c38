#include "app/Messages.h"

#include <QMessageBox>

namespace AppMessages {
namespace {
Hook& hookSlot()
{
    static Hook hook;
    return hook;
}
}

void SetHook(Hook hook)
{
    hookSlot() = std::move(hook);
}

void ShowMessage(QWidget* parent, Kind kind, const QString& text)
{
    if (const Hook& hook = hookSlot()) {
        hook(kind, text);
        return;
    }
    if (kind == Kind::Error)
        QMessageBox::critical(parent, QObject::tr("Error"), text, QMessageBox::Ok);
    else
        QMessageBox::information(parent, QObject::tr("Information"), text, QMessageBox::Ok);
}
}
