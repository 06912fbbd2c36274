#include "reports/xmtj.h"

#include "core/dbgrid.h"
#include "core/export.h"
#include "core/msg.h"
#include "core/scaling.h"
#include "db/error.h"
#include "ops/reports/stats.h"
#include "reports/charts.h"

#include <QItemSelectionModel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

QPointer<Tfrmxmtj> frmxmtj;

Tfrmxmtj::Tfrmxmtj(QWidget* parent) : TChildForm(parent)
{
    frmxmtj = this;
    setObjectName(QStringLiteral("Tfrmxmtj"));
    setWindowTitle(QStringLiteral("项目问答统计"));

    band.build(this, QStringLiteral("话务员："), QStringLiteral("-------"), QStringLiteral("统计"));
    DBGrid1 = new TDBGrid(this);
    DBGrid1->setColumns({{QStringLiteral("ywname"), QStringLiteral("项目名称"), 142},
                         {QStringLiteral("slz"), QStringLiteral("话务员"), 57},
                         {QStringLiteral("qnr"), QStringLiteral("问题内容"), 241},
                         {QStringLiteral("ans"), QStringLiteral("回答内容"), 201},
                         {QStringLiteral("num"), QStringLiteral("个数统计"), 92}});
    grid::installWheelRule(DBGrid1);
    Chart1 = new TAnswerChart(this);

    Splitter1 = band.layOutOver(this, DBGrid1, Chart1);

    connect(band.Button1, &QPushButton::clicked, this, &Tfrmxmtj::Button1Click);
    connect(band.Button2, &QPushButton::clicked, this, &Tfrmxmtj::Button2Click);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &Tfrmxmtj::DBGrid1RowChange);
    scaling::applyScreenScaling(this);
    m_designSize = size();
}

void Tfrmxmtj::showEvent(QShowEvent* e)
{
    TChildForm::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void Tfrmxmtj::FormShow()
{
    try {
        band.loadProjects(QStringLiteral("select * from t_ywbh   order by ywbh desc"));
        DBGrid1->open(ops::reports::answerStatsEmptySql());
    } catch (const db::Error& e) {
        reportband::reportError(e);
    }
}

void Tfrmxmtj::Button1Click()
{
    const ops::reports::Filter f = band.read();
    if (!f.hasProject()) {
        msg::ShowMessage(reportband::kNoProject);
        return;
    }
    DBGrid1->close();
    m_chartQuestion = QStringLiteral("\x01"); // redraw for whatever row comes first
    try {
        DBGrid1->open(ops::reports::answerStatsSql(f));
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

void Tfrmxmtj::Button2Click()
{
    ExportToExcel({DBGrid1});
}
