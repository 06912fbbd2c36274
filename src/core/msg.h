#pragma once

#include <QLoggingCategory>
#include <QString>

namespace db {
class Error;
}
#include <functional>

// The windows' messages (tellvane.ui): failures caught where they are shown.
Q_DECLARE_LOGGING_CATEGORY(lcUi)

// The one message seam: every message box of the program goes through here. Tests install a
// handler that records each box and answers it, so no test can hang on a modal box.
namespace msg {

enum class Buttons { Ok, OkCancel, YesNo };
enum class Icon { None, Information, Warning, Question, Error };
enum class Answer { Ok, Cancel, Yes, No };

struct Box
{
    QString caption;
    QString text;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
};

// The application title, caption of every plain message.
QString appTitle();

// A plain message: application title as caption, one OK button.
void ShowMessage(const QString& text);

// Any box; returns the button pressed (closing the box counts as Cancel / No).
Answer box(const QString& text, const QString& caption, Buttons buttons, Icon icon = Icon::None);

// OK/Cancel and Yes/No confirmations: true only for OK or Yes.
bool confirmOk(const QString& text, const QString& caption, Icon icon = Icon::Question);
bool confirmYes(const QString& text, const QString& caption, Icon icon = Icon::Question);

// A database failure in the program's words (a lost connection, an account without rights, or
// any other failure), the engine's own text after it.
QString explain(const db::Error& e);
// The application's general error report: explain(e) in an error box, for the places that have
// no message of their own. The reason goes to the log as well.
void reportError(const db::Error& e);

// A failure caught for display leaves one line in the log with its reason (the engine's text and
// the statement); context is what the user was told or what was being done, if anything.
void logFailure(const db::Error& e, const QString& context = QString());
// ShowMessage(text) for a failure: the designed text for the user, the reason to the log.
void ShowFailure(const db::Error& e, const QString& text);

using Handler = std::function<Answer(const Box&)>;
// Replaces the real boxes (tests). An empty handler restores them.
void setHandler(Handler handler);

} // namespace msg
