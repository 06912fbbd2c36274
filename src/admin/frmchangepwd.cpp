#include "admin/frmchangepwd.h"

#include "admin/adminkit.h"
#include "core/entrydialog.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "db/dm.h"
#include "ops/admin/password.h"

#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

QPointer<Tfrmchangepwd> frmchangepwd;

Tfrmchangepwd::Tfrmchangepwd(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    frmchangepwd = this;
    setObjectName(QStringLiteral("Tfrmchangepwd"));
    setWindowTitle(QStringLiteral("修改密码"));
    setAttribute(Qt::WA_DeleteOnClose);

    Edit1 = admin::passwordEdit(this, "Edit1");
    Edit2 = admin::passwordEdit(this, "Edit2");
    Edit3 = admin::passwordEdit(this, "Edit3");
    Button1 = admin::button(this, "Button1", QStringLiteral("确 定"));
    Button2 = admin::button(this, "Button2", QStringLiteral("取 消"));

    auto* fields = new QGridLayout;
    const QString labels[] = {QStringLiteral("原密码："), QStringLiteral("新密码："), QStringLiteral("确认新密码：")};
    QLineEdit* boxes[] = {Edit1, Edit2, Edit3};
    for (int i = 0; i < 3; ++i) {
        fields->addWidget(admin::label(this, labels[i]), i, 0, Qt::AlignRight);
        fields->addWidget(boxes[i], i, 1);
    }
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(24, 18, 24, 14);
    lay->addLayout(fields);
    lay->addSpacing(8);
    lay->addLayout(buttonBar({Button1, Button2}, true));
    setFixedSize(293, 186);

    connect(Button1, &QPushButton::clicked, this, &Tfrmchangepwd::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmchangepwd::Button2Click);
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, &Tfrmchangepwd::Button2Click);
}

void Tfrmchangepwd::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        admin::centreOnScreen(this);
        // A tool window is not made active by every window manager: ask for it, and for the
        // first box, so that the user can type at once.
        activateWindow();
        Edit1->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void Tfrmchangepwd::Button1Click()
{
    const QString oldPwd = text::trimEdit(Edit1);
    const QString newPwd = text::trimEdit(Edit2);
    const QString confirm = text::trimEdit(Edit3);
    if (oldPwd.isEmpty()) {
        msg::ShowMessage(QStringLiteral("请输入原密码!"));
        return;
    }
    if (newPwd.isEmpty()) {
        msg::ShowMessage(QStringLiteral("请输入新密码!"));
        return;
    }
    if (newPwd != confirm) {
        Edit2->clear();
        Edit3->clear();
        msg::ShowMessage(QStringLiteral("新密码两次输入不相同，请重新输入新密码!"));
        return;
    }
    admin::WaitCursor wait;
    try {
        const auto result = ops::admin::changeOwnPassword(ADOcon(), pub::currentOperator(), oldPwd, newPwd);
        wait.restore();
        switch (result) {
        case ops::admin::PasswordChange::NoSuchUser:
            msg::ShowMessage(QStringLiteral("找不到该用户!"));
            return;
        case ops::admin::PasswordChange::WrongOldPassword:
            msg::ShowMessage(QStringLiteral("原密码输入错误，请重新输入原密码!"));
            Edit1->clear();
            Edit1->setFocus();
            return;
        case ops::admin::PasswordChange::Changed:
            break;
        }
    } catch (const db::Error& e) {
        wait.restore();
        msg::ShowFailure(e, admin::kServerError + e.text());
        return;
    }
    msg::ShowMessage(QStringLiteral("密码修改成功,请记住新密码!"));
    close();
}

void Tfrmchangepwd::Button2Click()
{
    close();
}
