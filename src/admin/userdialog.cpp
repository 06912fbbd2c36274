#include "admin/userdialog.h"

#include "admin/adminkit.h"
#include "core/msg.h"
#include "core/scaling.h"
#include "db/vocab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TUserDialog::TUserDialog(const QString& objectName, const QString& caption, const Captions& c, bool keepEntering,
                         QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    Edit1 = admin::edit(this, "Edit1");
    Edit2 = admin::edit(this, "Edit2");
    Edit3 = admin::passwordEdit(this, "Edit3");
    Edit4 = admin::passwordEdit(this, "Edit4");
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({vocab::kOperator, vocab::kAdmin});
    Button1 = admin::button(this, "Button1", c.save);
    Button2 = admin::button(this, "Button2", c.leave);

    auto* fields = new QGridLayout;
    const QString labels[] = {c.uname, QStringLiteral("真实姓名:"), QStringLiteral("登录密码:"),
                              QStringLiteral("确认密码:"), c.type};
    QWidget* boxes[] = {Edit1, Edit2, Edit3, Edit4, ComboBox1};
    for (int i = 0; i < 5; ++i) {
        fields->addWidget(admin::label(this, labels[i]), i, 0, Qt::AlignRight);
        fields->addWidget(boxes[i], i, 1);
    }
    auto* buttons = new QHBoxLayout;
    if (keepEntering) {
        CheckBox1 = new QCheckBox(QStringLiteral("连续录入"), this);
        CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
        CheckBox1->setChecked(true);
        buttons->addWidget(CheckBox1);
    }
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(24, 18, 24, 14);
    lay->addLayout(fields);
    lay->addSpacing(6);
    lay->addLayout(buttons);
    resize(330, 240);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &TUserDialog::Button2Click);
    scaling::applyScreenScaling(this);
}

void TUserDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        admin::centreOnScreen(this);
        FormShow();
    }
}

void TUserDialog::Button2Click()
{
    close();
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
