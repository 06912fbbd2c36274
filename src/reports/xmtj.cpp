#include "reports/xmtj.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/scaling.h"
#include "db/error.h"
#include "ops/reports/stats.h"
#include "reports/charts.h"

#include <QItemSelectionModel>
#include <QSplitter>

QPointer<Tfrmxmtj> frmxmtj;

Tfrmxmtj::Tfrmxmtj(QWidget* parent)
    : TReportForm({"Tfrmxmtj", QStringLiteral("项目问答统计"), QStringLiteral("话务员："), QStringLiteral("-------"),
                   QStringLiteral("统计")},
                  parent)
{
    frmxmtj = this;
    DBGrid1->setColumns({{QStringLiteral("ywname"), QStringLiteral("项目名称"), 142},
                         {QStringLiteral("slz"), QStringLiteral("话务员"), 57},
                         {QStringLiteral("qnr"), QStringLiteral("问题内容"), 241},
                         {QStringLiteral("ans"), QStringLiteral("回答内容"), 201},
                         {QStringLiteral("num"), QStringLiteral("个数统计"), 92}});
    grid::installWheelRule(DBGrid1);
    Chart1 = new TAnswerChart(this);

    Splitter1 = band.layOutOver(this, DBGrid1, Chart1);

    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &Tfrmxmtj::DBGrid1RowChange);
    scaling::applyScreenScaling(this);
    keepDesignSize();
}

void Tfrmxmtj::FormShow()
{
    try {
        loadProjects();
        DBGrid1->open(ops::reports::answerStatsEmptySql());
    } catch (const db::Error& e) {
        reportband::reportError(e);
    }
}

void Tfrmxmtj::Button1Click()
{
    const auto f = chosenProject();
    if (!f)
        return;
    DBGrid1->close();
    m_chartQuestion = QStringLiteral("\x01"); // redraw for whatever row comes first
    try {
        DBGrid1->open(ops::reports::answerStatsSql(*f));
        DBGrid1->fetchAll();
        DBGrid1->setCurrentRowIndex(0);
    } catch (const db::Error& e) {
        DBGrid1->close();
        reportband::reportError(e);
    }
    DBGrid1RowChange();
}

// The chart shows every answer the grid holds for the question of the current row, added up
// over the operators shown.
void Tfrmxmtj::DBGrid1RowChange()
{
    const int row = DBGrid1->currentRowIndex();
    const QString question = row >= 0 ? DBGrid1->text(row, QStringLiteral("qnr")) : QString();
    if (question == m_chartQuestion)
        return;
    m_chartQuestion = question;
    QStringList answers;
    QList<int> counts;
    for (int r = 0; row >= 0 && r < DBGrid1->rowCount(); ++r) {
        if (DBGrid1->text(r, QStringLiteral("qnr")) != question)
            continue;
        const QString ans = DBGrid1->text(r, QStringLiteral("ans"));
        const int n = DBGrid1->value(r, QStringLiteral("num")).toInt();
        const qsizetype k = answers.indexOf(ans);
        if (k < 0) {
            answers << ans;
            counts << n;
        } else {
            counts[k] += n;
        }
    }
    Chart1->setAnswers(question, answers, counts);
}
