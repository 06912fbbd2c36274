// The customer data management window and its choose-operator dialog, driven by their controls.
#include "support/testmain.h"

#include "design/testkit.h"
#include "support/msgscript.h"

#include "core/dbgrid.h"
#include "customers/dataman.h"
#include "customers/selhwy.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>

using dt::ctl;

namespace {

// Two projects; 甲 (number 1) has four live records and a deleted one, 乙 one record.
void seed(tst::TestDb& db)
{
    db.exec(QStringLiteral("insert into t_ywbh(ywname) values('甲'),('乙')"));
    db.exec(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dhhm1,dhhm3,sljg,drsj,del) values"
                           "(1,1,1,'a','111','','未受理','2013-06-05 08:00:00',0),"
                           "(1,1,2,'b','222','1''1','已受理','2013-06-06 08:00:00',0),"
                           "(1,1,3,'c','333','111','关机','2013-06-07 08:00:00',0),"
                           "(1,1,4,'d','444','','未受理','2013-06-07 09:00:00',0),"
                           "(1,1,5,'e','111','','拒访','2013-06-05 08:00:00',1),"
                           "(2,2,1,'f','111','','未受理','2013-06-05 08:00:00',0)"));
    db.addOperator(QStringLiteral("op1"), QStringLiteral("话务员一"), QStringLiteral("p"));
    db.addOperator(QStringLiteral("off"), QStringLiteral("停用员"), QStringLiteral("p"), QStringLiteral("话务员"), 1);
    db.addOperator(QStringLiteral("adm2"), QStringLiteral("管理员二"), QStringLiteral("p"), QStringLiteral("管理员"));
}

QString counter(Tfrmdataman* w)
{
    return ctl<QLabel>(w, "Label1")->text();
}

// The names (yhxm) the grid lists, in its order.
QString names(Tfrmdataman* w)
{
    auto* g = ctl<TDBGrid>(w, "DBGrid1");
    g->fetchAll();
    QStringList n;
    for (int r = 0; r < g->rowCount(); ++r)
        n << g->text(r, QStringLiteral("yhxm"));
    return n.join(u',');
}

void search(Tfrmdataman* w, const QString& phone, const QString& state = QStringLiteral("所有"))
{
    ctl<QLineEdit>(w, "Edit2")->setText(phone);
    ctl<QComboBox>(w, "ComboBox3")->setCurrentText(state);
    ctl<QPushButton>(w, "Button1")->click();
}

// Chooses the operator in the dialog the window opened and presses "确     定".
void assignTo(Tfrmdataman* w, const QString& truename)
{
    ctl<QPushButton>(w, "Button3")->click();
    QVERIFY(frmselhwy);
    ctl<QComboBox>(frmselhwy.data(), "ComboBox1")->setCurrentText(truename);
    ctl<QPushButton>(frmselhwy.data(), "Button1")->click();
}

QStringList logTexts(tst::TestDb& db)
{
    QStringList t = dt::logTexts(db);
    std::reverse(t.begin(), t.end());
    return t;
}

} // namespace

class TestDataman : public QObject
{
    Q_OBJECT
private slots:
    void opensOnEveryRecord();
    void nothingToSearchWithoutProjects();
    void searchesThroughTheFilters();
    void emptyListAsksNothing();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void actionsChangeTheListAndLog();
    void operatorDialog();
    void dialogGoesWithItsWindow();
    void failuresKeepNothing();
};

void TestDataman::opensOnEveryRecord()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    QCOMPARE(w->windowTitle(), QStringLiteral("客户数据管理"));
    QCOMPARE(names(w.get()), QStringLiteral("f,a,b,c,d")); // newest batch first, deleted record hidden
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：1/5"));
    QCOMPARE(ctl<QComboBox>(w.get(), "ComboBox1")->currentText(), QStringLiteral("乙"));
    auto* states = ctl<QComboBox>(w.get(), "ComboBox3");
    QStringList s;
    for (int i = 0; i < states->count(); ++i)
        s << states->itemText(i);
    QCOMPARE(s.first(), QStringLiteral("所有"));
    QCOMPARE(s.size(), 5); // 所有 and the four states found, the deleted record's one too
    QVERIFY(!ctl<QDateEdit>(w.get(), "DateTimePicker1")->isEnabled());
    ctl<QCheckBox>(w.get(), "CheckBox1")->setChecked(true);
    QVERIFY(ctl<QDateEdit>(w.get(), "DateTimePicker2")->isEnabled());

    // the counter follows the current row, the wheel moves it by one
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    const QPointF at(5, 5);
    QWheelEvent e(at, g->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(g->viewport(), &e);
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：2/5"));
    g->setCurrentRowIndex(4);
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：5/5"));

    // the sequence boxes take digits only
    auto* from = ctl<QLineEdit>(w.get(), "Edit3");
    QTest::keyClicks(from, QStringLiteral("1a-2 3"));
    QCOMPARE(from->text(), QStringLiteral("123"));
}

void TestDataman::nothingToSearchWithoutProjects()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    dt::Shown<Tfrmdataman> w;
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
    QCOMPARE(ctl<QComboBox>(w.get(), "ComboBox1")->count(), 0);
    const QString before = ctl<TDBGrid>(w.get(), "DBGrid1")->sql();
    ctl<QPushButton>(w.get(), "Button1")->click();
    QCOMPARE(ctl<TDBGrid>(w.get(), "DBGrid1")->sql(), before);
}

void TestDataman::searchesThroughTheFilters()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    ctl<QComboBox>(w.get(), "ComboBox1")->setCurrentText(QStringLiteral("甲"));
    search(w.get(), QStringLiteral("  111 "));
    QCOMPARE(ctl<QLineEdit>(w.get(), "Edit2")->text(), QStringLiteral("111")); // trimmed in the box
    QCOMPARE(names(w.get()), QStringLiteral("a,c"));
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：1/2"));
    search(w.get(), QStringLiteral("1'1")); // a quote finds what really holds it
    QCOMPARE(names(w.get()), QStringLiteral("b"));
    search(w.get(), QString(), QStringLiteral("未受理"));
    QCOMPARE(names(w.get()), QStringLiteral("a,d"));

    ctl<QCheckBox>(w.get(), "CheckBox1")->setChecked(true);
    ctl<QDateEdit>(w.get(), "DateTimePicker1")->setDate(QDate(2013, 6, 6));
    ctl<QDateEdit>(w.get(), "DateTimePicker2")->setDate(QDate(2013, 6, 7));
    ctl<QLineEdit>(w.get(), "Edit3")->setText(QStringLiteral("3"));
    search(w.get(), QString());
    QCOMPARE(names(w.get()), QStringLiteral("c,d"));
    ctl<QDateEdit>(w.get(), "DateTimePicker1")->setDate(QDate(2013, 6, 8));
    search(w.get(), QString());
    QCOMPARE(names(w.get()), QString());
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
}

void TestDataman::emptyListAsksNothing()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    search(w.get(), QStringLiteral("nobody"));
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
    {
        // any box here fails the test
        for (const char* b : {"Button4", "Button5", "Button6"})
            ctl<QPushButton>(w.get(), b)->click();
    }
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    // assigning an empty list still says it did, and logs 0 records
    tst::MsgScript boxes;
    assignTo(w.get(), QStringLiteral("话务员一"));
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("指定话务员成功!")});
    QCOMPARE(logTexts(db), QStringList{QStringLiteral("为0条用户数据指定受理人话务员一")});
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz is not null")), 0);
}

void TestDataman::cancelChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("question");
    QTest::newRow("clear") << "Button4"
                           << "您确定要取消表中所有用户的指定受理人么?";
    QTest::newRow("delete one") << "Button5"
                                << "您确定要该条用户数据么?";
    QTest::newRow("delete all") << "Button6"
                                << "您确定要删除当前页所有5条用户数据么?";
}

void TestDataman::cancelChangesNothing()
{
    QFETCH(QString, button);
    QFETCH(QString, question);
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    seed(db);
    db.exec(QStringLiteral("update yhda set zdslz='op1',zdslzxm='话务员一'"));
    dt::Shown<Tfrmdataman> w;
    tst::MsgScript boxes;
    boxes.answer(msg::Answer::Cancel);
    ctl<QPushButton>(w.get(), qPrintable(button))->click();
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.boxes().first().caption, QStringLiteral("操作确认"));
    QCOMPARE(boxes.lastText(), question);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("del=0 and zdslz='op1'")), 5);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
}

void TestDataman::actionsChangeTheListAndLog()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    tst::MsgScript boxes;
    ctl<QComboBox>(w.get(), "ComboBox1")->setCurrentText(QStringLiteral("甲"));
    search(w.get(), QStringLiteral("111"));
    assignTo(w.get(), QStringLiteral("管理员二"));
    dt::flushDeletes();
    QVERIFY(!frmselhwy); // closed after the success message
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz='adm2' and zdslzxm='管理员二'")), 2);
    QCOMPARE(ctl<TDBGrid>(w.get(), "DBGrid1")->text(0, QStringLiteral("zdslzxm")), QStringLiteral("管理员二"));

    ctl<TDBGrid>(w.get(), "DBGrid1")->setCurrentRowIndex(1);
    boxes.answer(msg::Answer::Ok).answer(msg::Answer::Ok).answer(msg::Answer::Ok);
    ctl<QPushButton>(w.get(), "Button5")->click(); // record c
    QCOMPARE(db.scalar(QStringLiteral("select yhxm from yhda where deler='系统管理员(admin)'")).toString(),
             QString("c"));
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：1/1"));
    search(w.get(), QString());
    ctl<QPushButton>(w.get(), "Button4")->click();
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz is not null")), 1); // c: deleted, not listed
    ctl<QPushButton>(w.get(), "Button6")->click();
    QCOMPARE(boxes.texts().last(), QStringLiteral("您确定要删除当前页所有3条用户数据么?"));
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("del=0")), 1); // 乙's record stays
    QCOMPARE(logTexts(db), (QStringList{"为2条用户数据指定受理人管理员二", "删除项目:甲的1条用户数据",
                                        "为3条用户数据取消指定受理人", "删除项目:甲的3条用户数据"}));
}

void TestDataman::operatorDialog()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    ctl<QPushButton>(w.get(), "Button3")->click();
    QPointer<Tfrmselhwy> d = frmselhwy;
    QVERIFY(d && d->isVisible() && !d->isModal());
    QCOMPARE(d->windowTitle(), QStringLiteral("选取务员"));
    auto* list = ctl<QComboBox>(d.data(), "ComboBox1");
    auto* unames = ctl<QComboBox>(d.data(), "ComboBox2");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->itemText(0), QStringLiteral("请从列表中选取...."));
    QCOMPARE(unames->itemText(0), QStringLiteral("0"));
    QCOMPARE(list->itemText(1) + u'=' + unames->itemText(1), QStringLiteral("话务员一=op1"));
    QCOMPARE(list->itemText(2) + u'=' + unames->itemText(2), QStringLiteral("管理员二=adm2"));
    {
        tst::MsgScript boxes;
        ctl<QPushButton>(d.data(), "Button1")->click();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请选取指定受理的话务员!")});
    }
    QVERIFY(d && d->isVisible());
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    ctl<QPushButton>(d.data(), "Button2")->click();
    dt::flushDeletes();
    QVERIFY(!d);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz is not null")), 0);
}

void TestDataman::dialogGoesWithItsWindow()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    seed(db);
    auto* first = new Tfrmdataman;
    first->show();
    dt::Shown<Tfrmdataman> second;
    first->Button3Click();
    QPointer<Tfrmselhwy> d = frmselhwy;
    ctl<QComboBox>(d.data(), "ComboBox1")->setCurrentIndex(1);
    first->close();
    dt::flushDeletes();
    QVERIFY(!d); // gone with its window: it cannot act on a list that no longer exists
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz is not null")), 0);

    // with two windows open, each dialog acts on the list of its own window
    ctl<QComboBox>(second.get(), "ComboBox1")->setCurrentText(QStringLiteral("乙"));
    search(second.get(), QString());
    tst::MsgScript boxes;
    assignTo(second.get(), QStringLiteral("话务员一"));
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz='op1'")), 1);
}

void TestDataman::failuresKeepNothing()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    tst::MsgScript boxes;
    {
        dt::FailWhere fail(QStringLiteral("syslog("));
        boxes.answer(msg::Answer::Ok);
        ctl<QPushButton>(w.get(), "Button6")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("disk I/O error")); // the general error report
        assignTo(w.get(), QStringLiteral("话务员一"));
        QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
        QVERIFY(frmselhwy && frmselhwy->isVisible()); // stays open to try again
    }
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("del=0 and zdslz is null")), 5);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：1/5"));
    frmselhwy->close();
    {
        dt::FailWhere fail(QStringLiteral("yhdaview"));
        search(w.get(), QString());
        QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
        QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
    }
}

TV_TEST_MAIN(TestDataman)
#include "tst_dataman.moc"
