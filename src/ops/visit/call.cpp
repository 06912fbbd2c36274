#include "ops/visit/call.h"

#include "db/connection.h"
#include "db/log.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "db/vocab.h"
#include "ops/common/log.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace ops::visit {
namespace {

QVariant field(const QSqlQuery& q, const char* name)
{
    return q.value(q.record().indexOf(QLatin1String(name)));
}

// A stored jump: empty means none; anything else that is not a whole number counts as 0,
// which no question has.
std::optional<qint64> jumpOf(const QVariant& v)
{
    const QString s = db::displayText(v).trimmed();
    if (s.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 n = s.toLongLong(&ok);
    return ok ? n : 0;
}

const QString kQuestions = QStringLiteral("select * from q_table where ywbh=");

} // namespace

std::optional<QString> projectTips(db::Connection& con, int ywbh)
{
    QSqlQuery q = con.select(QStringLiteral("select * from t_ywbh where ywbh=") + db::num(ywbh));
    if (!q.next())
        return std::nullopt;
    return field(q, "ywtips").toString();
}

QStringList numbersOf(db::Connection& con, qint64 customerId)
{
    const QSqlRecord row =
        con.firstRowKept(QStringLiteral("select dhhm1,dhhm2,dhhm3,dhhm4 from yhda where id=?"), {customerId});
    QStringList numbers;
    for (int i = 0; i < row.count(); ++i) {
        const QString n = row.value(i).toString().trimmed();
        if (!n.isEmpty() && !numbers.contains(n))
            numbers << n;
    }
    return numbers;
}

db::Statement historyOf(const QString& dhhm)
{
    return {QStringLiteral("select * from visitlogview where dhhm=? order by id desc"), {db::text(dhhm)}};
}

QString noHistory()
{
    return QStringLiteral("select * from visitlogview where 1=2 order by id desc");
}

Call::Call(db::Connection& con, Who who) : m_con(con), m_who(std::move(who)) {}

void Call::setProject(int ywbh)
{
    m_ywbh = ywbh;
    m_question.reset();
    m_questionCount = 0;
}

Question Call::readQuestion(const QSqlQuery& row)
{
    Question q;
    q.qid = field(row, "qid").toLongLong();
    q.qbh = field(row, "qbh").toLongLong();
    q.qnr = db::displayText(field(row, "qnr"));
    QSqlQuery sel = m_con.select(QStringLiteral("select * from q_sel where qid=") + db::num(q.qid) +
                                 QStringLiteral(" order by aid"));
    while (sel.next())
        q.options.append({db::displayText(field(sel, "sel")), jumpOf(field(sel, "gotoq"))});
    return q;
}

// The first question the statement finds, with its options; none when it finds nothing.
std::optional<Question> Call::find(const QString& jet)
{
    QSqlQuery q = m_con.select(jet);
    if (!q.next())
        return std::nullopt;
    return readQuestion(q);
}

void Call::loadFirstQuestion()
{
    m_question.reset();
    QSqlQuery q = m_con.select(kQuestions + db::num(m_ywbh) + QStringLiteral(" order by qbh"));
    std::optional<Question> first;
    int count = 0;
    while (q.next()) {
        if (count++ == 0)
            first = readQuestion(q);
    }
    m_questionCount = count;
    m_question = first;
}

const std::optional<Customer>& Call::drawn(std::optional<Customer> c)
{
    m_customer = std::move(c);
    return m_customer;
}

const std::optional<Customer>& Call::drawByState(const QString& state)
{
    m_elapsed = 0;
    m_line = {};
    m_customer.reset();
    m_resumes.reset();
    Drawn d = ops::visit::drawByState(m_con, m_ywbh, state, m_who.uname, now());
    m_resumes = d.resumes;
    return drawn(std::move(d.customer));
}

const std::optional<Customer>& Call::drawByNumber(const QString& number)
{
    m_elapsed = 0;
    m_line = {};
    m_customer.reset();
    std::optional<Customer> c = claimByNumber(m_con, m_ywbh, number);
    // A call-back booked for this customer is told, due or not.
    if (c)
        c->booked = openBooking(m_con, c->id, now());
    return drawn(std::move(c));
}

// The answer to the question on screen. Answering replaces an earlier answer of this customer;
// an outcome adds one, so that the history of the question shows it.
void Call::writeAnswer(const QString& answer, bool replace, int seconds, const QString& recording)
{
    const QString qid = db::num(m_question->qid);
    if (replace)
        m_con.execute(QStringLiteral("delete from q_ans where qid=") + qid + QStringLiteral(" and yhid=") +
                      db::num(m_customer->id));
    if (!recording.isEmpty()) {
        m_con.execute(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,lywj) values(") + qid +
                          QStringLiteral(",?,") + db::num(m_customer->id) + QStringLiteral(",?,?,") + db::num(seconds) +
                          QStringLiteral(",?)"),
                      {db::text(m_customer->dhhm1), db::text(answer), db::text(m_who.truename), db::text(recording)});
        return;
    }
    m_con.execute(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime) values(") + qid +
                      QStringLiteral(",?,") + db::num(m_customer->id) + QStringLiteral(",?,?,") + db::num(seconds) +
                      QStringLiteral(")"),
                  {db::text(m_customer->dhhm1), db::text(answer), db::text(m_who.truename)});
}

Call::Answered Call::answer(int option)
{
    if (!held())
        return Answered::NotHeld;
    if (!m_question)
        return Answered::NoQuestion;
    if (option < 0 || option >= m_question->options.size() || m_question->options.at(option).text.isEmpty())
        return Answered::NoChoice;
    const Option& chosen = m_question->options.at(option);
    std::optional<Question> next;
    if (chosen.jump)
        next = find(kQuestions + db::num(m_ywbh) + QStringLiteral(" and qbh=") + db::num(*chosen.jump));
    if (!next)
        return Answered::Completes;
    db::Transaction t(m_con);
    writeAnswer(chosen.text, true, m_elapsed);
    t.commit();
    m_question = std::move(next);
    return Answered::Moved;
}

Call::Stepped Call::step(bool back)
{
    if (!held())
        return Stepped::NotHeld;
    if (!m_question)
        return Stepped::NoneThere;
    const QString qbh = db::num(m_question->qbh);
    std::optional<Question> q = find(kQuestions + db::num(m_ywbh) +
                                     (back ? QStringLiteral(" and qbh<") + qbh + QStringLiteral(" order by qbh desc")
                                           : QStringLiteral(" and qbh>") + qbh + QStringLiteral(" order by qbh ")));
    if (!q)
        return Stepped::NoneThere;
    m_question = std::move(q);
    return Stepped::Moved;
}

Call::Next Call::complete(int option, const QString& jg, const QString& remark, const QString& nextState)
{
    if (!held() || !m_question || option < 0 || option >= m_question->options.size())
        return {};
    Ending e;
    e.update = {QStringLiteral("update yhda set sljg=?,jg=?,bz=?,slsj=now(),slz=? where id=") + db::num(m_customer->id),
                {vocab::kHandled, db::text(jg), db::text(remark), db::text(m_who.truename)}};
    e.answer = m_question->options.at(option).text;
    e.history = vocab::kHandled + QStringLiteral("(") + jg + QStringLiteral(")");
    e.replaceAnswer = true;
    return end(e, remark, nextState);
}

Call::Next Call::outcome(const QString& word, const QString& remark, const QString& nextState,
                         const std::optional<Booking>& booking)
{
    if (!held())
        return {};
    Ending e;
    // "关机" names its columns in an order of its own; both forms write the same values.
    if (word == vocab::kSwitchedOff)
        e.update = {QStringLiteral("update yhda set sljg=?,jg=null,bz=?,slsj=now(),slz=? where id=") +
                        db::num(m_customer->id),
                    {db::text(word), db::text(remark), db::text(m_who.truename)}};
    else
        e.update = {QStringLiteral("update yhda set sljg=?,jg=null,slsj=now(),bz=?,slz=? where id=") +
                        db::num(m_customer->id),
                    {db::text(word), db::text(remark), db::text(m_who.truename)}};
    e.answer = word;
    e.history = word;
    e.word = word;
    e.booking = booking;
    if (booking) {
        const BookingFault fault = checkBooking(*booking, now());
        if (fault != BookingFault::None) {
            Next refused;
            refused.customer = m_customer;
            refused.refused = fault;
            return refused;
        }
    }
    return end(e, remark, nextState);
}

// Counts the call and keeps the customer back from the draw: until its call-back becomes
// anyone's (the booker's own draw offers it before), for the retry delay of the word, or for
// good at the word's limit of calls. A completed questionnaire has no rule.
void Call::keepBack(const Ending& e, const QDateTime& at)
{
    QVariant until{QMetaType(QMetaType::QString)};
    RetryRule rule;
    if (e.booking) {
        const CallingHours hours = callingHours(m_con, m_ywbh);
        until = stamp(e.booking->onlyMe ? e.booking->start.addSecs(60LL * (e.booking->minutes + hours.graceMinutes))
                                        : e.booking->start);
    } else if (!e.word.isEmpty()) {
        rule = retryRule(m_con, m_ywbh, e.word);
        if (rule.delayMinutes > 0)
            until = stamp(at.addSecs(60LL * rule.delayMinutes));
    }
    m_con.execute(QStringLiteral("update yhda set hjcs=hjcs+1,kcsj=case when ?>0 and hjcs+1>=? then ? else ? end "
                                 "where id=") +
                      db::num(m_customer->id),
                  {rule.maxCalls, rule.maxCalls, kNeverAgain, until});
}

void Call::book(const Booking& b, const QString& remark, const QDateTime& at, const QVariant& historyRow)
{
    const CallingHours hours = callingHours(m_con, m_ywbh);
    const QDateTime end = b.start.addSecs(60LL * b.minutes);
    const QDateTime anyones = b.onlyMe ? end.addSecs(60LL * hours.graceMinutes) : b.start;
    QVariant owner{QMetaType(QMetaType::QString)};
    if (b.onlyMe)
        owner = db::text(m_who.uname);
    m_con.execute(QStringLiteral("insert into hfyy(yhid,ywbh,dhhm,kssj,jssj,gksj,yyz,yyzxm,zy,hfz,bz,yysj,yyid) "
                                 "values(?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                  {m_customer->id, m_ywbh, db::text(m_customer->dhhm1), stamp(b.start), stamp(end), stamp(anyones),
                   db::text(m_who.uname), db::text(m_who.truename), b.onlyMe ? 1 : 0, owner, db::text(remark),
                   stamp(at), historyRow});
}

// Writes the ending and locks the next customer in one transaction. The call changes only once
// it is committed: after a failure nothing of it is kept and the same customer is still held
// at the same question, so the ending can simply be tried again.
Call::Next Call::end(const Ending& e, const QString& remark, const QString& nextState)
{
    Next next;
    const QDateTime at = now();
    db::Transaction t(m_con);
    m_con.execute(e.update);
    keepBack(e, at);
    // A project without questions has no question to file the answer under.
    const int seconds = m_line.seconds.value_or(m_elapsed);
    QVariant recording{QMetaType(QMetaType::QString)};
    if (!m_line.recording.isEmpty())
        recording = db::text(m_line.recording);
    if (m_question)
        writeAnswer(e.answer, e.replaceAnswer, seconds, m_line.recording);
    const QSqlRecord logged =
        m_dials
            ? m_con.firstRowKept(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz,thsc,jsly,lywj) "
                                                "values(?,?,?,?,?,?,?,?) returning id"),
                                 {m_ywbh, db::text(m_customer->dhhm1), db::text(m_who.truename), db::text(e.history),
                                  db::text(remark), seconds, m_line.seconds ? kTimedByLine : kTimedOnScreen, recording})
            : m_con.firstRowKept(
                  QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(?,?,?,?,?) returning id"),
                  {m_ywbh, db::text(m_customer->dhhm1), db::text(m_who.truename), db::text(e.history),
                   db::text(remark)});
    // The ending closes the customer's open call-back (a new booking replaces it).
    m_con.execute(QStringLiteral("update hfyy set zt=1,gbid=?,gbsj=? where yhid=? and zt=0"),
                  {logged.value(0), stamp(at), m_customer->id});
    if (e.booking)
        book(*e.booking, remark, at, logged.value(0));
    // A failed draw does not undo the ending: only the draw's own part is rolled back.
    try {
        db::Transaction draw(m_con);
        Drawn d = ops::visit::drawByState(m_con, m_ywbh, nextState, m_who.uname, at);
        next.customer = std::move(d.customer);
        next.resumes = d.resumes;
        draw.commit();
    } catch (const db::Error& failure) {
        next.drawFailed = true;
        next.reason = db::failureLine(failure);
        next.customer.reset();
        db::logFailure(lcOps(), failure, QStringLiteral("the next customer cannot be drawn after the ending"));
    }
    t.commit();
    m_elapsed = 0;
    m_line = {};
    m_customer = next.customer;
    return next;
}

void Call::giveUp(const QString& remark, const QString& chosenState)
{
    if (!held())
        return;
    const QString state = m_customer->sljg.isEmpty() ? chosenState : m_customer->sljg;
    // Kept back as it was before the draw (a retry delay, a call-back still to come).
    QVariant until{QMetaType(QMetaType::QString)};
    if (!m_customer->waitedUntil.isEmpty())
        until = m_customer->waitedUntil;
    m_con.execute(QStringLiteral("update yhda set sljg=?,bz=?,kcsj=? where id=") + db::num(m_customer->id),
                  {db::text(state), db::text(remark), until});
    m_customer.reset();
    m_elapsed = 0;
    m_line = {};
}

} // namespace ops::visit
