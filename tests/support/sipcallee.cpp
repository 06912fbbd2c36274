#include "support/sipcallee.h"

#include <QDir>
#include <QFile>
#include <QUdpSocket>

namespace tst {

// The answering end: a sipp scenario that rings, then answers and holds the call (hanging up
// itself when the hold is over unless the caller hangs up first), or refuses with a status, or
// rings until the caller gives up.
QByteArray sipScenario(int ringMs, int status, int holdMs)
{
    const char* reply = R"(
  <send><![CDATA[
SIP/2.0 %1
[last_Via:]
[last_From:]
[last_To:];tag=[pid]t[call_number]
[last_Call-ID:]
[last_CSeq:]
Contact: <sip:[local_ip]:[local_port];transport=[transport]>
%2Content-Length: [len]

%3]]></send>)";
    auto send = [&](const QString& line, bool sdp) {
        const QString body = QStringLiteral("v=0\no=u 1 1 IN IP4 [local_ip]\ns=-\nc=IN IP4 [media_ip]\nt=0 0\n"
                                            "m=audio [media_port] RTP/AVP 0\na=rtpmap:0 PCMU/8000\n");
        return QString::fromLatin1(reply).arg(line, sdp ? QStringLiteral("Content-Type: application/sdp\n") : QString(),
                                              sdp ? body : QString());
    };
    // sipp refuses a variable that is set and never used: only the callee's BYE uses these
    QString xml = QStringLiteral(R"(<?xml version="1.0"?><scenario name="t">
  <recv request="INVITE">)");
    if (status == 200)
        xml += QStringLiteral(R"(<action>
    <ereg regexp=".*" search_in="hdr" header="From:" assign_to="from"/>
    <ereg regexp=".*" search_in="hdr" header="To:" assign_to="to"/>
    <ereg regexp="sip:[^>;]*" search_in="hdr" header="Contact:" assign_to="contact"/>
  </action>)");
    xml += QStringLiteral("</recv>");
    xml += send(QStringLiteral("180 Ringing"), false);
    if (status == 0) { // ring until the caller cancels
        xml += QStringLiteral(R"(<recv request="CANCEL"/>)") +
               send(QStringLiteral("200 OK"), false).replace("[last_To:];tag=[pid]t[call_number]", "[last_To:]") +
               send(QStringLiteral("487 Request Terminated"), false) + QStringLiteral(R"(<recv request="ACK"/>)");
    } else {
        xml += QStringLiteral(R"(<pause milliseconds="%1"/>)").arg(ringMs);
        if (status != 200)
            xml += send(QStringLiteral("%1 Refused").arg(status), false) + QStringLiteral(R"(<recv request="ACK"/>)");
        else
            xml += send(QStringLiteral("200 OK"), true) +
                   QStringLiteral(R"(<recv request="ACK"/>
  <recv request="BYE" timeout="%1" ontimeout="bye"/>)")
                       .arg(holdMs) +
                   send(QStringLiteral("200 OK"), false).replace("[last_To:];tag=[pid]t[call_number]", "[last_To:]") +
                   QStringLiteral(R"(<nop next="end"/>
  <label id="bye"/>
  <send><![CDATA[
BYE [$contact] SIP/2.0
Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]
From: [$to];tag=[pid]t[call_number]
To: [$from]
[last_Call-ID:]
CSeq: 2 BYE
Max-Forwards: 70
Content-Length: 0

]]></send>
  <recv response="200"/>
  <label id="end"/>)");
    }
    return (xml + QStringLiteral("</scenario>\n")).toUtf8();
}

bool writeSilence(const QString& file, int seconds)
{
    QFile wav(file);
    if (!wav.open(QIODevice::WriteOnly))
        return false;
    const quint32 samples = 8000 * quint32(seconds);
    QByteArray h("RIFF");
    auto le32 = [&](quint32 v) { h.append(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [&](quint16 v) { h.append(reinterpret_cast<const char*>(&v), 2); };
    le32(36 + samples * 2), h += "WAVEfmt ", le32(16), le16(1), le16(1), le32(8000), le32(16000), le16(2), le16(16);
    h += "data", le32(samples * 2);
    return wav.write(h + QByteArray(samples * 2, 0)) == h.size() + qint64(samples) * 2;
}

SipCallee::~SipCallee()
{
    if (m_sipp.state() != QProcess::NotRunning)
        m_sipp.kill(), m_sipp.waitForFinished();
}

bool SipCallee::start(const QByteArray& scenario)
{
    QFile f(QDir(m_folder).filePath(QStringLiteral("callee.xml")));
    if (!f.open(QIODevice::WriteOnly) || f.write(scenario) != scenario.size())
        return false;
    f.close();
    if (!QFile::exists(QDir(m_folder).filePath(QStringLiteral("silence.wav"))) &&
        !writeSilence(QDir(m_folder).filePath(QStringLiteral("silence.wav")), 30))
        return false;
    {
        QUdpSocket s;
        s.bind(QHostAddress::LocalHost, 0);
        m_port = s.localPort();
    }
    m_sipp.start(QStringLiteral("sipp"),
                 {QStringLiteral("-sf"), f.fileName(), QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
                  QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-m"), QStringLiteral("1"),
                  QStringLiteral("-nostdin"), QStringLiteral("-trace_err"), QStringLiteral("-error_file"),
                  QDir(m_folder).filePath(QStringLiteral("sipp.err"))});
    return m_sipp.waitForStarted();
}

phone::SipAccount SipCallee::account() const
{
    phone::SipAccount a;
    a.server = QStringLiteral("127.0.0.1:%1").arg(m_port);
    a.user = QStringLiteral("seat1");
    a.registers = false;
    a.audioSource = QStringLiteral("aufile,") + QDir(m_folder).filePath(QStringLiteral("silence.wav"));
    a.audioPlayer = QStringLiteral("aubridge,test");
    return a;
}

QString SipCallee::said()
{
    QString out = QString::fromUtf8(m_sipp.readAll());
    QFile err(QDir(m_folder).filePath(QStringLiteral("sipp.err")));
    if (err.open(QIODevice::ReadOnly))
        out += QString::fromUtf8(err.readAll().right(2000));
    return out;
}

} // namespace tst
