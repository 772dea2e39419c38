#include "controls/FieldValueForm.h"
#include "controls/ZOVNumberEdit.h"
#include "core/Errors.h"
#include "core/UserLocale.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include "designer/DesignerTestFixture.h"

namespace {

class FieldValueForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserLocale l;
        l.DecimalSeparator = '.';
        l.ThousandSeparator = ',';
        l.ShortDateFormat = QStringLiteral("dd/MM/yyyy");
        l.LongTimeFormat = QStringLiteral("HH:mm:ss");
        UserLocale::SetCurrent(l);
    }

    static TFieldValueExpression Expr(bool present, int op, const QString& value)
    {
        TFieldValueExpression e;
        e.Present = present;
        e.Operator = quint8(op);
        e.Value = value;
        return e;
    }

    // The answers of GetValues, starting from recognisable sentinels.
    struct Answers {
        TFieldBoolOperators mainBool = 77;
        TFieldBoolOperators link = 99;
        TFieldValueExpression low = Expr(false, 42, "untouched-low");
        TFieldValueExpression high = Expr(true, 43, "untouched-high");
        bool clear = false;
    };
    static Answers Get(TFFieldValue& form)
    {
        Answers a;
        form.GetValues(a.mainBool, a.link, a.low, a.high, a.clear);
        return a;
    }

    static QStringList Items(QComboBox* box)
    {
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }
};

} // namespace

TEST_F(FieldValueForm, LayoutAndPagePerType)
{
    TFFieldValue form(nullptr, "Last name", ftString);
    EXPECT_EQ(form.windowTitle(), "Setting query values");
    EXPECT_EQ(form.size(), QSize(379, 195));
    EXPECT_EQ(form.MainLabel->text(), "Enter value for \"Last name\"");
    EXPECT_EQ(form.MainLabel->pos(), QPoint(8, 8));
    EXPECT_TRUE(form.MainLabel->font().bold());
    QStringList pages;
    for (int i = 0; i < form.Notebook1->count(); ++i)
        pages << form.Notebook1->widget(i)->objectName();
    EXPECT_EQ(pages, QStringList({"AsDate", "AsInteger", "AsString", "AsFloat"}));
    EXPECT_EQ(form.Notebook1->geometry(), QRect(0, 41, 379, 112));
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(209, 8, 75, 25));
    EXPECT_EQ(form.BitBtn2->geometry(), QRect(289, 8, 75, 25));
    EXPECT_TRUE(form.BitBtn1->isDefault());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowSystemMenuHint);

    // Every named control exists under its form name.
    for (const char* name :
         {"StringOperator1", "StringValue2", "StringBoolBetWeenFields", "IntegerBoolBetWeenFields",
          "FloatBoolBetweenFields", "DateBoolBetweenFields", "FloatValue1", "DateValue2",
          "IntegerFieldName2", "CBClearValues", "Panel1", "Panel2", "Shape1"})
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(form.StringOperator1->geometry(), QRect(112, 8, 129, 21));
    EXPECT_EQ(form.IntegerOperator2->geometry(), QRect(112, 80, 57, 21));
    EXPECT_EQ(form.StringValue1->geometry(), QRect(248, 8, 121, 21));
    EXPECT_EQ(form.FloatValue2->geometry(), QRect(176, 80, 81, 21));
    EXPECT_EQ(form.DateValue1->pos(), QPoint(200, 8));
    EXPECT_GE(form.DateValue1->width(), 81);
    EXPECT_GE(form.DateValue1->width(), form.DateValue1->sizeHint().width());
    EXPECT_EQ(form.DateBoolBetweenFields->geometry(), QRect(8, 40, 81, 21));

    // String page: eight operators, five link entries, no selections yet.
    EXPECT_EQ(form.Notebook1->currentWidget()->objectName(), "AsString");
    EXPECT_EQ(Items(form.StringOperator1),
              QStringList({"=", "<>", ">", "<", ">=", "<=", "CONTAINING", "STARTING WITH"}));
    EXPECT_EQ(form.StringOperator2->count(), 8);
    EXPECT_EQ(Items(form.StringBoolBetWeenFields),
              QStringList({"-", "AND", "OR", "AND NOT", "OR NOT"}));
    EXPECT_EQ(form.StringOperator1->currentIndex(), -1);
    EXPECT_EQ(form.StringBoolBetWeenFields->currentIndex(), -1);
    EXPECT_EQ(form.StringFieldName1->text(), "Last name");
    EXPECT_EQ(form.StringFieldName2->text(), "Last name");
    EXPECT_EQ(form.IntegerOperator1->count(), 0);   // other pages stay empty

    const struct {
        TFieldType type;
        const char* page;
        QComboBox* TFFieldValue::*op;
    } cases[] = {
        {ftSmallint, "AsInteger", &TFFieldValue::IntegerOperator1},
        {ftInteger, "AsInteger", &TFFieldValue::IntegerOperator1},
        {ftLargeint, "AsInteger", &TFFieldValue::IntegerOperator1},
        {ftFloat, "AsFloat", &TFFieldValue::FloatOperator1},
        {ftDate, "AsDate", &TFFieldValue::DateOperator1},
        {ftTime, "AsDate", &TFFieldValue::DateOperator1},
        {ftDateTime, "AsDate", &TFFieldValue::DateOperator1},
    };
    for (const auto& c : cases) {
        TFFieldValue f(nullptr, "F", c.type);
        EXPECT_EQ(f.Notebook1->currentWidget()->objectName(), c.page) << c.type;
        EXPECT_EQ(Items(f.*c.op), QStringList({"=", "<>", ">", "<", ">=", "<="})) << c.type;
    }

    TFFieldValue date(nullptr, "Hired", ftDate);
    EXPECT_EQ(date.DateValue1->date(), QDate(2001, 8, 10));
    EXPECT_TRUE(date.DateValue1->calendarPopup());
    EXPECT_EQ(date.DateValue1->displayFormat(), "dd/MM/yyyy");

    // Tab order among the page's controls (children of the controls, such
    // as a picker's inner edit, are skipped).
    auto order = [](QList<QWidget*> controls) {
        QList<QWidget*> seen;
        QWidget* w = controls.first();
        for (int guard = 0; guard < 200 && seen.size() < controls.size(); ++guard) {
            if (controls.contains(w) && !seen.contains(w))
                seen << w;
            w = w->nextInFocusChain();
        }
        return seen;
    };
    const QList<QWidget*> dateOrder = {date.DateOperator1, date.DateValue1,
                                       date.DateBoolBetweenFields, date.DateOperator2,
                                       date.DateValue2};
    EXPECT_EQ(order(dateOrder), dateOrder);
    const QList<QWidget*> stringOrder = {form.StringBoolBetWeenFields, form.StringOperator2,
                                         form.StringOperator1, form.StringValue1,
                                         form.StringValue2};
    EXPECT_EQ(order(stringOrder), stringOrder);

    // A type without a page: the string page, nothing filled, and the
    // field's name in place of the layout's placeholder captions.
    TFFieldValue blob(nullptr, "Notes", ftBlob);
    EXPECT_EQ(blob.Notebook1->currentWidget()->objectName(), "AsString");
    EXPECT_EQ(blob.StringOperator1->count(), 0);
    EXPECT_EQ(blob.StringBoolBetWeenFields->count(), 0);
    EXPECT_EQ(blob.StringFieldName1->text(), "Notes");
    EXPECT_EQ(blob.DateFieldName2->text(), "Notes");
}

TEST_F(FieldValueForm, StringAndIntegerRoundTrip)
{
    TFFieldValue form(nullptr, "Name", ftString);
    form.SetValues(10, 0, fboOr, Expr(true, 6, "abc"), Expr(true, 7, "xy"));
    EXPECT_EQ(form.StringValue1->maxLength(), 10);
    EXPECT_EQ(form.StringValue2->maxLength(), 10);
    EXPECT_EQ(form.StringOperator1->currentText(), "CONTAINING");
    EXPECT_EQ(form.StringBoolBetWeenFields->currentText(), "OR");
    Answers a = Get(form);
    EXPECT_EQ(a.mainBool, 77);   // never written
    EXPECT_EQ(a.link, fboOr);
    EXPECT_EQ(a.low.Operator, 6);
    EXPECT_EQ(a.low.Value, "abc");
    EXPECT_FALSE(a.low.Present);   // Present is not written
    EXPECT_EQ(a.high.Operator, 7);
    EXPECT_EQ(a.high.Value, "xy");
    EXPECT_FALSE(a.clear);

    // Link "-" and an operator box without a choice.
    form.StringBoolBetWeenFields->setCurrentIndex(0);
    form.StringOperator2->setCurrentIndex(-1);
    a = Get(form);
    EXPECT_EQ(a.link, 0);
    EXPECT_EQ(a.high.Operator, 255);

    // "Clear current values" answers that alone.
    form.CBClearValues->setChecked(true);
    a = Get(form);
    EXPECT_TRUE(a.clear);
    EXPECT_EQ(a.link, 99);
    EXPECT_EQ(a.low.Value, "untouched-low");
    EXPECT_EQ(a.high.Operator, 43);

    TFFieldValue none(nullptr, "Name", ftString);
    none.SetValues(0, 0, 0, Expr(false, 3, "ignored"), Expr(false, 0, {}));
    EXPECT_EQ(none.StringValue1->maxLength(), 32767);
    EXPECT_EQ(none.StringBoolBetWeenFields->currentText(), "-");
    EXPECT_EQ(none.StringOperator1->currentIndex(), -1);
    EXPECT_EQ(none.StringValue1->text(), "");

    TFFieldValue integer(nullptr, "Id", ftInteger);
    integer.SetValues(0, 0, fboAndNot, Expr(true, 4, "10"), Expr(true, 5, "20"));
    a = Get(integer);
    EXPECT_EQ(a.link, fboAndNot);
    EXPECT_EQ(a.low.Operator, 4);
    EXPECT_EQ(a.low.Value, "10");
    EXPECT_EQ(a.high.Operator, 5);
    EXPECT_EQ(a.high.Value, "20");
    // A stored string-only operator has no item on this page.
    integer.SetValues(0, 0, 0, Expr(true, 7, "1"), Expr(false, 0, {}));
    EXPECT_EQ(integer.IntegerOperator1->currentIndex(), -1);
}

TEST_F(FieldValueForm, FloatAndDateRoundTrip)
{
    TFFieldValue freshFloat(nullptr, "Salary", ftFloat);
    freshFloat.SetValues(0, 0, 0, Expr(false, 0, {}), Expr(false, 0, {}));
    EXPECT_EQ(freshFloat.FloatValue1->text(), "0");
    EXPECT_EQ(freshFloat.FloatValue2->text(), "0");

    TFFieldValue form(nullptr, "Salary", ftFloat);
    form.SetValues(0, 0, fboAnd, Expr(true, 4, "12.5"), Expr(true, 5, "99.75"));
    EXPECT_EQ(form.FloatValue1->text(), "12.5");
    // Entering and leaving the edit keeps the pre-filled bound.
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(form.FloatValue1, &in);
    QCoreApplication::sendEvent(form.FloatValue1, &out);
    EXPECT_EQ(form.FloatValue1->Value(), 12.5);
    Answers a = Get(form);
    EXPECT_EQ(a.link, fboAnd);
    EXPECT_EQ(a.low.Operator, 4);
    EXPECT_EQ(a.low.Value, "12.5");
    EXPECT_EQ(a.high.Value, "99.75");

    TFFieldValue date(nullptr, "Hired", ftDate);
    date.SetValues(0, 0, fboOr, Expr(true, 2, "24/12/2020"), Expr(true, 3, "01/02/1999 10:30:00"));
    EXPECT_EQ(date.DateValue1->date(), QDate(2020, 12, 24));
    EXPECT_EQ(date.DateValue2->date(), QDate(1999, 2, 1));
    a = Get(date);
    EXPECT_EQ(a.low.Value, "24/12/2020");
    EXPECT_EQ(a.high.Value, "01/02/1999");   // a date text, time dropped
    EXPECT_EQ(a.high.Operator, 3);

    // Time and timestamp fields open on the date page; their pickers keep
    // and answer the time, so a stored bound comes back unchanged.
    TFFieldValue time(nullptr, "Start", ftTime);
    time.SetValues(0, 0, 0, Expr(true, 1, "10:30:05"), Expr(false, 0, {}));
    EXPECT_EQ(time.Notebook1->currentWidget()->objectName(), "AsDate");
    EXPECT_EQ(time.DateValue1->time(), QTime(10, 30, 5));
    a = Get(time);
    EXPECT_EQ(a.low.Value, "10:30:05");
    EXPECT_EQ(a.high.Value, "00:00:00");
    EXPECT_EQ(a.link, 0);
    TFFieldValue stamp(nullptr, "Changed", ftDateTime);
    stamp.SetValues(0, 0, fboAnd, Expr(true, 4, "24/12/2020 10:30:00"), Expr(true, 5, "25/12/2020"));
    a = Get(stamp);
    EXPECT_EQ(a.low.Value, "24/12/2020 10:30:00");
    EXPECT_EQ(a.high.Value, "25/12/2020");   // midnight is left out
    EXPECT_EQ(a.low.Operator, 4);
    // A date field drops a time given with its date.
    TFFieldValue fresh(nullptr, "Hired", ftDate);
    fresh.SetValues(0, 0, 0, Expr(false, 0, {}), Expr(false, 0, {}));
    EXPECT_EQ(Get(fresh).low.Value, "10/08/2001");
    EXPECT_EQ(Get(fresh).link, 0);

    TFFieldValue bad(nullptr, "Hired", ftDate);
    EXPECT_THROW(bad.SetValues(0, 0, 0, Expr(true, 0, "not a date"), Expr(false, 0, {})),
                 EConvertError);
    TFFieldValue badTime(nullptr, "Start", ftTime);
    EXPECT_THROW(badTime.SetValues(0, 0, 0, Expr(true, 0, "25:99"), Expr(false, 0, {})),
                 EConvertError);

    // No page: nothing is filled and nothing but ClearValues comes back.
    TFFieldValue blob(nullptr, "Notes", ftBlob);
    blob.SetValues(5, 0, fboAnd, Expr(true, 1, "x"), Expr(true, 1, "y"));
    EXPECT_EQ(blob.StringValue1->text(), "");
    EXPECT_EQ(blob.StringValue1->maxLength(), 32767);
    a = Get(blob);
    EXPECT_EQ(a.link, 99);
    EXPECT_EQ(a.low.Value, "untouched-low");
    EXPECT_FALSE(a.clear);
    blob.CBClearValues->setChecked(true);
    EXPECT_TRUE(Get(blob).clear);
}

TEST_F(FieldValueForm, OperatorMustBeChosenForAUsedComparison)
{
    TFFieldValue form(nullptr, "Last name", ftString);
    form.SetValues(0, 0, 0, Expr(false, 0, {}), Expr(false, 0, {}));
    EXPECT_EQ(form.MissingChoiceMessage(), "");   // nothing entered
    form.StringValue1->setText("Smith");
    EXPECT_EQ(form.MissingChoiceMessage(),
              "Choose a comparison operator for the first value of \"Last name\".");
    form.StringOperator1->setCurrentIndex(0);
    EXPECT_EQ(form.MissingChoiceMessage(), "");
    // The second comparison counts only when a link joins it.
    form.StringValue2->setText("Z");
    EXPECT_EQ(form.MissingChoiceMessage(), "");
    form.StringBoolBetWeenFields->setCurrentIndex(fboAnd);
    EXPECT_EQ(form.MissingChoiceMessage(),
              "Choose a comparison operator for the second value of \"Last name\".");
    form.CBClearValues->setChecked(true);
    EXPECT_EQ(form.MissingChoiceMessage(), "");

    // The number edit and the date picker always hold a value.
    TFFieldValue salary(nullptr, "Salary", ftFloat);
    salary.SetValues(0, 0, 0, Expr(false, 0, {}), Expr(false, 0, {}));
    EXPECT_FALSE(salary.MissingChoiceMessage().isEmpty());
    TFFieldValue blob(nullptr, "Notes", ftBlob);
    EXPECT_EQ(blob.MissingChoiceMessage(), "");

    // OK with a missing choice warns and keeps the dialog open.
    int boxesClosed = 0;
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                EXPECT_TRUE(box->text().contains("Salary"));
                ++boxesClosed;
                box->close();
            }
    });
    closer.start();
    salary.show();
    salary.BitBtn1->click();
    EXPECT_EQ(boxesClosed, 1);
    EXPECT_TRUE(salary.isVisible());
    EXPECT_EQ(salary.result(), QDialog::Rejected);

    salary.FloatOperator1->setCurrentIndex(2);
    salary.BitBtn1->click();
    closer.stop();
    EXPECT_EQ(boxesClosed, 1);
    EXPECT_FALSE(salary.isVisible());
    EXPECT_EQ(salary.result(), QDialog::Accepted);
}

namespace {

// Closes every message box that shows up and keeps its text.
struct MessageBoxCloser {
    QStringList texts;
    QTimer timer;
    MessageBoxCloser()
    {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    texts << box->text();
                    box->close();
                }
        });
        timer.start();
    }
};

} // namespace

// A value the field cannot hold keeps the dialog open with a message that
// names the field: the designer would otherwise drop the condition.
TEST_F(FieldValueForm, ValuesTheFieldCannotHoldAreRefused)
{
    struct Case {
        TFieldType type;
        const char* text;
        const char* message;   // empty: accepted
    };
    const Case cases[] = {
        {ftLargeint, "42742.50", "'42742.50' is not a whole number from -9223372036854775808 to "
                                 "9223372036854775807, which is what \"Salary\" takes."},
        {ftLargeint, "-9223372036854775808", ""},
        {ftLargeint, "9223372036854775808", "'9223372036854775808' is not a whole number from "
                                            "-9223372036854775808 to 9223372036854775807, which "
                                            "is what \"Salary\" takes."},
        {ftInteger, "2147483648", "'2147483648' is not a whole number from -2147483648 to "
                                  "2147483647, which is what \"Salary\" takes."},
        {ftInteger, " 42 ", ""},
        {ftSmallint, "70000", "'70000' is not a whole number from -32768 to 32767, which is what "
                              "\"Salary\" takes."},
        {ftSmallint, "-32768", ""},
        {ftInteger, "", "Enter the first value of \"Salary\"."},
        {ftFloat, "", "Enter the first value of \"Salary\"."},
        {ftFloat, "--5", "'--5' is not a valid number for \"Salary\"."},
        {ftFloat, "1.5E-6", ""},
        {ftFloat, "42742.50", ""},
        {ftString, "", "Enter the first value of \"Salary\"."},
        {ftString, "x", ""},
    };
    for (const Case& c : cases) {
        TFFieldValue form(nullptr, "Salary", c.type);
        form.SetValues(0, 0, 0, Expr(true, 2, "1"), Expr(false, 0, {}));
        QLineEdit* value = c.type == ftFloat    ? form.FloatValue1
                           : c.type == ftString ? form.StringValue1
                                                : form.IntegerValue1;
        value->setText(c.text);
        EXPECT_EQ(form.InvalidValueMessage(), c.message) << c.text;
    }

    // Strings: the value block holds 255 characters.
    TFFieldValue name(nullptr, "Last name", ftString);
    name.SetValues(0, 0, 0, Expr(true, 0, "a"), Expr(false, 0, {}));
    name.StringValue1->setText(QString(255, 'n'));
    EXPECT_EQ(name.InvalidValueMessage(), "");
    name.StringValue1->setText(QString(256, 'n'));
    EXPECT_EQ(name.InvalidValueMessage(),
              "The value of \"Last name\" is longer than 255 characters.");

    // The second comparison counts only with a link; "Clear current values"
    // needs no value at all.
    TFFieldValue two(nullptr, "Salary", ftLargeint);
    two.SetValues(0, 0, 0, Expr(true, 2, "1"), Expr(true, 3, "x"));
    EXPECT_EQ(two.InvalidValueMessage(), "");
    two.IntegerBoolBetWeenFields->setCurrentIndex(fboOr);
    EXPECT_EQ(two.InvalidValueMessage(),
              "'x' is not a whole number from -9223372036854775808 to 9223372036854775807, which "
              "is what \"Salary\" takes.");
    two.IntegerValue1->clear();
    EXPECT_EQ(two.InvalidValueMessage(), "Enter the first value of \"Salary\".");
    two.CBClearValues->setChecked(true);
    EXPECT_EQ(two.InvalidValueMessage(), "");

    // OK warns, keeps the dialog open and puts the focus on the value.
    TFFieldValue salary(nullptr, "Salary", ftLargeint);
    salary.SetValues(0, 0, 0, Expr(true, 2, "42742"), Expr(false, 0, {}));
    salary.IntegerValue1->setText("42742.50");
    {
        MessageBoxCloser closer;
        salary.show();
        salary.BitBtn1->click();
        EXPECT_EQ(closer.texts, QStringList{salary.InvalidValueMessage()});
        EXPECT_TRUE(salary.isVisible());
        EXPECT_EQ(salary.result(), QDialog::Rejected);
        salary.IntegerValue1->setText("42743");
        salary.BitBtn1->click();
        EXPECT_EQ(closer.texts.size(), 1);
        EXPECT_EQ(salary.result(), QDialog::Accepted);
    }
}

// In dialect 1 a float field's number edit emptied after its conversion
// error went back as an empty value and the condition was dropped.
TEST_F(FieldValueForm, EmptiedNumberEditKeepsTheDialogOpen)
{
    TFFieldValue form(nullptr, "Salary", ftFloat);
    form.SetValues(0, 0, 0, Expr(true, 4, "42742.5"), Expr(false, 0, {}));
    form.show();
    MessageBoxCloser closer;
    form.FloatValue1->setFocus();
    QApplication::processEvents();
    form.FloatValue1->clear();
    form.BitBtn1->setFocus();   // leaving the edit: its conversion error
    QApplication::processEvents();
    form.BitBtn1->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    ASSERT_FALSE(closer.texts.isEmpty());
    EXPECT_EQ(closer.texts.last(), "Enter the first value of \"Salary\".");
    // Entering the edit again shows the number it kept.
    QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(form.FloatValue1, &in);
    EXPECT_EQ(form.FloatValue1->text(), "42742.5");
}

// The dialect 3 sample's SALARY, a NUMERIC(15,2), reaches the dialog as a
// whole-number field: a fraction typed there is refused, and the field's
// condition stays as it was instead of disappearing.
TEST_F(FieldValueForm, ScaledNumericConditionIsNotDroppedThroughTheDesigner)
{
    DesignerTestFixture f(TestServer::employeeDialect3());
    TLKTable* root = f.Table("EMPLOYEE");
    ASSERT_NE(root, nullptr);
    f.Select(root);
    f.Enter("SALARY", DesignerTestFixture::Answer(2, "40000"));
    TLKField* salary = f.Field(root, "SALARY");
    ASSERT_NE(salary, nullptr);
    const QString condition = salary->ConditionText;
    ASSERT_FALSE(condition.isEmpty());

    bool shown = false;
    f.Enter("SALARY", [&](QObject*, const QString&, const QString&, const QString& display,
                          TFieldType type, int length, TFieldBoolOperators& mainBool,
                          TFieldBoolOperators& between, TFieldValueExpression& low,
                          TFieldValueExpression& high, bool& clear) {
        TFFieldValue form(nullptr, display, type);
        form.SetValues(length, mainBool, between, low, high);
        EXPECT_EQ(form.Notebook1->currentWidget()->objectName(), "AsInteger");
        EXPECT_EQ(form.IntegerValue1->text(), "40000");
        form.IntegerValue1->setText("42742.50");
        MessageBoxCloser closer;
        form.show();
        form.BitBtn1->click();
        shown = true;
        ASSERT_EQ(closer.texts.size(), 1);
        EXPECT_TRUE(closer.texts[0].contains("42742.50"));
        EXPECT_TRUE(closer.texts[0].contains("\"" + display + "\""));
        if (form.result() == QDialog::Accepted)
            form.GetValues(mainBool, between, low, high, clear);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(salary->ConditionText, condition);
    EXPECT_EQ(salary->LowValue.Present, 1);
}
