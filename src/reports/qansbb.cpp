#include "reports/qansbb.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/waitmsg.h"
#include "db/dm.h"
#include "ops/reports/detail.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

QPointer<Tfrmqansbb> frmqansbb;

namespace {

// The hourglass and the wait window for the length of a run.
class Busy
{
public:
    Busy()
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ShowWaitMsg();
        SetWaitMsgText(QStringLiteral("正在生成报表，请稍候..."));
    }
    ~Busy()
    {
        CloseWaitMsg();
        QApplication::restoreOverrideCursor();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

} // namespace

Tfrmqansbb::Tfrmqansbb(QWidget* parent)
    : TReportForm({"Tfrmqansbb", QStringLiteral("项目问答明细报表"), QStringLiteral("话务员名："),
                   QStringLiteral("--------------"), QStringLiteral("查  询")},
                  parent)
{
    frmqansbb = this;
    DBGrid1->setReadsOwnTables(true); // the report's work table is the connection's own
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));

    auto* lay = new QVBoxLayout(this);
    lay->addLayout(band.layout);
    lay->addWidget(DBGrid1, 1);
    lay->addWidget(Label1);
    resize(1000, 600);

    DBGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    showInitialColumns();
    keepDesignSize();
}

// Before the first run: nine titled columns bound to no field.
void Tfrmqansbb::showInitialColumns()
{
    DBGrid1->close();
    DBGrid1->setColumns({});
    const auto cols = ops::reports::detailInitialColumns();
    auto* model = DBGrid1->queryModel();
    model->insertColumns(0, int(cols.size()));
    for (int i = 0; i < cols.size(); ++i) {
        model->setHeaderData(i, Qt::Horizontal, cols[i].title);
        DBGrid1->setColumnWidth(i, cols[i].width);
    }
}

void Tfrmqansbb::FormShow()
{
    band.Edit1->clear();
    try {
        loadProjects();
    } catch (const db::Error& e) {
        msg::ShowFailure(e, QStringLiteral("连接数据库出错，请检查网络和服务器!"));
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void Tfrmqansbb::Button1Click()
{
    const auto f = chosenProject();
    if (!f)
        return;
    // The grid lets go of tmp before tmp is rebuilt.
    DBGrid1->close();
    Label1->setText(QStringLiteral("正在生成报表..."));
    ops::reports::DetailReport r;
    try {
        Busy busy;
        r = ops::reports::buildDetailReport(ADOcon(), *f, [](int done, int total) {
            SetWaitMsgText(QStringLiteral("正在生成报表：%1 / %2 个客户").arg(done).arg(total));
            SetWaitMsgProgress(total, done);
        });
        QList<GridColumn> cols;
        for (const auto& c : r.columns)
            cols.append({c.field, c.title, c.width});
        DBGrid1->setColumns(cols);
        DBGrid1->open(r.displaySql);
    } catch (const db::Error& e) {
        // Nothing of a failed run is shown: the grid stays empty and says so.
        showInitialColumns();
        Label1->setText(QStringLiteral("报表没有生成完成。"));
        reportband::reportError(e);
        return;
    }
    Label1->setText(QStringLiteral("共 %1 个客户，%2 个问题。").arg(r.customers).arg(r.questions));
}
