#pragma once
#include <QString>
#include <functional>

class QWidget;

// The application's own message boxes (a single OK button; the kind picks the
// icon and title). Every message the demo shows goes through ShowMessage, so
// a test can install a hook that records the messages instead of blocking on
// a modal box.
namespace AppMessages {
enum class Kind { Error, Information };

using Hook = std::function<void(Kind kind, const QString& text)>;

// Replaces the display; an empty hook restores the message boxes.
void SetHook(Hook hook);

void ShowMessage(QWidget* parent, Kind kind, const QString& text);
inline void ShowError(QWidget* parent, const QString& text) { ShowMessage(parent, Kind::Error, text); }
inline void ShowInformation(QWidget* parent, const QString& text) { ShowMessage(parent, Kind::Information, text); }

// A question with Yes, No and Cancel (No and Cancel only when asked for).
enum class Answer { Yes, No, Cancel };
using QuestionHook = std::function<Answer(const QString& text)>;
void SetQuestionHook(QuestionHook hook);   // empty: back to the message box
Answer Ask(QWidget* parent, const QString& text, bool withNo);
}
