// The response rates window as a manager uses it, found by its control names.
#include "support/msgscript.h"
#include "support/testdb.h"
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "core/export.h"
#include "core/filedlg.h"
#include "db/dm.h"
#include "db/vocab.h"
#include "reports/xyl.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

template <class T> T* ctl(QWidget* w, const char* name)
{
    return w->findChild<T*>(QLatin1String(name));
}

void click(QWidget* w, const char* button)
{
    ctl<QPushButton>(w, button)->click();
}

// The value the figures grid shows on the line of that name.
QString figure(TDBGrid* g, const QString& name)
{
    for (int r = 0; r < g->rowCount(); ++r)
        if (g->text(r, QStringLiteral("xm")) == name)
            return g->text(r, QStringLiteral("sz"));
    return QStringLiteral("(none)");
}

QList<double> bars(QWidget* w, const char* chart)
{
    QList<double> out;
    auto* series = qobject_cast<QAbstractBarSeries*>(ctl<QChartView>(w, chart)->chart()->series().value(0));
    if (series)
        for (int i = 0; i < series->barSets().first()->count(); ++i)
            out << series->barSets().first()->at(i);
    return out;
}

const QString kOp = QStringLiteral("O'Neil");

} // namespace

class TstRatesWindow : public QObject
{
    Q_OBJECT
private slots:
    void ratesOfAProject();
};

// Two completes (one by O'Neil), a refusal, a no answer, a stopped number and one never called:
// I=2 R=1 UH=2 NE=1, e = 3/4; RR1 = 2/5, RR3 = 2/(3+0.75*2) = .4444, RR5 = 2/3, COOP1 = 2/3.
void TstRatesWindow::ratesOfAProject()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    tst::addProject(ADOcon(), QStringLiteral("旧项目"));
    const qint64 p = tst::addProject(ADOcon(), QStringLiteral("应答'率"));
    const QStringList words = {vocab::kHandled + QStringLiteral("(成功)"), vocab::kHandled + QStringLiteral("()"),
                               vocab::kRefused, vocab::kNoAnswer, vocab::kOutOfService};
    for (int i = 0; i < words.size(); ++i) {
        const QString number = QStringLiteral("1380000000%1").arg(i);
        tst::addCustomer(ADOcon(), p, number);
        ADOcon().execute(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(?,?,?,?,'')"),
                         {p, number, i == 0 ? kOp : QStringLiteral("张三"), words[i]});
    }
    tst::addCustomer(ADOcon(), p, QStringLiteral("13800000009"));

    tst::MsgScript boxes;
    Tfrmxyl w;
    w.show();
    QTest::qWait(50); // the grids are painted before anything is counted: nothing to say yet
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(ctl<QComboBox>(&w, "ComboBox1")->currentText(), QStringLiteral("应答'率"));
    auto* grid = ctl<TDBGrid>(&w, "DBGrid1");
    click(&w, "Button1");
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(figure(grid, "I"), QStringLiteral("2"));
    QCOMPARE(figure(grid, "UH"), QStringLiteral("2"));
    QCOMPARE(figure(grid, "NE"), QStringLiteral("1"));
    QCOMPARE(figure(grid, "e"), QStringLiteral("0.7500"));
    QCOMPARE(figure(grid, "RR1"), QStringLiteral("40.00%"));
    QCOMPARE(figure(grid, "RR3"), QStringLiteral("44.44%"));
    QCOMPARE(figure(grid, "RR5"), QStringLiteral("66.67%"));
    QCOMPARE(figure(grid, "COOP1"), QStringLiteral("66.67%"));
    QVERIFY(ctl<QLabel>(&w, "LabelE")->text().contains(QStringLiteral("按已知资格个案估计")));
    QCOMPARE(bars(&w, "ChartCounts"), QList<double>({2, 0, 1, 0, 0, 2, 0, 1}));
    QCOMPARE(bars(&w, "ChartRates").size(), 16);
    QVERIFY(qAbs(bars(&w, "ChartRates").first() - 40.0) < 1e-9);

    // The customers behind a count: the row of UH lists the no answer and the one never called.
    grid->setCurrentRowIndex(5);
    w.DBGrid1Click();
    auto* cases = ctl<TDBGrid>(&w, "DBGrid2");
    QCOMPARE(cases->rowCount(), 2);
    QCOMPARE(cases->text(0, "dhhm1"), QStringLiteral("13800000003"));
    QCOMPARE(cases->text(1, "dhhm1"), QStringLiteral("13800000009"));

    // A typed e is used and said so; one out of range is refused and changes nothing.
    ctl<QLineEdit>(&w, "EditE")->setText(QStringLiteral("1.5'"));
    click(&w, "Button1");
    QCOMPARE(boxes.count(), 1);
    QVERIFY(boxes.lastText().startsWith(QStringLiteral("合格率 e 请填写 0 到 1 之间的小数")));
    QCOMPARE(figure(grid, "RR3"), QStringLiteral("44.44%"));
    ctl<QLineEdit>(&w, "EditE")->setText(QStringLiteral("0.5"));
    click(&w, "Button1");
    QCOMPARE(figure(grid, "RR3"), QStringLiteral("50.00%")); // 2/(3+1)
    QVERIFY(ctl<QLabel>(&w, "LabelE")->text().contains(QStringLiteral("用户填写")));

    // One operator: only the cases that operator ended.
    ctl<QLineEdit>(&w, "Edit1")->setText(kOp);
    ctl<QLineEdit>(&w, "EditE")->clear();
    click(&w, "Button1");
    QCOMPARE(figure(grid, "I"), QStringLiteral("1"));
    QCOMPARE(figure(grid, "RR1"), QStringLiteral("100.00%"));
    QCOMPARE(figure(grid, "REF1"), QStringLiteral("0.00%"));
    ctl<QLineEdit>(&w, "Edit1")->setText(QStringLiteral("nobody"));
    click(&w, "Button1");
    QCOMPARE(figure(grid, "RR1"), QStringLiteral("—")); // no case: no rate, never 0%
    QCOMPARE(boxes.count(), 1);

    // The export carries counts, rates, e and its method.
    ctl<QLineEdit>(&w, "Edit1")->clear();
    click(&w, "Button1");
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("应答率.xlsx"));
    xlsexport::setOpener([](const QString&) { return true; });
    filedlg::queueAnswers({book});
    click(&w, "Button2");
    xlsexport::setOpener({});
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), book});
    unzip.waitForFinished(30000);
    const QString text = QString::fromUtf8(unzip.readAllStandardOutput());
    for (const char* s : {"RR1", "40.00%", "COOP4", "CON3", "0.7500", "估计：已知资格个案中合格的比例", "完成访问"})
        QVERIFY2(text.contains(QString::fromUtf8(s)), s);
    QCOMPARE(boxes.count(), 1);
}

TV_TEST_MAIN(TstRatesWindow)
#include "tst_rateswindow.moc"
