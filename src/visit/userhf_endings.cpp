// The visit window: ending a call - the completed questionnaire and the six outcome buttons -
// and the automatic draw of the next customer.
#include "visit/userhf.h"
#include "visit/userhf_messages.h"

#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "db/vocab.h"
#include "visit/seljg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace userhf;

void Tfrmuserhf::completeCall(const QString& answer)
{
    FJg.clear();
    if (gJgts == 1) {
        // Asked before the transaction begins, so that no other seat waits on the operator.
        Tfrmseljg dlg(this);
        dlg.exec();
    }
    Ending e;
    e.update = QStringLiteral("update yhda set sljg=") + db::quoted(vocab::kYsl) + QStringLiteral(",jg=") +
               db::quoted(FJg) + QStringLiteral(",bz=") + db::quoted(remark()) +
               QStringLiteral(",slsj=now(),slz=") + db::quoted(gTruename) + QStringLiteral(" where id=") +
               db::num(m_held->id);
    e.answer = answer;
    e.history = vocab::kYsl + QStringLiteral("(") + FJg + QStringLiteral(")");
    e.replaceAnswer = true;
    e.failure = kAnswerFailed;
    if (endCall(e))
        RefreshCounters();
}

void Tfrmuserhf::outcome(const QString& word, const QString& failure)
{
    if (!customerHeld())
        return;
    Ending e;
    // "关机" names its columns in an order of its own; both forms write the same values.
    if (word == vocab::kGj)
        e.update = QStringLiteral("update yhda set sljg=") + db::quoted(word) + QStringLiteral(",jg=null,bz=") +
                   db::quoted(remark()) + QStringLiteral(",slsj=now(),slz=") + db::quoted(gTruename) +
                   QStringLiteral(" where id=") + db::num(m_held->id);
    else
        e.update = QStringLiteral("update yhda set sljg=") + db::quoted(word) +
                   QStringLiteral(",jg=null,slsj=now(),bz=") + db::quoted(remark()) + QStringLiteral(",slz=") +
                   db::quoted(gTruename) + QStringLiteral(" where id=") + db::num(m_held->id);
    e.answer = word;
    e.history = word;
    e.failure = failure;
    endCall(e);
}

// Writes the ending and locks the next customer in one transaction. The window changes only
// once it is committed: after a failure nothing of it is kept and the window still holds the
// same customer at the same question, so the button can simply be pressed again.
bool Tfrmuserhf::endCall(const Ending& e)
{
    const int ywbh = projectNumber();
    const QString number = Edit2->text();
    std::optional<ops::visit::Customer> next;
    bool drawFailed = false;
    try {
        db::Transaction t(ADOcon());
        ADOcon().execute(e.update);
        // A project without questions has no question to file the answer under.
        if (!FCurQid.isEmpty()) {
            if (e.replaceAnswer)
                ADOcon().execute(QStringLiteral("delete from q_ans where qid=") + db::num(FCurQid.toLongLong()) +
                                 QStringLiteral(" and yhid=") + db::num(m_held->id));
            ADOcon().execute(answerInsert(e.answer));
        }
        ADOcon().execute(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(") + db::num(ywbh) +
                         QStringLiteral(",") + db::quoted(number) + QStringLiteral(",") + db::quoted(gTruename) +
                         QStringLiteral(",") + db::quoted(e.history) + QStringLiteral(",") + db::quoted(remark()) +
                         QStringLiteral(")"));
        // A failed draw does not undo the ending: only the draw's own part is rolled back.
        try {
            db::Transaction draw(ADOcon());
            next = ops::visit::claimByState(ADOcon(), ywbh, ComboBox3->currentText(), gUname);
            draw.commit();
        } catch (const db::Error&) {
            drawFailed = true;
            next.reset();
        }
        t.commit();
    } catch (const db::Error&) {
        msg::ShowMessage(e.failure);
        return false;
    }
    Memo4->clear();
    FElapsed = 0;
    m_held.reset();
    if (drawFailed) {
        clearCustomerFields();
        showEmptyHistory();
        msg::ShowMessage(kDrawFailed);
    } else {
        showCustomer(next);
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
