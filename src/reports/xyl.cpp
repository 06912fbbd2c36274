#include "reports/xyl.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/scaling.h"
#include "reports/charts.h"
#include "db/dm.h"
#include "db/error.h"
#include "ops/reports/dispositions.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>

QPointer<Tfrmxyl> frmxyl;

namespace {

using ops::reports::Disposition;

const char* const kClassTitles[ops::reports::kDispositionCount] = {"完成访问",
                                                                   "部分完成",
                                                                   "拒访、中断",
                                                                   "未接触",
                                                                   "其他合格未访",
                                                                   "是否合格未知（无人接听等）",
                                                                   "是否合格未知（其他）",
                                                                   "不合格"};

// Name, meaning and value of each line of the figures grid: the eight counts, e, then the rates.
struct Line
{
    QString name, meaning, value;
};

QString rateText(const std::optional<double>& v)
{
    // A zero denominator has no rate: never a division error or a wrong 0%.
    return v ? QString::number(*v * 100.0, 'f', 2) + u'%' : QStringLiteral("—");
}

QList<Line> lines(const ops::reports::Counts& c, const ops::reports::Rates& r)
{
    QList<Line> out;
    for (int k = 0; k < ops::reports::kDispositionCount; ++k)
        out.append({ops::reports::className(Disposition(k)), QString::fromUtf8(kClassTitles[k]),
                    QString::number(c[size_t(k)])});
    out.append({QStringLiteral("e"),
                r.eEstimated ? QStringLiteral("估计：已知资格个案中合格的比例") : QStringLiteral("用户填写"),
                QString::number(r.e, 'f', 4)});
    const QString den[3] = {QStringLiteral("I+P+R+NC+O+UH+UO"), QStringLiteral("I+P+R+NC+O+e(UH+UO)"),
                            QStringLiteral("I+P+R+NC+O")};
    for (int k = 0; k < 6; ++k)
        out.append({QStringLiteral("RR%1").arg(k + 1),
                    (k % 2 ? QStringLiteral("(I+P)/(") : QStringLiteral("I/(")) + den[k / 2] + u')',
                    rateText(r.rr[k])});
    const QString coop[4] = {QStringLiteral("I/(I+P+R+O)"), QStringLiteral("(I+P)/(I+P+R+O)"),
                             QStringLiteral("I/(I+P+R)"), QStringLiteral("(I+P)/(I+P+R)")};
    for (int k = 0; k < 4; ++k)
        out.append({QStringLiteral("COOP%1").arg(k + 1), coop[k], rateText(r.coop[k])});
    for (int k = 0; k < 3; ++k)
        out.append({QStringLiteral("REF%1").arg(k + 1), QStringLiteral("R/(") + den[k] + u')', rateText(r.ref[k])});
    for (int k = 0; k < 3; ++k)
        out.append(
            {QStringLiteral("CON%1").arg(k + 1), QStringLiteral("(I+P+R+O)/(") + den[k] + u')', rateText(r.con[k])});
    return out;
}

// The figures as a statement of constant rows, so that the grid and its export show them as
// they show any result.
db::Statement figuresStatement(const QList<Line>& rows)
{
    db::Statement s;
    for (const Line& l : rows) {
        s.sql += s.sql.isEmpty() ? QStringLiteral("select ? as xm, ? as sm, ? as sz")
                                 : QStringLiteral(" union all select ?, ?, ?");
        s.values << l.name << l.meaning << l.value;
    }
    return s;
}

// Bars with their values above them; the rates on a scale to 100, their names and values upright
// so that sixteen of them stay legible side by side.
QChart* barChart(const QString& title, const QStringList& names, const QList<double>& values, bool rates)
{
    auto* set = new QBarSet(title);
    for (double v : values)
        *set << v;
    set->setLabelColor(Qt::black);
    auto* series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(rates ? 3 : 12);
    if (rates)
        series->setLabelsAngle(-90);
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->addSeries(series);
    auto* axisNames = new QBarCategoryAxis;
    axisNames->append(names);
    if (rates)
        axisNames->setLabelsAngle(-90);
    auto* scale = new QValueAxis;
    scale->setLabelFormat(QStringLiteral("%.0f"));
    // Room for the labels above the bars: a rate is at most 100%, and its upright label needs
    // about 40 more in a window of the opening size; counts on whole steps.
    if (rates) {
        scale->setRange(0, 140);
        scale->setTickCount(8);
    } else {
        double top = 1;
        for (double v : values)
            top = std::max(top, v);
        setCountRange(scale, top * 1.2);
    }
    chart->addAxis(axisNames, Qt::AlignBottom);
    chart->addAxis(scale, Qt::AlignLeft);
    series->attachAxis(axisNames);
    series->attachAxis(scale);
    chart->legend()->hide();
    return chart;
}

} // namespace

Tfrmxyl::Tfrmxyl(QWidget* parent)
    : TReportForm({"Tfrmxyl", QStringLiteral("应答率统计"), QStringLiteral("话务员："), QStringLiteral("-------"),
                   QStringLiteral("统计")},
                  parent)
{
    frmxyl = this;
    DBGrid1->setColumns({{QStringLiteral("xm"), QStringLiteral("项目"), 70},
                         {QStringLiteral("sm"), QStringLiteral("说明"), 240},
                         {QStringLiteral("sz"), QStringLiteral("数值"), 90}});
    DBGrid1->setToolTip(QStringLiteral("单击一个个数，下方列出这些客户"));
    grid::installWheelRule(DBGrid1);
    DBGrid2 = new TDBGrid(this);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setColumns({{QStringLiteral("id"), QStringLiteral("编号"), 70},
                         {QStringLiteral("yhxm"), QStringLiteral("客户姓名"), 90},
                         {QStringLiteral("dhhm1"), QStringLiteral("电话号码"), 110},
                         {QStringLiteral("dq"), QStringLiteral("地区"), 80},
                         {QStringLiteral("sljg"), QStringLiteral("受理结果"), 80},
                         {QStringLiteral("slz"), QStringLiteral("话务员"), 70},
                         {QStringLiteral("slsj"), QStringLiteral("受理时间"), 130}});
    grid::installWheelRule(DBGrid2);

    EditE = new QLineEdit(this);
    EditE->setObjectName(QStringLiteral("EditE"));
    EditE->setPlaceholderText(QStringLiteral("自动估计"));
    EditE->setMaximumWidth(80);
    LabelE = new QLabel(this);
    LabelE->setObjectName(QStringLiteral("LabelE"));
    auto* eLine = new QHBoxLayout;
    eLine->addWidget(new QLabel(QStringLiteral("合格率 e："), this));
    eLine->addWidget(EditE);
    eLine->addWidget(LabelE, 1);

    ChartRates = new QChartView(this);
    ChartRates->setObjectName(QStringLiteral("ChartRates"));
    ChartRates->setRenderHint(QPainter::Antialiasing);
    ChartCounts = new QChartView(this);
    ChartCounts->setObjectName(QStringLiteral("ChartCounts"));
    ChartCounts->setRenderHint(QPainter::Antialiasing);

    auto* top = new QSplitter(Qt::Horizontal, this);
    top->addWidget(DBGrid1);
    top->addWidget(DBGrid2);
    auto* charts = new QSplitter(Qt::Horizontal, this);
    charts->addWidget(ChartRates);
    charts->addWidget(ChartCounts);
    charts->setStretchFactor(0, 3);
    charts->setStretchFactor(1, 2);
    auto* left = new QWidget(this);
    auto* leftLay = new QVBoxLayout(left);
    leftLay->setContentsMargins(0, 0, 0, 0);
    leftLay->addLayout(eLine);
    leftLay->addWidget(top, 1);
    Splitter1 = band.layOutOver(this, left, charts);
    // The charts need room for sixteen labelled bars.
    charts->setMinimumHeight(220);
    Splitter1->setSizes({380, 300});
    connect(DBGrid1, &QAbstractItemView::clicked, this, &Tfrmxyl::DBGrid1Click);
    connect(EditE, &QLineEdit::returnPressed, this, &Tfrmxyl::Button1Click);

    scaling::applyScreenScaling(this);
    keepDesignSize();
}

// The grids show their columns and no rows until there is something to show (a grid with no
// statement at all would report its missing rows as an error when it is painted).
const QString kNoFigures = QStringLiteral("select '' as xm, '' as sm, '' as sz where 1=2");
const QString kNoCases = QStringLiteral("select id,yhxm,dhhm1,dq,sljg,slz,slsj from yhdaview where 1=2");

void Tfrmxyl::FormShow()
{
    try {
        loadProjects();
        DBGrid1->open(kNoFigures);
        DBGrid2->open(kNoCases);
    } catch (const db::Error& e) {
        msg::ShowFailure(e, QStringLiteral("连接数据库时出错，请检查网络连接!"));
        QTimer::singleShot(0, this, [this] { close(); });
    }
    LabelE->setText(QStringLiteral("不填时按已知资格个案估计"));
}

void Tfrmxyl::Button1Click()
{
    std::optional<double> e;
    const QString typed = EditE->text().trimmed();
    if (!typed.isEmpty()) {
        bool ok = false;
        const double v = typed.toDouble(&ok);
        if (!ok || v < 0 || v > 1) {
            msg::ShowMessage(QStringLiteral("合格率 e 请填写 0 到 1 之间的小数（如 0.8），不填则按已知资格个案估计!"));
            return;
        }
        e = v;
    }
    const auto f = chosenProject();
    if (!f)
        return;
    try {
        DBGrid2->open(kNoCases);
        m_counts = ops::reports::finalDispositionCounts(ADOcon(), *f, QDateTime::currentDateTime());
        m_rates = ops::reports::computeRates(m_counts, e);
        m_filter = *f;
        m_ran = true;
        DBGrid1->open(figuresStatement(lines(m_counts, m_rates)));
        DBGrid1->fetchAll();
    } catch (const db::Error& x) {
        DBGrid1->close();
        DBGrid2->close();
        m_ran = false;
        msg::ShowFailure(x, QStringLiteral("操作数据库时出错，请检查网络连接!"));
    }
    showFigures();
}

void Tfrmxyl::DBGrid1Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (!m_ran || row < 0 || row >= ops::reports::kDispositionCount)
        return;
    try {
        DBGrid2->open(
            ops::reports::dispositionCases(ADOcon(), m_filter, QDateTime::currentDateTime(), Disposition(row)));
    } catch (const db::Error& x) {
        DBGrid2->close();
        msg::ShowFailure(x, QStringLiteral("操作数据库时出错，请检查网络连接!"));
    }
}

void Tfrmxyl::showFigures()
{
    if (!m_ran) {
        LabelE->clear();
        ChartRates->setChart(new QChart);
        ChartCounts->setChart(new QChart);
        return;
    }
    LabelE->setText(QStringLiteral("本次使用 e = %1（%2）")
                        .arg(QString::number(m_rates.e, 'f', 4),
                             m_rates.eEstimated ? QStringLiteral("按已知资格个案估计") : QStringLiteral("用户填写")));
    QStringList names;
    QList<double> values;
    auto add = [&](const QString& name, const std::optional<double>& v) {
        names << name;
        values << (v ? *v * 100.0 : 0.0); // no rate stands at 0 in the chart; the grid says "—"
    };
    for (int k = 0; k < 6; ++k)
        add(QStringLiteral("RR%1").arg(k + 1), m_rates.rr[k]);
    for (int k = 0; k < 4; ++k)
        add(QStringLiteral("COOP%1").arg(k + 1), m_rates.coop[k]);
    for (int k = 0; k < 3; ++k)
        add(QStringLiteral("REF%1").arg(k + 1), m_rates.ref[k]);
    for (int k = 0; k < 3; ++k)
        add(QStringLiteral("CON%1").arg(k + 1), m_rates.con[k]);
    ChartRates->setChart(barChart(QStringLiteral("应答率、合作率、拒访率、接触率（%）"), names, values, true));
    QStringList classes;
    QList<double> counts;
    for (int k = 0; k < ops::reports::kDispositionCount; ++k) {
        classes << ops::reports::className(Disposition(k));
        counts << double(m_counts[size_t(k)]);
    }
    ChartCounts->setChart(barChart(QStringLiteral("最终处置（个案数）"), classes, counts, false));
}
