#pragma once
#include <QLineEdit>

class QKeyEvent;
class QFocusEvent;
class QInputMethodEvent;
#include <QString>

// Cleans a typed number (signs only first, thousands separators dropped) and
// converts it. Returns whether the text was clean; raises EConvertError
// "'%s' is not a valid floating point value" when the cleaned text is no number.
bool ParseNumberText(const QString& text, double& value);

// Formats value by a numeric format picture ("0", "#", ".", ",", "E+"/"E-",
// quoted literals, up to three ";" sections). An empty mask gives the
// general format. Raises EConvertError "Format string too long" for masks
// longer than 224 characters.
QString FormatFloat(const QString& mask, double value);

// Single-line edit for one floating-point number: refuses characters that
// cannot belong to a number, shows the plain number while focused and the
// number formatted by Mask otherwise; right-aligned.
class TZOVNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TZOVNumberEdit(QWidget* owner = nullptr);

    const QString& Mask() const { return FMask; }
    void SetMask(const QString& mask) { FMask = mask; }
    double Value() const { return FValue; }
    void SetValue(double v);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    QString FMask;
    double FValue = 0;
};
