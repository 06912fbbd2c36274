#pragma once

#include "core/msg.h"
#include "core/waitcursor.h"

#include <QString>

#include <functional>

class QDialog;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace db {
class Error;
}

// Small pieces shared by the project, question and option windows.
namespace design {

// What an edit dialog or the option manager is opened on: the selected row of its list, as shown.
struct ProjectRow
{
    qint64 ywbh = -1; // -1: nothing to work on
    QString name;
    QString tips;
};
struct QuestionRow
{
    qint64 qid = -1;
    QString project; // name
    QString text;
    QString number; // as the list shows it
};
struct OptionRow
{
    qint64 aid = -1;
    QString text;
    QString jump; // as the list shows it
};

inline const QString kActionError = QStringLiteral("操作数据库时出错，请检查网络连接!");
inline const QString kOpenError = QStringLiteral("连接数据库时出错，请检查网络连接!");
inline const QString kSaved = QStringLiteral("保存成功!");

// Byte length of a prompt text as the visit window stores it: GBK, each line break as CR LF.
int tipsLength(const QString& s);
inline constexpr int kMaxTipsLength = 255;

// Plain decimal digits with an optional sign, within the 32-bit range. Anything else
// (blanks inside, hex, fractions, empty text) is not a number here.
bool readInteger(const QString& text, int* value);

// Runs a database action; when it fails, shows the action message and returns false.
bool tryAction(const std::function<void()>& action);
// The same for an action that writes a row and its log row, or re-reads the list that shows it:
// all or nothing is kept, so a save reported as failed has changed nothing.
bool tryWrite(const std::function<void()>& action);

// The application's general error report, for the places that have no message of their own.
using msg::reportError;

QLabel* redLabel(const QString& text, QWidget* parent);
// The read-only fields of the dialogs: red text on a grey ground.
void showAsReadOnly(QLineEdit* edit);
void showAsReadOnly(QPlainTextEdit* edit);

using WaitCursor = ::WaitCursor;

// The fields of the dialogs. Each builder names its controls as the dialogs' designs do and
// returns the grid for further rows; each check trims the fields (writing the texts back), tests
// them in the designed order, shows the first failing test's message and returns false then.

// Projects: the name line (Edit1) and the prompt memo (Memo1).
QGridLayout* projectFields(QDialog* dialog, QLineEdit** name, QPlainTextEdit** tips);
// The prompt's byte limit first, then an empty name.
bool checkProjectInput(QLineEdit* nameEdit, QPlainTextEdit* tipsMemo, QString* name, QString* tips);

// Questions: the project line (a choice or a read-only name), the text (Memo1) and the number
// with its hint.
QGridLayout* questionFields(QDialog* dialog, QWidget* project, QPlainTextEdit** textMemo, QLineEdit** numberEdit,
                            const char* numberName);
// Text given, number given, number an integer (focus to the number), number not 0.
bool checkQuestionInput(QPlainTextEdit* textMemo, QLineEdit* numberEdit, QString* qnr, int* qbh);

// Options: the text (Edit1) and jump (Edit2) lines with the red hint under them.
QGridLayout* optionFields(QDialog* dialog, QLineEdit** textEdit, QLineEdit** jumpEdit);
// Text given, then the jump an integer.
bool checkOptionInput(QLineEdit* textEdit, QLineEdit* jumpEdit, QString* sel, int* gotoq);

} // namespace design
