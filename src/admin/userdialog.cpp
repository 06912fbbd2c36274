#include "admin/userdialog.h"

#include "admin/adminkit.h"
#include "core/msg.h"
#include "core/scaling.h"
#include "db/vocab.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TUserDialog::TUserDialog(const QString& objectName, const QString& caption, const Captions& c, bool keepEntering,
                         QWidget* parent)
    : TEntryDialog(objectName, caption, parent,
                   Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint)
{
    Edit1 = admin::edit(this, "Edit1");
    Edit2 = admin::edit(this, "Edit2");
    Edit3 = admin::passwordEdit(this, "Edit3");
    Edit4 = admin::passwordEdit(this, "Edit4");
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({vocab::kOperator, vocab::kAdmin});

    auto* fields = new QGridLayout;
    const QString labels[] = {c.uname, QStringLiteral("真实姓名:"), QStringLiteral("登录密码:"),
                              QStringLiteral("确认密码:"), c.type};
    QWidget* boxes[] = {Edit1, Edit2, Edit3, Edit4, ComboBox1};
    for (int i = 0; i < 5; ++i) {
        fields->addWidget(admin::label(this, labels[i]), i, 0, Qt::AlignRight);
        fields->addWidget(boxes[i], i, 1);
    }
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(24, 18, 24, 14);
    lay->addLayout(fields);
    lay->addSpacing(6);
    lay->addLayout(buttonRow(c.save, c.leave, keepEntering));
    resize(330, 240);
    scaling::applyScreenScaling(this);
}

void TUserDialog::showEvent(QShowEvent* e)
{
    TEntryDialog::showEvent(e);
    if (!m_centred) {
        m_centred = true;
        admin::centreOnScreen(this);
    }
}

bool TUserDialog::checkInput(const QString& uname, const QString& truename, const QString& pwd, const QString& confirm,
                             const QString& noPassword)
{
    QString problem;
    if (uname.isEmpty())
        problem = QStringLiteral("请输入操作人员登录名!");
    else if (truename.isEmpty())
        problem = QStringLiteral("请输入操作人员真实姓名!");
    else if (pwd.isEmpty())
        problem = noPassword;
    else if (pwd != confirm) {
        Edit3->clear();
        Edit4->clear();
        problem = QStringLiteral("两次密码输入不相符!");
    }
    if (problem.isEmpty())
        return true;
    msg::ShowMessage(problem);
    return false;
}
