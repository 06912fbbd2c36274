#pragma once

#include "core/msg.h"
#include "core/waitcursor.h"

#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class TDBGrid;

namespace db {
class Error;
}

// Small pieces shared by the project, question and option windows.
namespace design {

inline const QString kActionError = QStringLiteral("操作数据库时出错，请检查网络连接!");
inline const QString kOpenError = QStringLiteral("连接数据库时出错，请检查网络连接!");
inline const QString kSaved = QStringLiteral("保存成功!");

// Byte length of a prompt text as the visit window stores it: GBK, each line break as CR LF.
int tipsLength(const QString& s);
inline constexpr int kMaxTipsLength = 255;

// Plain decimal digits with an optional sign, within the 32-bit range. Anything else
// (blanks inside, hex, fractions, empty text) is not a number here.
bool readInteger(const QString& text, int* value);

// Whether the select returns any row. Throws db::Error.
bool exists(const QString& jetSql);

// Runs a database action; when it fails, shows the action message and returns false.
bool tryAction(const std::function<void()>& action);
// The same for an action that writes a row and its log row, or re-reads the list that shows it:
// all or nothing is kept, so a save reported as failed has changed nothing.
bool tryWrite(const std::function<void()>& action);

// The application's general error report, for the places that have no message of their own.
using msg::reportError;

// Opens the grid on its statement with the first row current, as a freshly opened list shows it.
void openAtFirst(TDBGrid* grid, const QString& sql);
// Re-reads the grid's last statement and moves back to the given row (or the last one left).
void reopenAt(TDBGrid* grid, int row);

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& caption);
QLabel* redLabel(const QString& text, QWidget* parent);
// The read-only fields of the dialogs: red text on a grey ground.
void showAsReadOnly(QLineEdit* edit);
void showAsReadOnly(QPlainTextEdit* edit);

using WaitCursor = ::WaitCursor;

} // namespace design
