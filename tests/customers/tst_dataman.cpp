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
    tst::addOperator(db.con(), QStringLiteral("op1"), QStringLiteral("话务员一"), QStringLiteral("p"));
    tst::addOperator(db.con(), QStringLiteral("off"), QStringLiteral("停用员"), QStringLiteral("p"),
                     QStringLiteral("话务员"), 1);
    tst::addOperator(db.con(), QStringLiteral("adm2"), QStringLiteral("管理员二"), QStringLiteral("p"),
                     QStringLiteral("管理员"));
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

void search(Tfrmdataman* w, const QString& phone)
{
    ctl<QLineEdit>(w, "Edit2")->setText(phone);
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

} // namespace

class TestDataman : public QObject
{
    Q_OBJECT
    // A fresh database for every test (and every row of a data-driven one).
    std::unique_ptr<tst::TestDb> m_db;

private slots:
    void init()
    {
        m_db = std::make_unique<tst::TestDb>();
        QVERIFY(m_db->ok());
    }
    void cleanup() { m_db.reset(); }
    void opensOnEveryRecord();
    void nothingToSearchWithoutProjects();
    void confirmations_data();
    void confirmations();
    void operatorDialog();
    void dialogGoesWithItsWindow();
    void failuresKeepNothing();
};

void TestDataman::opensOnEveryRecord()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    QCOMPARE(names(w.get()), QStringLiteral("f,a,b,c,d")); // newest batch first, deleted record hidden
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：1/5"));
    QCOMPARE(ctl<QComboBox>(w.get(), "ComboBox3")->count(), 5); // 所有 and the four states, deleted one's too
    ctl<TDBGrid>(w.get(), "DBGrid1")->setCurrentRowIndex(4);
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：5/5"));
    auto* from = ctl<QLineEdit>(w.get(), "Edit3");
    QTest::keyClicks(from, QStringLiteral("1a-2 3")); // digits only
    QCOMPARE(from->text(), QStringLiteral("123"));

    // a search: trimmed boxes, a quote finds what really holds it, a from-day after the to-day
    ctl<QComboBox>(w.get(), "ComboBox1")->setCurrentText(QStringLiteral("甲"));
    from->clear();
    search(w.get(), QStringLiteral(" 1'1 "));
    QCOMPARE(ctl<QLineEdit>(w.get(), "Edit2")->text(), QStringLiteral("1'1"));
    QCOMPARE(names(w.get()) + counter(w.get()), QStringLiteral("b记录数：1/1"));
    ctl<QCheckBox>(w.get(), "CheckBox1")->setChecked(true);
    ctl<QDateEdit>(w.get(), "DateTimePicker1")->setDate(QDate(2013, 6, 8));
    search(w.get(), QString());
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
}

void TestDataman::nothingToSearchWithoutProjects()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    dt::Shown<Tfrmdataman> w;
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
    const QString before = ctl<TDBGrid>(w.get(), "DBGrid1")->sql();
    ctl<QPushButton>(w.get(), "Button1")->click();
    QCOMPARE(ctl<TDBGrid>(w.get(), "DBGrid1")->sql(), before);
}

void TestDataman::confirmations_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("log"); // empty: cancelled
    QTest::addColumn<int>("left");    // live records still assigned
    const QStringList rows[] = {{"Button4", "您确定要取消表中所有用户的指定受理人么?", "为5条用户数据取消指定受理人"},
                                {"Button5", "您确定要该条用户数据么?", "删除项目:乙的1条用户数据"},
                                {"Button6", "您确定要删除当前页所有5条用户数据么?", "删除项目:甲的5条用户数据"}};
    for (const QStringList& r : rows) {
        QTest::addRow("%s cancelled", qPrintable(r[0])) << r[0] << r[1] << QString() << 5;
        QTest::addRow("%s", qPrintable(r[0])) << r[0] << r[1] << r[2] << (r[0] == "Button5" ? 4 : 0);
    }
}

void TestDataman::confirmations()
{
    QFETCH(QString, button);
    QFETCH(QString, question);
    QFETCH(QString, log);
    QFETCH(int, left);
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    seed(db);
    db.exec(QStringLiteral("update yhda set zdslz='op1',zdslzxm='话务员一'"));
    dt::Shown<Tfrmdataman> w;
    tst::MsgScript boxes;
    boxes.answer(log.isEmpty() ? msg::Answer::Cancel : msg::Answer::Ok);
    ctl<QPushButton>(w.get(), qPrintable(button))->click();
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.boxes().first().caption + boxes.lastText(), QStringLiteral("操作确认") + question);
    QCOMPARE(dt::logTexts(db), log.isEmpty() ? QStringList() : QStringList{log});
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("del=0 and zdslz='op1'")), left);
    if (button == "Button6" && !log.isEmpty()) // the list is read again
        QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
}

void TestDataman::operatorDialog()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    search(w.get(), QStringLiteral("nobody"));
    for (const char* b : {"Button4", "Button5", "Button6"}) // an empty list: no question, no change
        ctl<QPushButton>(w.get(), b)->click();
    tst::MsgScript boxes;
    ctl<QPushButton>(w.get(), "Button3")->click();
    QPointer<Tfrmselhwy> d = frmselhwy;
    QVERIFY(d && d->isVisible() && !d->isModal());
    auto* names = ctl<QComboBox>(d.data(), "ComboBox1");
    auto* logins = ctl<QComboBox>(d.data(), "ComboBox2");
    QStringList offered; // prompt first; no built-in, no disabled operator
    for (int i = 0; i < names->count(); ++i)
        offered << names->itemText(i) + u'=' + logins->itemText(i);
    QCOMPARE(offered, (QStringList{"请从列表中选取....=0", "话务员一=op1", "管理员二=adm2"}));
    ctl<QPushButton>(d.data(), "Button1")->click();
    QVERIFY(d->isVisible());
    names->setCurrentIndex(1);
    ctl<QPushButton>(d.data(), "Button1")->click(); // assigning the empty list still says it did, and logs 0 records
    QCOMPARE(boxes.texts(), (QStringList{"请选取指定受理的话务员!", "指定话务员成功!"}));
    QCOMPARE(dt::logTexts(db), QStringList{"为0条用户数据指定受理人话务员一"});
    dt::flushDeletes();
    QVERIFY(!d);
}

void TestDataman::dialogGoesWithItsWindow()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    seed(db);
    auto* first = new Tfrmdataman;
    first->show();
    dt::Shown<Tfrmdataman> second;
    ctl<QPushButton>(first, "Button3")->click();
    QPointer<Tfrmselhwy> d = frmselhwy;
    first->close();
    dt::flushDeletes();
    QVERIFY(!d); // gone with its window: it cannot act on a list that no longer exists
    // with two windows open, each dialog acts on the list of its own window
    search(second.get(), QString()); // 乙: one record
    tst::MsgScript boxes;
    assignTo(second.get(), QStringLiteral("话务员一"));
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz is not null")), 1);
    QCOMPARE(ctl<TDBGrid>(second.get(), "DBGrid1")->text(0, QStringLiteral("zdslzxm")), QStringLiteral("话务员一"));
}

void TestDataman::failuresKeepNothing()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmdataman> w;
    tst::MsgScript boxes;
    {
        dt::FailWhere fail(QStringLiteral("syslog("));
        boxes.answer(msg::Answer::Ok);
        ctl<QPushButton>(w.get(), "Button6")->click();
        // the general error report: the program's words, the engine's reason after them
        QCOMPARE(boxes.lastText(), QStringLiteral("数据库操作出错。\n（disk I/O error）"));
        assignTo(w.get(), QStringLiteral("话务员一"));
        QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
        QVERIFY(frmselhwy && frmselhwy->isVisible()); // stays open to try again
    }
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("del=0 and zdslz is null")), 5);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：1/5"));
    dt::FailWhere fail(QStringLiteral("yhdaview"));
    search(w.get(), QString());
    QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
    QCOMPARE(counter(w.get()), QStringLiteral("记录数：0/0"));
}

TV_TEST_MAIN(TestDataman)
#include "tst_dataman.moc"
