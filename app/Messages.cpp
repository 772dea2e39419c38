#include "app/Messages.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QStyle>

namespace AppMessages {
namespace {
Hook& hookSlot()
{
    static Hook hook;
    return hook;
}

QuestionHook& questionSlot()
{
    static QuestionHook hook;
    return hook;
}

// A short text makes a narrow box whose title bar cuts the title: widen the
// box to the title's real width.
void FitTitle(QMessageBox& box)
{
    const int titleWidth = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) +
                           box.style()->pixelMetric(QStyle::PM_TitleBarHeight) * 4;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
}
}

void SetQuestionHook(QuestionHook hook)
{
    questionSlot() = std::move(hook);
}

Answer Ask(QWidget* parent, const QString& text, bool withNo)
{
    if (const QuestionHook& hook = questionSlot())
        return hook(text);
    QMessageBox box(QMessageBox::Question, QObject::tr("Confirm"), text,
                    withNo ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                           : QMessageBox::Yes | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Cancel);
    FitTitle(box);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
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
    QMessageBox box(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::Information,
                    kind == Kind::Error ? QObject::tr("Error") : QObject::tr("Information"), text,
                    QMessageBox::Ok, parent);
    FitTitle(box);
    box.exec();
}
}
