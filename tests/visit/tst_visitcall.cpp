// The visit window during a call: the questionnaire with its jumps, the completion with the
// result choice, the six outcome buttons, and what each writes - all or nothing.
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "core/pub.h"
#include "db/dm.h"
#include "support/failwhere.h"
#include "support/logcapture.h"
#include "support/modal.h"
#include "support/msgscript.h"
#include "support/serverdb.h"
#include "visit/seljg.h"
#include "visitfixture.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QRadioButton>
#include <QTimer>

using namespace vt;

namespace {

const QString kNothing = QStringLiteral("没有分配给您和未分配的相应号码资源!");
const QString kOperator = QStringLiteral("话务员一");
const QString kAnswerFailed = QStringLiteral("系统处理数据时出错，请检查网络和服务器，联系管理员(4)");

// Makes every statement that starts with prefix fail, as a lost connection would.
void failStatements(const QString& prefix)
{
    tst::failStatements([prefix](const QString& sql) { return sql.startsWith(prefix); });
}

} // namespace

class TestVisitCall : public QObject
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
    void firstQuestionAndLinks();
    void answersFollowJumpsAndReplace();
    void answerNeedsChoiceAndCustomer();
    void completionWithoutResultChoice();
    void completionWithResultChoice();
    void completionDrawsNextByStateOnly();
    void outcomeButtons();
    void callBackAtATime();
    void callBackFallingDueIsTold();
    void answerFailureKeepsTheQuestion();
    void endingFailureKeepsTheCall();
    void endingWhenTheServerSessionEnds();
    void projectWithoutQuestions();
    void hostileText();
};

void TestVisitCall::firstQuestionAndLinks()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    addCustomer(db.con(), s.p, QStringLiteral("13800000001"));
    Win w;
    // Lowest number first, the total is the number of questions.
    QCOMPARE(w.text("Memo1"), QStringLiteral("问题10(总共5个问题):\n问题一"));
    QCOMPARE(w.combo("ComboBox4")->count(), 2);
    QCOMPARE(w.text("ComboBox4"), QStringLiteral("满意"));
    QCOMPARE(w.combo("ComboBox4")->itemText(1), QStringLiteral("不满意"));

    // Without a customer the links only ask for one.
    w.link("Label20");
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请先提取用户数据")});
    QCOMPARE(w.line1(), QStringLiteral("问题10(总共5个问题):"));

    w.click("Button1");
    QVERIFY(w.holding());
    boxes.clear();
    w.link("Label19");
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("不存在上一个问题了")});
    QCOMPARE(w.line1(), QStringLiteral("问题10(总共5个问题):"));
    // The remark stays while moving by number; the links write nothing.
    w.type("Memo4", QStringLiteral("客户很忙"));
    for (const char* expected :
         {"问题20(总共5个问题):", "问题30(总共5个问题):", "问题40(总共5个问题):", "问题50(总共5个问题):"}) {
        w.link("Label20");
        QCOMPARE(w.line1(), QString::fromUtf8(expected));
    }
    boxes.clear();
    w.link("Label20");
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("不存在下一个问题了")});
    QCOMPARE(w.text("Memo1"), QStringLiteral("问题50(总共5个问题):\n问题五"));
    w.link("Label19");
    QCOMPARE(w.text("Memo1"), QStringLiteral("问题40(总共5个问题):\n问题四"));
    QCOMPARE(w.text("Memo4"), QStringLiteral("客户很忙"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);
    // The total is not recounted while a customer is worked.
    addQuestion(db.con(), s.p, 60, QStringLiteral("问题六"));
    w.link("Label20");
    QCOMPARE(w.line1(), QStringLiteral("问题50(总共5个问题):"));

    // A failing look-up says so and keeps the question.
    failStatements(QStringLiteral("select * from q_table"));
    boxes.clear();
    w.link("Label19");
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("连接数据库时出错，请检查网络!")});
    QCOMPARE(w.line1(), QStringLiteral("问题50(总共5个问题):"));
}

// The window follows the jumps the call takes (what each answer writes is checked on the call).
void TestVisitCall::answersFollowJumpsAndReplace()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db.con(), s.p, QStringLiteral("13800000001"));
    Win w;
    w.click("Button1");
    // 10 "不满意" jumps over 20 to 30.
    QVERIFY(w.choose(QStringLiteral("不满意")));
    w.click("Button2");
    QCOMPARE(w.text("Memo1"), QStringLiteral("问题30(总共5个问题):\n问题三"));
    QCOMPARE(answerText(db, s.q10, id), QStringLiteral("不满意"));
    // A jump to its own question shows it again with its first option chosen.
    QVERIFY(w.choose(QStringLiteral("再问一次")));
    w.click("Button2");
    QCOMPARE(w.line1(), QStringLiteral("问题30(总共5个问题):"));
    QCOMPARE(w.text("ComboBox4"), QStringLiteral("继续"));
    w.click("Button2");
    QCOMPARE(w.line1(), QStringLiteral("问题40(总共5个问题):"));
    QCOMPARE(w.held(db), id);
    QCOMPARE(boxes.count(), 0);
}

void TestVisitCall::answerNeedsChoiceAndCustomer()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    addQuestion(db.con(), p, 1, QStringLiteral("没有选项的问题"));
    const qint64 q2 = addQuestion(db.con(), p, 2, QStringLiteral("第二题"));
    addOption(db.con(), q2, QStringLiteral("是"), 0);
    addCustomer(db.con(), p, QStringLiteral("13800000001"));
    Win w;
    // Nothing held: nothing happens.
    w.click("Button2");
    QCOMPARE(boxes.count(), 0);
    w.click("Button1");
    QCOMPARE(w.text("Memo1"), QStringLiteral("问题1(总共2个问题):\n没有选项的问题"));
    QCOMPARE(w.combo("ComboBox4")->count(), 0);
    w.click("Button2");
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请选择用户答复选项!")});
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);
    // The operator moves on by the link and can answer there.
    w.link("Label20");
    QCOMPARE(w.text("ComboBox4"), QStringLiteral("是"));
    w.combo("ComboBox4")->setCurrentIndex(-1);
    boxes.clear();
    w.click("Button2");
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请选择用户答复选项!")});
}

void TestVisitCall::completionWithoutResultChoice()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"), QStringLiteral("提示语"));
    const qint64 q1 = addQuestion(db.con(), p, 1, QStringLiteral("唯一的问题"));
    addOption(db.con(), q1, QStringLiteral("同意"), 0);
    const qint64 id = addCustomer(db.con(), p, QStringLiteral("13800000001"));
    Win w;
    w.click("Button1");
    w.type("Memo4", QStringLiteral("\n 愿意参加 \r\n"));
    w.tick(17);
    w.click("Button2");

    QCOMPARE(boxes.texts(), QStringList{kNothing});
    // What the window passes on: the remark, the operator, the option and the seconds (what the
    // completion writes besides is the call's, tested there).
    QCOMPARE(db.scalar(QStringLiteral("select sljg||'|'||bz||'|'||slz from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("已受理|愿意参加|") + kOperator);
    QCOMPARE(db.scalar(QStringLiteral("select ans||'|'||slz||'|'||tottime from q_ans")).toString(),
             QStringLiteral("同意|") + kOperator + QStringLiteral("|17"));
    // Idle afterwards, with current counters, an empty remark and the first question.
    QVERIFY(!w.holding());
    QVERIFY(w.text("Memo4").isEmpty());
    QCOMPARE(w.text("Label40"), QStringLiteral("1"));
    QCOMPARE(w.text("Label41"), QStringLiteral("0"));
    QCOMPARE(w.line1(), QStringLiteral("问题1(总共1个问题):"));
    QCOMPARE(w.text("Memo3"), QStringLiteral("提示语"));
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

// With the result question on, completion asks for the result in its dialog: the default,
// the other choice, and the dialog closed without choosing, one customer each.
void TestVisitCall::completionWithResultChoice()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), kOperator);
    gJgts = 1;
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    const qint64 q1 = addQuestion(db.con(), p, 1, QStringLiteral("问题"));
    addOption(db.con(), q1, QStringLiteral("好"), 9);
    for (int i = 0; i < 3; ++i)
        addCustomer(db.con(), p, QStringLiteral("1380000000%1").arg(i));
    Win w;
    w.click("Button1");
    const struct
    {
        int choice; // 1 success, 2 no success, 0 closed without choosing
        QString jg;
    } cases[] = {{1, QStringLiteral("成功")}, {2, QStringLiteral("不成功")}, {0, QString()}};
    for (const auto& c : cases) {
        const qint64 id = w.held(db);
        QVERIFY(id > 0);
        QString caption;
        bool startsWithSuccess = false;
        std::unique_ptr<tst::ModalWatcher> watcher(tst::ModalWatcher::when<Tfrmseljg>([&](Tfrmseljg* d) {
            caption = d->windowTitle();
            startsWithSuccess = d->findChild<QRadioButton*>(QStringLiteral("RadioButton1"))->isChecked();
            if (c.choice == 2)
                d->findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->setChecked(true);
            if (c.choice == 0)
                d->reject();
            else
                d->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        }));
        w.click("Button2");
        QVERIFY(watcher->done());
        QCOMPARE(caption, QStringLiteral("选择营销结果"));
        QVERIFY(startsWithSuccess);
        QCOMPARE(db.scalar(QStringLiteral("select jg from yhda where id=%1").arg(id)).toString(), c.jg);
        QCOMPARE(db.scalar(QStringLiteral("select sljg from visitlog order by id desc")).toString(),
                 QStringLiteral("已受理(%1)").arg(c.jg));
    }
    QCOMPARE(boxes.texts(), QStringList{kNothing});
}

void TestVisitCall::completionDrawsNextByStateOnly()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    const qint64 q1 = addQuestion(db.con(), p, 1, QStringLiteral("问题"));
    addOption(db.con(), q1, QStringLiteral("好"), 0);
    Cust first;
    first.dhhm1 = QStringLiteral("13800000001");
    first.zdslz = QStringLiteral("op1");
    const qint64 a = addCustomer(db.con(), p, first);
    const qint64 b = addCustomer(db.con(), p, QStringLiteral("13800000002"));
    Cust numbered;
    numbered.dhhm1 = QStringLiteral("13899999999");
    numbered.sljg = QStringLiteral("拒访");
    addCustomer(db.con(), p, numbered);
    db.exec(
        QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(%1,'13800000002','某','关机','')").arg(p));
    Win w;
    w.click("Button1");
    QCOMPARE(w.held(db), a);
    // The given number does not steer the automatic draw.
    w.type("Edit1", QStringLiteral("13899999999"));
    w.click("Button2");
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(w.held(db), b);
    QCOMPARE(w.text("Edit2"), QStringLiteral("13800000002"));
    QCOMPARE(w.text("Label17"), QStringLiteral("未受理"));
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->rowCount(), 1);
    QCOMPARE(w.line1(), QStringLiteral("问题1(总共1个问题):"));
    QCOMPARE(w.text("Label41"), QStringLiteral("1"));
    QCOMPARE(w.text("Label40"), QStringLiteral("1"));
    // The next call's seconds start from 0.
    w.tick(2);
    w.click("Button2");
    QCOMPARE(db.scalar(QStringLiteral("select tottime from q_ans where yhid=%1").arg(b)).toInt(), 2);
}

// The six outcome buttons, one customer each: each writes its own word, says its own message
// when it cannot, and draws the next customer at once.
void TestVisitCall::outcomeButtons()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    for (int i = 0; i < 7; ++i)
        addCustomer(db.con(), s.p, QStringLiteral("1380000000%1").arg(i));
    const QString plain = QStringLiteral("连接数据库时出错，请检查网络!");
    const struct
    {
        const char* button;
        QString word;
        QString failure;
    } buttons[] = {{"Button3", QStringLiteral("关机"), QStringLiteral("连接数据库时出错，请检查网络!(5)")},
                   {"Button4", QStringLiteral("停机"), plain},
                   {"Button5", QStringLiteral("无应答"), plain},
                   {"Button6", QStringLiteral("拒访"), plain},
                   {"Button8", QStringLiteral("下次联系"), plain},
                   {"Button9", QStringLiteral("无效数据"), plain}};
    Win w;
    // Nothing held: nothing happens.
    for (const auto& b : buttons) {
        QCOMPARE(w.get<QPushButton>(b.button)->text(), b.word);
        w.click(b.button);
    }
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(db.count(QStringLiteral("visitlog")), 0);

    w.click("Button1");
    int ended = 0;
    for (const auto& b : buttons) {
        const qint64 id = w.held(db);
        QVERIFY(id > 0);
        w.link("Label20"); // question 20 on screen
        w.type("Memo4", QStringLiteral(" 通话中断 "));
        w.tick(25);

        // A failure first: its own message, nothing kept.
        boxes.clear();
        failStatements(QStringLiteral("insert into visitlog"));
        w.click(b.button);
        tst::failNothing();
        QCOMPARE(boxes.texts(), QStringList{b.failure});
        QCOMPARE(w.held(db), id);

        w.click(b.button);
        ++ended;
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(db.scalar(QStringLiteral("select sljg||'|'||bz||'|'||slz from yhda where id=%1").arg(id)).toString(),
                 b.word + QStringLiteral("|通话中断|") + kOperator);
        QCOMPARE(
            db.scalar(QStringLiteral("select qid||'|'||ans||'|'||tottime from q_ans where yhid=%1").arg(id)).toString(),
            QStringLiteral("%1|%2|25").arg(s.q20).arg(b.word));
        // The next customer is drawn at once, the first question is back.
        const qint64 next = w.held(db);
        QVERIFY(next > 0 && next != id);
        QVERIFY(w.text("Memo4").isEmpty());
        QCOMPARE(w.line1(), QStringLiteral("问题10(总共5个问题):"));
        QCOMPARE(w.text("Label41"), QString::number(7 - ended));
        QCOMPARE(w.text("Label40"), QString::number(ended));
        QCOMPARE(ADOcon().transactionDepth(), 0);
    }
}

void TestVisitCall::callBackAtATime()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 plain = addCustomer(db.con(), s.p, QStringLiteral("13800000001"));
    const qint64 booked = addCustomer(db.con(), s.p, QStringLiteral("13800000002"));
    // A call-back for anyone, due ten minutes ago.
    const QString due = QDateTime::currentDateTime().addSecs(-600).toString(QStringLiteral("yyyy-MM-dd HH:mm:00"));
    db.exec(QStringLiteral("update yhda set sljg='下次联系',kcsj=%1 where id=%2").arg(q(due)).arg(booked));
    db.exec(QStringLiteral("insert into hfyy(yhid,ywbh,dhhm,kssj,jssj,gksj,yyz,yyzxm,zy,bz) values(%1,%2,"
                           "'13800000002',%3,'2099-01-01 00:00:00',%3,'op2','王''五',0,'请下午''打')")
                .arg(booked)
                .arg(s.p)
                .arg(q(due)));
    Win w;
    auto* when = w.get<QDateTimeEdit>("DateTimeCallBack");
    QCOMPARE(when->text().trimmed(), QString()); // blank: no call-back
    QCOMPARE(w.combo("ComboCallBackLength")->currentData().toInt(), 60);
    QVERIFY(w.get<QCheckBox>("CheckOnlyMe")->isChecked());

    // The due call-back comes first, and the window says so.
    QCOMPARE(w.text("LabelDueCallBacks"), QStringLiteral("1"));
    w.click("Button1");
    QCOMPARE(w.held(db), booked);
    QVERIFY2(w.text("LabelBooked").contains(QStringLiteral("王'五")), qPrintable(w.text("LabelBooked")));
    QVERIFY(w.text("LabelBooked").contains(QStringLiteral("请下午'打")));
    QVERIFY(w.text("LabelBooked").contains(due.left(16)));

    // A time gone by is refused, nothing written, the customer still held.
    when->setDateTime(QDateTime::currentDateTime().addDays(-1));
    w.click("Button8");
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("预约的回访时间已经过去，请重新选择回访时间!")});
    QCOMPARE(w.held(db), booked);
    QCOMPARE(db.count(QStringLiteral("visitlog")), 0);

    // Tomorrow, two hours, anyone: booked with the ending, the old call-back closed by it.
    const QDateTime tomorrow(QDate::currentDate().addDays(1), QTime(15, 0));
    when->setDateTime(tomorrow);
    w.combo("ComboCallBackLength")->setCurrentIndex(w.combo("ComboCallBackLength")->findData(120));
    w.get<QCheckBox>("CheckOnlyMe")->setChecked(false);
    w.type("Memo4", QStringLiteral("明天下午'三点"));
    boxes.clear();
    w.click("Button8");
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select kssj||'|'||jssj||'|'||zy||'|'||coalesce(hfz,'-')||'|'||bz from hfyy "
                                      "where zt=0"))
                 .toString(),
             tomorrow.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss|")) +
                 tomorrow.addSecs(7200).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss|")) +
                 QStringLiteral("0|-|明天下午'三点"));
    QCOMPARE(db.count(QStringLiteral("hfyy"), QStringLiteral("zt=1 and gbid is not null")), 1);
    // The history row of the ending and the customer's record show the time booked.
    const QString start = tomorrow.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QCOMPARE(db.scalar(QStringLiteral("select hfsj from visitlogview where hfsj is not null")).toString(), start);
    QCOMPARE(db.scalar(QStringLiteral("select hfsj from yhdaview where id=%1").arg(booked)).toString(), start);
    QCOMPARE(w.held(db), plain);
    QVERIFY(w.text("LabelBooked").isEmpty());
    QCOMPARE(when->text().trimmed(), QString());

    // Without a time "下次联系" is what it always was.
    w.click("Button8");
    QCOMPARE(db.count(QStringLiteral("hfyy")), 2);
    QCOMPARE(state(db, plain), QStringLiteral("下次联系"));
}

// Between customers the window looks for call-backs falling due and tells of them; while a
// customer is held it leaves the operator's screen alone.
void TestVisitCall::callBackFallingDueIsTold()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    Win w;
    QCOMPARE(w.text("LabelDueCallBacks"), QStringLiteral("0"));
    const QString due = QDateTime::currentDateTime().addSecs(-60).toString(QStringLiteral("yyyy-MM-dd HH:mm:00"));
    const auto book = [&](const QString& number) {
        const qint64 id = addCustomer(db.con(), s.p, number);
        db.exec(QStringLiteral("update yhda set sljg='下次联系',kcsj=%1 where id=%2").arg(q(due)).arg(id));
        db.exec(QStringLiteral("insert into hfyy(yhid,ywbh,dhhm,kssj,jssj,gksj,yyz,yyzxm,zy,bz) values(%1,%2,%3,%4,"
                               "'2099-01-01 00:00:00',%4,'op2','王五',0,'')")
                    .arg(id)
                    .arg(s.p)
                    .arg(q(number))
                    .arg(q(due)));
    };
    book(QStringLiteral("13800000001"));
    w.get<QTimer>("TimerCallBacks")->setInterval(10);
    QTRY_COMPARE(w.text("LabelDueCallBacks"), QStringLiteral("1"));
    QVERIFY2(w.text("LabelBooked").contains(QStringLiteral("1个预约回访已到时间")), qPrintable(w.text("LabelBooked")));

    w.click("Button1");
    const QString drawn = w.text("LabelBooked");
    QVERIFY2(drawn.startsWith(QStringLiteral("预约回访")), qPrintable(drawn));
    book(QStringLiteral("13800000002"));
    QTest::qWait(100);
    QCOMPARE(w.text("LabelBooked"), drawn);
    QCOMPARE(boxes.count(), 0);
}

void TestVisitCall::answerFailureKeepsTheQuestion()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db.con(), s.p, QStringLiteral("13800000001"));
    Win w;
    w.click("Button1");
    w.click("Button2"); // 10 answered
    w.link("Label19");
    QVERIFY(w.choose(QStringLiteral("不满意")));
    // The old answer is deleted, then the new one fails: the old one must come back.
    tst::LogCapture log;
    failStatements(QStringLiteral("insert into q_ans"));
    w.click("Button2");
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{kAnswerFailed});
    QCOMPARE(log.count(QStringLiteral("disk I/O error [statement: insert into q_ans")), 1);
    QCOMPARE(answerText(db, s.q10, id), QStringLiteral("满意"));
    QCOMPARE(w.line1(), QStringLiteral("问题10(总共5个问题):"));
    QCOMPARE(w.text("ComboBox4"), QStringLiteral("不满意"));
    QCOMPARE(ADOcon().transactionDepth(), 0);
    // Pressing again works.
    w.click("Button2");
    QCOMPARE(answerText(db, s.q10, id), QStringLiteral("不满意"));
    QCOMPARE(w.line1(), QStringLiteral("问题30(总共5个问题):"));
    // A failing look-up of the next question says so as well.
    failStatements(QStringLiteral("select * from q_sel"));
    boxes.clear();
    w.click("Button2");
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{kAnswerFailed});
    QCOMPARE(w.line1(), QStringLiteral("问题30(总共5个问题):"));
}

// A failed completion: its message, and the window still holds the same customer at the same
// question with the remark and the seconds, so pressing again completes it. A failed draw of
// the next customer keeps the ending.
void TestVisitCall::endingFailureKeepsTheCall()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db.con(), s.p, QStringLiteral("13800000001"));
    const qint64 next = addCustomer(db.con(), s.p, QStringLiteral("13800000002"));
    const qint64 later = addCustomer(db.con(), s.p, QStringLiteral("13800000003"));
    Win w;
    w.type("Edit1", QStringLiteral("13800000001"));
    w.click("Button1");
    w.type("Edit1", QString());
    for (int i = 0; i < 4; ++i)
        w.link("Label20");
    QCOMPARE(w.line1(), QStringLiteral("问题50(总共5个问题):"));
    w.type("Memo4", QStringLiteral("备注"));
    w.tick(30);

    failStatements(QStringLiteral("insert into visitlog"));
    w.click("Button2");
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{kAnswerFailed});
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(state(db, id), QStringLiteral("正在受理"));
    QCOMPARE(state(db, next), QStringLiteral("未受理"));
    QCOMPARE(state(db, later), QStringLiteral("未受理"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);
    QCOMPARE(w.held(db), id);
    QCOMPARE(w.line1(), QStringLiteral("问题50(总共5个问题):"));
    QCOMPARE(w.text("Memo4"), QStringLiteral("备注"));
    // Pressing again works, with the remark and the seconds kept.
    w.click("Button2");
    QCOMPARE(db.scalar(QStringLiteral("select sljg||'|'||bz from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("已受理|备注"));
    QCOMPARE(db.scalar(QStringLiteral("select ans||'|'||tottime from q_ans where yhid=%1").arg(id)).toString(),
             QStringLiteral("完成|30"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 1);
    const qint64 second = w.held(db);
    QVERIFY(second == next || second == later);

    // The lock of the next customer fails: the ending is kept, the next customer is not
    // locked, and the window says so with nobody on screen.
    boxes.clear();
    failStatements(QStringLiteral("update yhda set sljg=?,drawkey=null"));
    w.click("Button5");
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("连接数据库时出错，请检查网络!(3)")});
    QCOMPARE(state(db, second), QStringLiteral("无应答"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 2);
    QCOMPARE(state(db, second == next ? later : next), QStringLiteral("未受理"));
    QVERIFY(!w.holding());
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->rowCount(), 0);
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

// The seat's session ends half-way through an ending (network, server restart): the server
// rolls the whole ending back, and pressing again works on a new session.
void TestVisitCall::endingWhenTheServerSessionEnds()
{
    if (!tst::onServer())
        QSKIP("a server session (the _pg test)");
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db.con(), s.p, QStringLiteral("13800000001"));
    addCustomer(db.con(), s.p, QStringLiteral("13800000002")); // drawn after the ending
    Win w;
    w.type("Edit1", QStringLiteral("13800000001"));
    w.click("Button1");
    w.type("Edit1", QString());
    for (int i = 0; i < 4; ++i)
        w.link("Label20");
    w.type("Memo4", QStringLiteral("备注"));
    const qint64 pid = db.scalar(QStringLiteral("select pg_backend_pid()")).toLongLong();
    ADOcon().setStatementHook([pid](const QString& sql) {
        if (sql.startsWith(QStringLiteral("insert into visitlog")))
            tst::ServerDb::admin().scalar(QStringLiteral("select pg_terminate_backend(?)"), {pid});
    });
    w.click("Button2");
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{kAnswerFailed});
    QCOMPARE(ADOcon().transactionDepth(), 0);
    db::Connection other(QStringLiteral("check"));
    db.openSecond(other);
    QCOMPARE(other.scalar(QStringLiteral("select sljg from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("正在受理"));
    QCOMPARE(other.scalar(QStringLiteral("select count(*) from q_ans")).toInt(), 0);
    QCOMPARE(other.scalar(QStringLiteral("select count(*) from visitlog")).toInt(), 0);
    QCOMPARE(w.held(db), id);
    w.click("Button2");
    QCOMPARE(boxes.texts().size(), 1);
    QCOMPARE(state(db, id), QStringLiteral("已受理"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 1);
}

void TestVisitCall::projectWithoutQuestions()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    // The window has just shown another project's question: it must not leak into this one.
    const int empty = addProject(db.con(), QStringLiteral("无问题项目"), QStringLiteral("直接问"));
    const int other = addProject(db.con(), QStringLiteral("有问题项目"));
    addQuestion(db.con(), other, 3, QStringLiteral("别的问题"));
    const qint64 id = addCustomer(db.con(), empty, QStringLiteral("13800000001"));
    Win w;
    QCOMPARE(w.line1(), QStringLiteral("问题3(总共1个问题):"));
    w.combo("ComboBox1")->setCurrentIndex(1);
    QCOMPARE(w.text("ComboBox1"), QStringLiteral("无问题项目"));
    QCOMPARE(w.text("Memo3"), QStringLiteral("直接问"));
    QVERIFY(w.text("Memo1").isEmpty());
    QCOMPARE(w.combo("ComboBox4")->count(), 0);
    w.click("Button1");
    QCOMPARE(w.held(db), id);

    // Nothing to answer, and the operator is told so plainly; the links find nothing.
    w.click("Button2");
    QCOMPARE(boxes.count(), 1);
    QVERIFY(boxes.lastText().contains(QStringLiteral("没有设置问题")));
    w.link("Label19");
    QCOMPARE(boxes.lastText(), QStringLiteral("不存在上一个问题了"));
    w.link("Label20");
    QCOMPARE(boxes.lastText(), QStringLiteral("不存在下一个问题了"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);

    // An outcome ends the call: record and history, no answer row.
    boxes.clear();
    w.type("Memo4", QStringLiteral("没人接"));
    w.click("Button5");
    QCOMPARE(boxes.texts(), QStringList{kNothing});
    QCOMPARE(state(db, id), QStringLiteral("无应答"));
    QCOMPARE(db.count(QStringLiteral("visitlog"), QStringLiteral("sljg='无应答' and bz='没人接'")), 1);
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

// Quotes and statement pieces in every text the window shows or writes: shown as they are,
// written as they are (the statements themselves are checked on the call).
void TestVisitCall::hostileText()
{
    tst::TestDb& db = *m_db;
    tst::MsgScript boxes;
    const Hostile h = makeHostile(db);
    db.loginOperator(QStringLiteral("o'b"), h.truename);
    db.exec(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(%1,%2,'x','关机','')")
                .arg(h.p)
                .arg(q(h.c.dhhm1)));
    Win w;
    QCOMPARE(w.text("Memo3"), h.tips);
    QCOMPARE(w.text("Memo1"), QStringLiteral("问题1(总共2个问题):\n问'题"));
    QCOMPARE(w.text("ComboBox4"), h.option);
    w.click("Button1");
    QCOMPARE(w.held(db), h.id);
    QCOMPARE(w.text("Label46"), QStringLiteral("张'三"));
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->rowCount(), 1);
    QCOMPARE(w.text("Label41"), QStringLiteral("2"));
    w.click("Button2");
    QCOMPARE(answerText(db, h.q1, h.id), h.option);
    QCOMPARE(w.text("ComboBox4"), h.option2);
    w.type("Memo4", h.remark);
    w.click("Button2");
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select bz||'|'||slz from yhda where id=%1").arg(h.id)).toString(),
             h.remark + u'|' + h.truename);
    QCOMPARE(answerText(db, h.q2, h.id), h.option2);
    QCOMPARE(w.held(db), h.id2);
    QCOMPARE(w.text("Label40"), QStringLiteral("1"));
    // Given up with a hostile remark as well.
    boxes.answer(msg::Answer::Ok);
    w.type("Memo4", h.remark);
    w.click("Button7");
    QCOMPARE(db.scalar(QStringLiteral("select bz from yhda where id=%1").arg(h.id2)).toString(), h.remark);
}

TV_TEST_MAIN(TestVisitCall)
#include "tst_visitcall.moc"
