#include "reports/charts.h"

#include "core/filedlg.h"
#include "core/msg.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

void setCountRange(QValueAxis* axis, qreal top)
{
    const qint64 want = std::max<qint64>(1, qint64(std::ceil(top)));
    qint64 step = 1;
    for (qint64 base = 1; step * 5 < want; base *= 10) {
        for (qint64 m : {1, 2, 5}) {
            step = base * m;
            if (step * 5 >= want)
                break;
        }
    }
    axis->setRange(0, qreal(step * 5));
    axis->setTickCount(6);
}

TChartPanel::TChartPanel(const QString& suggestedFile, QWidget* parent)
    : QWidget(parent), LabelTitle(new QLabel(this)), ChartView1(new QChartView), Button3(new QPushButton(QStringLiteral("保存图表"), this)),
      m_scroll(new QScrollArea(this)), m_suggested(suggestedFile)
{
    ChartView1->setObjectName(QStringLiteral("ChartView1"));
    ChartView1->setRenderHint(QPainter::Antialiasing);
    ChartView1->chart()->legend()->setAlignment(Qt::AlignLeft);
    LabelTitle->setObjectName(QStringLiteral("LabelTitle"));
    LabelTitle->setAlignment(Qt::AlignCenter);
    QFont bold = LabelTitle->font();
    bold.setBold(true);
    LabelTitle->setFont(bold);
    ChartView1->chart()->setMargins(QMargins(4, 4, 4, 4));
    Button3->setObjectName(QStringLiteral("Button3"));
    m_scroll->setObjectName(QStringLiteral("ScrollBox1"));
    m_scroll->setWidget(ChartView1);
    m_scroll->setWidgetResizable(false);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->viewport()->installEventFilter(this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button3);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(LabelTitle);
    lay->addWidget(m_scroll, 1);
    lay->addLayout(buttons);
    connect(Button3, &QPushButton::clicked, this, &TChartPanel::Button3Click);
    setMinimumHeight(300);
}

QChart* TChartPanel::chart() const
{
    return ChartView1->chart();
}

QString TChartPanel::title() const
{
    return LabelTitle->text();
}

void TChartPanel::setTitle(const QString& title)
{
    // On the picture too, where the label is not.
    LabelTitle->setText(title);
    ChartView1->chart()->setTitle(QString());
}

bool TChartPanel::savePng(const QString& path) const
{
    // The whole chart, also the part scrolled out of view, with its title on top.
    const QPixmap chart = ChartView1->grab();
    QPixmap out(chart.width(), chart.height() + 30);
    out.fill(Qt::white);
    QPainter p(&out);
    p.setFont(LabelTitle->font());
    p.drawText(QRect(0, 0, out.width(), 30), Qt::AlignCenter, LabelTitle->text());
    p.drawPixmap(0, 30, chart);
    p.end();
    return out.save(path, "PNG");
}

void TChartPanel::Button3Click()
{
    const QString path =
        filedlg::saveFileName(this, QStringLiteral("保存图表"), m_suggested, QStringLiteral("PNG 图片 (*.png)"));
    if (path.isEmpty())
        return;
    if (!savePng(path))
        msg::ShowMessage(QStringLiteral("图表没有保存成功，请检查文件名和文件夹!"));
}

void TChartPanel::fitTo(int count, int perBar, bool sideBySide)
{
    m_count = count;
    m_perBar = perBar;
    m_sideBySide = sideBySide;
    // The chart fills the visible area and grows past it when the bars need more room.
    const QSize room = m_scroll->viewport()->size();
    // Room for the axes and margins besides the bars: the value axis under flat bars takes less.
    const int needed = (sideBySide ? 160 : 70) + count * perBar;
    m_scroll->setHorizontalScrollBarPolicy(sideBySide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(sideBySide ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    if (sideBySide)
        ChartView1->resize(std::max(room.width(), needed), room.height());
    else
        ChartView1->resize(room.width(), std::max(room.height(), needed));
}

bool TChartPanel::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_scroll->viewport() && e->type() == QEvent::Resize)
        fitTo(m_count, m_perBar, m_sideBySide);
    return QWidget::eventFilter(o, e);
}

QString TChartPanel::shortName(const QString& name, int maxChars)
{
    return name.size() <= maxChars ? name : name.left(maxChars - 1) + QChar(0x2026);
}

// --- result statistics ------------------------------------------------------------------

TResultChart::TResultChart(QWidget* parent) : TChartPanel(QStringLiteral("电访结果统计.png"), parent)
{
    setObjectName(QStringLiteral("ResultChart"));
    setFigures({});
}

QStringList TResultChart::endings()
{
    return {QStringLiteral("接通"), QStringLiteral("停机"), QStringLiteral("关机"), QStringLiteral("无应答"),
            QStringLiteral("拒访"), QStringLiteral("下次联系"), QStringLiteral("无效数据")};
}

QStringList TResultChart::endingFields()
{
    return {QStringLiteral("jtgs"), QStringLiteral("tjgs"), QStringLiteral("gjgs"), QStringLiteral("wydgs"),
            QStringLiteral("jfgs"), QStringLiteral("xcgs"), QStringLiteral("wxgs")};
}

void TResultChart::setFigures(const QList<ResultFigures>& rows)
{
    QChart* c = chart();
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes()) {
        c->removeAxis(a);
        delete a;
    }
    setTitle(QStringLiteral("各话务员受理结果与成功率"));

    QStringList names;
    for (const ResultFigures& r : rows)
        names << shortName(r.slz.isEmpty() ? QStringLiteral("(空)") : r.slz, 6);
    auto* bars = new QStackedBarSeries;
    bars->setObjectName(QStringLiteral("endings"));
    const QStringList titles = endings();
    for (int k = 0; k < titles.size(); ++k) {
        auto* set = new QBarSet(titles[k]);
        for (const ResultFigures& r : rows)
            *set << r.endings[k];
        bars->append(set);
    }
    bars->setBarWidth(0.6);
    auto* rate = new QLineSeries;
    rate->setObjectName(QStringLiteral("rate"));
    rate->setName(QStringLiteral("成功率(%)"));
    double top = 100;
    int tallest = 1;
    for (int i = 0; i < rows.size(); ++i) {
        rate->append(i, rows[i].rate);
        top = std::max(top, rows[i].rate);
        int sum = 0;
        for (int n : rows[i].endings)
            sum += n;
        tallest = std::max(tallest, sum);
    }
    rate->setPointsVisible(true);
    rate->setPointLabelsVisible(rows.size() <= 30);
    rate->setPointLabelsFormat(QStringLiteral("@yPoint%"));
    rate->setPointLabelsClipping(false);
    c->addSeries(bars);
    c->addSeries(rate);

    auto* x = new QBarCategoryAxis;
    x->append(names.isEmpty() ? QStringList{QString()} : names);
    // Each bar as wide as its name, so that no name is cut further by the axis.
    const QFontMetrics fm(x->labelsFont());
    int perBar = 56;
    for (const QString& n : names)
        perBar = std::max(perBar, fm.horizontalAdvance(n) + 16);
    c->addAxis(x, Qt::AlignBottom);
    bars->attachAxis(x);
    rate->attachAxis(x);
    auto* counts = new QValueAxis;
    counts->setTitleText(QStringLiteral("个数"));
    // The charts measure a title's room by its first font: a title in Chinese alone is cut to "⋮".
    counts->setTitleFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), counts->titleFont().pointSize(), QFont::Bold));
    counts->setLabelFormat(QStringLiteral("%d"));
    c->addAxis(counts, Qt::AlignLeft);
    bars->attachAxis(counts);
    setCountRange(counts, tallest);
    // Its ticks stand on the count axis' grid lines (the same six), which are the only ones drawn.
    auto* percent = new QValueAxis;
    percent->setTitleText(QStringLiteral("成功率(%)"));
    percent->setRange(0, std::ceil(top / 50) * 50);
    percent->setTickCount(6);
    percent->setGridLineVisible(false);
    percent->setLabelFormat(QStringLiteral("%.0f"));
    c->addAxis(percent, Qt::AlignRight);
    rate->attachAxis(percent);

    // Whole names and figures where the pointer rests.
    connect(bars, &QStackedBarSeries::hovered, this, [rows, titles](bool on, int i, QBarSet* set) {
        if (!on || i < 0 || i >= rows.size()) {
            QToolTip::hideText();
            return;
        }
        QToolTip::showText(QCursor::pos(), rows[i].slz + u'\n' + set->label() + u'：' +
                                               QString::number(set->at(i)) + QStringLiteral("\n成功率：") +
                                               QString::number(rows[i].rate) + u'%');
    });
    fitTo(int(rows.size()), perBar, true);
}

// --- answer statistics ------------------------------------------------------------------

TAnswerChart::TAnswerChart(QWidget* parent) : TChartPanel(QStringLiteral("项目问答统计.png"), parent)
{
    setObjectName(QStringLiteral("AnswerChart"));
    setAnswers(QString(), {}, {});
}

void TAnswerChart::setAnswers(const QString& question, const QStringList& answers, const QList<int>& counts)
{
    QChart* c = chart();
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes()) {
        c->removeAxis(a);
        delete a;
    }
    QString title = question;
    title.replace(u'\n', u' ');
    setTitle(question.isEmpty() ? QStringLiteral("问题的回答分布") : shortName(title, 60));
    c->legend()->setVisible(false);

    // Bars lie flat, answers down the side: long answer texts stay readable.
    auto* bars = new QHorizontalBarSeries;
    bars->setObjectName(QStringLiteral("answers"));
    auto* set = new QBarSet(QStringLiteral("个数"));
    QStringList names;
    int top = 1;
    // The first answer on top.
    for (qsizetype i = answers.size() - 1; i >= 0; --i) {
        names << shortName(answers[i].isEmpty() ? QStringLiteral("(空)") : answers[i], 14);
        *set << counts.value(i);
        top = std::max(top, counts.value(i));
    }
    set->setLabelColor(Qt::white);
    bars->append(set);
    bars->setLabelsVisible(true);
    bars->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
    bars->setBarWidth(0.7);
    c->addSeries(bars);
    auto* y = new QBarCategoryAxis;
    y->append(names.isEmpty() ? QStringList{QString()} : names);
    c->addAxis(y, Qt::AlignLeft);
    bars->attachAxis(y);
    auto* x = new QValueAxis;
    x->setLabelFormat(QStringLiteral("%d"));
    setCountRange(x, top);
    c->addAxis(x, Qt::AlignBottom);
    bars->attachAxis(x);

    const QStringList whole = answers;
    connect(bars, &QHorizontalBarSeries::hovered, this, [whole, set](bool on, int i, QBarSet*) {
        const int k = int(whole.size()) - 1 - i;
        if (!on || k < 0 || k >= whole.size()) {
            QToolTip::hideText();
            return;
        }
        QToolTip::showText(QCursor::pos(), whole[k] + u'：' + QString::number(set->at(i)));
    });
    fitTo(int(answers.size()), 20, false);
}
