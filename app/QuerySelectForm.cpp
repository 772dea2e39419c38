#include "app/QuerySelectForm.h"

#include <QListWidget>
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

    setTabOrder(ListBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    ListBox1->setFocus();
}

void TFSelectQuery::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ListBox1->setGeometry(0, 0, width(), 233);   // docked to the top edge
}
