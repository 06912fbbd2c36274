// The call in progress without a window: the questionnaire with its jumps, the endings and
// giving up, what each writes, and that a failed statement keeps nothing and changes nothing.
#include "db/dialect.h"
#include "ops/visit/call.h"
#include "support/logcapture.h"
#include "support/opsdb.h"
#include "support/visitbuilders.h"

#include <QDate>
#include <QScopeGuard>
#include <QTest>

using namespace vt;
using ops::visit::Call;

namespace {

const QString kOperator = QStringLiteral("话务员一");

// A call of the operator op1 on a survey, its first question loaded.
struct Fixture
{
    tst::OpsDb db;
    Survey s;
    std::optional<Call> slot;
    Fixture() { newSurvey(); }
    Call& call() { return *slot; }
    const Call& call() const { return *slot; }
    // Another survey in the same database, with a call of its own: the rows of a data-driven
    // test share one database.
    void newSurvey()
    {
        s = makeSurvey(db);
        slot.emplace(db.con(), ops::Who{QStringLiteral("op1"), kOperator, QString()});
        call().setProject(s.p);
        call().loadFirstQuestion();
    }
    qint64 qbh() const { return call().question() ? call().question()->qbh : -1; }
    int option(const QString& text) const
    {
        const auto& o = call().question()->options;
        for (int i = 0; i < o.size(); ++i)
            if (o.at(i).text == text)
                return i;
        return -1;
    }
    // Makes every statement that starts with prefix fail, as a lost connection would.
    void fail(const QString& prefix)
    {
        db.con().setStatementHook([prefix](const QString& sql) {
            if (sql.startsWith(prefix))
                throw db::Error(QStringLiteral("disk I/O error"), sql);
        });
    }
    void failNothing() { db.con().setStatementHook({}); }
};

} // namespace

class TestCall : public QObject
{
    Q_OBJECT
    std::unique_ptr<Fixture> m_shared; // one database for the rows of a data-driven test
    Fixture& shared()
    {
        m_shared->newSurvey();
        return *m_shared;
    }

private slots:
    void firstQuestionAndSteps();
    void answersFollowJumpsAndReplace();
    void endings_data();
    void endings();
    void outcomesAddAnswerRows();
    void failedStatementKeepsNothing_data();
    void failedStatementKeepsNothing();
    void failedNextDrawKeepsTheEnding();
    void projectWithoutQuestions();
    void giveUp();
    void hostileText();
};

void TestCall::firstQuestionAndSteps()
{
    Fixture f;
    QVERIFY(f.db.ok());
    // Lowest number first; the count is the number of questions; jumps typed, an empty one none.
    QCOMPARE(f.call().question()->qid, f.s.q10);
    QCOMPARE(f.qbh(), 10);
    QCOMPARE(f.call().questionCount(), 5);
    QCOMPARE(f.call().question()->qnr, QStringLiteral("问题一"));
    QCOMPARE(f.call().question()->options.size(), 2);
    QCOMPARE(f.call().question()->options.at(1).text, QStringLiteral("不满意"));
    QCOMPARE(f.call().question()->options.at(1).jump.value_or(-1), 30);
    QCOMPARE(f.call().step(false), Call::Stepped::NotHeld);
    // Nothing held: the endings write nothing and draw nobody.
    addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000009"));
    QVERIFY(!f.call().complete(0, QString(), QString(), QStringLiteral("未受理")).customer);
    QVERIFY(!f.call().outcome(QStringLiteral("关机"), QString(), QStringLiteral("未受理")).customer);
    f.call().giveUp(QString(), QStringLiteral("未受理"));
    QCOMPARE(f.db.count(QStringLiteral("visitlog")) + f.db.count(QStringLiteral("q_ans")), 0);
    QCOMPARE(f.db.count(QStringLiteral("yhda"), QStringLiteral("sljg='正在受理'")), 0);

    QVERIFY(f.call().drawByState(QStringLiteral("未受理")));
    QCOMPARE(f.call().step(true), Call::Stepped::NoneThere);
    QCOMPARE(f.qbh(), 10);
    for (int n : {20, 30, 40, 50}) {
        QCOMPARE(f.call().step(false), Call::Stepped::Moved);
        QCOMPARE(f.qbh(), n);
    }
    QCOMPARE(f.call().step(false), Call::Stepped::NoneThere);
    QCOMPARE(f.call().question()->qid, f.s.q50);
    QCOMPARE(f.call().step(true), Call::Stepped::Moved);
    QCOMPARE(f.qbh(), 40);
    QVERIFY(!f.call().question()->options.at(1).jump);
    QCOMPARE(f.db.count(QStringLiteral("q_ans")), 0);
    // Counted when the first question is loaded, not while a customer is worked.
    addQuestion(f.db.con(), f.s.p, 60, QStringLiteral("问题六"));
    QCOMPARE(f.call().step(false), Call::Stepped::Moved);
    QCOMPARE(f.call().questionCount(), 5);

    // Answering needs a customer, a question and a chosen option with a text.
    f.newSurvey();
    QCOMPARE(f.call().answer(0), Call::Answered::NotHeld);
    const qint64 bare = addQuestion(f.db.con(), f.s.p, 5, QStringLiteral("没有选项的问题"));
    addOption(f.db.con(), f.s.q20, QStringLiteral(""), 30);
    f.call().loadFirstQuestion();
    QCOMPARE(f.call().question()->qid, bare);
    addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000001"));
    f.call().drawByState(QStringLiteral("未受理"));
    for (int option : {0, -1})
        QCOMPARE(f.call().answer(option), Call::Answered::NoChoice);
    f.call().step(false);
    f.call().step(false);
    QCOMPARE(f.qbh(), 20);
    // Nothing chosen, past the end, and an option without text.
    for (int option : {-1, 2, 1})
        QCOMPARE(f.call().answer(option), Call::Answered::NoChoice);
    QCOMPARE(f.db.count(QStringLiteral("q_ans")), 0);
}

void TestCall::answersFollowJumpsAndReplace()
{
    Fixture f;
    const qint64 id = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000001"));
    QCOMPARE(f.call().drawByState(QStringLiteral("未受理"))->id, id);

    // 10 "不满意" jumps over 20 to 30.
    QCOMPARE(f.call().answer(f.option(QStringLiteral("不满意"))), Call::Answered::Moved);
    QCOMPARE(f.qbh(), 30);
    QCOMPARE(answerText(f.db, f.s.q10, id), QStringLiteral("不满意"));
    QCOMPARE(answers(f.db, f.s.q20, id), 0);
    QCOMPARE(f.db.scalar(QStringLiteral("select dhhm||'|'||slz from q_ans")).toString(),
             QStringLiteral("13800000001|") + kOperator);

    // A jump to its own question stays there and replaces its answer on the next one.
    QCOMPARE(f.call().answer(f.option(QStringLiteral("再问一次"))), Call::Answered::Moved);
    QCOMPARE(f.qbh(), 30);
    QCOMPARE(f.call().answer(f.option(QStringLiteral("继续"))), Call::Answered::Moved);
    QCOMPARE(answers(f.db, f.s.q30, id), 1);
    QCOMPARE(answerText(f.db, f.s.q30, id), QStringLiteral("继续"));
    QCOMPARE(f.qbh(), 40);

    // Back to 10 by number, another answer replaces the first and follows its own jump.
    for (int i = 0; i < 3; ++i)
        f.call().step(true);
    QCOMPARE(f.call().answer(f.option(QStringLiteral("满意"))), Call::Answered::Moved);
    QCOMPARE(answers(f.db, f.s.q10, id), 1);
    QCOMPARE(answerText(f.db, f.s.q10, id), QStringLiteral("满意"));
    QCOMPARE(f.qbh(), 20);
    QCOMPARE(f.db.count(QStringLiteral("q_ans")), 2);
    QCOMPARE(state(f.db, id), QStringLiteral("正在受理"));
    QCOMPARE(f.db.count(QStringLiteral("visitlog")), 0);

    // A jump that names no question completes: nothing is written until the ending. So does
    // an empty one, even when a question is numbered 0.
    for (int i = 0; i < 3; ++i)
        f.call().step(false);
    QCOMPARE(f.qbh(), 50);
    QCOMPARE(f.call().answer(f.option(QStringLiteral("完成"))), Call::Answered::Completes);
    f.call().step(true);
    addQuestion(f.db.con(), f.s.p, 0, QStringLiteral("零"));
    const int end = f.option(QStringLiteral("结束"));
    QCOMPARE(f.call().answer(end), Call::Answered::Completes);
    QCOMPARE(f.db.count(QStringLiteral("q_ans")), 2);
    QCOMPARE(f.qbh(), 40);
    f.call().complete(end, QString(), QString(), QStringLiteral("未受理"));
    QCOMPARE(state(f.db, id), QStringLiteral("已受理"));
    QCOMPARE(answerText(f.db, f.s.q40, id), QStringLiteral("结束"));
    QCOMPARE(f.db.scalar(QStringLiteral("select sljg from visitlog")).toString(), QStringLiteral("已受理()"));
}

void TestCall::endings_data()
{
    m_shared = std::make_unique<Fixture>();
    QTest::addColumn<QString>("word"); // empty: the completed questionnaire
    QTest::addColumn<QString>("jg");
    QTest::addColumn<QString>("update"); // the record's statement up to the record's id
    QTest::addColumn<QString>("history");
    const QString usual = QStringLiteral("update yhda set sljg=?,jg=null,slsj=now(),bz=?,slz=? where id=");
    const QString completed = QStringLiteral("update yhda set sljg=?,jg=?,bz=?,slsj=now(),slz=? where id=");
    QTest::newRow("completed") << QString() << QString() << completed << QStringLiteral("已受理()");
    QTest::newRow("success") << QString() << QStringLiteral("成功") << completed << QStringLiteral("已受理(成功)");
    QTest::newRow("关机") << QStringLiteral("关机") << QString()
                          << QStringLiteral("update yhda set sljg=?,jg=null,bz=?,slsj=now(),slz=? where id=")
                          << QStringLiteral("关机");
    for (const char* w : {"停机", "无应答", "拒访", "下次联系", "无效数据"})
        QTest::newRow(w) << QString::fromUtf8(w) << QString() << usual << QString::fromUtf8(w);
}

// Every ending writes the record, the answer to the question on screen and the history row,
// and draws the next customer by state only, in one transaction.
void TestCall::endings()
{
    QFETCH(QString, word);
    QFETCH(QString, jg);
    QFETCH(QString, update);
    QFETCH(QString, history);
    Fixture& f = shared();
    const auto unhook = qScopeGuard([&f] { f.failNothing(); });
    const qint64 id = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000001"));
    f.db.exec(QStringLiteral("update yhda set jg='旧' where id=%1").arg(id));
    const qint64 next = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000002"));
    Cust numbered; // in another state: never the next one
    numbered.dhhm1 = QStringLiteral("13899999999");
    numbered.sljg = QStringLiteral("拒访");
    addCustomer(f.db.con(), f.s.p, numbered);
    QCOMPARE(f.call().drawByNumber(QStringLiteral("13800000001"))->id, id);
    // Answered before: completion replaces that row, an outcome adds one.
    for (int i = 0; i < 4; ++i)
        f.call().step(false);
    f.db.exec(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime) values(%1,'13800000001',%2,'旧','',1)")
                  .arg(f.s.q50)
                  .arg(id));
    for (int i = 0; i < 25; ++i)
        f.call().tick();
    QStringList updates;
    f.db.con().setStatementHook([&updates](const QString& sql) {
        if (sql.startsWith(QStringLiteral("update yhda set sljg=")))
            updates << sql;
    });

    const Call::Next n = word.isEmpty() ? f.call().complete(0, jg, QStringLiteral("通话中断"), QStringLiteral("未受理"))
                                        : f.call().outcome(word, QStringLiteral("通话中断"), QStringLiteral("未受理"));
    f.failNothing();
    QVERIFY(!updates.isEmpty());
    QVERIFY2(updates.first().startsWith(db::translate(update, f.db.con().engine())), qPrintable(updates.first()));
    const QString written = word.isEmpty() ? QStringLiteral("已受理") : word;
    QCOMPARE(f.db.scalar(QStringLiteral("select sljg||'|'||bz||'|'||slz from yhda where id=%1").arg(id)).toString(),
             written + QStringLiteral("|通话中断|") + kOperator);
    const QVariant jgNow = f.db.scalar(QStringLiteral("select jg from yhda where id=%1").arg(id));
    QCOMPARE(jgNow.isNull(), !word.isEmpty());
    QCOMPARE(jgNow.toString(), jg);
    QVERIFY(f.db.scalar(QStringLiteral("select slsj from yhda where id=%1").arg(id))
                .toString()
                .startsWith(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    QCOMPARE(answers(f.db, f.s.q50, id), word.isEmpty() ? 1 : 2);
    QCOMPARE(f.db.scalar(QStringLiteral(
                             "select ans||'|'||tottime||'|'||dhhm||'|'||slz from q_ans where yhid=%1 order by id desc")
                             .arg(id))
                 .toString(),
             (word.isEmpty() ? QStringLiteral("完成") : word) + QStringLiteral("|25|13800000001|") + kOperator);
    QCOMPARE(
        f.db.scalar(QStringLiteral("select ywbh||'|'||dhhm||'|'||slz||'|'||sljg||'|'||bz from visitlog where ywbh=%1")
                        .arg(f.s.p))
            .toString(),
        QStringLiteral("%1|13800000001|%2|%3|通话中断").arg(f.s.p).arg(kOperator, history));
    // The next customer is held at once, from 0 seconds.
    QVERIFY(!n.drawFailed);
    QCOMPARE(n.customer->id, next);
    QCOMPARE(f.call().customer()->id, next);
    QCOMPARE(state(f.db, next), QStringLiteral("正在受理"));
    QCOMPARE(f.call().elapsed(), 0);
    QCOMPARE(f.db.con().transactionDepth(), 0);
}

void TestCall::outcomesAddAnswerRows()
{
    Fixture f;
    const qint64 id = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000001"));
    f.call().drawByState(QStringLiteral("未受理"));
    f.call().answer(0); // 10 -> 20
    f.call().answer(0); // 20 -> 30
    // Refused at question 30: a row for 30 saying so; 10 and 20 stay.
    f.call().outcome(QStringLiteral("拒访"), QString(), QStringLiteral("未受理"));
    QVERIFY(!f.call().held());
    QCOMPARE(answerText(f.db, f.s.q30, id), QStringLiteral("拒访"));
    QCOMPARE(answers(f.db, f.s.q10, id), 1);
    QCOMPARE(answers(f.db, f.s.q20, id), 1);
    // Drawn again later and ended at the question that already has a row: a second row.
    f.call().loadFirstQuestion();
    QCOMPARE(f.call().drawByState(QStringLiteral("拒访"))->id, id);
    f.call().outcome(QStringLiteral("停机"), QString(), QStringLiteral("拒访"));
    QCOMPARE(answers(f.db, f.s.q10, id), 2);
    QCOMPARE(answerText(f.db, f.s.q10, id), QStringLiteral("停机"));
    QCOMPARE(f.db.count(QStringLiteral("visitlog")), 2);

    // Every answer row of a call carries the seconds since its draw.
    f.newSurvey();
    const qint64 a = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000001"));
    auto tick = [&](int seconds) {
        for (int i = 0; i < seconds; ++i)
            f.call().tick();
    };
    tick(500);
    f.call().drawByState(QStringLiteral("未受理"));
    QCOMPARE(f.call().elapsed(), 0);
    tick(4);
    f.call().answer(0);
    tick(3);
    f.call().answer(0);
    tick(5);
    f.call().outcome(QStringLiteral("无应答"), QString(), QStringLiteral("未受理"));
    QCOMPARE(f.db.scalar(QStringLiteral("select group_concat(tottime) from (select tottime from q_ans where yhid=%1 "
                                        "order by id)")
                             .arg(a))
                 .toString(),
             QStringLiteral("4,7,12"));
    // Each draw starts again from 0, a draw that finds nothing too.
    QCOMPARE(f.call().elapsed(), 0);
    tick(2);
    QVERIFY(!f.call().drawByState(QStringLiteral("未受理")));
    QCOMPARE(f.call().elapsed(), 0);
    tick(2);
    QCOMPARE(f.call().drawByNumber(QStringLiteral("13800000001"))->id, a);
    QCOMPARE(f.call().elapsed(), 0);
}

void TestCall::failedStatementKeepsNothing_data()
{
    m_shared = std::make_unique<Fixture>();
    QTest::addColumn<QString>("ending"); // answer, complete or an outcome word
    QTest::addColumn<QString>("failing");
    QTest::newRow("answer: old answer") << QStringLiteral("answer") << QStringLiteral("delete from q_ans");
    QTest::newRow("answer: answer") << QStringLiteral("answer") << QStringLiteral("insert into q_ans");
    QTest::newRow("answer: next question") << QStringLiteral("answer") << QStringLiteral("select * from q_sel");
    QTest::newRow("complete: record") << QStringLiteral("complete") << QStringLiteral("update yhda set sljg=?,jg=?");
    QTest::newRow("complete: old answer") << QStringLiteral("complete") << QStringLiteral("delete from q_ans");
    QTest::newRow("complete: answer") << QStringLiteral("complete") << QStringLiteral("insert into q_ans");
    QTest::newRow("complete: history") << QStringLiteral("complete") << QStringLiteral("insert into visitlog");
    QTest::newRow("关机: answer") << QStringLiteral("关机") << QStringLiteral("insert into q_ans");
    QTest::newRow("拒访: history") << QStringLiteral("拒访") << QStringLiteral("insert into visitlog");
}

// The change is kept whole or not at all, and the call stays as it was, so the operator can try again.
void TestCall::failedStatementKeepsNothing()
{
    QFETCH(QString, ending);
    QFETCH(QString, failing);
    Fixture& f = shared();
    const auto unhook = qScopeGuard([&f] { f.failNothing(); });
    const qint64 id = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000001"));
    const qint64 next = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000002"));
    f.call().drawByNumber(QStringLiteral("13800000001"));
    const bool answering = ending == QStringLiteral("answer");
    f.call().answer(0); // 10 answered, on 20
    if (!answering) {
        while (f.call().step(false) == Call::Stepped::Moved) {
        }
    }
    const qint64 onScreen = f.call().question()->qid;
    f.db.exec(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime) values(%1,'13800000001',%2,'旧','',1)")
                  .arg(onScreen)
                  .arg(id));
    f.call().tick();
    const auto answerRows = [&] { return f.db.count(QStringLiteral("q_ans"), QStringLiteral("yhid=%1").arg(id)); };
    const qint64 rows = answerRows();
    auto run = [&] {
        if (answering)
            f.call().answer(0);
        else if (ending == QStringLiteral("complete"))
            f.call().complete(0, QString(), QStringLiteral("备注"), QStringLiteral("未受理"));
        else
            f.call().outcome(ending, QStringLiteral("备注"), QStringLiteral("未受理"));
    };

    f.fail(failing);
    tst::LogCapture log;
    QVERIFY_THROWS_EXCEPTION(db::Error, run());
    f.failNothing();
    // The reason travels in the error, to be logged once where it is shown.
    QVERIFY(log.lines().isEmpty());
    QCOMPARE(f.db.con().transactionDepth(), 0);
    QCOMPARE(state(f.db, id), QStringLiteral("正在受理"));
    QCOMPARE(state(f.db, next), QStringLiteral("未受理"));
    QCOMPARE(answerRows(), rows);
    QCOMPARE(answerText(f.db, onScreen, id), QStringLiteral("旧"));
    QCOMPARE(f.db.count(QStringLiteral("visitlog"), QStringLiteral("ywbh=%1").arg(f.s.p)), 0);
    QCOMPARE(f.call().customer()->id, id);
    QCOMPARE(f.call().question()->qid, onScreen);
    QCOMPARE(f.call().elapsed(), 1);
    // Again, without the failure: it goes through.
    run();
    QCOMPARE(answers(f.db, onScreen, id), ending == QStringLiteral("complete") || answering ? 1 : 2);
    QCOMPARE(f.db.count(QStringLiteral("visitlog"), QStringLiteral("ywbh=%1").arg(f.s.p)), answering ? 0 : 1);
    QCOMPARE(f.call().customer()->id, answering ? id : next);
}

void TestCall::failedNextDrawKeepsTheEnding()
{
    Fixture f;
    const qint64 id = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000001"));
    const qint64 next = addCustomer(f.db.con(), f.s.p, QStringLiteral("13800000002"));
    f.call().drawByNumber(QStringLiteral("13800000001"));
    // The lock of the next customer fails: the ending is kept, the next customer is not locked.
    f.fail(QStringLiteral("update yhda set sljg=?,drawkey=null"));
    tst::LogCapture log;
    const Call::Next n = f.call().outcome(QStringLiteral("无应答"), QString(), QStringLiteral("未受理"));
    f.failNothing();
    QVERIFY(n.drawFailed);
    const QString reason = QStringLiteral("disk I/O error [statement: update yhda set sljg=?,drawkey=null");
    QVERIFY2(n.reason.startsWith(reason), qPrintable(n.reason));
    QCOMPARE(log.count(reason), 1);
    QVERIFY(!n.customer);
    QVERIFY(!f.call().held());
    QCOMPARE(state(f.db, id), QStringLiteral("无应答"));
    QCOMPARE(f.db.count(QStringLiteral("visitlog")), 1);
    QCOMPARE(state(f.db, next), QStringLiteral("未受理"));
    QCOMPARE(f.db.con().transactionDepth(), 0);
}

void TestCall::projectWithoutQuestions()
{
    Fixture f;
    // The call has just had another project's question: it must not leak into this one.
    const int empty = addProject(f.db.con(), QStringLiteral("无问题项目"));
    const qint64 id = addCustomer(f.db.con(), empty, QStringLiteral("13800000001"));
    QVERIFY(f.call().question());
    f.call().setProject(empty);
    QVERIFY(!f.call().question());
    f.call().loadFirstQuestion();
    QVERIFY(!f.call().question());
    QCOMPARE(f.call().questionCount(), 0);
    QCOMPARE(f.call().drawByState(QStringLiteral("未受理"))->id, id);
    QCOMPARE(f.call().answer(0), Call::Answered::NoQuestion);
    QCOMPARE(f.call().step(true), Call::Stepped::NoneThere);
    QCOMPARE(f.call().step(false), Call::Stepped::NoneThere);
    // An outcome ends the call: record and history, no answer row.
    f.call().outcome(QStringLiteral("无应答"), QStringLiteral("没人接"), QStringLiteral("未受理"));
    QCOMPARE(state(f.db, id), QStringLiteral("无应答"));
    QCOMPARE(f.db.count(QStringLiteral("visitlog"), QStringLiteral("sljg='无应答' and bz='没人接'")), 1);
    QCOMPARE(f.db.count(QStringLiteral("q_ans")), 0);
}

void TestCall::giveUp()
{
    Fixture f;
    Cust c;
    c.dhhm1 = QStringLiteral("13800000001");
    c.sljg = QStringLiteral("下次联系");
    const qint64 id = addCustomer(f.db.con(), f.s.p, c);
    f.db.exec(QStringLiteral("update yhda set slz='某人',slsj='2020-01-01 10:00:00',jg='成功' where id=%1").arg(id));
    Cust blank;
    blank.dhhm1 = QStringLiteral("13800000002");
    blank.sljg = QString();
    const qint64 blankId = addCustomer(f.db.con(), f.s.p, blank);

    QCOMPARE(f.call().drawByState(QStringLiteral("下次联系"))->id, id);
    f.call().answer(0);
    f.call().tick();
    // A failed write keeps the customer held.
    f.fail(QStringLiteral("update yhda set sljg=?,bz=? where id="));
    QVERIFY_THROWS_EXCEPTION(db::Error, f.call().giveUp(QStringLiteral("它's 备注"), QStringLiteral("拒访")));
    f.failNothing();
    QCOMPARE(f.call().customer()->id, id);
    QCOMPARE(state(f.db, id), QStringLiteral("正在受理"));
    // Back to the state it was drawn in, with the remark; nothing else changes.
    f.call().giveUp(QStringLiteral("它's 备注"), QStringLiteral("拒访"));
    QVERIFY(!f.call().held());
    QCOMPARE(f.call().elapsed(), 0);
    QCOMPARE(f.db.scalar(QStringLiteral("select sljg||bz||slz||slsj||jg from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("下次联系它's 备注某人2020-01-01 10:00:00成功"));
    QCOMPARE(f.db.count(QStringLiteral("visitlog")), 0);
    QCOMPARE(f.db.count(QStringLiteral("q_ans")), 1);
    // Drawn without a state: the state chosen for the draw goes back.
    QCOMPARE(f.call().drawByNumber(QStringLiteral("13800000002"))->id, blankId);
    f.call().giveUp(QString(), QStringLiteral("拒访"));
    QCOMPARE(state(f.db, blankId), QStringLiteral("拒访"));
}

void TestCall::hostileText()
{
    tst::OpsDb db;
    const Hostile h = makeHostile(db);
    Call call(db.con(), ops::Who{QStringLiteral("o'b"), h.truename, QString()});
    QCOMPARE(ops::visit::projectTips(db.con(), h.p).value_or(QString()), h.tips);
    QVERIFY(!ops::visit::projectTips(db.con(), h.p + 1));
    call.setProject(h.p);
    call.loadFirstQuestion();
    QCOMPARE(call.drawByState(QStringLiteral("未受理"))->id, h.id);
    QCOMPARE(call.answer(0), Call::Answered::Moved);
    QCOMPARE(answerText(db, h.q1, h.id), h.option);
    QCOMPARE(call.answer(0), Call::Answered::Completes);
    call.complete(0, QStringLiteral("成'功"), h.remark, QStringLiteral("未受理"));
    QCOMPARE(db.scalar(QStringLiteral("select bz||'|'||slz||'|'||jg from yhda where id=%1").arg(h.id)).toString(),
             h.remark + u'|' + h.truename + QStringLiteral("|成'功"));
    QCOMPARE(db.scalar(QStringLiteral("select dhhm||'|'||slz||'|'||bz||'|'||sljg from visitlog")).toString(),
             h.c.dhhm1 + u'|' + h.truename + u'|' + h.remark + QStringLiteral("|已受理(成'功)"));
    QCOMPARE(answerText(db, h.q2, h.id), h.option2);
    QCOMPARE(db.count(QStringLiteral("q_ans")), 2);
    QCOMPARE(call.customer()->id, h.id2);
    call.giveUp(h.remark, QStringLiteral("未受理"));
    QCOMPARE(db.scalar(QStringLiteral("select bz from yhda where id=%1").arg(h.id2)).toString(), h.remark);
    QVERIFY(!call.drawByNumber(QStringLiteral("1' or '1'='1")));
}

QTEST_GUILESS_MAIN(TestCall)
#include "tst_call.moc"
