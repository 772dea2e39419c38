#include "controls/FieldValueForm.h"

#include "controls/ZOVNumberEdit.h"
#include "core/CodePage.h"
#include "core/Errors.h"
#include "core/ExceptionHandler.h"
#include "core/UserLocale.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QColor TitleColour(144, 176, 192);
const QColor FaceColour(207, 200, 191);
const QColor CreamColour(255, 255, 239);

constexpr int ClientWidth = 379;
constexpr int TitleHeight = 41;
constexpr int PagesHeight = 112;
constexpr int ButtonsHeight = 42;
constexpr int BoxHeight = 21;
const QDate StoredDate(2001, 8, 10);
// Room for a string value in a field's value block (a length byte and the
// characters in the single-byte code page).
constexpr int MaxConditionText = 255;

QString Tr(const char* text)
{
    return QCoreApplication::translate("TFFieldValue", text);
}

void Fill(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// Boxes and value controls share one cream background.
void Cream(QWidget* w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, CreamColour);
    p.setColor(QPalette::Button, CreamColour);
    w->setPalette(p);
}

QComboBox* MakeBox(QWidget* page, const QString& name, int left, int top, int width)
{
    auto* box = new QComboBox(page);
    box->setObjectName(name);
    box->setEditable(false);
    box->setGeometry(left, top, width, BoxHeight);
    Cream(box);
    return box;
}

QLabel* MakeLabel(QWidget* page, const QString& name, const QString& caption, int top)
{
    auto* label = new QLabel(caption, page);
    label->setObjectName(name);
    label->move(8, top);
    label->adjustSize();
    return label;
}

void SetIndex(QComboBox* box, int index)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

} // namespace

TFFieldValue::TFFieldValue(QWidget* owner, const QString& fieldDisplayName, TFieldType dataType)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , FDataType(dataType)
    , FDisplayName(fieldDisplayName)
{
    BuildForm();

    // The stored caption names the field between the double quotes.
    QString caption = MainLabel->text();
    if (const qsizetype at = caption.indexOf(QLatin1String("%s")); at >= 0)
        caption.replace(at, 2, fieldDisplayName);
    MainLabel->setText(caption);
    MainLabel->adjustSize();

    const PageControls chosen = ChosenPage();
    if (!chosen.page) {
        // A type without a page of its own (a BLOB): the field's name in
        // place of the pages' layout captions.
        for (QLabel* label : Notebook1->findChildren<QLabel*>()) {
            label->setText(fieldDisplayName);
            label->adjustSize();
        }
        return;
    }
    Notebook1->setCurrentWidget(chosen.page);
    FillLinkOperators(chosen.link);
    FillOperators(chosen.op[0]);
    FillOperators(chosen.op[1]);
    for (QLabel* label : chosen.label) {
        label->setText(fieldDisplayName);
        label->adjustSize();
    }
}

void TFFieldValue::BuildForm()
{
    setObjectName(QStringLiteral("FFieldValue"));
    setWindowTitle(Tr("Setting query values"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(ClientWidth, TitleHeight + PagesHeight + ButtonsHeight);
    {
        QPalette p = palette();
        p.setColor(QPalette::Window, p.color(QPalette::Button));
        setPalette(p);
    }

    // Title band.
    auto* panel2 = new QFrame(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setGeometry(0, 0, ClientWidth, TitleHeight);
    Fill(panel2, TitleColour);
    MainLabel = new QLabel(Tr("Enter value for \"%s\""), panel2);
    MainLabel->setObjectName(QStringLiteral("MainLabel"));
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSize(12);
    MainLabel->setFont(titleFont);
    {
        QPalette p = MainLabel->palette();
        p.setColor(QPalette::WindowText, CreamColour);
        MainLabel->setPalette(p);
    }
    MainLabel->move(8, 8);
    MainLabel->adjustSize();
    auto* shape1 = new QFrame(panel2);
    shape1->setObjectName(QStringLiteral("Shape1"));
    shape1->setGeometry(0, TitleHeight - 3, ClientWidth, 3);
    Fill(shape1, CreamColour);

    // Pages band.
    Notebook1 = new QStackedWidget(this);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    Notebook1->setGeometry(0, TitleHeight, ClientWidth, PagesHeight);
    Fill(Notebook1, FaceColour);

    FDatePage = BuildPage(QStringLiteral("AsDate"), QStringLiteral("Date"),
                          QStringLiteral("DateBoolBetweenFields"), 57,
                          QStringLiteral("DateFieldName1"), QStringLiteral("DateFieldName2"));
    FIntegerPage = BuildPage(QStringLiteral("AsInteger"), QStringLiteral("Integer"),
                             QStringLiteral("IntegerBoolBetWeenFields"), 57,
                             QStringLiteral("Label1"), QStringLiteral("Label2"));
    FStringPage = BuildPage(QStringLiteral("AsString"), QStringLiteral("String"),
                            QStringLiteral("StringBoolBetWeenFields"), 129,
                            QStringLiteral("Label1"), QStringLiteral("Label2"));
    FFloatPage = BuildPage(QStringLiteral("AsFloat"), QStringLiteral("Float"),
                           QStringLiteral("FloatBoolBetweenFields"), 57,
                           QStringLiteral("Label1"), QStringLiteral("Label2"));

    const int tops[2] = {8, 80};
    QLineEdit* stringValues[2];
    QLineEdit* integerValues[2];
    TZOVNumberEdit* floatValues[2];
    QDateTimeEdit* dateValues[2];
    for (int i = 0; i < 2; ++i) {
        const QString n = QString::number(i + 1);

        auto* s = new QLineEdit(FStringPage.page);
        s->setObjectName(QStringLiteral("StringValue") + n);
        s->setGeometry(248, tops[i], 121, BoxHeight);
        stringValues[i] = s;

        auto* in = new QLineEdit(FIntegerPage.page);
        in->setObjectName(QStringLiteral("IntegerValue") + n);
        in->setGeometry(176, tops[i], 81, BoxHeight);
        integerValues[i] = in;

        auto* f = new TZOVNumberEdit(FFloatPage.page);
        f->setObjectName(QStringLiteral("FloatValue") + n);
        f->setGeometry(176, tops[i], 81, BoxHeight);
        floatValues[i] = f;

        auto* d = new QDateTimeEdit(FDatePage.page);
        d->setObjectName(QStringLiteral("DateValue") + n);
        d->setGeometry(200, tops[i], 81, BoxHeight);
        d->setCalendarPopup(true);
        d->setDisplayFormat(PickerFormat());
        // Day counts have no time zone; neither have the pickers.
        d->setTimeSpec(Qt::UTC);
        d->setMinimumDate(QDate(100, 1, 1));
        d->setDateTime(QDateTime(StoredDate, QTime(0, 0), Qt::UTC));
        // The substitute for the form's font is wider than the original:
        // widen the picker rather than cut off the year.
        d->resize(std::clamp(d->sizeHint().width(), 81, 160), BoxHeight);
        dateValues[i] = d;

        for (QWidget* w : {static_cast<QWidget*>(s), static_cast<QWidget*>(in),
                           static_cast<QWidget*>(f), static_cast<QWidget*>(d)})
            Cream(w);
        FStringPage.value[i] = s;
        FIntegerPage.value[i] = in;
        FFloatPage.value[i] = f;
        FDatePage.value[i] = d;
    }

    StringFieldName1 = FStringPage.label[0];
    StringFieldName2 = FStringPage.label[1];
    StringOperator1 = FStringPage.op[0];
    StringOperator2 = FStringPage.op[1];
    StringBoolBetWeenFields = FStringPage.link;
    StringValue1 = stringValues[0];
    StringValue2 = stringValues[1];
    IntegerFieldName1 = FIntegerPage.label[0];
    IntegerFieldName2 = FIntegerPage.label[1];
    IntegerOperator1 = FIntegerPage.op[0];
    IntegerOperator2 = FIntegerPage.op[1];
    IntegerBoolBetWeenFields = FIntegerPage.link;
    IntegerValue1 = integerValues[0];
    IntegerValue2 = integerValues[1];
    FloatFieldName1 = FFloatPage.label[0];
    FloatFieldName2 = FFloatPage.label[1];
    FloatOperator1 = FFloatPage.op[0];
    FloatOperator2 = FFloatPage.op[1];
    FloatBoolBetweenFields = FFloatPage.link;
    FloatValue1 = floatValues[0];
    FloatValue2 = floatValues[1];
    DateFieldName1 = FDatePage.label[0];
    DateFieldName2 = FDatePage.label[1];
    DateOperator1 = FDatePage.op[0];
    DateOperator2 = FDatePage.op[1];
    DateBoolBetweenFields = FDatePage.link;
    DateValue1 = dateValues[0];
    DateValue2 = dateValues[1];

    Notebook1->setCurrentWidget(FStringPage.page);

    // Button band.
    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setGeometry(0, TitleHeight + PagesHeight, ClientWidth, ButtonsHeight);
    Fill(panel1, FaceColour);
    CBClearValues = new QCheckBox(Tr("Clear current values"), panel1);
    CBClearValues->setObjectName(QStringLiteral("CBClearValues"));
    CBClearValues->setGeometry(8, 8, std::clamp(CBClearValues->sizeHint().width(), 121, 195), 17);
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), Tr("OK"), panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(209, 8, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn1->setAutoDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TFFieldValue::accept);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), Tr("Cancel"),
                              panel1);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(289, 8, 75, 25);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &TFFieldValue::reject);

    // Tab order: on the date page the comparisons in reading order; on the
    // others the link box first. Hidden pages drop out of the chain.
    QList<QWidget*> chain;
    chain << FDatePage.op[0] << FDatePage.value[0] << FDatePage.link << FDatePage.op[1]
          << FDatePage.value[1];
    for (const PageControls* p : {&FIntegerPage, &FStringPage, &FFloatPage})
        chain << p->link << p->op[1] << p->op[0] << p->value[0] << p->value[1];
    chain << CBClearValues << BitBtn1 << BitBtn2;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

TFFieldValue::PageControls TFFieldValue::BuildPage(const QString& name, const QString& prefix,
                                                   const QString& linkName, int operatorWidth,
                                                   const QString& labelCaption1,
                                                   const QString& labelCaption2)
{
    PageControls c;
    c.page = new QWidget(Notebook1);
    c.page->setObjectName(name);
    Notebook1->addWidget(c.page);
    c.label[0] = MakeLabel(c.page, prefix + QStringLiteral("FieldName1"), labelCaption1, 8);
    c.label[1] = MakeLabel(c.page, prefix + QStringLiteral("FieldName2"), labelCaption2, 80);
    c.op[0] = MakeBox(c.page, prefix + QStringLiteral("Operator1"), 112, 8, operatorWidth);
    c.link = MakeBox(c.page, linkName, 8, 40, 81);
    c.op[1] = MakeBox(c.page, prefix + QStringLiteral("Operator2"), 112, 80, operatorWidth);
    return c;
}

TFFieldValue::PageControls TFFieldValue::ChosenPage() const
{
    switch (FDataType) {
    case ftString:
        return FStringPage;
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
        return FIntegerPage;
    case ftFloat:
        return FFloatPage;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return FDatePage;
    default:
        return {};
    }
}

void TFFieldValue::FillOperators(QComboBox* box)
{
    box->clear();
    const int count = FDataType == ftString ? 8 : 6;
    for (int i = 0; i < count; ++i)
        box->addItem(QString::fromLatin1(CompareOperators[i]));
    box->setCurrentIndex(-1);   // the item index is the operator; none yet
}

void TFFieldValue::FillLinkOperators(QComboBox* box)
{
    box->clear();
    box->addItem(QStringLiteral("-"));
    for (int i = 1; i <= 4; ++i)
        box->addItem(QString::fromLatin1(LinkOperators[i]));
    box->setCurrentIndex(-1);
}

QString TFFieldValue::PickerFormat() const
{
    const UserLocale& loc = UserLocale::Current();
    switch (FDataType) {
    case ftTime:
        return loc.LongTimeFormat;
    case ftDateTime:
        return loc.ShortDateFormat + QLatin1Char(' ') + loc.LongTimeFormat;
    default:
        return loc.ShortDateFormat;
    }
}

void TFFieldValue::PutValue(QWidget* control, const QString& text)
{
    if (auto* picker = qobject_cast<QDateTimeEdit*>(control)) {
        const UserLocale& loc = UserLocale::Current();
        std::optional<double> value;
        if (FDataType == ftTime)
            value = loc.StrToTime(text);
        if (!value)
            value = loc.StrToDateTime(text);
        const QDateTime dateTime = value ? DateTimeValue::ToDateTime(*value) : QDateTime();
        if (!dateTime.isValid()) {
            throw EConvertError(FDataType == ftTime
                                    ? Tr("'%1' is not a valid time").arg(text)
                                    : Tr("'%1' is not a valid date and time").arg(text));
        }
        picker->setDateTime(dateTime);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        // The number edit shows the text as it is and takes it as its number
        // when it is entered.
        edit->setText(text);
    }
}

QString TFFieldValue::ReadValue(const QWidget* control) const
{
    if (auto* picker = qobject_cast<const QDateTimeEdit*>(control)) {
        const UserLocale& loc = UserLocale::Current();
        const double value = DateTimeValue::FromDateTime(picker->dateTime());
        switch (FDataType) {
        case ftTime:
            return loc.TimeToStr(value);
        case ftDateTime:
            return loc.DateTimeToStr(value);
        default:
            return loc.DateToStr(value);
        }
    }
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    return {};
}

bool TFFieldValue::HasValue(const QWidget* control) const
{
    if (qobject_cast<const QDateTimeEdit*>(control))
        return true;   // a date picker always holds a date
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return !edit->text().trimmed().isEmpty();
    return false;
}

void TFFieldValue::SetValues(int strLength, TFieldBoolOperators /*mainBool*/,
                             TFieldBoolOperators boolBetweenFields,
                             const TFieldValueExpression& lowValue,
                             const TFieldValueExpression& highValue)
{
    const PageControls chosen = ChosenPage();
    if (!chosen.page)
        return;
    if (chosen.page == FStringPage.page) {
        const int limit = strLength > 0 ? strLength : 32767;   // 0: no limit
        StringValue1->setMaxLength(limit);
        StringValue2->setMaxLength(limit);
    }
    SetIndex(chosen.link, boolBetweenFields);
    const TFieldValueExpression* records[2] = {&lowValue, &highValue};
    for (int i = 0; i < 2; ++i) {
        if (!records[i]->Present)
            continue;
        SetIndex(chosen.op[i], records[i]->Operator);
        PutValue(chosen.value[i], records[i]->Value);
    }
}

void TFFieldValue::GetValues(TFieldBoolOperators& /*mainBool*/,
                             TFieldBoolOperators& boolBetweenFields,
                             TFieldValueExpression& lowValue, TFieldValueExpression& highValue,
                             bool& clearValues)
{
    if (CBClearValues->isChecked()) {
        clearValues = true;
        return;
    }
    const PageControls chosen = ChosenPage();
    if (!chosen.page)
        return;
    // No selection is -1, which the one-byte fields hold as 255.
    boolBetweenFields = TFieldBoolOperators(chosen.link->currentIndex());
    TFieldValueExpression* records[2] = {&lowValue, &highValue};
    for (int i = 0; i < 2; ++i) {
        records[i]->Operator = quint8(chosen.op[i]->currentIndex());
        records[i]->Value = ReadValue(chosen.value[i]);
    }
}

int TFFieldValue::MissingChoice() const
{
    if (CBClearValues->isChecked())
        return -1;
    const PageControls chosen = ChosenPage();
    if (!chosen.page)
        return -1;
    for (int i = 0; i < 2; ++i) {
        // The second comparison counts only when a link joins it.
        if (i == 1 && chosen.link->currentIndex() == 0)
            break;
        if (chosen.op[i]->currentIndex() < 0 && HasValue(chosen.value[i]))
            return i;
    }
    return -1;
}

QString TFFieldValue::MissingChoiceMessage() const
{
    const int missing = MissingChoice();
    if (missing < 0)
        return {};
    const QString text = missing == 0
                             ? Tr("Choose a comparison operator for the first value of \"%1\".")
                             : Tr("Choose a comparison operator for the second value of \"%1\".");
    return text.arg(FDisplayName);
}

int TFFieldValue::InvalidValue(QString& message) const
{
    if (CBClearValues->isChecked())
        return -1;
    const PageControls chosen = ChosenPage();
    if (!chosen.page || chosen.page == FDatePage.page)
        return -1;   // a date picker always holds a valid date
    const UserLocale& loc = UserLocale::Current();
    for (int i = 0; i < 2; ++i) {
        if (i == 1 && chosen.link->currentIndex() <= 0)
            break;
        if (chosen.op[i]->currentIndex() < 0)
            continue;   // not in use, or reported as a missing operator
        const QString text = ReadValue(chosen.value[i]);
        if (text.trimmed().isEmpty()) {
            message = (i == 0 ? Tr("Enter the first value of \"%1\".")
                              : Tr("Enter the second value of \"%1\"."))
                          .arg(FDisplayName);
            return i;
        }
        if (chosen.page == FStringPage.page) {
            if (CodePage::ToAnsi(text).size() > MaxConditionText) {
                message = Tr("The value of \"%1\" is longer than %2 characters.")
                              .arg(FDisplayName)
                              .arg(MaxConditionText);
                return i;
            }
        } else if (chosen.page == FIntegerPage.page) {
            // The ranges of the field's integer kinds; a fraction has no
            // place in any of them.
            qint64 low = std::numeric_limits<qint64>::min();
            qint64 high = std::numeric_limits<qint64>::max();
            if (FDataType == ftSmallint) {
                low = std::numeric_limits<qint16>::min();
                high = std::numeric_limits<qint16>::max();
            } else if (FDataType == ftInteger) {
                low = std::numeric_limits<qint32>::min();
                high = std::numeric_limits<qint32>::max();
            }
            const std::optional<qint64> v = loc.StrToInt64(text);
            if (!v || *v < low || *v > high) {
                message = Tr("'%1' is not a whole number from %2 to %3, which is what \"%4\" "
                             "takes.")
                              .arg(text)
                              .arg(low)
                              .arg(high)
                              .arg(FDisplayName);
                return i;
            }
        } else if (chosen.page == FFloatPage.page) {
            if (!loc.StrToFloat(text)) {
                message = Tr("'%1' is not a valid number for \"%2\".").arg(text, FDisplayName);
                return i;
            }
        }
    }
    return -1;
}

QString TFFieldValue::InvalidValueMessage() const
{
    QString message;
    InvalidValue(message);
    return message;
}

void TFFieldValue::accept()
{
    Guarded([&] {
        const PageControls chosen = ChosenPage();
        if (const int missing = MissingChoice(); missing >= 0) {
            QMessageBox::warning(this, windowTitle(), MissingChoiceMessage());
            if (QComboBox* box = chosen.op[missing])
                box->setFocus(Qt::OtherFocusReason);
            return;
        }
        QString message;
        if (const int invalid = InvalidValue(message); invalid >= 0) {
            QMessageBox::warning(this, windowTitle(), message);
            if (QWidget* value = chosen.value[invalid])
                value->setFocus(Qt::OtherFocusReason);
            return;
        }
        QDialog::accept();
    });
}
