#include "core/msg.h"

#include "core/waitmsg.h"
#include "db/error.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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
    case Icon::Information: qicon = QMessageBox::Information; break;
    case Icon::Warning: qicon = QMessageBox::Warning; break;
    case Icon::Question: qicon = QMessageBox::Question; break;
    case Icon::Error: qicon = QMessageBox::Critical; break;
    case Icon::None: break;
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

void reportError(const db::Error& e)
{
    msg::box(e.text(), msg::appTitle(), msg::Buttons::Ok, msg::Icon::Error);
}

} // namespace msg
