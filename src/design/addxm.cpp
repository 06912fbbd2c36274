#include "design/addxm.h"

#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/formkit.h"
#include "design/opt.h"
#include "design/projectform.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<Tfrmaddxm> frmaddxm;

Tfrmaddxm::Tfrmaddxm(Tfrmopt* owner, QWidget* parent) : QDialog(parent), m_owner(owner ? owner : frmopt.data())
{
    frmaddxm = this;
    setObjectName(QStringLiteral("Tfrmaddxm"));
    setWindowTitle(QStringLiteral("新增项目"));
    setAttribute(Qt::WA_DeleteOnClose);

    QGridLayout* fields = design::projectFields(this, &Edit1, &Memo1);
    Label3 = design::redLabel(QString(), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    fields->addWidget(Label3, 2, 1);
    CheckBox1 = new QCheckBox(QStringLiteral("连续录入"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(true);
    Button1 = design::makeButton(this, QStringLiteral("Button1"), QStringLiteral("保     存"));
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QStringLiteral("退   出"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CheckBox1);
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addLayout(buttons);
    resize(460, 260);

    connect(Memo1, &QPlainTextEdit::textChanged, this, &Tfrmaddxm::Memo1Change);
    connect(Button1, &QPushButton::clicked, this, &Tfrmaddxm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmaddxm::Button2Click);

    scaling::applyScreenScaling(this);
}

void Tfrmaddxm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void Tfrmaddxm::FormShow()
{
    Edit1->clear();
    Memo1->clear();
    Memo1Change();
}

void Tfrmaddxm::Memo1Change()
{
    Label3->setText(QStringLiteral("单机版提示语长度不能超过255个字符，当前长度:") +
                    QString::number(design::tipsLength(Memo1->toPlainText())));
}

void Tfrmaddxm::Button1Click()
{
    QString name, tips;
    if (!design::checkProjectInput(Edit1, Memo1, &name, &tips))
        return;
    try {
        if (design::exists(QStringLiteral("select * from t_ywbh where ywname=") + db::quoted(name))) {
            msg::ShowMessage(QStringLiteral("该业务名已经存在，请不要重复输入!"));
            return;
        }
        ADOcon().execute(QStringLiteral("insert into t_ywbh(ywname,ywtips) values(") + db::quoted(name) +
                         QStringLiteral(",") + db::quoted(tips) + QStringLiteral(")"));
        if (m_owner)
            m_owner->rereadFromTop();
        WriteSysLog(QStringLiteral("添加项目:") + name);
    } catch (const db::Error&) {
        msg::ShowMessage(design::kActionError);
        return;
    }
    Edit1->clear();
    Memo1->clear();
    msg::ShowMessage(design::kSaved);
    if (!CheckBox1->isChecked())
        close();
    else
        Edit1->setFocus();
}

void Tfrmaddxm::Button2Click()
{
    close();
}
