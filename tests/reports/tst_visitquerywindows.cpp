// The result, answer record and visit history query windows, driven by their controls.
#include "support/testmain.h"

#include "design/testkit.h"
#include "support/msgscript.h"

#include "core/dbgrid.h"
#include "reports/hfhistory.h"
#include "reports/ydcx.h"
#include "reports/ywcx.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using dt::ctl;

namespace {

// Project 甲 (1, stopped) with three customers, one answer each and their visits; project 乙 (2).
void seed(tst::TestDb& db)
{
    db.exec(QStringLiteral("insert into t_ywbh(ywname,zt) values('甲',0),('乙',1)"));
    db.exec(QStringLiteral("insert into yhda(ywbh,yhxm,dhhm1,sljg,jg,slsj,slz) values"
                           "(1,'a','111','已受理','','2013-06-05 10:00:00','王五'),"
                           "(1,'b','222','未受理',null,null,''),"
                           "(1,'c','333','关机',null,'2013-06-06 10:00:00','王五')"));
    db.exec(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(1,1,'问一')"));
    db.exec(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime) values(1,'111',1,'满意','王五',5),"
                           "(1,'333',3,'关机','王五',2)"));
    db.exec(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(1,'111','王五','已受理()',''),"
                           "(1,'333','王五','关机',''),(2,'999','赵六','拒访','')"));
}

QString column(VisitQueryForm* w, const char* field)
{
    auto* g = ctl<TDBGrid>(w, "DBGrid1");
    g->fetchAll();
    QStringList v;
    for (int r = 0; r < g->rowCount(); ++r)
        v << g->text(r, QString::fromLatin1(field));
    return v.join(u',');
}

void query(VisitQueryForm* w, const QString& project)
{
    ctl<QComboBox>(w, "ComboBox1")->setCurrentText(project);
    ctl<QPushButton>(w, "BitBtn1")->click();
}

} // namespace

class TestVisitQueryWindows : public QObject
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
    void resultQueryMarksTheResult();
    void markActsOnTheRowSeen();
    void answerAndHistoryQueries();
};

void TestVisitQueryWindows::resultQueryMarksTheResult()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmywcx> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    QCOMPARE(g->rowCount(), 0);
    QCOMPARE(ctl<QComboBox>(w.get(), "ComboBox1")->count(), 2); // stopped projects too
    ctl<QPushButton>(w.get(), "Button2")->click();             // empty grid: nothing, not even a box

    tst::MsgScript boxes;
    ctl<QLineEdit>(w.get(), "Edit1")->setText(QStringLiteral(" 王五 "));
    query(w.get(), QStringLiteral("甲"));
    QCOMPARE(ctl<QLineEdit>(w.get(), "Edit1")->text() + column(w.get(), "yhxm"), QStringLiteral("王五c,a"));
    ctl<QLineEdit>(w.get(), "Edit1")->clear();
    query(w.get(), QStringLiteral("甲"));
    g->setCurrentRowIndex(1); // b, never handled
    ctl<QPushButton>(w.get(), "Button2")->click();
    g->setCurrentRowIndex(0); // c, switched off
    boxes.answer(msg::Answer::Cancel);
    ctl<QPushButton>(w.get(), "Button2")->click();
    boxes.answer(msg::Answer::Ok);
    ctl<QPushButton>(w.get(), "Button3")->click();
    QCOMPARE(boxes.texts(), (QStringList{"该用户尚未受理!", "您确定要将该用户营销结果改成“成功”么?",
                                         "您确定要将该用户营销结果改成“不成功”么?"}));
    QCOMPARE(g->text(0, QStringLiteral("jg")), QStringLiteral("不成功")); // read again
    QCOMPARE(dt::logTexts(db), QStringList{QStringLiteral("修改项目“甲”中电话号码为333的用户营销结果为不成功")});
}

void TestVisitQueryWindows::markActsOnTheRowSeen()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmywcx> w;
    query(w.get(), QStringLiteral("甲"));
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    g->setCurrentRowIndex(2); // a
    // While the question is open the list is read again with a newer record on top.
    msg::setHandler([&](const msg::Box&) {
        db.exec(QStringLiteral("insert into yhda(ywbh,yhxm,dhhm1,sljg) values(1,'new','555','已受理')"));
        g->reopen();
        return msg::Answer::Ok;
    });
    ctl<QPushButton>(w.get(), "Button2")->click();
    tst::installFailingMsgHandler();
    QCOMPARE(db.scalar(QStringLiteral("select jg from yhda where yhxm='a'")).toString(), QStringLiteral("成功"));
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("jg='成功'")), 1);
    QCOMPARE(dt::logTexts(db), QStringList{QStringLiteral("修改项目“甲”中电话号码为111的用户营销结果为成功")});
}

void TestVisitQueryWindows::answerAndHistoryQueries()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    seed(db);
    dt::Shown<Tfrmydcx> answers;
    QCOMPARE(ctl<QComboBox>(answers.get(), "ComboBox1")->currentText(), QStringLiteral("乙"));
    ctl<QLineEdit>(answers.get(), "Edit3")->setText(QStringLiteral("关"));
    query(answers.get(), QStringLiteral("甲"));
    QCOMPARE(column(answers.get(), "tottime"), QStringLiteral("2"));

    dt::Shown<Tfrmhfhistory> history;
    auto* projects = ctl<QComboBox>(history.get(), "ComboBox1");
    QCOMPARE(projects->currentText(), QStringLiteral("所有项目"));
    QCOMPARE(ctl<QComboBox>(history.get(), "ComboBox2")->itemText(0), QStringLiteral("ALL"));
    query(history.get(), QStringLiteral("所有项目"));
    QCOMPARE(column(history.get(), "sljg"), QStringLiteral("拒访,关机,已受理()"));
    query(history.get(), QStringLiteral("甲"));
    QCOMPARE(column(history.get(), "dhhm"), QStringLiteral("333,111"));
    {
        // a failing query says so and keeps the rows shown
        tst::MsgScript boxes;
        dt::FailWhere fail(QStringLiteral("visitlogview"));
        query(history.get(), QStringLiteral("所有项目"));
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("操作数据库时出错，请检查网络连接!")});
    }
    QCOMPARE(column(history.get(), "dhhm"), QStringLiteral("333,111"));
}

TV_TEST_MAIN(TestVisitQueryWindows)
#include "tst_visitquerywindows.moc"
