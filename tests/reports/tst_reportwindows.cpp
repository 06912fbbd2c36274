// The statistics and report windows as a manager uses them, found by their control names.
#include "support/failwhere.h"
#include "support/msgscript.h"
#include "support/testdb.h"
#include "support/testmain.h"

#include "../ops/reports/reportdata.h"
#include "core/dbgrid.h"
#include "core/export.h"
#include "core/filedlg.h"
#include "core/windows.h"
#include "db/dm.h"
#include "db/transaction.h"
#include "reports/charts.h"
#include "reports/hwtj2.h"
#include "reports/qansbb.h"
#include "reports/register.h"
#include "reports/xmtj.h"

#include <QBarSet>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QHorizontalBarSeries>
#include <QTemporaryDir>

using namespace tst::reports;

namespace {

template <class T> T* ctl(QWidget* w, const char* name)
{
    return w->findChild<T*>(QLatin1String(name));
}

void click(QWidget* w, const char* button)
{
    ctl<QPushButton>(w, button)->click();
}

QStringList headerTitles(TDBGrid* g)
{
    QStringList t;
    QHeaderView* h = g->horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int logical = h->logicalIndex(v);
        if (!g->isColumnHidden(logical))
            t << g->model()->headerData(logical, Qt::Horizontal).toString();
    }
    return t;
}

QByteArray workbookText(const QString& file)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file});
    unzip.waitForFinished(30000);
    return unzip.readAllStandardOutput();
}

const QString kHostile = QStringLiteral("O'Neil\"; drop table yhda; --");

// Project 回访 with questions 1 and 2, three operators (one with a hostile name) and answers.
struct Data
{
    qint64 project = 0, q1 = 0, q2 = 0;
    explicit Data(db::Connection& con)
    {
        addProject(con, QStringLiteral("旧项目"));
        project = addProject(con, QStringLiteral("回访"));
        q1 = addQuestion(con, project, 1, QStringLiteral("您对服务满意吗？"));
        q2 = addQuestion(con, project, 2, QStringLiteral("还会再来吗？"));
        const QString t = QStringLiteral("2024-03-05 10:00:00");
        const qint64 a = addCustomer(con, project, QStringLiteral("张三"), QStringLiteral("已受理"), "成功", t);
        const qint64 b = addCustomer(con, project, QStringLiteral("张三"), QStringLiteral("关机"), {}, t);
        const qint64 c = addCustomer(con, project, kHostile, QStringLiteral("已受理"), "不成功", t);
        addCustomer(con, project, QString(), QStringLiteral("未受理"));
        addAnswer(con, q1, a, QStringLiteral("满意"), QStringLiteral("张三"), 600);
        addAnswer(con, q2, a, QStringLiteral("会"), QStringLiteral("张三"), 1200);
        addAnswer(con, q1, b, QStringLiteral("关机"), QStringLiteral("张三"), 30);
        addAnswer(con, q1, c, QStringLiteral("满意"), kHostile, 100);
        addAnswer(con, q2, c, QStringLiteral("不会"), kHostile, 200);
    }
};

} // namespace

class TstReportWindows : public QObject
{
    Q_OBJECT
    // A fresh database for every test, the administrator logged in.
    std::unique_ptr<tst::TestDb> m_db;

private slots:
    void init()
    {
        filedlg::clearAnswers();
        m_db = std::make_unique<tst::TestDb>();
        QVERIFY(m_db->ok());
        m_db->loginAdmin();
    }
    void cleanup() { m_db.reset(); }
    void registered();
    void resultStatistics();
    void answerStatistics();
    void detailReport();
    void detailGridReadsOnAfterOtherWork();
    void nothingRunsWithoutAProject();
};

void TstReportWindows::registered()
{
    register_reports_windows();
    for (const char* c : {"Tfrmhwtj2", "Tfrmxmtj", "Tfrmqansbb"})
        QVERIFY(windows::isRegistered(QLatin1String(c)));
}

void TstReportWindows::resultStatistics()
{
    Data data(ADOcon());
    tst::MsgScript boxes;
    boxes.strict();
    Tfrmhwtj2 w;
    w.show();
    auto* grid = ctl<TDBGrid>(&w, "DBGrid1");
    QCOMPARE(ctl<QComboBox>(&w, "ComboBox1")->currentText(), QStringLiteral("回访"));
    QCOMPARE(grid->rowCount(), 0);
    QCOMPARE(headerTitles(grid).size(), 13);
    QVERIFY(!ctl<QDateEdit>(&w, "DateTimePicker1")->isEnabled());
    ctl<QCheckBox>(&w, "CheckBox1")->setChecked(true);
    QVERIFY(ctl<QDateEdit>(&w, "DateTimePicker2")->isEnabled());
    ctl<QCheckBox>(&w, "CheckBox1")->setChecked(false);

    // A quote in the operator box finds that operator.
    ctl<QLineEdit>(&w, "Edit1")->setText(QStringLiteral("  ") + kHostile + QStringLiteral(" \t"));
    click(&w, "Button1");
    QCOMPARE(ctl<QLineEdit>(&w, "Edit1")->text(), kHostile);
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->text(0, "slz"), kHostile);
    QCOMPARE(grid->text(0, "cgl"), QStringLiteral(" 0%"));

    ctl<QLineEdit>(&w, "Edit1")->clear();
    click(&w, "Button1");
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(boxes.count(), 0);

    // The chart holds the grid's figures: one stacked bar per operator, the rate per operator.
    auto* chart = ctl<TResultChart>(&w, "ResultChart");
    auto* bars = qobject_cast<QStackedBarSeries*>(chart->chart()->series().value(0));
    auto* rate = qobject_cast<QLineSeries*>(chart->chart()->series().value(1));
    QVERIFY(bars && rate);
    QCOMPARE(bars->count(), 7);
    const QStringList fields = TResultChart::endingFields();
    for (int r = 0; r < grid->rowCount(); ++r) {
        for (int k = 0; k < 7; ++k)
            QCOMPARE(bars->barSets()[k]->at(r), grid->value(r, fields[k]).toDouble());
        QCOMPARE(rate->at(r).y(), grid->text(r, "cgl").remove(u'%').toDouble());
    }
    QCOMPARE(grid->text(grid->text(0, "slz") == QStringLiteral("张三") ? 0 : 1, "cgl"), QStringLiteral(" 100%"));

    // Saved as a picture through the file dialog.
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("结果.png"));
    filedlg::queueAnswers({png});
    click(chart, "Button3");
    QImage img(png);
    QVERIFY(!img.isNull());
    QVERIFY(img.width() > 100);
}

void TstReportWindows::answerStatistics()
{
    Data data(ADOcon());
    tst::MsgScript boxes;
    boxes.strict();
    Tfrmxmtj w;
    w.show();
    auto* grid = ctl<TDBGrid>(&w, "DBGrid1");
    QCOMPARE(headerTitles(grid), QStringList({"项目名称", "话务员", "问题内容", "回答内容", "个数统计"}));
    click(&w, "Button1");
    QCOMPARE(grid->rowCount(), 5); // 满意 twice (two operators), 关机, 会, 不会

    auto* chart = ctl<TAnswerChart>(&w, "AnswerChart");
    auto check = [&](int row) {
        grid->setCurrentRowIndex(row);
        const QString question = grid->text(row, "qnr");
        QMap<QString, int> expected;
        for (int r = 0; r < grid->rowCount(); ++r)
            if (grid->text(r, "qnr") == question)
                expected[grid->text(r, "ans")] += grid->value(r, "num").toInt();
        auto* bars = qobject_cast<QHorizontalBarSeries*>(chart->chart()->series().value(0));
        if (!bars || bars->barSets().size() != 1)
            return false;
        int total = 0;
        for (int i = 0; i < bars->barSets()[0]->count(); ++i)
            total += int(bars->barSets()[0]->at(i));
        int want = 0;
        for (int n : expected)
            want += n;
        return bars->barSets()[0]->count() == expected.size() && total == want &&
               chart->title() == question;
    };
    for (int r = 0; r < grid->rowCount(); ++r)
        QVERIFY2(check(r), qPrintable(QString::number(r)));
    QCOMPARE(boxes.count(), 0);
}

void TstReportWindows::detailReport()
{
    tst::TestDb& db = *m_db;
    Data data(ADOcon());
    tst::MsgScript boxes;
    Tfrmqansbb w;
    w.show();
    auto* grid = ctl<TDBGrid>(&w, "DBGrid1");
    QCOMPARE(headerTitles(grid), QStringList({"项目名称", "客户姓名", "电话号码", "地区", "受理时间", "受理结果",
                                              "营销结果", "话务员", "备注"}));
    click(&w, "Button1");
    QCOMPARE(boxes.count(), 0);
    const QStringList titles = headerTitles(grid);
    QCOMPARE(titles.mid(9), QStringList({"问题1", "问题2"}));
    grid->fetchAll();
    QCOMPARE(grid->rowCount(), 4); // the never-handled customer too
    QCOMPARE(db.count("tmp", "q2='不会'"), 1);

    // The exported workbook carries the question columns.
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("明细.xlsx"));
    xlsexport::setOpener([](const QString&) { return true; });
    filedlg::queueAnswers({book});
    click(&w, "Button2");
    xlsexport::setOpener({});
    const QString text = QString::fromUtf8(workbookText(book));
    for (const char* s : {"问题1", "问题2", "不会", "满意"})
        QVERIFY2(text.contains(QString::fromUtf8(s)), s);

    // A run that fails shows no report as finished, and the last finished one stays in tmp.
    {
        tst::FailWhere fail(QStringLiteral("detail_slsj on"));
        ctl<QCheckBox>(&w, "CheckBox1")->setChecked(true);
        click(&w, "Button1");
    }
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(grid->rowCount(), 0);
    QCOMPARE(w.Label1->text(), QStringLiteral("报表没有生成完成。"));
    QCOMPARE(db.count("tmp"), 4);
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

void TstReportWindows::detailGridReadsOnAfterOtherWork()
{
    tst::TestDb& db = *m_db;
    const qint64 p = addProject(ADOcon(), QStringLiteral("回访"));
    db.exec(QStringLiteral("with recursive c(i) as (select 1 union all select i+1 from c where i<300) "
                           "insert into yhda(ywbh,yhxm,dhhm1,sljg) select %1, 'x', '139', '关机' from c")
                .arg(p));
    tst::MsgScript boxes;
    Tfrmqansbb w;
    w.show();
    click(&w, "Button1");
    auto* grid = ctl<TDBGrid>(&w, "DBGrid1");
    QCOMPARE(grid->queryModel()->canFetchMore(), !db.onServer()); // the server hands over all at once
    // Other windows write (and fail to write) on the same connection while the grid has read only
    // part of its rows.
    db.exec(QStringLiteral("insert into syslog(logcon) values('x')"));
    QVERIFY_THROWS_EXCEPTION(db::Error, db.exec(QStringLiteral("insert into nowhere values(1)")));
    {
        db::Transaction t(ADOcon());
        db.exec(QStringLiteral("update yhda set bz='y'"));
    }
    grid->fetchAll();
    QCOMPARE(grid->rowCount(), 300);
    QCOMPARE(boxes.count(), 0);
}

void TstReportWindows::nothingRunsWithoutAProject()
{
    tst::TestDb& db = *m_db;
    tst::MsgScript boxes;
    Tfrmhwtj2 a;
    Tfrmxmtj b;
    Tfrmqansbb c;
    for (QWidget* w : std::initializer_list<QWidget*>{&a, &b, &c}) {
        w->show();
        click(w, "Button1");
        QCOMPARE(boxes.lastText(), QStringLiteral("还没有任何项目，请先在“项目管理”中新增项目!"));
    }
    QCOMPARE(boxes.count(), 3);
    QVERIFY_THROWS_EXCEPTION(db::Error, db.count("tmp")); // no work table was made
}

TV_TEST_MAIN(TstReportWindows)
#include "tst_reportwindows.moc"
