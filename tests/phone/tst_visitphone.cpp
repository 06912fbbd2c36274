// The visit window dialling through the seat's softphone to an answering end on this machine:
// the call's state, hanging up before an ending, the seconds the ending writes (the line's when
// it connected, the screen's otherwise), the ending the line's answer suggests, and numbers
// refused before they are dialled.
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "core/player.h"
#include "core/pub.h"
#include "core/seatphone.h"
#include "phone/sipsettings.h"
#include "reports/hfhistory.h"
#include "reports/ydcx.h"
#include "support/msgscript.h"
#include "support/sipcallee.h"
#include "visit/visitfixture.h"

#include <QSignalSpy>

#include <csignal>

using namespace vt;
using phone::Softphone;

namespace {

const QString kOperator = QStringLiteral("话务员一");

// One question whose only option completes the questionnaire, and a customer for the draw that
// follows an ending.
qint64 oneQuestion(tst::TestDb& db)
{
    const qint64 p = tst::addProject(db.con(), QStringLiteral("回访'一期"));
    tst::addOption(db.con(), tst::addQuestion(db.con(), p, 10, QStringLiteral("满意吗")), QStringLiteral("满意"),
                   QVariant());
    tst::addCustomer(db.con(), p, QStringLiteral("13900139000"));
    return p;
}

} // namespace

class TestVisitPhone : public QObject
{
    Q_OBJECT

    std::unique_ptr<tst::TestDb> m_db;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<tst::SipCallee> m_callee;

    // The seat's account calls an answering end playing the scenario.
    bool answerWith(const QByteArray& scenario);
    // A visit window holding the customer with this number, its telephone ready.
    bool holding(Win& w, const QString& number);
    // The history row of the last ending: seconds written, where they came from (empty: not
    // said), the state written, and the seconds of its answer row.
    QStringList lastHistory();

private slots:
    void init()
    {
        seatphone::reset();
        m_db = std::make_unique<tst::TestDb>();
        QVERIFY(m_db->ok());
        m_db->loginOperator(QStringLiteral("op1"), kOperator);
        m_dir = std::make_unique<QTemporaryDir>();
        m_callee = std::make_unique<tst::SipCallee>(m_dir->path());
    }
    void cleanup()
    {
        seatphone::reset();
        if (QTest::currentTestFailed())
            qWarning().noquote() << m_callee->said();
        m_callee.reset();
        m_db.reset();
    }
    void withoutAccountNothingChanges();
    void endingWritesTheLineSeconds_data();
    void endingWritesTheLineSeconds();
    void lineAnswerOffersEnding_data();
    void lineAnswerOffersEnding();
    void softphoneDiesMidCall();
    void numbersAndRefusedNumber();
    void recordingPlaysFromHistory();
};

bool TestVisitPhone::answerWith(const QByteArray& scenario)
{
    if (!m_callee->start(scenario))
        return false;
    phone::SipSettings s;
    s.account = m_callee->account();
    QString why;
    return phone::writeSipSettings(pub::seatSettingsFile(), s, &why);
}

bool TestVisitPhone::holding(Win& w, const QString& number)
{
    w.type("Edit1", number);
    w.click("Button1");
    if (w.text("Edit2") != number)
        return false;
    if (QTest::qWaitFor([&] { return w.text("LabelCallState") == QStringLiteral("就绪"); }, 10000))
        return true;
    qWarning().noquote() << "the telephone says:" << w.text("LabelCallState");
    return false;
}

QStringList TestVisitPhone::lastHistory()
{
    const QString last = QStringLiteral(" where id=(select max(id) from visitlog)");
    auto read = [this](const QString& sql) {
        const QVariant v = m_db->scalar(sql);
        return v.isNull() ? QString() : v.toString();
    };
    return {read(QStringLiteral("select thsc from visitlog") + last),
            read(QStringLiteral("select jsly from visitlog") + last),
            read(QStringLiteral("select sljg from visitlog") + last),
            read(QStringLiteral("select tottime from q_ans where id=(select max(id) from q_ans)"))};
}

void TestVisitPhone::withoutAccountNothingChanges()
{
    tst::MsgScript boxes;
    oneQuestion(*m_db);
    Win w;
    QVERIFY(!w->findChild<QPushButton*>(QStringLiteral("ButtonDial")));
    QVERIFY(!w->findChild<QComboBox*>(QStringLiteral("ComboDialNumber")));
    QVERIFY(!seatphone::phone());
    w.click("Button1");
    w.tick(4);
    w.click("Button2");
    // The history row is written as it always was.
    QCOMPARE(lastHistory(), (QStringList{"", "", "已受理()", "4"}));
}

void TestVisitPhone::endingWritesTheLineSeconds_data()
{
    QTest::addColumn<int>("holdMs");  // the callee hangs up after this
    QTest::addColumn<int>("endAtMs"); // the operator completes while connected after this (0: after the callee hung up)
    QTest::newRow("callee hangs up, then the ending") << 2000 << 0;
    QTest::newRow("ending hangs up") << 20000 << 2000;
}

void TestVisitPhone::endingWritesTheLineSeconds()
{
    QFETCH(int, holdMs);
    QFETCH(int, endAtMs);
    tst::MsgScript boxes;
    const qint64 p = oneQuestion(*m_db);
    tst::addCustomer(m_db->con(), p, QStringLiteral("13800138000"));
    QVERIFY(answerWith(tst::sipScenario(200, 200, holdMs)));
    Win w;
    QVERIFY(holding(w, QStringLiteral("13800138000")));
    QSignalSpy ended(seatphone::phone(), &Softphone::callEnded);
    w.click("ButtonDial");
    QTRY_COMPARE_WITH_TIMEOUT(w.text("LabelCallState"), QStringLiteral("通话中"), 5000);
    QVERIFY(w.get<QPushButton>("ButtonHangUp")->isEnabled());
    w.tick(30); // the screen's seconds are not the call's
    if (endAtMs) {
        QTest::qWait(endAtMs);
        QVERIFY(w.text("LabelCallTime").startsWith(QStringLiteral("00:0")));
        w.click("Button2"); // hangs up first
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(w.text("LabelCallState"), QStringLiteral("已挂断"), 5000);
        w.click("Button2");
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 5000);
    const auto call = ended.first().first().value<phone::CallResult>();
    QCOMPARE(call.outcome, phone::Outcome::Talked);
    const int expectMs = endAtMs ? endAtMs : holdMs;
    QVERIFY2(qAbs(call.talkMs - expectMs) <= 500, qPrintable(QString::number(call.talkMs)));
    const QString seconds = QString::number(expectMs / 1000);
    QCOMPARE(lastHistory(), (QStringList{seconds, "线路", "已受理()", seconds}));
    QCOMPARE(boxes.count(), 0);
}

void TestVisitPhone::lineAnswerOffersEnding_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("written"); // the state written; empty: none, still held
    QTest::newRow("busy") << 486 << true << "对方忙（486 Refused）。\n记为“无应答”吗？"
                          << "无应答";
    QTest::newRow("not reachable") << 480 << true << "无人接听（480 Refused）。\n记为“无应答”吗？"
                                   << "无应答";
    QTest::newRow("no such number") << 404 << true << "号码不存在（404 Refused）。\n记为“停机”吗？"
                                    << "停机";
    QTest::newRow("busy, operator declines") << 486 << false << "对方忙（486 Refused）。\n记为“无应答”吗？"
                                             << "";
}

void TestVisitPhone::lineAnswerOffersEnding()
{
    QFETCH(int, status);
    QFETCH(bool, confirm);
    QFETCH(QString, says);
    QFETCH(QString, written);
    const qint64 p = oneQuestion(*m_db);
    tst::addCustomer(m_db->con(), p, QStringLiteral("01088886666"));
    QVERIFY(answerWith(tst::sipScenario(100, status, 0)));
    Win w;
    QVERIFY(holding(w, QStringLiteral("01088886666")));
    tst::MsgScript boxes;
    boxes.answer(confirm ? msg::Answer::Yes : msg::Answer::No);
    w.tick(6);
    w.click("ButtonDial");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 5000);
    QCOMPARE(boxes.lastText(), says);
    if (written.isEmpty()) {
        QCOMPARE(m_db->count(QStringLiteral("visitlog")), 0);
        QVERIFY(w.holding());
        return;
    }
    // Nothing connected: the screen's seconds.
    QCOMPARE(lastHistory(), (QStringList{"6", "屏幕", written, "6"}));
}

void TestVisitPhone::softphoneDiesMidCall()
{
    tst::MsgScript boxes;
    const qint64 p = oneQuestion(*m_db);
    tst::addCustomer(m_db->con(), p, QStringLiteral("13800138000"));
    QVERIFY(answerWith(tst::sipScenario(100, 200, 20000)));
    Win w;
    QVERIFY(holding(w, QStringLiteral("13800138000")));
    w.click("ButtonDial");
    QTRY_COMPARE_WITH_TIMEOUT(w.text("LabelCallState"), QStringLiteral("通话中"), 5000);
    w.tick(7);
    ::kill(pid_t(seatphone::phone()->processId()), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(w.text("LabelCallState").contains(QStringLiteral("软电话意外退出")), 5000);
    w.click("Button2");
    QCOMPARE(lastHistory(), (QStringList{"7", "屏幕", "已受理()", "7"}));
    QCOMPARE(boxes.count(), 0);
    // The seat gets its telephone back.
    QTRY_COMPARE_WITH_TIMEOUT(seatphone::phone()->state(), Softphone::State::Ready, 10000);
}

void TestVisitPhone::numbersAndRefusedNumber()
{
    const qint64 p = oneQuestion(*m_db);
    const qint64 id = tst::addCustomer(m_db->con(), p, QStringLiteral("12345"));
    m_db->exec(QStringLiteral("update yhda set dhhm2='0755-12345678', dhhm3='', dhhm4='12345' where id=%1").arg(id));
    QVERIFY(answerWith(tst::sipScenario(100, 486, 0)));
    Win w;
    QVERIFY(holding(w, QStringLiteral("12345")));
    // dhhm1 first, then the others that are set, each once.
    QComboBox* numbers = w.combo("ComboDialNumber");
    QCOMPARE(numbers->count(), 2);
    QCOMPARE(numbers->itemText(1), QStringLiteral("0755-12345678"));
    tst::MsgScript boxes;
    w.click("ButtonDial");
    QCOMPARE(boxes.count(), 1);
    QVERIFY2(boxes.lastText().contains(QStringLiteral("“12345”无效")), qPrintable(boxes.lastText()));
    QCOMPARE(w.text("LabelCallState"), QStringLiteral("就绪")); // not dialled
    QCOMPARE(seatphone::phone()->state(), Softphone::State::Ready);
}

// A recorded call is saved under the library's name in the folder set; the history query plays the
// recording of the row chosen and the answer record shows its file.
void TestVisitPhone::recordingPlaysFromHistory()
{
    tst::MsgScript boxes;
    const qint64 p = oneQuestion(*m_db);
    const qint64 id = tst::addCustomer(m_db->con(), p, QStringLiteral("13800138000"));
    QVERIFY(m_callee->start(tst::sipScenario(100, 200, 1000)));
    phone::SipSettings s;
    s.account = m_callee->account();
    s.account.recordFolder = m_dir->filePath(QStringLiteral("录音"));
    QString why;
    QVERIFY(phone::writeSipSettings(pub::seatSettingsFile(), s, &why));
    {
        Win w;
        QVERIFY(holding(w, QStringLiteral("13800138000")));
        w.click("ButtonDial");
        QTRY_COMPARE_WITH_TIMEOUT(w.text("LabelCallState"), QStringLiteral("已挂断"), 5000);
        w.click("Button2");
    }
    const QString file = m_db->scalar(QStringLiteral("select lywj from visitlog where jsly='线路'")).toString();
    QCOMPARE(QFileInfo(file).absolutePath(), s.account.recordFolder);
    QVERIFY2(QFileInfo(file).fileName().endsWith(QStringLiteral("_回访'一期_%1_13800138000.wav").arg(id)),
             qPrintable(file));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 44, 3000);

    QStringList played;
    player::setHandler([&](const QString& f, QString*) {
        played << f;
        return true;
    });
    Tfrmhfhistory history;
    history.show();
    history.BitBtn1->click();
    history.DBGrid1->setCurrentRowIndex(0);
    QCOMPARE(history.DBGrid1->text(0, QStringLiteral("lywj")), file);
    history.ButtonPlay->click();
    QCOMPARE(played, QStringList{file});
    QCOMPARE(boxes.count(), 0);
    // A row of a call that was not recorded says so.
    m_db->exec(QStringLiteral("update visitlog set lywj=null"));
    history.BitBtn1->click();
    history.DBGrid1->setCurrentRowIndex(0);
    history.ButtonPlay->click();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("这条记录没有录音。")});
    player::setHandler({});

    Tfrmydcx answers;
    answers.show();
    answers.BitBtn1->click();
    QCOMPARE(answers.DBGrid1->text(0, QStringLiteral("lywj")), file);
}

TV_TEST_MAIN(TestVisitPhone)
#include "tst_visitphone.moc"
