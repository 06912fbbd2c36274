// Shared pieces every window stands on: trimming, GBK length, scaling, the grid and its wheel
// rule, the project list and the day filter, the wait window.
#include "support/testdb.h"
#include "support/testmain.h"

#include "core/choices.h"
#include "core/dbgrid.h"
#include "core/listform.h"
#include "core/scaling.h"
#include "core/text.h"
#include "core/waitmsg.h"
#include "db/error.h"
#include "db/sqlvalue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

class TstHelpers : public QObject
{
    Q_OBJECT
private slots:
    void trimming_data();
    void trimming();
    void trimEditWritesBack();
    void gbkLength_data();
    void gbkLength();
    void scaling_data();
    void scaling();
    void displayText_data();
    void displayText();
    void gridColumnsAndValues();
    void wheelMovesOneRow();
    void listKeepsItsPlace();
    void projectList();
    void dayFilter();
    void waitWindow();
};

void TstHelpers::trimming_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("plain") << "abc" << "abc";
    QTest::newRow("blanks") << "  a b  " << "a b";
    QTest::newRow("controls") << "\t\r\n a\x01\x1f" << "a";
    QTest::newRow("inner kept") << " 第一行\r\n第二行 " << "第一行\r\n第二行";
    QTest::newRow("only blanks") << " \t\n" << "";
    QTest::newRow("full-width space kept") << "\u3000中\u3000" << "\u3000中\u3000";
}

void TstHelpers::trimming()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(text::trimmed(in), out);
}

void TstHelpers::trimEditWritesBack()
{
    QLineEdit e;
    e.setText("  13800138000 ");
    QCOMPARE(text::trimEdit(&e), QString("13800138000"));
    QCOMPARE(e.text(), QString("13800138000"));
}

void TstHelpers::gbkLength_data()
{
    QTest::addColumn<QString>("s");
    QTest::addColumn<int>("bytes");
    QTest::newRow("mixed") << "中文abc" << 7;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("digits") << "1234" << 4;
    QTest::newRow("127 cjk") << QString(127, QChar(u'汉')) << 254;
    QTest::newRow("line break") << "a\r\nb" << 4;
    QTest::newRow("full-width punctuation") << "，。：" << 6;
}

void TstHelpers::gbkLength()
{
    QFETCH(QString, s);
    QFETCH(int, bytes);
    QCOMPARE(text::gbkLength(s), bytes);
}

void TstHelpers::scaling_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("num");
    QTest::addColumn<int>("den");
    QTest::newRow("640") << 640 << 60 << 80;
    QTest::newRow("800") << 800 << 80 << 100;
    QTest::newRow("1024") << 1024 << 1 << 1;
    QTest::newRow("1152") << 1152 << 125 << 100;
    QTest::newRow("1280") << 1280 << 1 << 1;
    QTest::newRow("1920") << 1920 << 1 << 1;
}

void TstHelpers::scaling()
{
    QFETCH(int, width);
    QFETCH(int, num);
    QFETCH(int, den);
    const scaling::Factor f = scaling::forScreenWidth(width);
    QCOMPARE(f.num * den, num * f.den);
    QWidget w;
    w.resize(400, 200);
    QFont font = w.font();
    font.setPointSizeF(10);
    w.setFont(font);
    tst::TestDb db;
    QVERIFY(db.ok());
    auto* g = new TDBGrid(&w);
    g->setColumns({{"ywname", "项目名称", 200}});
    g->open("select * from t_ywbh");
    scaling::applyScaling(&w, f);
    QCOMPARE(w.width(), 400 * num / den);
    QCOMPARE(g->columnWidth(g->fieldIndex("ywname")), 200 * num / den); // columns scale with the window
    QCOMPARE(w.font().pointSizeF(), 10.0 * num / den);
}

void TstHelpers::displayText_data()
{
    QTest::addColumn<QVariant>("v");
    QTest::addColumn<QString>("text");
    QTest::newRow("phone as double") << QVariant(13800000000.0) << "13800000000";
    QTest::newRow("int") << QVariant(42) << "42";
    QTest::newRow("fraction") << QVariant(2.5) << "2.5";
    QTest::newRow("null") << QVariant() << "";
    QTest::newRow("text zero") << QVariant("0123") << "0123";
}

void TstHelpers::displayText()
{
    QFETCH(QVariant, v);
    QFETCH(QString, text);
    QCOMPARE(db::displayText(v), text);
}

void TstHelpers::gridColumnsAndValues()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.exec("insert into t_ywbh(ywname,ywtips) values('甲','提示')");
    TDBGrid g;
    g.setColumns({{"ywname", "项目名称", 155}, {"ywbh", "项目编号", 80}});
    g.open("select * from t_ywbh order by ywbh");
    QVERIFY(g.isOpen());
    QCOMPARE(g.rowCount(), 1);
    const int name = g.fieldIndex("ywname");
    const int number = g.fieldIndex("ywbh");
    QCOMPARE(g.horizontalHeader()->visualIndex(name), 0);
    QCOMPARE(g.horizontalHeader()->visualIndex(number), 1);
    QCOMPARE(g.model()->headerData(name, Qt::Horizontal).toString(), QString("项目名称"));
    QCOMPARE(g.columnWidth(name), 155);
    QVERIFY(g.isColumnHidden(g.fieldIndex("ywtips")));
    QCOMPARE(g.text(0, "ywname"), QString("甲"));
    QVERIFY(g.currentValue("ywname").isNull()); // nothing current yet
    g.setCurrentRowIndex(0);
    QCOMPARE(g.currentValue("ywname").toString(), QString("甲"));
    bool thrown = false;
    try {
        g.open("select * from nosuchtable");
    } catch (const ::db::Error&) {
        thrown = true;
    }
    QVERIFY(thrown);
}

void TstHelpers::wheelMovesOneRow()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    for (int i = 0; i < 5; ++i)
        db.exec(QString("insert into t_ywbh(ywname) values('p%1')").arg(i));
    TDBGrid g;
    g.open("select * from t_ywbh order by ywbh");
    grid::installWheelRule(&g);
    g.resize(300, 200);
    g.show();
    g.setCurrentRowIndex(0);
    auto wheel = [&](int dy) {
        const QPointF pos(10, 10);
        QWheelEvent e(pos, g.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(g.viewport(), &e);
    };
    wheel(-120); // towards the user: next row
    QCOMPARE(g.currentRowIndex(), 1);
    wheel(-360); // a big turn still moves one row
    QCOMPARE(g.currentRowIndex(), 2);
    wheel(120);
    QCOMPARE(g.currentRowIndex(), 1);
    wheel(120);
    wheel(120); // stays on the first row
    QCOMPARE(g.currentRowIndex(), 0);
    for (int i = 0; i < 10; ++i)
        wheel(-120);
    QCOMPARE(g.currentRowIndex(), 4);
}

// The list windows' grid: columns and the wheel rule given, the buttons under it, a re-read that
// goes back to the row it was on, or to the last one when fewer rows are left.
void TstHelpers::listKeepsItsPlace()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    for (int i = 0; i < 5; ++i)
        db.exec(QString("insert into t_ywbh(ywname) values('p%1')").arg(i));
    QWidget owner;
    TDBGrid* g = lists::grid(&owner, {{"ywname", "项目名称", 120}});
    QCOMPARE(g->objectName(), QString("DBGrid1"));
    QCOMPARE(g->columns().size(), 1);
    auto* b = new QPushButton("关闭", &owner);
    QVBoxLayout* lay = lists::layOut(&owner, new QHBoxLayout, g, {b});
    QCOMPARE(lay->count(), 3); // above, the grid, the buttons
    QCOMPARE(lay->itemAt(1)->widget(), g);
    QCOMPARE(lay->itemAt(2)->layout()->indexOf(b), 1); // centred between two stretches

    lists::openAtFirst(g, "select * from t_ywbh order by ywbh");
    QCOMPARE(g->currentRowIndex(), 0);
    lists::reopenAt(g, 3);
    QCOMPARE(g->text(g->currentRowIndex(), "ywname"), QString("p3"));
    db.exec("delete from t_ywbh where ywname in ('p3','p4')");
    lists::reopenAt(g, 3);
    QCOMPARE(g->currentRowIndex(), 2); // the last one left
    lists::reopenAt(g, -1);
    QCOMPARE(g->currentRowIndex(), 0);
    db.exec("delete from t_ywbh");
    lists::reopenAt(g, 1);
    QCOMPARE(g->currentRowIndex(), -1);
}

void TstHelpers::projectList()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.exec("insert into t_ywbh(ywname) values('旧项目')");
    db.exec("insert into t_ywbh(ywname) values('新项目')");
    db.exec("insert into t_ywbh(ywname) values('同名')");
    db.exec("insert into t_ywbh(ywname,zt) values('停用项目',0)");
    QComboBox names, numbers;
    choices::loadProjects(&names, &numbers, "select * from t_ywbh where zt=1 order by ywbh desc");
    QCOMPARE(names.count(), 3);
    QCOMPARE(names.itemText(0), QString("同名"));
    names.setCurrentIndex(1);
    QCOMPARE(choices::projectNumber(&names, &numbers), 2);
    names.setCurrentIndex(-1);
    QCOMPARE(choices::projectNumber(&names, &numbers), -1);
}

void TstHelpers::dayFilter()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    QCheckBox box;
    QDateEdit from, to;
    choices::initDayPickers(&from, &to);
    QCOMPARE(from.date(), QDate::currentDate());
    QCOMPARE(from.displayFormat(), QString("yyyy-MM-dd"));
    QCOMPARE(choices::dayCondition("slsj", &box, &from, &to), QString());
    box.setChecked(true);
    from.setDate(QDate(2013, 6, 5));
    to.setDate(QDate(2013, 6, 7));
    const QString cond = choices::dayCondition("dt", &box, &from, &to);
    QCOMPARE(cond, QString(" and format(dt,'yyyymmdd')>='20130605' and format(dt,'yyyymmdd')<='20130607'"));
    for (const char* t : {"2013-06-04 23:59:59", "2013-06-05 00:00:00", "2013-06-07 23:59:00", "2013-06-08 00:00:00"})
        db.exec(QString("insert into syslog(dt,logcon) values('%1','x')").arg(t));
    QCOMPARE(db.count("syslog", "1=1" + cond), 2);
}

void TstHelpers::waitWindow()
{
    // without a window the routines do nothing
    SetWaitMsgText("x");
    SetWaitMsgProgress(10, 5);
    CloseWaitMsg();
    QVERIFY(!waitMsgWindow());

    ShowWaitMsg();
    QPointer<TMsgFrm> w = waitMsgWindow();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->size(), QSize(393, 54));
    QCOMPARE(w->LblMsg->text(), QString("正在导入数据，请稍候..."));
    QCOMPARE(w->ProgressBar->maximum(), 100);
    SetWaitMsgText("正在导入第1条");
    SetWaitMsgProgress(120, 21);
    ShowWaitMsg(); // a second call keeps the window and its state
    QCOMPARE(waitMsgWindow(), w.data());
    QCOMPARE(w->LblMsg->text(), QString("正在导入第1条"));
    QCOMPARE(w->ProgressBar->minimum(), 0);
    QCOMPARE(w->ProgressBar->maximum(), 120);
    QCOMPARE(w->ProgressBar->value(), 21);
    CloseWaitMsg();
    QVERIFY(!waitMsgWindow());
    QVERIFY(w.isNull());
}

TV_TEST_MAIN(TstHelpers)
#include "tst_helpers.moc"
