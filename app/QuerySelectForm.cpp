#include "app/QuerySelectForm.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStyle>

#include "app/FormStyle.h"

TFSelectQuery::TFSelectQuery(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FSelectQuery"));
    setWindowTitle(tr("Select a query to load"));
    FormStyle::ApplyFormLook(this);
    resize(365, 272);
    move(399, 179);   // shown where it was laid out, not centred

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSortingEnabled(false);
    FormStyle::ApplyEditLook(ListBox1);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("Load"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(192, 240, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(280, 240, 75, 25);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListBox1->installEventFilter(this);
    connect(ListBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QListWidgetItem* item = ListBox1->itemAt(pos);
        if (!item)
            return;
        ListBox1->setCurrentItem(item);
        QMenu menu(this);
        menu.addAction(tr("&Delete"), this, [this, item] { emit DeleteRequested(item); })
            ->setShortcut(QKeySequence::Delete);
        menu.exec(ListBox1->viewport()->mapToGlobal(pos));
    });

    setTabOrder(ListBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    ListBox1->setFocus();
}

bool TFSelectQuery::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListBox1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete) && ListBox1->currentItem()) {
        emit DeleteRequested(ListBox1->currentItem());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFSelectQuery::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ListBox1->setGeometry(0, 0, width(), 233);   // docked to the top edge
}
