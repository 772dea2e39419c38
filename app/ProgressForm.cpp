#include "app/ProgressForm.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/FormStyle.h"

TFProgress::TFProgress(QWidget* owner, const QString& text, bool cancellable)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), FCancellable(cancellable)
{
    setObjectName(QStringLiteral("FProgress"));
    setWindowTitle(tr("Working"));
    FormStyle::ApplyFormLook(this);
    setWindowModality(Qt::ApplicationModal);

    LText = new QLabel(text, this);
    LText->setObjectName(QStringLiteral("LText"));
    Bar = new QProgressBar(this);
    Bar->setObjectName(QStringLiteral("Bar"));
    Bar->setRange(0, 0);
    Bar->setTextVisible(false);
    BtnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Cancel"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    BtnCancel->setVisible(cancellable);
    connect(BtnCancel, &QPushButton::clicked, this, &TFProgress::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LText);
    layout->addWidget(Bar);
    layout->addWidget(BtnCancel, 0, Qt::AlignRight);
    setMinimumWidth(300);
}

void TFProgress::SetProgress(qint64 done, qint64 total)
{
    const QString count = QLocale().toString(done);
    if (total > 0) {
        Bar->setRange(0, 1000);
        Bar->setValue(int(qBound<qint64>(qint64(0), done * 1000 / total, qint64(1000))));
    }
    if (done > 0)
        Bar->setToolTip(tr("%1 rows").arg(count));
    Bar->setFormat(count);
    Bar->setTextVisible(done > 0 && total > 0);
}

void TFProgress::SetCancelling()
{
    BtnCancel->setEnabled(false);
    LText->setText(tr("Cancelling…"));
}

void TFProgress::reject()
{
    if (FCancellable && BtnCancel->isEnabled())
        emit CancelPressed();
}
