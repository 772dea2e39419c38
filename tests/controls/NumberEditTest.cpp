#include "controls/ZOVNumberEdit.h"
#include "core/Errors.h"
#include "core/ExceptionHandler.h"
#include "core/UserLocale.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

UserLocale EnglishLocale()
{
    UserLocale l;
    l.DecimalSeparator = '.';
    l.ThousandSeparator = ',';
    l.ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    return l;
}

UserLocale GermanLocale()
{
    UserLocale l = EnglishLocale();
    l.DecimalSeparator = ',';
    l.ThousandSeparator = '.';
    return l;
}

class NumberEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserLocale::SetCurrent(EnglishLocale());
        SetExceptionHandler([this](const std::exception& e) {
            if (auto* le = dynamic_cast<const ELarkspanError*>(&e))
                messages << le->Message();
            else
                messages << QString::fromUtf8(e.what());
        });
    }
    void TearDown() override
    {
        SetExceptionHandler({});
        UserLocale::SetCurrent(EnglishLocale());
    }

    static void FocusIn(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason)
    {
        QFocusEvent e(QEvent::FocusIn, reason);
        QCoreApplication::sendEvent(w, &e);
    }
    static void FocusOut(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason)
    {
        QFocusEvent e(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(w, &e);
    }
    // Sends a key press; returns whether the control accepted (handled) it.
    static bool Key(QWidget* w, int key, const QString& text = {},
                    Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent e(QEvent::KeyPress, key, mods, text);
        e.setAccepted(false);
        QCoreApplication::sendEvent(w, &e);
        return e.isAccepted();
    }
    static void Type(QWidget* w, const QString& chars)
    {
        for (QChar c : chars)
            Key(w, c.isDigit() ? Qt::Key_0 + c.digitValue() : int(c.toUpper().unicode()), QString(c));
    }

    QStringList messages;
};

} // namespace

TEST(FormatFloatPicture, DigitsGroupingAndRounding)
{
    UserLocale::SetCurrent(EnglishLocale());
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1,234.50");
    EXPECT_EQ(FormatFloat("#,##0", 1234567), "1,234,567");
    EXPECT_EQ(FormatFloat("#,##0.00", 0), "0.00");
    EXPECT_EQ(FormatFloat("#,##0.00", -1234567.891), "-1,234,567.89");
    EXPECT_EQ(FormatFloat("000", 7), "007");
    EXPECT_EQ(FormatFloat("#", 0), "");
    EXPECT_EQ(FormatFloat("0.##", 5), "5");
    EXPECT_EQ(FormatFloat("0.##", 5.1), "5.1");
    EXPECT_EQ(FormatFloat("0.0#", 5), "5.0");
    EXPECT_EQ(FormatFloat(".00", 12.5), "12.50");
    EXPECT_EQ(FormatFloat("00-00", 12345), "123-45");
    // Half away from zero, judged on the 15-digit decimal form.
    EXPECT_EQ(FormatFloat("0", 2.5), "3");
    EXPECT_EQ(FormatFloat("0", -2.5), "-3");
    EXPECT_EQ(FormatFloat("0.00", 1.005), "1.01");
    EXPECT_EQ(FormatFloat("0.00", 9.995), "10.00");
    EXPECT_EQ(FormatFloat("0.00", 0.125), "0.13");
    // A negative number that rounds to zero loses its minus.
    EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");
    // Beyond 18 integer digits the fixed form gives way to the general one.
    EXPECT_EQ(FormatFloat("0", 1e20), UserLocale::Current().FloatToStr(1e20));
    EXPECT_EQ(FormatFloat("", 1234.5), "1234.5");
    EXPECT_EQ(FormatFloat("", -0.25), "-0.25");

    UserLocale::SetCurrent(GermanLocale());
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1.234,50");
    EXPECT_EQ(FormatFloat("", 1234.5), "1234,5");
    UserLocale::SetCurrent(EnglishLocale());
}

TEST(FormatFloatPicture, SectionsExponentLiteralsAndLength)
{
    UserLocale::SetCurrent(EnglishLocale());
    const QString mask = "0.00;(0.00);'zero'";
    EXPECT_EQ(FormatFloat(mask, 5), "5.00");
    EXPECT_EQ(FormatFloat(mask, -5), "(5.00)");
    EXPECT_EQ(FormatFloat(mask, 0), "zero");
    EXPECT_EQ(FormatFloat(mask, -0.001), "zero");
    // An empty negative section falls back to the first, with a minus.
    EXPECT_EQ(FormatFloat("0.0;;'nil'", -2), "-2.0");
    EXPECT_EQ(FormatFloat("0.0;;'nil'", 0), "nil");

    EXPECT_EQ(FormatFloat("0.00E+00", 1234.5), "1.23E+03");
    EXPECT_EQ(FormatFloat("0.00E-00", 0.00012345), "1.23E-04");
    EXPECT_EQ(FormatFloat("0.00E-00", 12345), "1.23E04");
    EXPECT_EQ(FormatFloat("0.00e+0", 0), "0.00e+0");
    EXPECT_EQ(FormatFloat("0.00E+00", -9.999e5), "-1.00E+06");
    EXPECT_EQ(FormatFloat("00.0E+0", 1234.5), "12.3E+2");

    EXPECT_EQ(FormatFloat("\"$\"#,##0.00", 1234.5), "$1,234.50");
    EXPECT_EQ(FormatFloat("\"$\"0", -5), "-$5");
    EXPECT_EQ(FormatFloat("'#'0", 5), "#5");
    EXPECT_EQ(FormatFloat("'a;b'0", 5), "a;b5");
    EXPECT_EQ(FormatFloat("0' kg'", 3), "3 kg");

    EXPECT_NO_THROW(FormatFloat(QString(224, '0'), 1));
    try {
        FormatFloat(QString(225, '0'), 1);
        ADD_FAILURE() << "a 225-character picture was accepted";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Format string too long");
    }
}

TEST(ParseNumber, CleansAndConverts)
{
    UserLocale::SetCurrent(EnglishLocale());
    double v = 0;
    EXPECT_FALSE(ParseNumberText("--5", v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(ParseNumberText("+5", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(ParseNumberText("1,234.50", v));
    EXPECT_EQ(v, 1234.5);
    EXPECT_FALSE(ParseNumberText("a1b2", v));
    EXPECT_EQ(v, 12);

    for (const char* bad : {"", "-", "1.2.3", "abc"}) {
        v = 7;
        try {
            ParseNumberText(bad, v);
            ADD_FAILURE() << bad << " converted";
        } catch (const EConvertError& e) {
            const QString cleaned = QString(bad) == "abc" ? QString() : QString(bad);
            EXPECT_EQ(e.Message(), "'" + cleaned + "' is not a valid floating point value");
        }
        EXPECT_EQ(v, 7) << bad;
    }

    UserLocale::SetCurrent(GermanLocale());
    EXPECT_TRUE(ParseNumberText("1.234,5", v));
    EXPECT_EQ(v, 1234.5);
    UserLocale::SetCurrent(EnglishLocale());
}

TEST_F(NumberEdit, NewControlAndTypingFilter)
{
    TZOVNumberEdit edit;
    EXPECT_EQ(edit.text(), "0");
    EXPECT_EQ(edit.Value(), 0);
    EXPECT_TRUE(edit.alignment() & Qt::AlignRight);

    FocusIn(&edit);
    EXPECT_EQ(edit.selectedText(), "0");
    Type(&edit, "-");   // replaces the selection, cursor at 0
    EXPECT_EQ(edit.text(), "-");
    Key(&edit, Qt::Key_Home);
    Type(&edit, "-");   // a second sign at position 0 passes the filter
    Key(&edit, Qt::Key_End);
    Type(&edit, "5");
    EXPECT_EQ(edit.text(), "--5");

    // Refused: letters, a sign after position 0, the paste shortcut.
    EXPECT_TRUE(Key(&edit, Qt::Key_A, "a"));
    Type(&edit, "+");
    QGuiApplication::clipboard()->setText("7");
    EXPECT_TRUE(Key(&edit, Qt::Key_V, QString(QChar(0x16)), Qt::ControlModifier));
    EXPECT_TRUE(Key(&edit, Qt::Key_V, {}, Qt::ControlModifier));
    EXPECT_EQ(edit.text(), "--5");

    FocusOut(&edit);
    EXPECT_EQ(edit.Value(), -5);
    EXPECT_EQ(edit.text(), "-5");
    EXPECT_TRUE(messages.isEmpty());

    FocusIn(&edit);
    Type(&edit, "+5");
    FocusOut(&edit);
    EXPECT_EQ(edit.Value(), 5);

    // Editing keys still work: Backspace deletes, arrows move, the decimal
    // separator is accepted.
    FocusIn(&edit);
    Key(&edit, Qt::Key_End);
    Type(&edit, ".25");
    Key(&edit, Qt::Key_Backspace, QString(QChar(8)));
    Key(&edit, Qt::Key_Left);
    Type(&edit, "7");
    EXPECT_EQ(edit.text(), "5.72");
    FocusOut(&edit);
    EXPECT_DOUBLE_EQ(edit.Value(), 5.72);

    // Input-method commits pass the same filter.
    FocusIn(&edit);
    Key(&edit, Qt::Key_End);
    QInputMethodEvent ime;
    ime.setCommitString("1x2");
    QCoreApplication::sendEvent(&edit, &ime);
    EXPECT_EQ(edit.text(), "5.7212");
}

TEST_F(NumberEdit, PastedTextAndMaskCycles)
{
    TZOVNumberEdit edit;
    FocusIn(&edit);
    QGuiApplication::clipboard()->setText("a1b2");
    edit.paste();   // what the context menu's Paste does
    EXPECT_EQ(edit.text(), "a1b2");
    // The context menu borrowing the focus leaves the text alone.
    FocusOut(&edit, Qt::PopupFocusReason);
    FocusIn(&edit, Qt::PopupFocusReason);
    EXPECT_EQ(edit.text(), "a1b2");
    FocusOut(&edit);
    EXPECT_EQ(edit.Value(), 12);
    EXPECT_EQ(edit.text(), "12");

    edit.SetMask("#,##0.00");
    edit.SetValue(1234.5);
    EXPECT_EQ(edit.text(), "1,234.50");
    for (int cycle = 0; cycle < 3; ++cycle) {
        FocusIn(&edit);
        EXPECT_EQ(edit.text(), "1234.5");
        EXPECT_EQ(edit.selectedText(), "1234.5");
        FocusOut(&edit);
        EXPECT_EQ(edit.text(), "1,234.50");
        EXPECT_EQ(edit.Value(), 1234.5);
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(NumberEdit, ConversionErrorsReachTheHandler)
{
    TZOVNumberEdit edit;
    edit.SetValue(42);
    FocusIn(&edit);
    edit.clear();
    FocusOut(&edit);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "'' is not a valid floating point value");
    EXPECT_EQ(edit.Value(), 42);
    EXPECT_EQ(edit.text(), "");
    // Entering again shows the kept number.
    FocusIn(&edit);
    EXPECT_EQ(edit.text(), "42");
    FocusOut(&edit);
    EXPECT_EQ(messages.size(), 1);

    messages.clear();
    edit.SetMask(QString(225, '0'));
    EXPECT_THROW(edit.SetValue(3), EConvertError);
    EXPECT_EQ(edit.Value(), 3);
    EXPECT_EQ(edit.text(), "42");
    FocusIn(&edit);
    EXPECT_EQ(edit.text(), "3");
    edit.setText("8");
    FocusOut(&edit);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "Format string too long");
    EXPECT_EQ(edit.Value(), 8);
    EXPECT_EQ(edit.text(), "8");
}

TEST_F(NumberEdit, PrefilledTextBecomesTheNumber)
{
    TZOVNumberEdit edit;
    edit.setText("12.5");   // as a dialog pre-fills a stored bound
    EXPECT_EQ(edit.Value(), 0);
    FocusIn(&edit);
    EXPECT_EQ(edit.text(), "12.5");
    EXPECT_EQ(edit.Value(), 12.5);
    FocusOut(&edit);
    EXPECT_EQ(edit.text(), "12.5");

    // A pre-filled text that is no number leaves the value alone, silently.
    edit.setText("abc");
    FocusIn(&edit);
    EXPECT_EQ(edit.text(), "12.5");
    EXPECT_EQ(edit.Value(), 12.5);
    FocusOut(&edit);

    // A formatted display that merely hides digits is not re-read.
    edit.SetMask("0.0");
    edit.SetValue(1.234);
    EXPECT_EQ(edit.text(), "1.2");
    FocusIn(&edit);
    EXPECT_EQ(edit.text(), "1.234");
    EXPECT_TRUE(messages.isEmpty());
}

// Very small and very large numbers are shown with an exponent while the
// control has the focus; passing through it must not change them.
TEST_F(NumberEdit, ExponentValuesSurviveFocusCycles)
{
    TZOVNumberEdit edit;
    FocusIn(&edit);
    Type(&edit, "0.0000015");
    FocusOut(&edit);
    EXPECT_EQ(edit.Value(), 0.0000015);
    for (int cycle = 0; cycle < 3; ++cycle) {
        FocusIn(&edit);
        EXPECT_EQ(edit.text(), "1.5E-6");
        FocusOut(&edit);
        EXPECT_EQ(edit.Value(), 0.0000015) << cycle;
    }

    // Typed with its exponent: the letter and the exponent's sign pass the
    // filter, a sign elsewhere still does not.
    FocusIn(&edit);
    Type(&edit, "1E20");
    EXPECT_EQ(edit.text(), "1E20");
    FocusOut(&edit);
    EXPECT_EQ(edit.Value(), 1e20);
    FocusIn(&edit);
    FocusOut(&edit);
    EXPECT_EQ(edit.Value(), 1e20);
    FocusIn(&edit);
    Type(&edit, "-2.5e-3");
    Key(&edit, Qt::Key_Left);
    Type(&edit, "+");
    EXPECT_EQ(edit.text(), "-2.5e-3");
    FocusOut(&edit);
    EXPECT_EQ(edit.Value(), -0.0025);

    // Exponent values set from outside, with a picture that falls back to
    // the general format, and in a locale with a decimal comma.
    for (double v : {1e-7, -3.25e-12, 1e308, 4.9e-300, 123456789012345678.0}) {
        edit.SetValue(v);
        FocusIn(&edit);
        FocusOut(&edit);
        EXPECT_EQ(edit.Value(), UserLocale::Current().StrToFloat(UserLocale::Current().FloatToStr(v)))
            << v;
    }
    UserLocale::SetCurrent(GermanLocale());
    edit.SetValue(2.5e-9);
    FocusIn(&edit);
    EXPECT_EQ(edit.text(), "2,5E-9");
    FocusOut(&edit);
    EXPECT_EQ(edit.Value(), 2.5e-9);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST(ParseNumber, ExponentsAndWhatSurroundsThem)
{
    UserLocale::SetCurrent(EnglishLocale());
    double v = 0;
    EXPECT_TRUE(ParseNumberText("1.5E-6", v));
    EXPECT_EQ(v, 1.5e-6);
    EXPECT_TRUE(ParseNumberText("1e+20", v));
    EXPECT_EQ(v, 1e20);
    EXPECT_TRUE(ParseNumberText("-7E3", v));
    EXPECT_EQ(v, -7000);
    // A sign after the exponent's digits, a second letter or a separator in
    // the exponent is dropped and reported as not clean.
    EXPECT_FALSE(ParseNumberText("2E1-", v));
    EXPECT_EQ(v, 20);
    EXPECT_FALSE(ParseNumberText("2E1.5", v));
    EXPECT_EQ(v, 2e15);
    // A letter before any digit is no exponent; an exponent without digits
    // is no number.
    EXPECT_FALSE(ParseNumberText("E5", v));
    EXPECT_EQ(v, 5);
    v = 7;
    for (const char* bad : {"1E", "1E-", "1E400"}) {
        EXPECT_THROW(ParseNumberText(bad, v), EConvertError) << bad;
        EXPECT_EQ(v, 7) << bad;
    }
}
