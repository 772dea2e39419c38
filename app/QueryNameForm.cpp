#include "app/QueryNameForm.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "app/FormStyle.h"

TFQueryName::TFQueryName(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FQueryName"));
    setWindowTitle(tr("Enter the name of the query"));
    FormStyle::ApplyFormLook(this);
    resize(360, 81);

    EQueryName = new QLineEdit(this);
    EQueryName->setObjectName(QStringLiteral("EQueryName"));
    EQueryName->setGeometry(8, 16, 345, 21);
    EQueryName->setMaxLength(255);
    FormStyle::ApplyEditLook(EQueryName);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(192, 48, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(280, 48, 75, 25);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(EQueryName, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    EQueryName->setFocus();
}
