#include "reports/ydcx.h"

#include <QComboBox>
#include <QPushButton>

QPointer<Tfrmydcx> frmydcx;

namespace {

VisitQueryForm::Design design()
{
    return {"Tfrmydcx",
            QStringLiteral("项目问答记录查询"),
            QStringLiteral("回访结果："),
            QStringLiteral("回访时间："),
            QSize(917, 547),
            {{QStringLiteral("ywname"), QStringLiteral("项目名称"), 78},
             {QStringLiteral("yhxm"), QStringLiteral("客户姓名"), 54},
             {QStringLiteral("dq"), QStringLiteral("地区"), 51},
             {QStringLiteral("dz"), QStringLiteral("地址"), 150},
             {QStringLiteral("dhhm1"), QStringLiteral("电话号码"), 68},
             {QStringLiteral("slsj"), QStringLiteral("受理时间"), 55},
             {QStringLiteral("slz"), QStringLiteral("话务员"), 40},
             {QStringLiteral("qbh"), QStringLiteral("问题编号"), 50},
             {QStringLiteral("qnr"), QStringLiteral("问题内容"), 99},
             {QStringLiteral("ans"), QStringLiteral("回访结果"), 60},
             {QStringLiteral("tottime"), QStringLiteral("通话时长(秒)"), 71}}};
}

} // namespace

Tfrmydcx::Tfrmydcx(QWidget* parent) : VisitQueryForm(design(), parent)
{
    frmydcx = this;
    finishDesign();
}

void Tfrmydcx::FormShow()
{
    if (isOperator())
        Button1->setEnabled(false);
    try {
        openFilters(ops::reports::kAnswerQueryEmpty);
    } catch (const db::Error& e) {
        reports::reportError(e);
    }
}

void Tfrmydcx::BitBtn1Click()
{
    const ops::reports::QueryFilter f = readFilter();
    if (ComboBox1->currentText().isEmpty() || !f.ywbh)
        return;
    try {
        DBGrid1->close();
        DBGrid1->open(ops::reports::answerQuery(f));
        DBGrid1->setCurrentRowIndex(0);
    } catch (const db::Error& e) {
        reports::reportError(e);
    }
}
