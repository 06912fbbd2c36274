#include "phone/dialnumber.h"
#include "phone/recording.h"
#include "phone/sipsettings.h"
#include "phone/softphone.h"
#include "support/sipcallee.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>

using phone::Outcome;
using phone::Softphone;

Q_DECLARE_METATYPE(phone::Outcome)

namespace {

int freeUdpPort()
{
    QUdpSocket s;
    s.bind(QHostAddress::LocalHost, 0);
    return s.localPort();
}

} // namespace

class TstSoftphone : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dialNumber_data();
    void dialNumber();
    void call_data();
    void call();
    void diesMidCallAndComesBack();
    void recordsOneFilePerCall();
    void settingsFile_data();
    void settingsFile();
    void refusesBadSettings_data();
    void refusesBadSettings();

private:
    // Starts an answering end with the scenario and a softphone ready to call it.
    void answerWith(const QByteArray& xml);
    phone::SipAccount account() const;
    QString numberAt() const { return QStringLiteral("100"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_callee;
    std::unique_ptr<Softphone> m_phone;
    int m_calleePort = 0;
};

void TstSoftphone::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(tst::writeSilence(m_dir->filePath("silence.wav"), 30)); // sent as the operator's voice
    m_phone = std::make_unique<Softphone>();
}

void TstSoftphone::cleanup()
{
    m_phone.reset();
    if (m_callee.state() != QProcess::NotRunning)
        m_callee.kill(), m_callee.waitForFinished();
    if (QTest::currentTestFailed()) { // what the answering end said
        qWarning().noquote() << m_callee.readAll();
        QFile err(m_dir->filePath("sipp.err"));
        if (err.open(QIODevice::ReadOnly))
            qWarning().noquote() << err.readAll().right(2000);
    }
    m_dir.reset();
}

phone::SipAccount TstSoftphone::account() const
{
    phone::SipAccount a;
    a.server = QStringLiteral("127.0.0.1:%1").arg(m_calleePort);
    a.user = QStringLiteral("seat1");
    a.registers = false;
    a.audioSource = QStringLiteral("aufile,") + m_dir->filePath("silence.wav");
    a.audioPlayer = QStringLiteral("aubridge,test");
    a.ringSeconds = 2;
    return a;
}

void TstSoftphone::answerWith(const QByteArray& xml)
{
    QFile f(m_dir->filePath("callee.xml"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(xml);
    f.close();
    m_calleePort = freeUdpPort();
    m_callee.start(QStringLiteral("sipp"),
                   {"-sf", f.fileName(), "-i", "127.0.0.1", "-p", QString::number(m_calleePort), "-m", "1", "-nostdin",
                    "-trace_err", "-error_file", m_dir->filePath("sipp.err")});
    QVERIFY2(m_callee.waitForStarted(), "sipp (Debian package sip-tester) is needed");
    QSignalSpy ready(m_phone.get(), &Softphone::stateChanged);
    m_phone->start(account());
    QTRY_COMPARE_WITH_TIMEOUT(m_phone->state(), Softphone::State::Ready, 10000);
}

void TstSoftphone::dialNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("digits"); // empty: refused
    QTest::newRow("mobile") << "138 0013-8000"
                            << ""
                            << "13800138000";
    QTest::newRow("mobile, country code") << "+86 13800138000"
                                          << ""
                                          << "13800138000";
    QTest::newRow("landline with area code") << "(010)88886666"
                                             << ""
                                             << "01088886666";
    QTest::newRow("landline, 3-digit area") << "0755-12345678"
                                            << ""
                                            << "075512345678";
    QTest::newRow("400") << "400-800-1234"
                         << ""
                         << "4008001234";
    QTest::newRow("800") << "8008001234"
                         << ""
                         << "8008001234";
    QTest::newRow("abroad with 00") << "0016502530000"
                                    << ""
                                    << "0016502530000";
    QTest::newRow("line prefix") << "13800138000"
                                 << "9"
                                 << "913800138000";
    QTest::newRow("landline without area code") << "88886666"
                                                << ""
                                                << "";
    QTest::newRow("too short") << "12345"
                               << ""
                               << "";
    QTest::newRow("letter") << "1380013800a"
                            << ""
                            << "";
    QTest::newRow("quote and semicolon") << "138'0013;8000"
                                         << ""
                                         << "";
    QTest::newRow("empty") << "  "
                           << ""
                           << "";
}

void TstSoftphone::dialNumber()
{
    QFETCH(QString, typed);
    QFETCH(QString, prefix);
    QFETCH(QString, digits);
    const phone::DialNumber d = phone::dialNumber(typed, prefix);
    QCOMPARE(d.ok, !digits.isEmpty());
    QCOMPARE(d.digits, digits);
    QCOMPARE(d.reason.isEmpty(), d.ok);
}

void TstSoftphone::call_data()
{
    QTest::addColumn<int>("status");   // the callee's answer: 200, a refusal, 0 = rings on
    QTest::addColumn<int>("holdMs");   // the callee hangs up after this
    QTest::addColumn<int>("hangUpMs"); // the operator hangs up after this (0: never)
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("talkMs"); // -1: not connected
    QTest::newRow("callee hangs up") << 200 << 2000 << 0 << Outcome::Talked << 2000;
    QTest::newRow("operator hangs up") << 200 << 20000 << 1500 << Outcome::Talked << 1500;
    QTest::newRow("busy") << 486 << 0 << 0 << Outcome::Busy << -1;
    QTest::newRow("switched off") << 480 << 0 << 0 << Outcome::NoAnswer << -1;
    QTest::newRow("no such number") << 404 << 0 << 0 << Outcome::Unknown << -1;
    QTest::newRow("server fault") << 503 << 0 << 0 << Outcome::Failed << -1;
    QTest::newRow("rings until given up") << 0 << 0 << 0 << Outcome::NoAnswer << -1;
    QTest::newRow("operator hangs up while ringing") << 0 << 0 << 500 << Outcome::Cancelled << -1;
}

void TstSoftphone::call()
{
    QFETCH(int, status);
    QFETCH(int, holdMs);
    QFETCH(int, hangUpMs);
    QFETCH(Outcome, outcome);
    QFETCH(int, talkMs);
    answerWith(tst::sipScenario(300, status, holdMs));
    QSignalSpy ended(m_phone.get(), &Softphone::callEnded);
    QVERIFY(m_phone->dial(numberAt()));
    if (hangUpMs) {
        if (status == 200)
            QTRY_COMPARE_WITH_TIMEOUT(m_phone->state(), Softphone::State::Connected, 5000);
        QTest::qWait(hangUpMs);
        m_phone->hangUp();
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 15000);
    const auto r = ended.first().first().value<phone::CallResult>();
    QCOMPARE(r.outcome, outcome);
    QCOMPARE(r.connected, talkMs >= 0);
    if (talkMs >= 0)
        QVERIFY2(qAbs(r.talkMs - talkMs) <= 500, qPrintable(QString::number(r.talkMs)));
    QCOMPARE(m_phone->state(), Softphone::State::Ready);
}

void TstSoftphone::diesMidCallAndComesBack()
{
    answerWith(tst::sipScenario(100, 200, 20000));
    QSignalSpy ended(m_phone.get(), &Softphone::callEnded);
    QSignalSpy problems(m_phone.get(), &Softphone::problem);
    QVERIFY(m_phone->dial(numberAt()));
    QTRY_COMPARE_WITH_TIMEOUT(m_phone->state(), Softphone::State::Connected, 5000);
    QVERIFY(m_phone->processId() > 0);
    ::kill(pid_t(m_phone->processId()), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 5000);
    QCOMPARE(ended.first().first().value<phone::CallResult>().outcome, Outcome::Failed);
    QVERIFY(!problems.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(m_phone->state(), Softphone::State::Ready, 10000);
}

void TstSoftphone::recordsOneFilePerCall()
{
    const QString name = phone::recordingName(QDateTime({2026, 12, 8}, {9, 5, 7}), "回访/一期:\"A\"", 42, "138 0013");
    QCOMPARE(name, QStringLiteral("20261208-090507_回访_一期__A__42_138 0013.wav"));
    answerWith(tst::sipScenario(100, 200, 1000));
    phone::SipAccount a = account();
    a.recordFolder = m_dir->filePath("录音");
    m_phone->start(a);
    QTRY_COMPARE_WITH_TIMEOUT(m_phone->state(), Softphone::State::Ready, 10000);
    QSignalSpy ended(m_phone.get(), &Softphone::callEnded);
    QVERIFY(m_phone->dial(numberAt(), name));
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    const QString file = ended.first().first().value<phone::CallResult>().recording;
    QCOMPARE(file, QDir(a.recordFolder).filePath(name));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(file), 3000);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(44);
    QCOMPARE(head.mid(22, 2), QByteArray("\x02\x00", 2)); // two channels
    const double seconds = double(f.size() - 44) / (8000 * 4);
    QVERIFY2(seconds > 0.7 && seconds < 1.6, qPrintable(QString::number(seconds)));
}

void TstSoftphone::settingsFile_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("says"); // "" read, "none" no account, else part of the reason
    const QString ok = "[sip]\nserver=pbx:5060\nuser=8001\n";
    QTest::newRow("no section") << "[database]\nfile=dhyx.dat\n"
                                << "none";
    QTest::newRow("account") << ok + "prefix=9\nrecord=true\nrecord_folder=/tmp/r\n"
                             << "";
    QTest::newRow("password written in") << ok + "password=secret\n"
                                         << "password_file";
    QTest::newRow("no user") << "[sip]\nserver=pbx\n"
                             << "user";
    QTest::newRow("bad transport") << ok + "transport=sctp\n"
                                   << "sctp";
    QTest::newRow("letters in prefix") << ok + "prefix=9'; drop\n"
                                       << "前缀";
    QTest::newRow("ring seconds") << ok + "ring_seconds=abc\n"
                                  << "ring_seconds";
    QTest::newRow("record without folder") << ok + "record=true\n"
                                           << "record_folder";
    // typed by hand without quotes: the commas are part of the values
    QTest::newRow("sound devices with commas") << ok + "audio_source=aufile,/tmp/a,b.wav\naudio_player=aubridge,x\n"
                                               << "";
}

void TstSoftphone::settingsFile()
{
    QFETCH(QString, ini);
    QFETCH(QString, says);
    const QString path = m_dir->filePath("tellvane.ini");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ini.toUtf8());
    f.close();
    QString why;
    const auto read = phone::readSipSettings(path, &why);
    QCOMPARE(read.has_value(), says.isEmpty());
    QVERIFY2(says == u"none" ? why.isEmpty() : why.contains(says), qPrintable(why));
    if (!read)
        return;
    for (const QString& key : {QStringLiteral("audio_source"), QStringLiteral("audio_player")}) {
        const QString typed = ini.section(key + u'=', 1).section(u'\n', 0, 0);
        QCOMPARE(key == u"audio_source" ? read->account.audioSource : read->account.audioPlayer, typed);
    }
    // what is written is read back the same, and the other sections are kept
    QVERIFY(phone::writeSipSettings(path, *read, &why));
    const auto again = phone::readSipSettings(path, &why);
    QVERIFY(again);
    QCOMPARE(again->prefix, read->prefix);
    QCOMPARE(again->account.recordFolder, read->account.recordFolder);
    QCOMPARE(again->account.server, read->account.server);
}

void TstSoftphone::refusesBadSettings_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("password"); // written to a file; "open" makes it readable by all
    QTest::addColumn<QString>("says");
    QTest::newRow("no softphone") << "no-such-baresip"
                                  << ""
                                  << "baresip-core";
    QTest::newRow("password file open to all") << "baresip"
                                               << "open"
                                               << "chmod 600";
    QTest::newRow("semicolon in password") << "baresip"
                                           << "a;b"
                                           << "分号";
}

void TstSoftphone::refusesBadSettings()
{
    QFETCH(QString, program);
    QFETCH(QString, password);
    QFETCH(QString, says);
    QSignalSpy problems(m_phone.get(), &Softphone::problem);
    phone::SipAccount a;
    a.server = QStringLiteral("127.0.0.1:5999");
    a.user = QStringLiteral("seat1");
    a.program = program;
    if (!password.isEmpty()) {
        QFile f(m_dir->filePath("sip.pwd"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(password.toUtf8());
        f.setPermissions(password == u"open" ? QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther
                                             : QFile::ReadOwner | QFile::WriteOwner);
        a.passwordFile = f.fileName();
    }
    m_phone->start(a);
    QTRY_VERIFY_WITH_TIMEOUT(!problems.isEmpty(), 5000);
    QVERIFY2(problems.first().first().toString().contains(says), qPrintable(problems.first().first().toString()));
    QCOMPARE(m_phone->state(), Softphone::State::Off);
}

QTEST_GUILESS_MAIN(TstSoftphone)
#include "tst_softphone.moc"
