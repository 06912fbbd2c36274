#pragma once

#include "core/msg.h"
#include "core/waitcursor.h"

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace db {
class Error;
}

// Small pieces shared by the administration windows.
namespace admin {

inline const QString kActionError = QStringLiteral("操作数据库时出错，请检查网络连接!");
inline const QString kListError = QStringLiteral("连接数据库出错");
inline const QString kServerError = QStringLiteral("连接数据库服务器出错");
// The start of the refusals that would leave no enabled administrator to log in.
inline const QString kKeepOneAdministrator = QStringLiteral("系统中至少要保留一个启用的管理员，");

// The application's general error report, for the places that have no message of their own.
using msg::reportError;

QPushButton* button(QWidget* parent, const char* objectName, const QString& caption);
QLineEdit* edit(QWidget* parent, const char* objectName);
// A box that shows "*" for every character typed.
QLineEdit* passwordEdit(QWidget* parent, const char* objectName);
QLabel* label(QWidget* parent, const QString& text);

// The window in the middle of the screen it is on.
void centreOnScreen(QWidget* w);

using WaitCursor = ::WaitCursor;

} // namespace admin
