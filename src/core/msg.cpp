#include "core/msg.h"

#include "core/waitmsg.h"
#include "db/error.h"
#include "db/log.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcUi, "tellvane.ui")

namespace msg {
namespace {
Handler& handler()
{
    static Handler h;
    return h;
}
} // namespace

QString appTitle()
{
    return QStringLiteral("Tellvane单机版");
}

void setHandler(Handler h)
{
    handler() = std::move(h);
}

Answer box(const QString& text, const QString& caption, Buttons buttons, Icon icon)
{
    const Box b{caption, text, buttons, icon};
    const WaitMsgAside aside;
    if (handler())
        return handler()(b);

    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::Information:
        qicon = QMessageBox::Information;
        break;
    case Icon::Warning:
        qicon = QMessageBox::Warning;
        break;
    case Icon::Question:
        qicon = QMessageBox::Question;
        break;
    case Icon::Error:
        qicon = QMessageBox::Critical;
        break;
    case Icon::None:
        break;
    }
    QMessageBox m(qicon, caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    switch (buttons) {
    case Buttons::Ok:
        m.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        m.exec();
        return Answer::Ok;
    case Buttons::OkCancel: {
        QAbstractButton* ok = m.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        m.setEscapeButton(m.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
        m.exec();
        return m.clickedButton() == ok ? Answer::Ok : Answer::Cancel;
    }
    case Buttons::YesNo: {
        QAbstractButton* yes = m.addButton(QStringLiteral("是"), QMessageBox::YesRole);
        m.setEscapeButton(m.addButton(QStringLiteral("否"), QMessageBox::NoRole));
        m.exec();
        return m.clickedButton() == yes ? Answer::Yes : Answer::No;
    }
    }
    return Answer::Cancel;
}

void ShowMessage(const QString& text)
{
    box(text, appTitle(), Buttons::Ok);
}

bool confirmOk(const QString& text, const QString& caption, Icon icon)
{
    return box(text, caption, Buttons::OkCancel, icon) == Answer::Ok;
}

bool confirmYes(const QString& text, const QString& caption, Icon icon)
{
    return box(text, caption, Buttons::YesNo, icon) == Answer::Yes;
}

QString explain(const db::Error& e)
{
    // The engine's own text (English from the server and its driver) only after ours.
    const QString why = e.text().simplified();
    QString ours;
    switch (e.fault()) {
    case db::Fault::Connection:
        ours = QStringLiteral("与数据库的连接已断开或无法建立，请检查网络连接和数据库服务器，稍后再试。");
        break;
    case db::Fault::Permission:
        ours = QStringLiteral("数据库账户没有操作该数据表的权限，请联系数据库管理员授权。");
        break;
    case db::Fault::Login:
        ours = QStringLiteral("数据库服务器拒绝了登录：登录密码已被修改或操作人员已被停用，请重新登录。");
        break;
    case db::Fault::Statement:
        ours = QStringLiteral("数据库操作出错。");
        break;
    }
    return why.isEmpty() ? ours : ours + QStringLiteral("\n（") + why + QStringLiteral("）");
}

void logFailure(const db::Error& e, const QString& context)
{
    db::logFailure(lcUi(), e, context);
}

void ShowFailure(const db::Error& e, const QString& text)
{
    logFailure(e, text);
    ShowMessage(text);
}

void reportError(const db::Error& e)
{
    logFailure(e);
    msg::box(explain(e), msg::appTitle(), msg::Buttons::Ok, msg::Icon::Error);
}

} // namespace msg
