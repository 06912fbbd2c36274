#include "phone/softphone.h"

#include "phone/recording.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcPhone, "tellvane.phone")

namespace phone {

namespace {

constexpr int kControlWaitMs = 5000; // the softphone opens its control port within this
constexpr int kControlRetryMs = 100;
constexpr int kLongestRestartMs = 30000;
constexpr int kRecordingSettleMs = 500; // the softphone closes a call's sound files after reporting it

int freePort(bool udp)
{
    if (udp) {
        QUdpSocket s;
        s.bind(QHostAddress::LocalHost, 0);
        return s.localPort();
    }
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

// A netstring: "<length>:<bytes>,".
QByteArray netstring(const QByteArray& body)
{
    return QByteArray::number(body.size()) + ':' + body + ',';
}

bool carriesInAccountLine(const QString& text)
{
    for (const QChar c : text)
        if (c == u';' || c == u'<' || c == u'>' || c == u'"' || c == u'\n' || c == u'\r' || c.isSpace())
            return false;
    return true;
}

} // namespace

Outcome outcomeOf(const QString& closing, bool connected)
{
    if (connected)
        return Outcome::Talked;
    const int code = closing.section(u' ', 0, 0).toInt();
    switch (code) {
    case 486:
    case 600:
        return Outcome::Busy;
    case 408:
    case 480:
        return Outcome::NoAnswer;
    case 404:
    case 410:
    case 484:
    case 604:
        return Outcome::Unknown;
    default:
        return Outcome::Failed;
    }
}

Softphone::Softphone(QObject* parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_ring.setSingleShot(true);
    connect(&m_control, &QTcpSocket::readyRead, this, &Softphone::onReadyRead);
    connect(&m_control, &QTcpSocket::connected, this, [this] {
        m_restarts = 0;
        setState(State::Ready);
    });
    connect(&m_process, &QProcess::finished, this, &Softphone::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            emit problem(QStringLiteral("无法启动软电话程序 %1：请安装 baresip-core。").arg(m_account.program));
            setState(State::Off);
        }
    });
    connect(&m_control, &QTcpSocket::errorOccurred, this, [this] {
        if (m_stopping || m_process.state() == QProcess::NotRunning)
            return;
        if (m_state != State::Starting) { // the control line broke: start afresh
            m_process.kill();
            return;
        }
        // The control port opens a moment after the process starts; try until it does.
        if (m_startedAt.elapsed() > kControlWaitMs) {
            emit problem(QStringLiteral("软电话没有响应。"));
            m_process.kill();
            return;
        }
        QTimer::singleShot(kControlRetryMs, this, [this] {
            if (m_state == State::Starting && !m_stopping)
                connectControl();
        });
    });
    connect(&m_ring, &QTimer::timeout, this, [this] {
        // rung long enough: give up, and say so rather than "cancelled"
        m_gaveUp = true;
        send(QStringLiteral("hangup"));
    });
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (!m_stopping)
            launch();
    });
}

Softphone::~Softphone()
{
    stop();
}

QString Softphone::readPassword(const QString& file, QString* why)
{
    const QFileInfo info(file);
    if (!info.exists()) {
        *why = QStringLiteral("找不到 SIP 密码文件 %1。").arg(QDir::toNativeSeparators(file));
        return {};
    }
    if (info.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)) {
        *why = QStringLiteral("SIP 密码文件 %1 别人也能读：请执行 chmod 600 %1。").arg(QDir::toNativeSeparators(file));
        return {};
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("无法读取 SIP 密码文件 %1。").arg(QDir::toNativeSeparators(file));
        return {};
    }
    const QString pwd = QString::fromUtf8(f.readLine()).trimmed();
    if (pwd.isEmpty())
        *why = QStringLiteral("SIP 密码文件 %1 是空的。").arg(QDir::toNativeSeparators(file));
    else if (!carriesInAccountLine(pwd)) {
        *why = QStringLiteral("SIP 密码中不能有空格、分号、尖括号或双引号。");
        return {};
    }
    return pwd;
}

bool Softphone::writeConfig(QString* why)
{
    const SipAccount& a = m_account;
    if (a.server.trimmed().isEmpty() || a.user.trimmed().isEmpty()) {
        *why = QStringLiteral("SIP 账号没有设置服务器或用户名。");
        return false;
    }
    for (const QString& part : {a.server, a.user, a.authUser})
        if (!carriesInAccountLine(part)) {
            *why = QStringLiteral("SIP 服务器和用户名中不能有空格、分号、尖括号或双引号。");
            return false;
        }
    const QString transport = a.transport.trimmed().toLower();
    if (transport != u"udp" && transport != u"tcp" && transport != u"tls") {
        *why = QStringLiteral("SIP 传输方式“%1”无效：应为 udp、tcp 或 tls。").arg(a.transport);
        return false;
    }
    QString pwd;
    if (!a.passwordFile.isEmpty()) {
        pwd = readPassword(a.passwordFile, why);
        if (pwd.isEmpty())
            return false;
    }

    m_dir = std::make_unique<QTemporaryDir>(); // only its owner may enter it
    if (!m_dir->isValid()) {
        *why = QStringLiteral("无法为软电话建立临时文件夹。");
        return false;
    }
    m_controlPort = freePort(false);
    const QString source = a.audioSource.isEmpty() ? QStringLiteral("alsa,default") : a.audioSource;
    const QString player = a.audioPlayer.isEmpty() ? QStringLiteral("alsa,default") : a.audioPlayer;
    QStringList config = {
        QStringLiteral("poll_method epoll"),
        QStringLiteral("sip_listen 0.0.0.0:%1").arg(freePort(true)),
        QStringLiteral("sip_transports %1").arg(transport),
        QStringLiteral("audio_source %1").arg(source),
        QStringLiteral("audio_player %1").arg(player),
        QStringLiteral("audio_alert %1").arg(player),
        QStringLiteral("module_path /usr/lib/baresip/modules"),
        QStringLiteral("module g711.so"),
        QStringLiteral("module g722.so"),
        QStringLiteral("module opus.so"),
        QStringLiteral("module alsa.so"),
        QStringLiteral("module aufile.so"),
        QStringLiteral("module ausine.so"),
        QStringLiteral("module aubridge.so"),
        QStringLiteral("module account.so"),
        QStringLiteral("module ctrl_tcp.so"),
        QStringLiteral("module_app menu.so"),
        QStringLiteral("ctrl_tcp_listen 127.0.0.1:%1").arg(m_controlPort),
    };
    if (!a.recordFolder.isEmpty()) {
        QDir(m_dir->path()).mkpath(QStringLiteral("rec"));
        config << QStringLiteral("module sndfile.so") << QStringLiteral("snd_path %1").arg(m_dir->filePath("rec"));
    }
    QString line = QStringLiteral("<sip:%1@%2;transport=%3>").arg(a.user.trimmed(), a.server.trimmed(), transport);
    if (!pwd.isEmpty())
        line += QStringLiteral(";auth_user=%1;auth_pass=%2")
                    .arg(a.authUser.trimmed().isEmpty() ? a.user.trimmed() : a.authUser.trimmed(), pwd);
    line += a.registers ? QStringLiteral(";regint=600") : QStringLiteral(";regint=0");

    QFile c(m_dir->filePath(QStringLiteral("config")));
    QFile acc(m_dir->filePath(QStringLiteral("accounts")));
    if (!c.open(QIODevice::WriteOnly) || !acc.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("无法写入软电话的设置。");
        return false;
    }
    acc.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    c.write(config.join(u'\n').toUtf8() + '\n');
    acc.write(line.toUtf8() + '\n');
    return true;
}

void Softphone::start(const SipAccount& account)
{
    stop();
    m_account = account;
    m_restarts = 0;
    launch();
}

void Softphone::launch()
{
    QString why;
    if (!writeConfig(&why)) {
        emit problem(why);
        setState(State::Off);
        return;
    }
    m_stopping = false;
    m_buffer.clear();
    setState(State::Starting);
    m_process.setProgram(m_account.program);
    m_process.setArguments({QStringLiteral("-f"), m_dir->path()});
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start();
    connectControl();
}

void Softphone::connectControl()
{
    m_startedAt.start();
    m_control.abort();
    m_control.connectToHost(QHostAddress::LocalHost, quint16(m_controlPort));
}

void Softphone::stop()
{
    m_stopping = true;
    m_ring.stop();
    if (m_state == State::Calling || m_state == State::Ringing || m_state == State::Connected)
        finishCall(m_state == State::Connected ? Outcome::Talked : Outcome::Cancelled, QString());
    if (m_control.state() == QAbstractSocket::ConnectedState) {
        send(QStringLiteral("quit"));
        m_control.flush();
    }
    m_control.abort();
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(2000))
            m_process.kill(), m_process.waitForFinished(2000);
    }
    saveRecording();
    m_dir.reset();
    setState(State::Off);
}

bool Softphone::dial(const QString& digits, const QString& recordingName)
{
    if (m_state != State::Ready) {
        emit problem(m_state == State::Off || m_state == State::Starting
                         ? QStringLiteral("软电话还没有就绪，不能拨号。")
                         : QStringLiteral("正在通话中，不能再拨号。"));
        return false;
    }
    m_gaveUp = false;
    m_hungUp = false;
    m_recordingName = m_account.recordFolder.isEmpty() ? QString() : recordingName;
    QString uri = QStringLiteral("sip:%1@%2").arg(digits, m_account.server.trimmed());
    if (m_account.transport.trimmed().toLower() != u"udp")
        uri += QStringLiteral(";transport=") + m_account.transport.trimmed().toLower();
    send(QStringLiteral("dial"), uri);
    m_ring.start(m_account.ringSeconds * 1000);
    setState(State::Calling);
    return true;
}

void Softphone::hangUp()
{
    if (m_state == State::Calling || m_state == State::Ringing || m_state == State::Connected) {
        m_hungUp = true;
        send(QStringLiteral("hangup"));
    }
}

qint64 Softphone::talkMs() const
{
    return m_state == State::Connected && m_connected.isValid() ? m_connected.elapsed() : 0;
}

void Softphone::send(const QString& command, const QString& params)
{
    QJsonObject o{{QStringLiteral("command"), command}, {QStringLiteral("token"), command}};
    if (!params.isEmpty())
        o.insert(QStringLiteral("params"), params);
    m_control.write(netstring(QJsonDocument(o).toJson(QJsonDocument::Compact)));
}

void Softphone::onReadyRead()
{
    m_buffer += m_control.readAll();
    while (true) {
        const qsizetype colon = m_buffer.indexOf(':');
        if (colon <= 0)
            return;
        bool ok = false;
        const qsizetype len = m_buffer.left(colon).toLongLong(&ok);
        if (!ok || len < 0) { // out of step: drop what cannot be read
            qCWarning(lcPhone) << "unreadable control message" << m_buffer.left(64);
            m_buffer.clear();
            return;
        }
        if (m_buffer.size() < colon + 1 + len + 1)
            return;
        const QJsonObject o = QJsonDocument::fromJson(m_buffer.mid(colon + 1, len)).object();
        m_buffer.remove(0, colon + 1 + len + 1);
        if (o.value(QStringLiteral("event")).toBool())
            onEvent(o.value(QStringLiteral("type")).toString(), o.value(QStringLiteral("param")).toString());
        else if (o.value(QStringLiteral("response")).toBool() && !o.value(QStringLiteral("ok")).toBool() &&
                 o.value(QStringLiteral("token")).toString() == u"dial")
            finishCall(Outcome::Failed, o.value(QStringLiteral("data")).toString());
    }
}

void Softphone::onEvent(const QString& type, const QString& param)
{
    qCDebug(lcPhone) << type << param;
    if (type == u"CALL_RINGING" || type == u"CALL_PROGRESS") {
        if (m_state == State::Calling)
            setState(State::Ringing);
    } else if (type == u"CALL_ESTABLISHED") {
        m_ring.stop();
        m_connected.start();
        setState(State::Connected);
    } else if (type == u"CALL_CLOSED") {
        qCDebug(lcPhone).noquote() << m_process.readAll(); // the softphone's own account of the call
        const bool connected = m_state == State::Connected;
        Outcome outcome = outcomeOf(param, connected);
        if (!connected && m_gaveUp)
            outcome = Outcome::NoAnswer;
        else if (!connected && m_hungUp)
            outcome = Outcome::Cancelled;
        finishCall(outcome, param);
    } else if (type == u"REGISTER_FAIL") {
        emit problem(QStringLiteral("SIP 注册失败：%1").arg(param));
    }
}

void Softphone::finishCall(Outcome outcome, const QString& reason)
{
    if (m_state != State::Calling && m_state != State::Ringing && m_state != State::Connected)
        return;
    CallResult r;
    r.connected = m_state == State::Connected;
    r.talkMs = r.connected && m_connected.isValid() ? m_connected.elapsed() : 0;
    r.outcome = outcome;
    r.reason = reason;
    m_ring.stop();
    m_connected.invalidate();
    if (r.connected && !m_recordingName.isEmpty()) {
        saveRecording(); // an earlier call's, should one still wait
        r.recording = QDir(m_account.recordFolder).filePath(m_recordingName);
        m_pendingRecording = r.recording;
        QTimer::singleShot(kRecordingSettleMs, this, &Softphone::saveRecording);
    }
    m_recordingName.clear();
    setState(m_stopping || m_process.state() == QProcess::NotRunning ? State::Off : State::Ready);
    emit callEnded(r);
}

void Softphone::onFinished()
{
    if (m_stopping)
        return;
    // It died under us: the call in hand is over, and the seat gets its phone back shortly.
    finishCall(Outcome::Failed, QStringLiteral("软电话意外退出"));
    m_control.abort();
    setState(State::Off);
    const int wait = std::min(kLongestRestartMs, 1000 << std::min(m_restarts, 5));
    ++m_restarts;
    emit problem(QStringLiteral("软电话意外退出，%1 秒后重新启动。").arg(wait / 1000));
    m_retry.start(wait);
}

void Softphone::saveRecording()
{
    if (m_pendingRecording.isEmpty() || !m_dir)
        return;
    const QString out = std::exchange(m_pendingRecording, QString());
    QDir rec(m_dir->filePath(QStringLiteral("rec")));
    const QStringList sent = rec.entryList({QStringLiteral("*-enc.wav")}, QDir::Files, QDir::Time);
    const QStringList heard = rec.entryList({QStringLiteral("*-dec.wav")}, QDir::Files, QDir::Time);
    QString why;
    if (sent.isEmpty() || heard.isEmpty())
        why = QStringLiteral("软电话没有录下声音。");
    else if (!QDir().mkpath(m_account.recordFolder))
        why = QStringLiteral("无法建立录音文件夹 %1。").arg(QDir::toNativeSeparators(m_account.recordFolder));
    else
        joinRecording(rec.filePath(sent.first()), rec.filePath(heard.first()), out, &why);
    for (const QString& f : rec.entryList(QDir::Files))
        rec.remove(f);
    if (!why.isEmpty())
        emit problem(QStringLiteral("这次通话的录音没有保存：") + why);
}

void Softphone::setState(State s)
{
    if (s == m_state)
        return;
    m_state = s;
    emit stateChanged(s);
}

} // namespace phone
