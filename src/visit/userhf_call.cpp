// The visit window during a call: answering the question on screen and following its jump,
// stepping back and forth by question number, and ending the call - the completed
// questionnaire and the six outcome buttons - with the next customer drawn at once.
#include "visit/userhf.h"
#include "visit/userhf_messages.h"

#include "core/msg.h"
#include "core/pub.h"
#include "db/vocab.h"
#include "visit/seljg.h"

#include <QComboBox>
#include <QPlainTextEdit>

using namespace userhf;

void Tfrmuserhf::Button2Click()
{
    using Answered = ops::visit::Call::Answered;
    const int option = ComboBox4->currentIndex();
    Answered a;
    try {
        a = m_call.answer(option);
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kAnswerFailed);
        return;
    }
    switch (a) {
    case Answered::NotHeld:
        return;
    case Answered::NoQuestion:
        msg::ShowMessage(kNoQuestions);
        return;
    case Answered::NoChoice:
        msg::ShowMessage(kNoChoice);
        return;
    case Answered::Moved:
        ShowQuestion();
        return;
    case Answered::Completes:
        completeCall(option);
        return;
    }
}

void Tfrmuserhf::stepQuestion(bool back)
{
    using Stepped = ops::visit::Call::Stepped;
    Stepped s;
    try {
        s = m_call.step(back);
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kDbFailed);
        return;
    }
    switch (s) {
    case Stepped::NotHeld:
        msg::ShowMessage(kNotHeld);
        return;
    case Stepped::NoneThere:
        msg::ShowMessage(back ? QStringLiteral("不存在上一个问题了") : QStringLiteral("不存在下一个问题了"));
        return;
    case Stepped::Moved:
        ShowQuestion();
        return;
    }
}

void Tfrmuserhf::Label19Click()
{
    stepQuestion(true);
}

void Tfrmuserhf::Label20Click()
{
    stepQuestion(false);
}

void Tfrmuserhf::completeCall(int option)
{
    hangUpFirst();
    // Asked before the ending's transaction begins, so that no other seat waits on the operator.
    const QString jg = gJgts == 1 ? Tfrmseljg::choose(this) : QString();
    if (showEnding([&] { return m_call.complete(option, jg, remark(), ComboBox3->currentText()); }, kAnswerFailed))
        RefreshCounters();
}

void Tfrmuserhf::outcome(const QString& word, const QString& failure)
{
    if (!customerHeld())
        return;
    hangUpFirst();
    // Only "下次联系" books a call-back; the time typed stays for it otherwise.
    std::optional<ops::visit::Booking> booking;
    if (word == vocab::kCallBack)
        booking = callBackBooking();
    showEnding([&] { return m_call.outcome(word, remark(), ComboBox3->currentText(), booking); }, failure);
}

// Runs an ending of the call and shows its result: the next customer, or why there is none.
// After a failure the window still holds the same customer at the same question, so the
// button can simply be pressed again.
bool Tfrmuserhf::showEnding(const std::function<ops::visit::Call::Next()>& end, const QString& failure)
{
    ops::visit::Call::Next next;
    try {
        next = end();
    } catch (const db::Error& e) {
        msg::ShowFailure(e, failure);
        return false;
    }
    if (next.refused != ops::visit::BookingFault::None) {
        // Nothing was written: the customer is still held, the time can be corrected.
        msg::ShowMessage(bookingFaultText(next.refused));
        return false;
    }
    Memo4->clear();
    clearCallBack();
    if (next.drawFailed) {
        clearCustomerFields();
        showEmptyHistory();
        msg::ShowMessage(kDrawFailed);
    } else {
        showCustomer(next.customer, next.resumes);
    }
    LoadProjectTips();
    LoadFirstQuestion();
    return true;
}

void Tfrmuserhf::Button3Click()
{
    outcome(vocab::kSwitchedOff, kSwitchedOffFailed);
}

void Tfrmuserhf::Button4Click()
{
    outcome(vocab::kOutOfService, kDbFailed);
}

void Tfrmuserhf::Button5Click()
{
    outcome(vocab::kNoAnswer, kDbFailed);
}

void Tfrmuserhf::Button6Click()
{
    outcome(vocab::kRefused, kDbFailed);
}

void Tfrmuserhf::Button8Click()
{
    outcome(vocab::kCallBack, kDbFailed);
}

void Tfrmuserhf::Button9Click()
{
    outcome(vocab::kInvalidData, kDbFailed);
}
