// The visit window: ending a call - the completed questionnaire and the six outcome buttons -
// and showing the next customer, drawn at once.
#include "visit/userhf.h"
#include "visit/userhf_messages.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/pub.h"
#include "db/vocab.h"
#include "visit/seljg.h"

#include <QComboBox>
#include <QPlainTextEdit>

using namespace userhf;

void Tfrmuserhf::completeCall(int option)
{
    // Asked before the ending's transaction begins, so that no other seat waits on the operator.
    const QString jg = gJgts == 1 ? Tfrmseljg::choose(this) : QString();
    if (showEnding([&] { return m_call.complete(option, jg, remark(), ComboBox3->currentText()); }, kAnswerFailed))
        RefreshCounters();
}

void Tfrmuserhf::outcome(const QString& word, const QString& failure)
{
    if (!customerHeld())
        return;
    showEnding([&] { return m_call.outcome(word, remark(), ComboBox3->currentText()); }, failure);
}

// Runs an ending of the call and shows its result: the next customer, or why there is none.
// After a failure the window still holds the same customer at the same question, so the
// button can simply be pressed again.
bool Tfrmuserhf::showEnding(const std::function<ops::visit::Call::Next()>& end, const QString& failure)
{
    ops::visit::Call::Next next;
    try {
        next = end();
    } catch (const db::Error&) {
        msg::ShowMessage(failure);
        return false;
    }
    Memo4->clear();
    if (next.drawFailed) {
        clearCustomerFields();
        showEmptyHistory();
        msg::ShowMessage(kDrawFailed);
    } else {
        showCustomer(next.customer);
    }
    LoadProjectTips();
    LoadFirstQuestion();
    return true;
}

void Tfrmuserhf::Button3Click()
{
    outcome(vocab::kGj, kSwitchedOffFailed);
}

void Tfrmuserhf::Button4Click()
{
    outcome(vocab::kTj, kDbFailed);
}

void Tfrmuserhf::Button5Click()
{
    outcome(vocab::kWyd, kDbFailed);
}

void Tfrmuserhf::Button6Click()
{
    outcome(vocab::kJf, kDbFailed);
}

void Tfrmuserhf::Button8Click()
{
    outcome(vocab::kXclx, kDbFailed);
}

void Tfrmuserhf::Button9Click()
{
    outcome(vocab::kWxsj, kDbFailed);
}
