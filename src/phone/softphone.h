#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

class QTemporaryDir;

// A softphone for one seat: Debian's baresip run as a child process and driven through its TCP
// control module (JSON in netstrings). No windows: the visit window shows what it reports.
namespace phone {

// A seat's SIP account, from the settings file. The password is read from passwordFile, which
// only its owner may read; it is never stored anywhere else.
struct SipAccount
{
    QString server;                            // registrar / proxy, host[:port]
    QString user;                              // the account's user part
    QString authUser;                          // user name for authentication, when not the same
    QString transport = QStringLiteral("udp"); // udp, tcp or tls
    QString passwordFile;                      // empty: no authentication (a trusted PBX, or the tests)
    bool registers = true;                     // register with the server (off for a PBX that trusts the address)
    QString program = QStringLiteral("baresip");
    // Sound in and out, in baresip's words; empty means the desktop's (pulse or alsa).
    QString audioSource;
    QString audioPlayer;
    QString recordFolder; // empty: no recording
    int ringSeconds = 45; // an unanswered call is given up after this
};

// How a call ended, as the line told it.
enum class Outcome {
    Talked,    // connected, then hung up by either side
    Busy,      // 486, 600
    NoAnswer,  // rang until given up, or 408/480-style "not reachable now"
    Unknown,   // 404, 410, 484, 604: the number does not exist
    Failed,    // any other refusal or a fault of the line or the softphone
    Cancelled, // hung up by the operator before the other end answered
};

struct CallResult
{
    Outcome outcome = Outcome::Failed;
    bool connected = false;
    qint64 talkMs = 0; // from connected to hung up, measured on this seat
    QString reason;    // the line's words (e.g. "486 Busy Here")
    QString recording; // where the call's recording is saved, when recording (a moment later)
};

class Softphone : public QObject
{
    Q_OBJECT
public:
    enum class State { Off, Starting, Ready, Calling, Ringing, Connected };
    Q_ENUM(State)

    explicit Softphone(QObject* parent = nullptr);
    ~Softphone() override;

    // Starts (or restarts) the softphone for this account. Problems come as problem().
    void start(const SipAccount& account);
    void stop();

    // Dials the digits (see dialNumber). False, with problem(), when no call can be placed now.
    // When the account records, the call's recording is saved as recordingName in its folder.
    bool dial(const QString& digits, const QString& recordingName = QString());
    void hangUp();

    State state() const { return m_state; }
    // Milliseconds since the call was connected (0 when not connected).
    qint64 talkMs() const;
    // The softphone process, for the log (0 when not running).
    qint64 processId() const { return m_process.processId(); }

    // Reads the account's password file; throws nothing, gives an empty text and the reason.
    static QString readPassword(const QString& file, QString* why);

signals:
    void stateChanged(phone::Softphone::State state);
    void callEnded(const phone::CallResult& result);
    void problem(const QString& text);

private:
    void launch();
    void connectControl();
    void onReadyRead();
    void onEvent(const QString& type, const QString& param);
    void onFinished();
    void finishCall(Outcome outcome, const QString& reason);
    void send(const QString& command, const QString& params = QString());
    void setState(State s);
    bool writeConfig(QString* why);
    void saveRecording();

    SipAccount m_account;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_process;
    QTcpSocket m_control;
    QByteArray m_buffer;
    QTimer m_retry;
    QTimer m_ring;
    QElapsedTimer m_connected;
    State m_state = State::Off;
    bool m_stopping = false;
    bool m_gaveUp = false; // the ring timer ran out
    bool m_hungUp = false; // the operator hung up
    QElapsedTimer m_startedAt;
    QString m_recordingName;    // of the call in hand
    QString m_pendingRecording; // a finished call's recording still to be saved there
    int m_controlPort = 0;
    int m_restarts = 0;
};

// The outcome a call's closing words stand for (baresip gives the SIP status line, or a text of
// its own when the other end hung up).
Outcome outcomeOf(const QString& closing, bool connected);

} // namespace phone
