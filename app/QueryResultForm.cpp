#include "app/QueryResultForm.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

#include "app/FormStyle.h"
#include "app/ResultTableModel.h"

TFQueryResult::TFQueryResult(QWidget* owner, TIBQuery* dataSet) : QDialog(owner)
{
    setObjectName(QStringLiteral("FQueryResult"));
    setWindowTitle(QStringLiteral("FQueryResult"));
    FormStyle::ApplyFormLook(this);
    resize(482, 455);

    DataSource1 = new ResultTableModel(dataSet, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(DataSource1);
    DBGrid1->setFrameShape(QFrame::NoFrame);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setShowGrid(true);
    DBGrid1->setTabKeyNavigation(true);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    FormStyle::ApplyEditLook(DBGrid1);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), tr("&Close"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(200, 424, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TFQueryResult::showEvent(QShowEvent* event)
{
    DataSource1->Refresh();
    QDialog::showEvent(event);
}

void TFQueryResult::hideEvent(QHideEvent* event)
{
    DataSource1->Detach();
    QDialog::hideEvent(event);
}

void TFQueryResult::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    DBGrid1->setGeometry(0, 0, width(), 417);   // docked to the top edge
}
