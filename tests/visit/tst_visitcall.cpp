// The visit window during a call: the questionnaire with its jumps, the completion with the
// result choice, the six outcome buttons, and what each writes - all or nothing.
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "core/pub.h"
#include "db/dialect.h"
#include "db/dm.h"
#include "support/failwhere.h"
#include "support/modal.h"
#include "support/msgscript.h"
#include "visit/seljg.h"
#include "visitfixture.h"

#include <QRadioButton>

using namespace vt;

namespace {

const QString kNothing = QStringLiteral("没有分配给您和未分配的相应号码资源!");
const QString kOperator = QStringLiteral("话务员一");

// A project with five questions numbered 10..50: 10 -> 20 -> 30 (or 10 -> 30 skipping 20),
// 30 -> 40 or back to 30 itself, 40 -> 50, 50 -> end; 40 also has an option ending with an
// empty jump.
struct Survey
{
    int p = 0;
    qint64 q10 = 0, q20 = 0, q30 = 0, q40 = 0, q50 = 0;
};

Survey makeSurvey(tst::TestDb& db)
{
    Survey s;
    s.p = addProject(db, QStringLiteral("调查"), QStringLiteral("您好，这里是回访中心"));
    s.q30 = addQuestion(db, s.p, 30, QStringLiteral("问题三"));
    s.q10 = addQuestion(db, s.p, 10, QStringLiteral("问题一"));
    s.q20 = addQuestion(db, s.p, 20, QStringLiteral("问题二"));
    s.q50 = addQuestion(db, s.p, 50, QStringLiteral("问题五"));
    s.q40 = addQuestion(db, s.p, 40, QStringLiteral("问题四"));
    addOption(db, s.q10, QStringLiteral("满意"), QStringLiteral("20"));
    addOption(db, s.q10, QStringLiteral("不满意"), QStringLiteral("30"));
    addOption(db, s.q20, QStringLiteral("是"), QStringLiteral("30"));
    addOption(db, s.q30, QStringLiteral("继续"), QStringLiteral("40"));
    addOption(db, s.q30, QStringLiteral("再问一次"), QStringLiteral("30"));
    addOption(db, s.q40, QStringLiteral("好"), QStringLiteral("50"));
    addOption(db, s.q40, QStringLiteral("结束"), QStringLiteral("null"));
    addOption(db, s.q50, QStringLiteral("完成"), QStringLiteral("0"));
    return s;
}

QString line1(Tfrmuserhf* w)
{
    return w->Memo1->toPlainText().section(u'\n', 0, 0);
}

bool choose(Tfrmuserhf* w, const QString& option)
{
    const int i = w->ComboBox4->findText(option);
    if (i < 0)
        return false;
    w->ComboBox4->setCurrentIndex(i);
    return true;
}

qint64 answers(tst::TestDb& db, qint64 qid, qint64 yhid)
{
    return db.count(QStringLiteral("q_ans"), QStringLiteral("qid=%1 and yhid=%2").arg(qid).arg(yhid));
}

QString answerText(tst::TestDb& db, qint64 qid, qint64 yhid)
{
    return db
        .scalar(QStringLiteral("select ans from q_ans where qid=%1 and yhid=%2 order by id desc").arg(qid).arg(yhid))
        .toString();
}

// Makes every statement that starts with prefix fail, as a lost connection would.
void failStatements(const QString& prefix)
{
    tst::failStatements([prefix](const QString& sql) { return sql.startsWith(prefix); });
}

} // namespace

class TestVisitCall : public QObject
{
    Q_OBJECT

private slots:
    void firstQuestionAndLinks();
    void answersFollowJumpsAndReplace();
    void answerNeedsChoiceAndCustomer();
    void completionWithoutResultChoice();
    void completionWithResultChoice_data();
    void completionWithResultChoice();
    void completionDrawsNextByStateOnly();
    void emptyJumpCompletes();
    void outcomeButtons_data();
    void outcomeButtons();
    void outcomesAddAnswerRows();
    void totTimeCumulativePerCall();
    void answerRollsBackWhenAStatementFails();
    void endingRollsBackWhenAStatementFails_data();
    void endingRollsBackWhenAStatementFails();
    void failedNextDrawKeepsTheEnding();
    void endingWhenTheServerSessionEnds();
    void projectWithoutQuestions();
    void hostileText();
};

void TestVisitCall::firstQuestionAndLinks()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    addCustomer(db, s.p, QStringLiteral("13800000001"));
    Win w;
    // Lowest number first, the total is the number of questions.
    QCOMPARE(w->Memo1->toPlainText(), QStringLiteral("问题10(总共5个问题):\n问题一"));
    QCOMPARE(w->FCurQid, QString::number(s.q10));
    QCOMPARE(w->FCurQbh, QStringLiteral("10"));
    QCOMPARE(w->FQCount, 5);
    QCOMPARE(w->ComboBox4->count(), 2);
    QCOMPARE(w->ComboBox4->currentText(), QStringLiteral("满意"));
    QCOMPARE(w->ComboBox5->itemText(1), QStringLiteral("30"));

    // Without a customer the links only ask for one.
    QTest::mouseClick(w->Label20, Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请先提取用户数据")});
    QCOMPARE(w->FCurQbh, QStringLiteral("10"));

    w->Button1->click();
    QVERIFY(w->customerHeld());
    boxes.clear();
    QTest::mouseClick(w->Label19, Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("不存在上一个问题了")});
    QCOMPARE(w->FCurQbh, QStringLiteral("10"));
    // The remark stays while moving by number; the links write nothing.
    w->Memo4->setPlainText(QStringLiteral("客户很忙"));
    for (const char* expected :
         {"问题20(总共5个问题):", "问题30(总共5个问题):", "问题40(总共5个问题):", "问题50(总共5个问题):"}) {
        QTest::mouseClick(w->Label20, Qt::LeftButton);
        QCOMPARE(line1(w.data()), QString::fromUtf8(expected));
    }
    boxes.clear();
    QTest::mouseClick(w->Label20, Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("不存在下一个问题了")});
    QCOMPARE(w->FCurQid, QString::number(s.q50));
    QTest::mouseClick(w->Label19, Qt::LeftButton);
    QCOMPARE(w->Memo1->toPlainText(), QStringLiteral("问题40(总共5个问题):\n问题四"));
    QCOMPARE(w->Memo4->toPlainText(), QStringLiteral("客户很忙"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);
    // The total is not recounted while a customer is worked.
    addQuestion(db, s.p, 60, QStringLiteral("问题六"));
    QTest::mouseClick(w->Label20, Qt::LeftButton);
    QCOMPARE(line1(w.data()), QStringLiteral("问题50(总共5个问题):"));

    // A failing look-up says so and keeps the question.
    failStatements(QStringLiteral("select * from q_table"));
    boxes.clear();
    QTest::mouseClick(w->Label19, Qt::LeftButton);
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("连接数据库时出错，请检查网络!")});
    QCOMPARE(line1(w.data()), QStringLiteral("问题50(总共5个问题):"));
}

void TestVisitCall::answersFollowJumpsAndReplace()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db, s.p, QStringLiteral("13800000001"));
    Win w;
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), id);

    // 10 "不满意" jumps over 20 to 30.
    QVERIFY(choose(w.data(), QStringLiteral("不满意")));
    w->Button2->click();
    QCOMPARE(w->Memo1->toPlainText(), QStringLiteral("问题30(总共5个问题):\n问题三"));
    QCOMPARE(answerText(db, s.q10, id), QStringLiteral("不满意"));
    QCOMPARE(answers(db, s.q20, id), 0);
    QCOMPARE(db.scalar(QStringLiteral("select dhhm||'|'||slz from q_ans")).toString(),
             QStringLiteral("13800000001|") + kOperator);

    // A jump to its own question shows it again and replaces its answer on the next submit.
    QVERIFY(choose(w.data(), QStringLiteral("再问一次")));
    w->Button2->click();
    QCOMPARE(line1(w.data()), QStringLiteral("问题30(总共5个问题):"));
    QCOMPARE(w->ComboBox4->currentText(), QStringLiteral("继续"));
    w->Button2->click();
    QCOMPARE(answers(db, s.q30, id), 1);
    QCOMPARE(answerText(db, s.q30, id), QStringLiteral("继续"));
    QCOMPARE(line1(w.data()), QStringLiteral("问题40(总共5个问题):"));

    // Back to 10 by the links, another answer replaces the first and follows its own jump.
    QTest::mouseClick(w->Label19, Qt::LeftButton);
    QTest::mouseClick(w->Label19, Qt::LeftButton);
    QTest::mouseClick(w->Label19, Qt::LeftButton);
    QCOMPARE(line1(w.data()), QStringLiteral("问题10(总共5个问题):"));
    QVERIFY(choose(w.data(), QStringLiteral("满意")));
    w->Button2->click();
    QCOMPARE(answers(db, s.q10, id), 1);
    QCOMPARE(answerText(db, s.q10, id), QStringLiteral("满意"));
    QCOMPARE(line1(w.data()), QStringLiteral("问题20(总共5个问题):"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), 2);
    QCOMPARE(state(db, id), QStringLiteral("正在受理"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 0);
    QCOMPARE(boxes.count(), 0);
}

void TestVisitCall::answerNeedsChoiceAndCustomer()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db, QStringLiteral("项目"));
    const qint64 bare = addQuestion(db, p, 1, QStringLiteral("没有选项的问题"));
    const qint64 q2 = addQuestion(db, p, 2, QStringLiteral("第二题"));
    addOption(db, q2, QStringLiteral("是"), QStringLiteral("0"));
    addCustomer(db, p, QStringLiteral("13800000001"));
    Win w;
    // Nothing held: nothing happens.
    w->Button2->click();
    QCOMPARE(boxes.count(), 0);
    w->Button1->click();
    QCOMPARE(w->FCurQid, QString::number(bare));
    QCOMPARE(w->ComboBox4->count(), 0);
    w->Button2->click();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请选择用户答复选项!")});
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);
    // The operator moves on by the link and can answer there.
    QTest::mouseClick(w->Label20, Qt::LeftButton);
    QCOMPARE(w->ComboBox4->currentText(), QStringLiteral("是"));
    w->ComboBox4->setCurrentIndex(-1);
    boxes.clear();
    w->Button2->click();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请选择用户答复选项!")});
}

void TestVisitCall::completionWithoutResultChoice()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const int p = addProject(db, QStringLiteral("项目"), QStringLiteral("提示语"));
    const qint64 q1 = addQuestion(db, p, 1, QStringLiteral("唯一的问题"));
    addOption(db, q1, QStringLiteral("同意"), QStringLiteral("0"));
    const qint64 id = addCustomer(db, p, QStringLiteral("13800000001"));
    // Answered once before: completion replaces that row.
    db.exec(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime) values(%1,'13800000001',%2,'旧',"
                           "'别人',3)")
                .arg(q1)
                .arg(id));
    Win w;
    w->Button1->click();
    w->Memo4->setPlainText(QStringLiteral("\n 愿意参加 \r\n"));
    w->FElapsed = 17;
    w->Button2->click();

    QCOMPARE(boxes.texts(), QStringList{kNothing});
    QCOMPARE(db.scalar(QStringLiteral("select sljg from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("已受理"));
    const QVariant jg = db.scalar(QStringLiteral("select jg from yhda where id=%1").arg(id));
    QVERIFY(!jg.isNull());
    QCOMPARE(jg.toString(), QString());
    QCOMPARE(db.scalar(QStringLiteral("select bz||'|'||slz from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("愿意参加|") + kOperator);
    QVERIFY(db.scalar(QStringLiteral("select slsj from yhda where id=%1").arg(id))
                .toString()
                .startsWith(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    QCOMPARE(answers(db, q1, id), 1);
    QCOMPARE(db.scalar(QStringLiteral("select ans||'|'||slz||'|'||tottime from q_ans")).toString(),
             QStringLiteral("同意|") + kOperator + QStringLiteral("|17"));
    QCOMPARE(db.scalar(QStringLiteral("select ywbh||'|'||dhhm||'|'||slz||'|'||sljg||'|'||bz from visitlog")).toString(),
             QStringLiteral("%1|13800000001|%2|已受理()|愿意参加").arg(p).arg(kOperator));
    // Idle afterwards, with current counters, an empty remark and the first question.
    QVERIFY(!w->customerHeld());
    QCOMPARE(w->FElapsed, 0);
    QVERIFY(w->Memo4->toPlainText().isEmpty());
    QCOMPARE(w->Label40->text(), QStringLiteral("1"));
    QCOMPARE(w->Label41->text(), QStringLiteral("0"));
    QCOMPARE(line1(w.data()), QStringLiteral("问题1(总共1个问题):"));
    QCOMPARE(w->Memo3->toPlainText(), QStringLiteral("提示语"));
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

void TestVisitCall::completionWithResultChoice_data()
{
    QTest::addColumn<int>("choice"); // 1 success, 2 no success, 0 closed without choosing
    QTest::addColumn<QString>("jg");
    QTest::newRow("default") << 1 << QStringLiteral("成功");
    QTest::newRow("no success") << 2 << QStringLiteral("不成功");
    QTest::newRow("closed") << 0 << QString();
}

void TestVisitCall::completionWithResultChoice()
{
    QFETCH(int, choice);
    QFETCH(QString, jg);
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator(QStringLiteral("op1"), kOperator);
    gJgts = 1;
    tst::MsgScript boxes;
    const int p = addProject(db, QStringLiteral("项目"));
    const qint64 q1 = addQuestion(db, p, 1, QStringLiteral("问题"));
    addOption(db, q1, QStringLiteral("好"), QStringLiteral("9"));
    const qint64 id = addCustomer(db, p, QStringLiteral("13800000001"));
    const qint64 next = addCustomer(db, p, QStringLiteral("13800000002"));
    db.exec(QStringLiteral("update yhda set sljg='已受理' where id=%1").arg(next));
    Win w;
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), id);
    QString caption;
    bool startsWithSuccess = false;
    std::unique_ptr<tst::ModalWatcher> watcher(tst::ModalWatcher::when<Tfrmseljg>([&](Tfrmseljg* d) {
        caption = d->windowTitle();
        startsWithSuccess = d->RadioButton1->isChecked();
        if (choice == 2)
            d->RadioButton2->setChecked(true);
        if (choice == 0)
            d->reject();
        else
            d->Button1->click();
    }));
    w->Button2->click();
    QVERIFY(watcher->done());
    QCOMPARE(caption, QStringLiteral("选择营销结果"));
    QVERIFY(startsWithSuccess);
    QCOMPARE(db.scalar(QStringLiteral("select jg from yhda where id=%1").arg(id)).toString(), jg);
    QCOMPARE(db.scalar(QStringLiteral("select sljg from visitlog")).toString(), QStringLiteral("已受理(%1)").arg(jg));
    QCOMPARE(boxes.texts(), QStringList{kNothing});
}

void TestVisitCall::completionDrawsNextByStateOnly()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const int p = addProject(db, QStringLiteral("项目"));
    const qint64 q1 = addQuestion(db, p, 1, QStringLiteral("问题"));
    addOption(db, q1, QStringLiteral("好"), QStringLiteral("0"));
    Cust first;
    first.dhhm1 = QStringLiteral("13800000001");
    first.zdslz = QStringLiteral("op1");
    const qint64 a = addCustomer(db, p, first);
    const qint64 b = addCustomer(db, p, QStringLiteral("13800000002"));
    Cust numbered;
    numbered.dhhm1 = QStringLiteral("13899999999");
    numbered.sljg = QStringLiteral("拒访");
    addCustomer(db, p, numbered);
    db.exec(
        QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(%1,'13800000002','某','关机','')").arg(p));
    Win w;
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), a);
    // The given number does not steer the automatic draw.
    w->Edit1->setText(QStringLiteral("13899999999"));
    w->Button2->click();
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(w->heldCustomerId(), b);
    QCOMPARE(w->Edit2->text(), QStringLiteral("13800000002"));
    QCOMPARE(w->Label17->text(), QStringLiteral("未受理"));
    QCOMPARE(state(db, b), QStringLiteral("正在受理"));
    QCOMPARE(w->DBGrid1->rowCount(), 1);
    QCOMPARE(w->FElapsed, 0);
    QCOMPARE(line1(w.data()), QStringLiteral("问题1(总共1个问题):"));
    QCOMPARE(w->Label41->text(), QStringLiteral("1"));
    QCOMPARE(w->Label40->text(), QStringLiteral("1"));
}

void TestVisitCall::emptyJumpCompletes()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    // Even a question numbered 0 (which the editor never makes) is not where an empty jump leads.
    addQuestion(db, s.p, 0, QStringLiteral("零"));
    const qint64 id = addCustomer(db, s.p, QStringLiteral("13800000001"));
    Win w;
    w->Button1->click();
    w->Edit1->setText(QStringLiteral("13800000001"));
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(w->Label20, Qt::LeftButton);
    QCOMPARE(line1(w.data()), QStringLiteral("问题40(总共6个问题):"));
    QVERIFY(choose(w.data(), QStringLiteral("结束")));
    QCOMPARE(w->ComboBox5->itemText(w->ComboBox4->currentIndex()), QString());
    w->Button2->click();
    QCOMPARE(state(db, id), QStringLiteral("已受理"));
    QCOMPARE(answerText(db, s.q40, id), QStringLiteral("结束"));
    QCOMPARE(db.scalar(QStringLiteral("select sljg from visitlog")).toString(), QStringLiteral("已受理()"));
}

void TestVisitCall::endingWhenTheServerSessionEnds()
{
    if (!tst::onServer())
        QSKIP("a server session (the _pg test)");
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db, s.p, QStringLiteral("13800000001"));
    addCustomer(db, s.p, QStringLiteral("13800000002")); // drawn after the ending
    Win w;
    w->Edit1->setText(QStringLiteral("13800000001"));
    w->Button1->click();
    w->Edit1->clear();
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(w->Label20, Qt::LeftButton);
    QCOMPARE(line1(w.data()), QStringLiteral("问题50(总共5个问题):"));
    w->Memo4->setPlainText(QStringLiteral("备注"));
    // The seat's session ends half-way through the ending (network, server restart).
    const qint64 pid = db.scalar(QStringLiteral("select pg_backend_pid()")).toLongLong();
    ADOcon().setStatementHook([pid](const QString& sql) {
        if (sql.startsWith(QStringLiteral("insert into visitlog")))
            tst::ServerDb::admin().scalar(QStringLiteral("select pg_terminate_backend(?)"), {pid});
    });
    w->Button2->click();
    tst::failNothing();
    ADOcon().setStatementHook({});
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("系统处理数据时出错，请检查网络和服务器，联系管理员(4)")});
    QCOMPARE(ADOcon().transactionDepth(), 0);
    // All or nothing: the server rolled the whole ending back.
    db::Connection other(QStringLiteral("check"));
    db.openSecond(other);
    QCOMPARE(other.scalar(QStringLiteral("select sljg from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("正在受理"));
    QCOMPARE(other.scalar(QStringLiteral("select count(*) from q_ans")).toInt(), 0);
    QCOMPARE(other.scalar(QStringLiteral("select count(*) from visitlog")).toInt(), 0);
    QCOMPARE(w->heldCustomerId(), id);
    // Pressing again works on a new session.
    w->Button2->click();
    tst::failNothing();
    QCOMPARE(boxes.texts().size(), 1);
    QCOMPARE(state(db, id), QStringLiteral("已受理"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 1);
}

void TestVisitCall::outcomeButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("update"); // the record's statement up to the remark
    const QString plain = QStringLiteral("连接数据库时出错，请检查网络!");
    const auto usual = [](const char* word) {
        return QStringLiteral("update yhda set sljg='%1',jg=null,slsj=now(),bz='").arg(QString::fromUtf8(word));
    };
    QTest::newRow("关机") << "Button3" << QStringLiteral("关机") << QStringLiteral("连接数据库时出错，请检查网络!(5)")
                          << QStringLiteral("update yhda set sljg='关机',jg=null,bz='通话中断',slsj=now(),slz='");
    QTest::newRow("停机") << "Button4" << QStringLiteral("停机") << plain << usual("停机");
    QTest::newRow("无应答") << "Button5" << QStringLiteral("无应答") << plain << usual("无应答");
    QTest::newRow("拒访") << "Button6" << QStringLiteral("拒访") << plain << usual("拒访");
    QTest::newRow("下次联系") << "Button8" << QStringLiteral("下次联系") << plain << usual("下次联系");
    QTest::newRow("无效数据") << "Button9" << QStringLiteral("无效数据") << plain << usual("无效数据");
}

void TestVisitCall::outcomeButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, word);
    QFETCH(QString, failure);
    QFETCH(QString, update);
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db, s.p, QStringLiteral("13800000001"));
    db.exec(QStringLiteral("update yhda set jg='成功' where id=%1").arg(id));
    const qint64 next = addCustomer(db, s.p, QStringLiteral("13800000002"));
    Win w;
    auto* b = w->findChild<QPushButton*>(button);
    QVERIFY(b);
    QCOMPARE(b->text(), word);
    // Nothing held: nothing happens.
    b->click();
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(db.count(QStringLiteral("visitlog")), 0);

    w->Edit1->setText(QStringLiteral("13800000001"));
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), id);
    w->Edit1->clear();
    QTest::mouseClick(w->Label20, Qt::LeftButton); // question 20 on screen
    w->Memo4->setPlainText(QStringLiteral(" 通话中断 "));
    w->FElapsed = 25;

    // A failure first: its own message, nothing kept.
    failStatements(QStringLiteral("insert into visitlog"));
    b->click();
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{failure});
    QCOMPARE(state(db, id), QStringLiteral("正在受理"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);

    QStringList updates;
    ADOcon().setStatementHook([&updates](const QString& sql) {
        if (sql.startsWith(QStringLiteral("update yhda set sljg=")))
            updates << sql;
    });
    b->click();
    tst::failNothing();
    QCOMPARE(boxes.count(), 1);
    QVERIFY(!updates.isEmpty());
    QVERIFY2(updates.first().startsWith(db::translate(update, ADOcon().engine())), qPrintable(updates.first()));
    QCOMPARE(db.scalar(QStringLiteral("select sljg||'|'||bz||'|'||slz from yhda where id=%1").arg(id)).toString(),
             word + QStringLiteral("|通话中断|") + kOperator);
    QVERIFY(db.scalar(QStringLiteral("select jg from yhda where id=%1").arg(id)).isNull());
    QVERIFY(!db.scalar(QStringLiteral("select slsj from yhda where id=%1").arg(id)).isNull());
    QCOMPARE(db.scalar(QStringLiteral("select qid||'|'||ans||'|'||tottime||'|'||dhhm from q_ans")).toString(),
             QStringLiteral("%1|%2|25|13800000001").arg(s.q20).arg(word));
    QCOMPARE(db.scalar(QStringLiteral("select sljg||'|'||bz||'|'||slz||'|'||ywbh from visitlog")).toString(),
             word + QStringLiteral("|通话中断|") + kOperator + QStringLiteral("|%1").arg(s.p));
    // The next customer is drawn at once, the first question is back.
    QCOMPARE(w->heldCustomerId(), next);
    QCOMPARE(w->FElapsed, 0);
    QVERIFY(w->Memo4->toPlainText().isEmpty());
    QCOMPARE(line1(w.data()), QStringLiteral("问题10(总共5个问题):"));
    QCOMPARE(w->Label41->text(), QStringLiteral("1"));
    QCOMPARE(w->Label40->text(), QStringLiteral("1"));
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

void TestVisitCall::outcomesAddAnswerRows()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db, s.p, QStringLiteral("13800000001"));
    Win w;
    w->Button1->click();
    w->Button2->click(); // 10 -> 20
    w->Button2->click(); // 20 -> 30
    QCOMPARE(line1(w.data()), QStringLiteral("问题30(总共5个问题):"));
    // Refused at question 30: a row for 30 saying so; 10 and 20 stay.
    w->Button6->click();
    QCOMPARE(answerText(db, s.q30, id), QStringLiteral("拒访"));
    QCOMPARE(answers(db, s.q10, id), 1);
    QCOMPARE(answers(db, s.q20, id), 1);
    // Drawn again later and ended at the question that already has a row: a second row.
    w->ComboBox3->setCurrentText(QStringLiteral("拒访"));
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), id);
    w->Button4->click();
    QCOMPARE(answers(db, s.q10, id), 2);
    QCOMPARE(answerText(db, s.q10, id), QStringLiteral("停机"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 2);
}

void TestVisitCall::totTimeCumulativePerCall()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 a = addCustomer(db, s.p, QStringLiteral("13800000001"));
    Cust later;
    later.dhhm1 = QStringLiteral("13800000002");
    later.sljg = QStringLiteral("下次联系");
    const qint64 b = addCustomer(db, s.p, later);
    Win w;
    w->FElapsed = 500;
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), a);
    QCOMPARE(w->FElapsed, 0);
    auto tick = [&](int seconds) {
        for (int i = 0; i < seconds; ++i)
            w->Timer1Timer();
    };
    tick(4);
    w->Button2->click();
    tick(3);
    w->Button2->click();
    tick(5);
    w->Button5->click();
    QCOMPARE(db.scalar(QStringLiteral("select group_concat(tottime) from (select tottime from q_ans where yhid=%1 "
                                      "order by id)")
                           .arg(a))
                 .toString(),
             QStringLiteral("4,7,12"));
    // Each draw starts again from 0, the one after an ending too.
    QCOMPARE(w->FElapsed, 0);
    w->ComboBox3->setCurrentText(QStringLiteral("下次联系"));
    w->Edit1->setText(QStringLiteral("13800000002"));
    tick(2);
    w->Button1->click(); // nothing held any more: drawn by number
    QCOMPARE(w->heldCustomerId(), b);
    QCOMPARE(w->FElapsed, 0);
    tick(6);
    w->Button3->click();
    QCOMPARE(db.scalar(QStringLiteral("select tottime from q_ans where yhid=%1").arg(b)).toInt(), 6);
}

void TestVisitCall::answerRollsBackWhenAStatementFails()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db, s.p, QStringLiteral("13800000001"));
    Win w;
    w->Button1->click();
    w->Button2->click(); // 10 answered
    QTest::mouseClick(w->Label19, Qt::LeftButton);
    QVERIFY(choose(w.data(), QStringLiteral("不满意")));
    // The old answer is deleted, then the new one fails: the old one must come back.
    failStatements(QStringLiteral("insert into q_ans"));
    w->Button2->click();
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("系统处理数据时出错，请检查网络和服务器，联系管理员(4)")});
    QCOMPARE(answerText(db, s.q10, id), QStringLiteral("满意"));
    QCOMPARE(line1(w.data()), QStringLiteral("问题10(总共5个问题):"));
    QCOMPARE(w->ComboBox4->currentText(), QStringLiteral("不满意"));
    QCOMPARE(ADOcon().transactionDepth(), 0);
    // Pressing again works.
    w->Button2->click();
    QCOMPARE(answerText(db, s.q10, id), QStringLiteral("不满意"));
    QCOMPARE(line1(w.data()), QStringLiteral("问题30(总共5个问题):"));
    // A failing look-up of the next question writes nothing either.
    failStatements(QStringLiteral("select * from q_sel"));
    boxes.clear();
    w->Button2->click();
    tst::failNothing();
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(answers(db, s.q30, id), 0);
    QCOMPARE(line1(w.data()), QStringLiteral("问题30(总共5个问题):"));
}

void TestVisitCall::endingRollsBackWhenAStatementFails_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("record") << QStringLiteral("update yhda set sljg='已受理'");
    QTest::newRow("old answer") << QStringLiteral("delete from q_ans");
    QTest::newRow("answer") << QStringLiteral("insert into q_ans");
    QTest::newRow("history") << QStringLiteral("insert into visitlog");
}

void TestVisitCall::endingRollsBackWhenAStatementFails()
{
    QFETCH(QString, failing);
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db, s.p, QStringLiteral("13800000001"));
    const qint64 next = addCustomer(db, s.p, QStringLiteral("13800000002"));
    Win w;
    w->Edit1->setText(QStringLiteral("13800000001"));
    w->Button1->click();
    w->Edit1->clear();
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(w->Label20, Qt::LeftButton);
    QCOMPARE(line1(w.data()), QStringLiteral("问题50(总共5个问题):"));
    // Answered before: completion replaces that row.
    db.exec(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime) values(%1,'13800000001',%2,'旧','',1)")
                .arg(s.q50)
                .arg(id));
    w->Memo4->setPlainText(QStringLiteral("备注"));
    w->FElapsed = 30;
    const int rowsBefore = int(db.count(QStringLiteral("q_ans")));

    failStatements(failing);
    w->Button2->click();
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("系统处理数据时出错，请检查网络和服务器，联系管理员(4)")});
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(state(db, id), QStringLiteral("正在受理"));
    QCOMPARE(state(db, next), QStringLiteral("未受理"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), rowsBefore);
    QCOMPARE(answerText(db, s.q50, id), QStringLiteral("旧"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 0);
    // The window still holds the same customer at the same question, remark and time kept.
    QCOMPARE(w->heldCustomerId(), id);
    QCOMPARE(line1(w.data()), QStringLiteral("问题50(总共5个问题):"));
    QCOMPARE(w->Memo4->toPlainText(), QStringLiteral("备注"));
    QCOMPARE(w->FElapsed, 30);
    // Pressing again works.
    w->Button2->click();
    QCOMPARE(state(db, id), QStringLiteral("已受理"));
    QCOMPARE(answers(db, s.q50, id), 1);
    QCOMPARE(answerText(db, s.q50, id), QStringLiteral("完成"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 1);
    QCOMPARE(w->heldCustomerId(), next);
}

void TestVisitCall::failedNextDrawKeepsTheEnding()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    const Survey s = makeSurvey(db);
    const qint64 id = addCustomer(db, s.p, QStringLiteral("13800000001"));
    const qint64 next = addCustomer(db, s.p, QStringLiteral("13800000002"));
    Win w;
    w->Edit1->setText(QStringLiteral("13800000001"));
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), id);
    // The lock of the next customer fails: the ending is kept, the next customer is not locked.
    failStatements(QStringLiteral("update yhda set sljg='正在受理'"));
    w->Button5->click();
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("连接数据库时出错，请检查网络!(3)")});
    QCOMPARE(state(db, id), QStringLiteral("无应答"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 1);
    QCOMPARE(state(db, next), QStringLiteral("未受理"));
    QVERIFY(!w->customerHeld());
    QVERIFY(w->Edit2->text().isEmpty());
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

void TestVisitCall::projectWithoutQuestions()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator(QStringLiteral("op1"), kOperator);
    tst::MsgScript boxes;
    // The window has just shown another project's question: its number must not leak into this one.
    const int empty = addProject(db, QStringLiteral("无问题项目"), QStringLiteral("直接问"));
    const int other = addProject(db, QStringLiteral("有问题项目"));
    addQuestion(db, other, 3, QStringLiteral("别的问题"));
    const qint64 id = addCustomer(db, empty, QStringLiteral("13800000001"));
    Win w;
    QCOMPARE(w->FCurQbh, QStringLiteral("3"));
    w->ComboBox1->setCurrentIndex(1);
    QCOMPARE(w->projectNumber(), empty);
    QVERIFY(w->Memo1->toPlainText().isEmpty());
    QVERIFY(w->FCurQid.isEmpty());
    QCOMPARE(w->FQCount, 0);
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), id);

    // Nothing to answer, and the operator is told so plainly; the links find nothing.
    w->Button2->click();
    QCOMPARE(boxes.count(), 1);
    QVERIFY(boxes.lastText().contains(QStringLiteral("没有设置问题")));
    QTest::mouseClick(w->Label19, Qt::LeftButton);
    QCOMPARE(boxes.lastText(), QStringLiteral("不存在上一个问题了"));
    QTest::mouseClick(w->Label20, Qt::LeftButton);
    QCOMPARE(boxes.lastText(), QStringLiteral("不存在下一个问题了"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);

    // An outcome ends the call: record and history, no answer row.
    boxes.clear();
    w->Memo4->setPlainText(QStringLiteral("没人接"));
    w->Button5->click();
    QCOMPARE(boxes.texts(), QStringList{kNothing});
    QCOMPARE(state(db, id), QStringLiteral("无应答"));
    QCOMPARE(db.count(QStringLiteral("visitlog"), QStringLiteral("sljg='无应答' and bz='没人接'")), 1);
    QCOMPARE(db.count(QStringLiteral("q_ans")), 0);
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

void TestVisitCall::hostileText()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    const QString name = QStringLiteral("O'Brien \\ 王");
    db.loginOperator(QStringLiteral("o'b"), name);
    tst::MsgScript boxes;
    const int p = addProject(db, QStringLiteral("项目'1"), QStringLiteral("提示'; drop table yhda; --"));
    const qint64 q1 = addQuestion(db, p, 1, QStringLiteral("问'题"));
    const QString option = QStringLiteral("是'); delete from q_ans; --");
    addOption(db, q1, option, QStringLiteral("2"));
    const qint64 q2 = addQuestion(db, p, 2, QStringLiteral("第二"));
    addOption(db, q2, QStringLiteral("否\\'"), QStringLiteral("0"));
    Cust c;
    c.dhhm1 = QStringLiteral("138'0000");
    c.zdslz = QStringLiteral("o'b");
    c.yhxm = QStringLiteral("张'三");
    const qint64 id = addCustomer(db, p, c);
    const qint64 id2 = addCustomer(db, p, QStringLiteral("13800000002"));
    db.exec(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(%1,%2,'x','关机','')")
                .arg(p)
                .arg(q(c.dhhm1)));
    Win w;
    QCOMPARE(w->Memo3->toPlainText(), QStringLiteral("提示'; drop table yhda; --"));
    w->Button1->click();
    QCOMPARE(w->heldCustomerId(), id);
    QCOMPARE(w->Label46->text(), QStringLiteral("张'三"));
    QCOMPARE(w->DBGrid1->rowCount(), 1);
    QCOMPARE(w->Label41->text(), QStringLiteral("2"));
    w->Button2->click();
    QCOMPARE(answerText(db, q1, id), option);
    const QString remark = QStringLiteral("it's \"quoted\" \\ back; --comment 中文'); drop table visitlog;--");
    w->Memo4->setPlainText(remark);
    w->Button2->click();
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select bz||'|'||slz from yhda where id=%1").arg(id)).toString(),
             remark + u'|' + name);
    QCOMPARE(db.scalar(QStringLiteral("select dhhm||'|'||slz||'|'||bz from visitlog order by id desc")).toString(),
             c.dhhm1 + u'|' + name + u'|' + remark);
    QCOMPARE(answerText(db, q2, id), QStringLiteral("否\\'"));
    QCOMPARE(db.count(QStringLiteral("q_ans")), 2);
    QCOMPARE(w->heldCustomerId(), id2);
    QCOMPARE(w->Label40->text(), QStringLiteral("1"));
    // Given up with a hostile remark as well.
    boxes.answer(msg::Answer::Ok);
    w->Memo4->setPlainText(remark);
    w->Button7->click();
    QCOMPARE(db.scalar(QStringLiteral("select bz from yhda where id=%1").arg(id2)).toString(), remark);
}

TV_TEST_MAIN(TestVisitCall)
#include "tst_visitcall.moc"
