#include "admin/frmadduser.h"

#include "admin/adminkit.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "db/dm.h"
#include "ops/admin/accounts.h"

#include <QComboBox>
#include <QLineEdit>

QPointer<Tfrmadduser> frmadduser;

Tfrmadduser::Tfrmadduser(QWidget* parent)
    : TUserDialog(QStringLiteral("Tfrmadduser"), QStringLiteral("新增登录用户"),
                  {QStringLiteral("登录名："), QStringLiteral("类　　型:"), QStringLiteral("添   加"),
                   QStringLiteral("退   出")},
                  true, parent)
{
    frmadduser = this;
    ComboBox1->setCurrentIndex(0); // 话务员
}

void Tfrmadduser::clearTexts()
{
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4})
        e->clear();
}

void Tfrmadduser::FormShow()
{
    clearTexts();
}

void Tfrmadduser::Button1Click()
{
    ops::admin::Account a;
    a.uname = text::trimEdit(Edit1);
    a.truename = text::trimEdit(Edit2);
    a.pwd = text::trimEdit(Edit3);
    const QString confirm = text::trimEdit(Edit4);
    a.tp = ComboBox1->currentText();
    if (!checkInput(a.uname, a.truename, a.pwd, confirm, QStringLiteral("密码不能为空!")))
        return;
    try {
        if (ops::admin::addAccount(ADOcon(), pub::currentOperator(), a) == ops::admin::Outcome::DuplicateName) {
            msg::ShowMessage(QStringLiteral("操作人员登录名已经存在,请换一个登录名!"));
            return;
        }
    } catch (const db::Error& e) {
        msg::ShowFailure(e, admin::kActionError);
        return;
    }
    emit saved();
    clearTexts();
    msg::ShowMessage(QStringLiteral("添加成功!"));
    stayForNext();
}
