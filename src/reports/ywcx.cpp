#include "reports/ywcx.h"

#include "core/entrydialog.h"
#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/vocab.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<Tfrmywcx> frmywcx;

namespace {

VisitQueryForm::Design design()
{
    return {"Tfrmywcx",
            QStringLiteral("电访结果查询"),
            QStringLiteral("受理结果："),
            QStringLiteral("回访时间："),
            QSize(928, 531),
            {{QStringLiteral("ywname"), QStringLiteral("项目名称"), 78},
             {QStringLiteral("yhxm"), QStringLiteral("客户姓名"), 54},
             {QStringLiteral("dq"), QStringLiteral("地区"), 56},
             {QStringLiteral("dz"), QStringLiteral("地址"), 128},
             {QStringLiteral("dhhm1"), QStringLiteral("电话号码"), 68},
             {QStringLiteral("slsj"), QStringLiteral("受理时间"), 58},
             {QStringLiteral("slz"), QStringLiteral("话务员"), 44},
             {QStringLiteral("sljg"), QStringLiteral("受理结果"), 58},
             {QStringLiteral("jg"), QStringLiteral("营销结果 "), 54},
             {QStringLiteral("bz"), QStringLiteral("备注"), 99},
             {QStringLiteral("zdslzxm"), QStringLiteral("指定受理话务员"), 99},
             {QStringLiteral("hfsj"), QStringLiteral("预约回访时间"), 110},
             {QStringLiteral("hjzt"), QStringLiteral("呼叫状态"), 90}}};
}

} // namespace

Tfrmywcx::Tfrmywcx(QWidget* parent) : VisitQueryForm(design(), parent)
{
    frmywcx = this;
    ComboBox3 = new QComboBox(this);
    ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
    ComboBox3->addItems({ops::reports::kAllResults, vocab::kSuccess, vocab::kNoSuccess});
    secondRow()->insertWidget(2, new QLabel(QStringLiteral("营销结果："), this));
    secondRow()->insertWidget(3, ComboBox3);

    Button2 = new QPushButton(QStringLiteral("修改营销结果为成功"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("修改营销结果为不成功"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    auto* bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("Panel2"));
    bottom->setFixedHeight(49);
    bottom->setLayout(buttonBar({Button2, Button3}, true));
    body()->addWidget(bottom);
    connect(Button2, &QPushButton::clicked, this, &Tfrmywcx::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmywcx::Button3Click);
    finishDesign();
}

void Tfrmywcx::FormShow()
{
    if (isOperator()) {
        Button2->setEnabled(false);
        Button3->setEnabled(false);
    }
    ComboBox3->setCurrentIndex(0);
    openForProject(ops::reports::kResultQueryEmpty);
}

void Tfrmywcx::BitBtn1Click()
{
    if (const auto f = projectFilter())
        showRows(ops::reports::resultQuery(*f, ComboBox3->currentText()));
}

void Tfrmywcx::Button2Click()
{
    mark(vocab::kSuccess);
}

void Tfrmywcx::Button3Click()
{
    mark(vocab::kNoSuccess);
}

void Tfrmywcx::mark(const QString& result)
{
    // The record the operator sees now, by its key: a re-read or a scroll later changes nothing.
    const int row = DBGrid1->currentRowIndex();
    if (row >= 0 && DBGrid1->value(row, QStringLiteral("sljg")).toString() == vocab::kNotHandled) {
        msg::ShowMessage(QStringLiteral("该用户尚未受理!"));
        return;
    }
    if (row < 0)
        return;
    const qint64 id = DBGrid1->value(row, QStringLiteral("id")).toLongLong();
    if (!msg::confirmOk(QStringLiteral("您确定要将该用户营销结果改成“") + result + QStringLiteral("”么?"),
                        QStringLiteral("操作确认")))
        return;
    try {
        const auto outcome = ops::reports::markResult(ADOcon(), pub::currentOperator(), id, result);
        if (outcome == ops::reports::MarkOutcome::NotHandled)
            msg::ShowMessage(QStringLiteral("该用户尚未受理!"));
        if (outcome != ops::reports::MarkOutcome::Marked)
            return;
        DBGrid1->reopen();
        DBGrid1->setCurrentRowIndex(0);
    } catch (const db::Error& e) {
        reports::reportError(e);
    }
}
