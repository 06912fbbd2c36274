#include "reports/ydcx.h"

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
             {QStringLiteral("tottime"), QStringLiteral("通话时长(秒)"), 71},
             {QStringLiteral("lywj"), QStringLiteral("录音文件"), 200}}};
}

} // namespace

Tfrmydcx::Tfrmydcx(QWidget* parent) : VisitQueryForm(design(), parent)
{
    frmydcx = this;
    finishDesign();
}

void Tfrmydcx::FormShow()
{
    openForProject(ops::reports::kAnswerQueryEmpty);
}

void Tfrmydcx::BitBtn1Click()
{
    if (const auto f = projectFilter())
        showRows(ops::reports::answerQuery(*f));
}
