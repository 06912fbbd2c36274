#include "reports/hfhistory.h"

#include "core/listform.h"
#include "core/msg.h"
#include "core/player.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>

QPointer<Tfrmhfhistory> frmhfhistory;

namespace {

const QString kActionError = QStringLiteral("操作数据库时出错，请检查网络连接!");

VisitQueryForm::Design design()
{
    return {"Tfrmhfhistory",
            QStringLiteral("电访历史记录查询"),
            QStringLiteral("受理结果："),
            QStringLiteral("受理时间："),
            QSize(919, 547),
            {{QStringLiteral("ywname"), QStringLiteral("项目名称"), 137},
             {QStringLiteral("dhhm"), QStringLiteral("电话号码"), 94},
             {QStringLiteral("slz"), QStringLiteral("话务员"), 63},
             {QStringLiteral("slsj"), QStringLiteral("受理时间"), 140},
             {QStringLiteral("sljg"), QStringLiteral("受理结果"), 137},
             {QStringLiteral("bz"), QStringLiteral("备注"), 245},
             {QStringLiteral("hfsj"), QStringLiteral("预约回访时间"), 120},
             // at seats that dial: the call's seconds, whether the line or the screen measured them, the recording
             {QStringLiteral("thsc"), QStringLiteral("通话时长(秒)"), 80},
             {QStringLiteral("jsly"), QStringLiteral("计时"), 40},
             {QStringLiteral("lywj"), QStringLiteral("录音文件"), 245}}};
}

} // namespace

Tfrmhfhistory::Tfrmhfhistory(QWidget* parent) : VisitQueryForm(design(), parent)
{
    frmhfhistory = this;
    ButtonPlay = new QPushButton(QStringLiteral("播放录音"), this);
    ButtonPlay->setObjectName(QStringLiteral("ButtonPlay"));
    secondRow()->addWidget(ButtonPlay);
    connect(ButtonPlay, &QPushButton::clicked, this, &Tfrmhfhistory::ButtonPlayClick);
    finishDesign();
}

void Tfrmhfhistory::ButtonPlayClick()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0) {
        msg::ShowMessage(QStringLiteral("请先选中一条记录。"));
        return;
    }
    const QString file = DBGrid1->text(row, QStringLiteral("lywj")).trimmed();
    if (file.isEmpty()) {
        msg::ShowMessage(QStringLiteral("这条记录没有录音。"));
        return;
    }
    QString why;
    if (!player::play(file, &why))
        msg::ShowMessage(why);
}

void Tfrmhfhistory::FormShow()
{
    if (isOperator())
        Button1->setEnabled(false);
    try {
        openFilters(ops::reports::kHistoryQueryEmpty);
        ComboBox1->insertItem(0, ops::reports::kAllProjects);
        ComboBox2->insertItem(0, ops::reports::kAllProjectsNumber);
        ComboBox1->setCurrentIndex(0);
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kActionError);
    }
}

void Tfrmhfhistory::BitBtn1Click()
{
    ops::reports::QueryFilter f = readFilter();
    if (ComboBox1->currentText().isEmpty())
        return;
    if (ComboBox1->currentText() == ops::reports::kAllProjects)
        f.ywbh.reset();
    else if (!f.ywbh)
        return;
    try {
        // A query that fails keeps the rows shown before.
        lists::openAtFirst(DBGrid1, ops::reports::historyQuery(f));
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kActionError);
    }
}
