#pragma once
#include <QDialog>

#include "designer/LarkspanTypes.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QWidget;
class TZOVNumberEdit;

// The modal dialog through which one field's condition is entered: up to two
// comparisons joined by a link operator, or the request to clear it. One of
// four pages by data type: AsDate, AsInteger, AsString, AsFloat.
class TFFieldValue : public QDialog {
    Q_OBJECT
public:
    TFFieldValue(QWidget* owner, const QString& fieldDisplayName, TFieldType dataType);

    void SetValues(int strLength, TFieldBoolOperators mainBool, TFieldBoolOperators boolBetweenFields,
                   const TFieldValueExpression& lowValue, const TFieldValueExpression& highValue);
    void GetValues(TFieldBoolOperators& mainBool, TFieldBoolOperators& boolBetweenFields,
                   TFieldValueExpression& lowValue, TFieldValueExpression& highValue,
                   bool& clearValues);
    void FillOperators(QComboBox* box);
    void FillLinkOperators(QComboBox* box);

    TFieldType DataType() const { return FDataType; }

    // Why OK may not close the dialog yet: a comparison that will be used
    // (the first one, the second one when a link is chosen) holds a value
    // but no operator. Empty when OK is fine.
    QString MissingChoiceMessage() const;

    // Why a comparison in use (its operator chosen; the second one only when
    // a link is chosen) cannot become the field's condition as it stands: an
    // empty value, or a text the field's type cannot hold. The designer
    // would drop such a value, so OK refuses it. Empty when OK is fine.
    QString InvalidValueMessage() const;

public slots:
    // Closes with the OK result unless MissingChoiceMessage() or
    // InvalidValueMessage() objects; then the message is shown and the
    // dialog stays open.
    void accept() override;

public:

    // Controls, named as on the form (object names equal these).
    QLabel* MainLabel = nullptr;
    QStackedWidget* Notebook1 = nullptr;
    QCheckBox* CBClearValues = nullptr;
    QPushButton* BitBtn1 = nullptr;   // OK
    QPushButton* BitBtn2 = nullptr;   // Cancel
    QLabel *StringFieldName1 = nullptr, *StringFieldName2 = nullptr;
    QComboBox *StringOperator1 = nullptr, *StringOperator2 = nullptr, *StringBoolBetWeenFields = nullptr;
    QLineEdit *StringValue1 = nullptr, *StringValue2 = nullptr;
    QLabel *IntegerFieldName1 = nullptr, *IntegerFieldName2 = nullptr;
    QComboBox *IntegerOperator1 = nullptr, *IntegerOperator2 = nullptr, *IntegerBoolBetWeenFields = nullptr;
    QLineEdit *IntegerValue1 = nullptr, *IntegerValue2 = nullptr;
    QLabel *FloatFieldName1 = nullptr, *FloatFieldName2 = nullptr;
    QComboBox *FloatOperator1 = nullptr, *FloatOperator2 = nullptr, *FloatBoolBetweenFields = nullptr;
    TZOVNumberEdit *FloatValue1 = nullptr, *FloatValue2 = nullptr;
    QLabel *DateFieldName1 = nullptr, *DateFieldName2 = nullptr;
    QComboBox *DateOperator1 = nullptr, *DateOperator2 = nullptr, *DateBoolBetweenFields = nullptr;
    // Date pickers; for time and timestamp fields they show and answer the
    // time, or the date and the time, so that the field's value survives.
    QDateTimeEdit *DateValue1 = nullptr, *DateValue2 = nullptr;

private:
    // The page, link box, operator boxes and value controls of one data type.
    struct PageControls {
        QWidget* page = nullptr;
        QComboBox* link = nullptr;
        QComboBox* op[2] = {nullptr, nullptr};
        QLabel* label[2] = {nullptr, nullptr};
        QWidget* value[2] = {nullptr, nullptr};
    };
    void BuildForm();
    // One page with its labels, operator boxes and link box; the value
    // controls are added by the caller.
    PageControls BuildPage(const QString& name, const QString& prefix, const QString& linkName,
                           int operatorWidth, const QString& labelCaption1,
                           const QString& labelCaption2);
    // The controls of the page for FDataType; page is null for types
    // without a page.
    PageControls ChosenPage() const;
    // The pickers' display format for FDataType.
    QString PickerFormat() const;
    void PutValue(QWidget* control, const QString& text);
    QString ReadValue(const QWidget* control) const;
    bool HasValue(const QWidget* control) const;
    // The operator box whose comparison is missing its operator (0 first,
    // 1 second), or -1.
    int MissingChoice() const;
    // The first comparison in use whose value the field cannot take (0 or
    // 1, its reason in message), or -1.
    int InvalidValue(QString& message) const;

    TFieldType FDataType;
    QString FDisplayName;
    PageControls FStringPage, FIntegerPage, FFloatPage, FDatePage;
};
