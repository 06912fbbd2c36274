#include "design/addxm.h"

#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "design/formkit.h"
#include "ops/design/projects.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

QPointer<Tfrmaddxm> frmaddxm;

Tfrmaddxm::Tfrmaddxm(QWidget* parent) : TDesignDialog(QStringLiteral("Tfrmaddxm"), QStringLiteral("新增项目"), parent)
{
    frmaddxm = this;
    QGridLayout* fields = design::projectFields(this, &Edit1, &Memo1);
    Label3 = design::redLabel(QString(), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    fields->addWidget(Label3, 2, 1);
    layOut(fields, QStringLiteral("保     存"), QStringLiteral("退   出"), true, QSize(460, 260));
    connect(Memo1, &QPlainTextEdit::textChanged, this, &Tfrmaddxm::Memo1Change);
    scaling::applyScreenScaling(this);
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
    auto outcome = ops::design::Outcome::Done;
    if (!save([&] {
            outcome = ops::design::addProject(ADOcon(), pub::currentOperator(), name, tips);
            return outcome == ops::design::Outcome::Done;
        }))
        return;
    if (outcome == ops::design::Outcome::DuplicateName) {
        msg::ShowMessage(QStringLiteral("该业务名已经存在，请不要重复输入!"));
        return;
    }
    Edit1->clear();
    Memo1->clear();
    msg::ShowMessage(design::kSaved);
    if (stayForNext())
        Edit1->setFocus();
}
