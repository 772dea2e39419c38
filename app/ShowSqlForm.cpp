#include "app/ShowSqlForm.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "app/FormStyle.h"
#include "core/Errors.h"
#include "dbaccess/IBQuery.h"
#include "designer/Larkspan.h"

namespace {
QString ValueText(const TParam& param)
{
    if (param.IsNull())
        return QStringLiteral("NULL");
    return param.Value().toString();
}
}

TFShowSQL::TFShowSQL(QWidget* owner, TLarkspan* designer) : QDialog(owner), FDesigner(designer)
{
    setObjectName(QStringLiteral("FShowSQL"));
    setWindowTitle(tr("SQL of the current design"));
    setModal(false);
    FormStyle::ApplyFormLook(this);
    resize(520, 320);

    MSQL = new QPlainTextEdit(this);
    MSQL->setObjectName(QStringLiteral("MSQL"));
    MSQL->setReadOnly(true);
    MSQL->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    MSQL->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FormStyle::ApplyEditLook(MSQL);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(MSQL);

    FScratch = new TIBQuery(this);
    FPending = new QTimer(this);
    FPending->setSingleShot(true);
    FPending->setInterval(0);
    connect(FPending, &QTimer::timeout, this, &TFShowSQL::Refresh);
}

void TFShowSQL::ScheduleRefresh()
{
    if (isVisible())
        FPending->start();
}

void TFShowSQL::SetSuspended(bool value)
{
    FSuspended = value;
    if (!value)
        ScheduleRefresh();
}

void TFShowSQL::Refresh()
{
    if (FSuspended)
        return;
    FPending->stop();
    QString text;
    try {
        if (!FDesigner || !FDesigner->BuildQuery(FScratch)) {
            text = tr("The design is empty: tick one or more fields to be in the query.");
        } else {
            // Lines as the server gets them; CR alone would not show as a break.
            text = FScratch->SQL().join(QLatin1Char('\n'));
            TParams& params = FScratch->Params();
            if (params.Count() > 0) {
                text += QStringLiteral("\n\n") + tr("Parameters:");
                for (int i = 0; i < params.Count(); ++i)
                    text += QStringLiteral("\n  :%1 = %2").arg(params[i].Name(), ValueText(params[i]));
            }
        }
    } catch (const ELarkspanError& e) {
        text = tr("The statement cannot be written: %1").arg(e.Message());
    } catch (const std::exception& e) {
        text = tr("The statement cannot be written: %1").arg(QString::fromUtf8(e.what()));
    }
    if (MSQL->toPlainText() != text)
        MSQL->setPlainText(text);
}
