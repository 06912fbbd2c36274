// The visit window: the questionnaire - the first question, showing a question, recording an
// answer and following its jump, and stepping back and forth by question number.
#include "visit/userhf.h"
#include "visit/userhf_messages.h"

#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace userhf;

namespace {

QString field(const QSqlQuery& q, const char* name)
{
    return db::displayText(q.value(q.record().indexOf(QLatin1String(name))));
}

// A question or jump number as statement text; anything that is not a whole number (an
// empty jump included) counts as 0, which no question has.
QString number(const QString& s)
{
    bool ok = false;
    const qint64 n = s.trimmed().toLongLong(&ok);
    return db::num(ok ? n : 0);
}
} // namespace

Tfrmuserhf::Question Tfrmuserhf::readQuestion(const QSqlQuery& row)
{
    Question q;
    q.qid = field(row, "qid");
    q.qbh = field(row, "qbh");
    q.qnr = field(row, "qnr");
    if (q.qid.isEmpty())
        return q;
    QSqlQuery sel = ADOcon().select(QStringLiteral("select * from q_sel where qid=") + number(q.qid) +
                                    QStringLiteral(" order by aid"));
    while (sel.next())
        q.options.append({field(sel, "sel"), field(sel, "gotoq")});
    return q;
}

// The first question the statement finds, with its options; none when it finds nothing.
std::optional<Tfrmuserhf::Question> Tfrmuserhf::findQuestion(const QString& jet)
{
    QSqlQuery q = ADOcon().select(jet);
    if (!q.next())
        return std::nullopt;
    return readQuestion(q);
}

void Tfrmuserhf::ShowQuestion(const Question& q)
{
    Memo1->clear();
    ComboBox4->clear();
    ComboBox5->clear();
    FCurQid.clear();
    Memo1->setPlainText(QStringLiteral("问题") + q.qbh + QStringLiteral("(总共") + QString::number(FQCount) +
                        QStringLiteral("个问题)") + QStringLiteral(":") + u'\n' + q.qnr);
    FCurQbh = q.qbh;
    FCurQid = q.qid;
    for (const auto& [sel, gotoq] : q.options) {
        ComboBox4->addItem(sel);
        ComboBox5->addItem(gotoq);
    }
    ComboBox4->setCurrentIndex(ComboBox4->count() > 0 ? 0 : -1);
}

void Tfrmuserhf::LoadFirstQuestion()
{
    FCurQid.clear();
    try {
        QSqlQuery q = ADOcon().select(QStringLiteral("select * from q_table where ywbh=") + db::num(projectNumber()) +
                                      QStringLiteral(" order by qbh"));
        std::optional<Question> first;
        int count = 0;
        while (q.next()) {
            if (count++ == 0)
                first = readQuestion(q);
        }
        FQCount = count;
        Memo1->clear();
        ComboBox4->clear();
        ComboBox5->clear();
        if (first)
            ShowQuestion(*first);
    } catch (const db::Error&) {
        msg::ShowMessage(kFirstFailed);
    }
}

QString Tfrmuserhf::answerInsert(const QString& answer) const
{
    return QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime) values(") + number(FCurQid) +
           QStringLiteral(",") + db::quoted(Edit2->text()) + QStringLiteral(",") + db::num(m_held->id) +
           QStringLiteral(",") + db::quoted(answer) + QStringLiteral(",") + db::quoted(gTruename) +
           QStringLiteral(",") + db::num(FElapsed) + QStringLiteral(")");
}

void Tfrmuserhf::Button2Click()
{
    if (!customerHeld())
        return;
    if (FCurQid.isEmpty()) {
        msg::ShowMessage(kNoQuestions);
        return;
    }
    if (ComboBox4->currentText().isEmpty()) {
        msg::ShowMessage(kNoChoice);
        return;
    }
    const QString answer = ComboBox4->currentText();
    const QString gotoq = ComboBox5->itemText(ComboBox4->currentIndex());
    std::optional<Question> next;
    try {
        // An empty jump ends the questionnaire like 0 does.
        if (!gotoq.trimmed().isEmpty())
            next = findQuestion(QStringLiteral("select * from q_table where ywbh=") + db::num(projectNumber()) +
                            QStringLiteral(" and qbh=") + number(gotoq));
    } catch (const db::Error&) {
        msg::ShowMessage(kAnswerFailed);
        return;
    }
    if (!next) {
        // The jump names no question: the questionnaire is complete.
        completeCall(answer);
        return;
    }
    try {
        db::Transaction t(ADOcon());
        ADOcon().execute(QStringLiteral("delete from q_ans where qid=") + number(FCurQid) +
                         QStringLiteral(" and yhid=") + db::num(m_held->id));
        ADOcon().execute(answerInsert(answer));
        t.commit();
    } catch (const db::Error&) {
        msg::ShowMessage(kAnswerFailed);
        return;
    }
    ShowQuestion(*next);
}

void Tfrmuserhf::stepQuestion(bool back)
{
    if (!customerHeld()) {
        msg::ShowMessage(kNotHeld);
        return;
    }
    const QString none = back ? QStringLiteral("不存在上一个问题了") : QStringLiteral("不存在下一个问题了");
    if (FCurQid.isEmpty()) {
        // A project without questions: nothing to step to.
        msg::ShowMessage(none);
        return;
    }
    std::optional<Question> q;
    try {
        q = findQuestion(QStringLiteral("select * from q_table where ywbh=") + db::num(projectNumber()) +
                         (back ? QStringLiteral(" and qbh<") + number(FCurQbh) + QStringLiteral(" order by qbh desc")
                               : QStringLiteral(" and qbh>") + number(FCurQbh) + QStringLiteral(" order by qbh ")));
    } catch (const db::Error&) {
        msg::ShowMessage(kDbFailed);
        return;
    }
    if (!q) {
        msg::ShowMessage(none);
        return;
    }
    FCurQbh.clear();
    ShowQuestion(*q);
}

void Tfrmuserhf::Label19Click()
{
    stepQuestion(true);
}

void Tfrmuserhf::Label20Click()
{
    stepQuestion(false);
}
