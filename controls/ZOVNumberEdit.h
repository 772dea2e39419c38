#pragma once
#include <QLineEdit>

class QKeyEvent;
class QFocusEvent;
class QInputMethodEvent;
#include <QString>

// Cleans a typed number (a sign only first or right after the exponent's
// letter, thousands separators dropped, "E"/"e" with an exponent kept) and
// converts it. Returns whether the text was clean; raises EConvertError
// "'%s' is not a valid floating point value" when the cleaned text is no number.
bool ParseNumberText(const QString& text, double& value);

// FormatFloat(mask, value): the format-picture formatter used for the
// unfocused display.
#include "core/FloatFormat.h"

// Single-line edit for one floating-point number: refuses characters that
// cannot belong to a number, shows the plain number while focused and the
// number formatted by Mask otherwise; right-aligned.
class TZOVNumberEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString Mask READ Mask WRITE SetMask)
    Q_PROPERTY(double Value READ Value WRITE SetValue)
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
    // Whether ch may be typed with the selection starting at `position`.
    bool AcceptsCharacter(QChar ch, int position) const;
    // Beep and drop the key; true when the key was refused.
    bool RefuseKey(QKeyEvent* event);

private:
    QString FMask;
    double FValue = 0;
};
