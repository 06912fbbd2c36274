// The visit window: the questionnaire - the first question, showing a question, answering it
// and following its jump, and stepping back and forth by question number.
#include "visit/userhf.h"
#include "visit/userhf_messages.h"

#include "core/msg.h"

#include <QComboBox>
#include <QPlainTextEdit>

using namespace userhf;

// Shows the call's question on screen, or nothing when it has none.
void Tfrmuserhf::ShowQuestion()
{
    Memo1->clear();
    ComboBox4->clear();
    const std::optional<ops::visit::Question>& q = m_call.question();
    if (!q)
        return;
    Memo1->setPlainText(QStringLiteral("问题") + QString::number(q->qbh) + QStringLiteral("(总共") +
                        QString::number(m_call.questionCount()) + QStringLiteral("个问题)") + QStringLiteral(":") +
                        u'\n' + q->qnr);
    for (const ops::visit::Option& o : q->options)
        ComboBox4->addItem(o.text);
    ComboBox4->setCurrentIndex(ComboBox4->count() > 0 ? 0 : -1);
}

void Tfrmuserhf::LoadFirstQuestion()
{
    try {
        m_call.loadFirstQuestion();
    } catch (const db::Error&) {
        msg::ShowMessage(kFirstFailed);
        return;
    }
    ShowQuestion();
}

void Tfrmuserhf::Button2Click()
{
    using Answered = ops::visit::Call::Answered;
    const int option = ComboBox4->currentIndex();
    Answered a;
    try {
        a = m_call.answer(option);
    } catch (const db::Error&) {
        msg::ShowMessage(kAnswerFailed);
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
    } catch (const db::Error&) {
        msg::ShowMessage(kDbFailed);
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
