#include "admin/frmedituser.h"

#include "admin/adminkit.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "db/dm.h"
#include "ops/admin/accounts.h"

#include <QComboBox>
#include <QLineEdit>

QPointer<Tfrmedituser> frmedituser;

Tfrmedituser::Tfrmedituser(const Operator& op, QWidget* parent)
    : TUserDialog(QStringLiteral("Tfrmedituser"), QStringLiteral("登录用户资料修改"),
                  {QStringLiteral("登录 名："), QStringLiteral("类　　别:"), QStringLiteral("保   存"),
                   QStringLiteral("取   消")},
                  false, parent),
      m_op(op)
{
    frmedituser = this;
    Edit1->setStyleSheet(QStringLiteral("background-color: #d4d0c8;"));
}

void Tfrmedituser::FormShow()
{
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4})
        e->clear();
    Edit1->setText(m_op.uname);
    Edit2->setText(m_op.truename);
    Edit3->setText(ops::admin::kKeepPassword);
    Edit4->setText(ops::admin::kKeepPassword);
    // A type that is neither entry shows none.
    ComboBox1->setCurrentIndex(ComboBox1->findText(m_op.tp));
}

void Tfrmedituser::Button1Click()
{
    ops::admin::Account a;
    a.truename = text::trimEdit(Edit2);
    a.pwd = text::trimEdit(Edit3);
    a.uname = text::trimEdit(Edit1);
    // The confirmation is compared as typed.
    const QString confirm = Edit4->text();
    a.tp = ComboBox1->currentIndex() < 0 ? QString() : ComboBox1->currentText();
    if (!checkInput(a.uname, a.truename, a.pwd, confirm, QStringLiteral("请输入操作人员登录密码!")))
        return;
    try {
        switch (ops::admin::changeAccount(ADOcon(), pub::currentOperator(), m_op.id, a)) {
        case ops::admin::Outcome::DuplicateName:
            msg::ShowMessage(QStringLiteral("该操作人员登录名已经存在，请另外选择一个登录名!"));
            return;
        case ops::admin::Outcome::LastAdministrator:
            msg::ShowMessage(admin::kKeepOneAdministrator + QStringLiteral("不能更改该操作人员的类型!"));
            return;
        case ops::admin::Outcome::NotFound:
            msg::ShowMessage(admin::kActionError);
            return;
        default:
            break;
        }
    } catch (const db::Error& e) {
        msg::ShowFailure(e, admin::kActionError);
        return;
    }
    emit saved();
    msg::ShowMessage(QStringLiteral("修改成功!"));
    close();
}
