#include "reports/hwtj2.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/scaling.h"
#include "db/error.h"
#include "ops/reports/stats.h"
#include "reports/charts.h"

#include <QSplitter>
#include <QTimer>

QPointer<Tfrmhwtj2> frmhwtj2;

Tfrmhwtj2::Tfrmhwtj2(QWidget* parent)
    : TReportForm({"Tfrmhwtj2", QStringLiteral("电访结果统计"), QStringLiteral("话务员："), QStringLiteral("-------"),
                   QStringLiteral("统计")},
                  parent)
{
    frmhwtj2 = this;
    DBGrid1->setColumns({{QStringLiteral("ywname"), QStringLiteral("项目名称"), 142},
                         {QStringLiteral("slz"), QStringLiteral("话务员"), 65},
                         {QStringLiteral("totnum"), QStringLiteral("接触个数"), 53},
                         {QStringLiteral("jtgs"), QStringLiteral("接通个数"), 58},
                         {QStringLiteral("tjgs"), QStringLiteral("停机个数"), 60},
                         {QStringLiteral("gjgs"), QStringLiteral("关机个数"), 61},
                         {QStringLiteral("wydgs"), QStringLiteral("无应答个数"), 68},
                         {QStringLiteral("jfgs"), QStringLiteral("拒访个数"), 54},
                         {QStringLiteral("xcgs"), QStringLiteral("下次联系个数"), 81},
                         {QStringLiteral("wxgs"), QStringLiteral("无效数据个数"), 81},
                         {QStringLiteral("cggs"), QStringLiteral("成功个数"), 58},
                         {QStringLiteral("cgl"), QStringLiteral("成功率"), 39},
                         {QStringLiteral("tott"), QStringLiteral("通话时长（小时）"), 106}});
    grid::installWheelRule(DBGrid1);
    Chart1 = new TResultChart(this);

    Splitter1 = band.layOutOver(this, DBGrid1, Chart1);

    scaling::applyScreenScaling(this);
    keepDesignSize();
}

void Tfrmhwtj2::FormShow()
{
    try {
        loadProjects();
        DBGrid1->open(ops::reports::resultStatsEmptySql());
    } catch (const db::Error& e) {
        msg::ShowFailure(e, QStringLiteral("连接数据库时出错，请检查网络连接!"));
        // Closed once the show has finished, not from inside it.
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void Tfrmhwtj2::Button1Click()
{
    const auto f = chosenProject();
    if (!f)
        return;
    DBGrid1->close();
    try {
        DBGrid1->open(ops::reports::resultStatsSql(*f));
        DBGrid1->fetchAll(); // one row per operator: the chart needs them all
    } catch (const db::Error& e) {
        DBGrid1->close();
        msg::ShowFailure(e, QStringLiteral("操作数据库时出错，请检查网络连接!"));
    }
    showChart();
}

void Tfrmhwtj2::showChart()
{
    QList<ResultFigures> rows;
    const QStringList fields = TResultChart::endingFields();
    for (int r = 0; DBGrid1->isOpen() && r < DBGrid1->rowCount(); ++r) {
        ResultFigures x;
        x.slz = DBGrid1->text(r, QStringLiteral("slz"));
        for (int k = 0; k < fields.size(); ++k)
            x.endings[k] = DBGrid1->value(r, fields[k]).toInt();
        // The rate as the grid shows it: " 33.33%".
        x.rate = DBGrid1->text(r, QStringLiteral("cgl")).remove(u'%').trimmed().toDouble();
        rows << x;
    }
    Chart1->setFigures(rows);
}
