#include "controls/ZOVNumberEdit.h"

#include "core/Errors.h"
#include "core/ExceptionHandler.h"
#include "core/UserLocale.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPointer>
#include <QTimer>

bool ParseNumberText(const QString& text, double& value)
{
    const UserLocale& loc = UserLocale::Current();
    bool clean = true;
    QString cleaned;
    // The general format writes very small and very large numbers with an
    // exponent ("1.5E-6", "1E20"); its letter and the exponent's sign are
    // part of the number, so that a value survives entering and leaving.
    bool mantissaDigits = false;
    bool inExponent = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == '+' || c == '-') {
            const bool afterExponentLetter =
                inExponent && !cleaned.isEmpty() && (cleaned.back() == 'E');
            if (i == 0 || afterExponentLetter)
                cleaned += c;
            else
                clean = false;
        } else if (c >= '0' && c <= '9') {
            cleaned += c;
            mantissaDigits = mantissaDigits || !inExponent;
        } else if ((c == 'E' || c == 'e') && mantissaDigits && !inExponent) {
            cleaned += 'E';
            inExponent = true;
        } else if (c == loc.DecimalSeparator && !inExponent) {
            cleaned += c;
        } else if (c == loc.ThousandSeparator && !inExponent) {
            // grouping written by a format picture; dropped silently
        } else {
            clean = false;
        }
    }
    const std::optional<double> number = loc.StrToFloat(cleaned);
    if (!number)
        throw EConvertError(QCoreApplication::translate("TZOVNumberEdit",
                                                        "'%1' is not a valid floating point value")
                                .arg(cleaned));
    value = *number;
    return clean;
}

TZOVNumberEdit::TZOVNumberEdit(QWidget* owner)
    : QLineEdit(owner)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetValue(0);
}

void TZOVNumberEdit::SetValue(double v)
{
    FValue = v;
    setText(FormatFloat(FMask, v));
}

bool TZOVNumberEdit::AcceptsCharacter(QChar ch, int position) const
{
    if (ch >= '0' && ch <= '9')
        return true;
    if (ch == UserLocale::Current().DecimalSeparator)
        return true;
    // The exponent of the general format: its letter after the first
    // character, its sign right after the letter.
    const QString current = text();
    const bool afterExponentLetter = position > 0 && position <= current.size() &&
                                     (current[position - 1] == 'E' || current[position - 1] == 'e');
    if (ch == '+' || ch == '-')
        return position == 0 || afterExponentLetter;
    if (ch == 'E' || ch == 'e')
        return position > 0;
    return false;
}

bool TZOVNumberEdit::RefuseKey(QKeyEvent* event)
{
    // Clipboard, undo and select-all shortcuts produce control characters on
    // some platforms and none on others: refused either way, as a typed
    // control character would be.
    static const QKeySequence::StandardKey refusedShortcuts[] = {
        QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
        QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll};
    for (auto key : refusedShortcuts)
        if (event->matches(key))
            return true;

    // Keys that edit or move without typing a character keep the control
    // and the dialog usable: backspace (the one accepted control character),
    // Delete, the arrows, Home/End, page keys, and Tab, Enter and Escape,
    // which belong to the dialog.
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return false;
    default:
        break;
    }

    const QString text = event->text();
    if (text.isEmpty()) {
        // Modifier and function keys type nothing; a Ctrl+letter combination
        // stands for a control character and is refused.
        const bool ctrlLetter = (event->modifiers() & Qt::ControlModifier) &&
                                event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z;
        return ctrlLetter;
    }
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    for (QChar ch : text)
        if (!AcceptsCharacter(ch, start))
            return true;
    return false;
}

void TZOVNumberEdit::keyPressEvent(QKeyEvent* event)
{
    Guarded([&] {
        if (RefuseKey(event)) {
            QApplication::beep();
            event->accept();   // swallowed: never reaches the text
            return;
        }
        QLineEdit::keyPressEvent(event);
    });
}

void TZOVNumberEdit::inputMethodEvent(QInputMethodEvent* event)
{
    Guarded([&] {
        const QString commit = event->commitString();
        if (commit.isEmpty()) {
            QLineEdit::inputMethodEvent(event);
            return;
        }
        // Each committed character passes the same filter as a typed one.
        int position = hasSelectedText() ? selectionStart() : cursorPosition();
        position += event->replacementStart();
        QString kept;
        bool refused = false;
        for (QChar ch : commit) {
            if (AcceptsCharacter(ch, position + int(kept.size())))
                kept += ch;
            else
                refused = true;
        }
        if (refused)
            QApplication::beep();
        if (!refused) {
            QLineEdit::inputMethodEvent(event);
            return;
        }
        QInputMethodEvent filtered(event->preeditString(), event->attributes());
        filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
        QLineEdit::inputMethodEvent(&filtered);
        event->accept();
    });
}

void TZOVNumberEdit::focusInEvent(QFocusEvent* event)
{
    // A context menu taking the focus for a moment is no focus change for
    // the number: the text being edited stays as it is.
    if (event->reason() == Qt::PopupFocusReason) {
        QLineEdit::focusInEvent(event);
        return;
    }
    Guarded([&] {
        // A text put in from outside (a dialog pre-filling a stored bound)
        // is adopted as the number, so that entering and leaving the control
        // does not replace it by the old value. A text that does not read as
        // a number leaves the value as it is; nothing is reported here.
        try {
            if (text() != FormatFloat(FMask, FValue)) {
                double adopted = FValue;
                ParseNumberText(text(), adopted);
                FValue = adopted;
            }
        } catch (const EConvertError&) {
        }
        setText(UserLocale::Current().FloatToStr(FValue));
    });
    QLineEdit::focusInEvent(event);
    selectAll();
    // A mouse click that gave the focus places the cursor after this
    // handler; select again once it has.
    if (event->reason() == Qt::MouseFocusReason) {
        QPointer<TZOVNumberEdit> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && self->hasFocus())
                self->selectAll();
        });
    }
}

void TZOVNumberEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason)
        return;
    Guarded([&] {
        double value = FValue;
        ParseNumberText(text(), value);
        FValue = value;
        setText(FormatFloat(FMask, FValue));
    });
}
