// The visit window's telephone, when the seat has a SIP account: dialling the held customer's
// numbers, the call's state and talk time, hanging up, and the ending the line's answer suggests.
// The seconds an ending writes come from the line when it connected (Call::setLine).
#include "visit/userhf.h"
#include "visit/userhf_messages.h"

#include "core/msg.h"
#include "core/seatphone.h"
#include "db/dm.h"
#include "db/vocab.h"
#include "phone/dialnumber.h"
#include "phone/recording.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

using namespace userhf;
using State = phone::Softphone::State;

namespace {

// F5 dials and F6 hangs up: no other key of the visit window or the main window uses them.
const QKeySequence kDialKey(Qt::Key_F5);
const QKeySequence kHangUpKey(Qt::Key_F6);

QString stateText(State s)
{
    switch (s) {
    case State::Off:
        return QStringLiteral("软电话未启动");
    case State::Starting:
        return QStringLiteral("软电话启动中");
    case State::Ready:
        return QStringLiteral("就绪");
    case State::Calling:
        return QStringLiteral("正在呼叫");
    case State::Ringing:
        return QStringLiteral("振铃");
    case State::Connected:
        return QStringLiteral("通话中");
    }
    return {};
}

QString clock(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

bool inCall(State s)
{
    return s == State::Calling || s == State::Ringing || s == State::Connected;
}

} // namespace

void Tfrmuserhf::buildPhone(QGridLayout* into, int row)
{
    QWidget* parent = GroupBox2;
    ComboDialNumber = new QComboBox(parent);
    ComboDialNumber->setObjectName(QStringLiteral("ComboDialNumber"));
    ComboDialNumber->setMinimumWidth(150);
    ButtonDial = new QPushButton(QStringLiteral("拨号"), parent);
    ButtonDial->setObjectName(QStringLiteral("ButtonDial"));
    ButtonDial->setToolTip(QStringLiteral("拨打选中的号码（F5）"));
    ButtonHangUp = new QPushButton(QStringLiteral("挂断"), parent);
    ButtonHangUp->setObjectName(QStringLiteral("ButtonHangUp"));
    ButtonHangUp->setToolTip(QStringLiteral("挂断电话（F6）"));
    LabelCallState = new QLabel(parent);
    LabelCallState->setObjectName(QStringLiteral("LabelCallState"));
    LabelCallState->setMinimumWidth(120);
    LabelCallTime = new QLabel(QStringLiteral("00:00"), parent);
    LabelCallTime->setObjectName(QStringLiteral("LabelCallTime"));
    TimerCall = new QTimer(this);
    TimerCall->setObjectName(QStringLiteral("TimerCall"));
    TimerCall->setInterval(250);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("拨打号码："), parent));
    bar->addWidget(ComboDialNumber);
    bar->addWidget(ButtonDial);
    bar->addWidget(ButtonHangUp);
    bar->addSpacing(12);
    bar->addWidget(LabelCallState, 1);
    bar->addWidget(new QLabel(QStringLiteral("通话时长："), parent));
    bar->addWidget(LabelCallTime);
    into->addLayout(bar, row, 0, 1, 4);

    connect(ButtonDial, &QPushButton::clicked, this, &Tfrmuserhf::ButtonDialClick);
    connect(ButtonHangUp, &QPushButton::clicked, this, &Tfrmuserhf::ButtonHangUpClick);
    new QShortcut(kDialKey, this, this, &Tfrmuserhf::ButtonDialClick, Qt::WidgetWithChildrenShortcut);
    new QShortcut(kHangUpKey, this, this, &Tfrmuserhf::ButtonHangUpClick, Qt::WidgetWithChildrenShortcut);
    connect(TimerCall, &QTimer::timeout, this, &Tfrmuserhf::showCallTime);
    connect(m_phone, &phone::Softphone::stateChanged, this, &Tfrmuserhf::phoneStateChanged);
    connect(m_phone, &phone::Softphone::problem, this, &Tfrmuserhf::phoneProblem);
    connect(m_phone, &phone::Softphone::callEnded, this, &Tfrmuserhf::callEnded);
    m_call.setDials(true);
    phoneStateChanged(m_phone->state());
    const QString why = seatphone::problem();
    if (!why.isEmpty())
        phoneProblem(why);
}

Tfrmuserhf::~Tfrmuserhf()
{
    // The telephone belongs to the program: a call of this window ends with it.
    if (m_phone && inCall(m_phone->state()))
        m_phone->hangUp();
}

void Tfrmuserhf::showNumbers()
{
    if (!ComboDialNumber)
        return;
    ComboDialNumber->clear();
    if (!customerHeld())
        return;
    QStringList numbers;
    try {
        numbers = ops::visit::numbersOf(ADOcon(), m_call.customer()->id);
    } catch (const db::Error& e) {
        msg::logFailure(e);
        numbers = QStringList{m_call.customer()->dhhm1.trimmed()};
    }
    ComboDialNumber->addItems(numbers);
    ComboDialNumber->setCurrentIndex(0);
    if (m_phone->state() == State::Ready) { // the last call's end was the previous customer's
        LabelCallState->setText(stateText(State::Ready));
        LabelCallTime->setText(clock(0));
    }
}

void Tfrmuserhf::ButtonDialClick()
{
    if (!m_phone)
        return;
    if (!customerHeld()) {
        msg::ShowMessage(kNotHeld);
        return;
    }
    if (inCall(m_phone->state()))
        return;
    const QString number = ComboDialNumber->currentText().trimmed();
    const phone::DialNumber d = phone::dialNumber(number, seatphone::settings().prefix);
    if (!d.ok) {
        msg::ShowMessage(d.reason);
        return;
    }
    const qint64 id = m_call.customer()->id;
    const QString name = phone::recordingName(QDateTime::currentDateTime(), ComboBox1->currentText(), id, number);
    const QString folder = seatphone::settings().account.recordFolder;
    m_call.setLine({});
    m_dialledFor = id;
    m_recording = folder.isEmpty() ? QString() : QDir(folder).filePath(name);
    m_endingHangsUp = false;
    LabelCallTime->setText(clock(0));
    m_phone->dial(d.digits, name);
}

void Tfrmuserhf::ButtonHangUpClick()
{
    if (m_phone)
        m_phone->hangUp();
}

void Tfrmuserhf::phoneStateChanged(State state)
{
    // A call's end is told after this (callEnded), and stays until the next change.
    LabelCallState->setText(stateText(state));
    LabelCallState->setStyleSheet(QString());
    ButtonDial->setEnabled(state == State::Ready);
    ButtonHangUp->setEnabled(inCall(state));
    if (inCall(state))
        TimerCall->start();
    else
        TimerCall->stop();
    showCallTime();
}

void Tfrmuserhf::phoneProblem(const QString& text)
{
    LabelCallState->setText(text);
    LabelCallState->setStyleSheet(QStringLiteral("color: red"));
}

void Tfrmuserhf::showCallTime()
{
    if (m_phone && m_phone->state() == State::Connected)
        LabelCallTime->setText(clock(m_phone->talkMs()));
}

void Tfrmuserhf::hangUpFirst()
{
    if (!m_phone || !inCall(m_phone->state()))
        return;
    if (m_phone->state() == State::Connected && m_dialledFor == m_call.customer()->id)
        m_call.setLine({int((m_phone->talkMs() + 500) / 1000), m_recording});
    m_endingHangsUp = true;
    m_phone->hangUp();
}

void Tfrmuserhf::callEnded(const phone::CallResult& result)
{
    LabelCallState->setText(QStringLiteral("已挂断"));
    LabelCallState->setStyleSheet(QString());
    if (result.connected)
        LabelCallTime->setText(clock(result.talkMs));
    const bool ending = std::exchange(m_endingHangsUp, false);
    if (!customerHeld() || m_dialledFor != m_call.customer()->id)
        return;
    // A call that died with the softphone was not measured to its end: the screen's seconds are written.
    if (result.outcome == phone::Outcome::Talked)
        m_call.setLine({int((result.talkMs + 500) / 1000), result.recording});
    // Asked once the softphone's report is handled: a box waiting for the operator must not sit
    // inside it.
    if (!ending)
        QTimer::singleShot(0, this, [this, result] {
            if (customerHeld() && m_dialledFor == m_call.customer()->id)
                offerEnding(result);
        });
}

// What the line answered suggests an ending; the operator confirms it with one key (Enter) or
// chooses another.
void Tfrmuserhf::offerEnding(const phone::CallResult& result)
{
    QString what;
    QString word;
    switch (result.outcome) {
    case phone::Outcome::Busy:
        what = QStringLiteral("对方忙");
        word = vocab::kNoAnswer;
        break;
    case phone::Outcome::NoAnswer:
        what = QStringLiteral("无人接听");
        word = vocab::kNoAnswer;
        break;
    case phone::Outcome::Unknown:
        what = QStringLiteral("号码不存在");
        word = vocab::kOutOfService;
        break;
    case phone::Outcome::Failed:
        // A fault of the line says nothing about the customer: no ending is suggested.
        LabelCallState->setText(QStringLiteral("呼叫失败：%1").arg(result.reason));
        LabelCallState->setStyleSheet(QStringLiteral("color: red"));
        return;
    case phone::Outcome::Talked:
    case phone::Outcome::Cancelled:
        return;
    }
    LabelCallState->setText(what);
    // The line's status (486 Busy Here); not the softphone's words when it gave up ringing itself.
    const bool status = result.reason.size() > 3 && result.reason.left(3).toInt() >= 300;
    const QString reason = status ? QStringLiteral("（%1）").arg(result.reason) : QString();
    const bool taken =
        msg::confirmYes(QStringLiteral("%1%2。\n记为“%3”吗？").arg(what, reason, word), QStringLiteral("呼叫结果"));
    // Back in the window, ready for the next number (F5) whatever was chosen.
    ButtonDial->setFocus();
    if (taken)
        outcome(word, kDbFailed);
}
