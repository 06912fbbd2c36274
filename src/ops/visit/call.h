#pragma once

#include "db/statement.h"
#include "ops/common/oplog.h"
#include "ops/visit/draw.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QSqlQuery;
namespace db {
class Connection;
}

// The call in progress at one seat: the project, the held customer, the question on screen and
// the seconds since the draw, with everything the operator does to it. Database work only;
// every operation that writes runs one transaction (the change, its answer row and its history
// row together) and throws db::Error with nothing kept and the call unchanged.
namespace ops::visit {

// One answer option: its text and the number of the question it leads to. No number (an
// empty jump) ends the questionnaire like a number that no question has.
struct Option
{
    QString text;
    std::optional<qint64> jump;
};

struct Question
{
    qint64 qid = 0;
    qint64 qbh = 0;
    QString qnr;
    QList<Option> options;
};

// The prompt text of the project; none when there is no such project.
std::optional<QString> projectTips(db::Connection& con, int ywbh);

// The numbers of a customer to dial: dhhm1 first, then dhhm2..dhhm4 that are set, each once.
QStringList numbersOf(db::Connection& con, qint64 customerId);

// The statements of the history grid: the visits of a number in every project, newest first,
// and the same columns without rows.
db::Statement historyOf(const QString& dhhm);
QString noHistory();

class Call
{
public:
    // who: the operator; uname for the draws, truename in everything written.
    Call(db::Connection& con, Who who);

    // Where the call reads the time (the draw's due call-backs and calling hours, the bookings,
    // the retry delays); the system clock unless set.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }

    // The project the call belongs to; the question on screen goes with it.
    void setProject(int ywbh);
    int project() const { return m_ywbh; }

    // Puts the project's lowest-numbered question on screen and counts the questions. On
    // failure no question is on screen.
    void loadFirstQuestion();
    const std::optional<Question>& question() const { return m_question; }
    int questionCount() const { return m_questionCount; }

    // Draws (and locks) the next customer of the project in this state, or the one with this
    // number; none when there is none. Whatever was held before is let go first, and the
    // seconds start again from 0.
    const std::optional<Customer>& drawByState(const QString& state);
    const std::optional<Customer>& drawByNumber(const QString& number);
    // When the last draw by state found nobody because the calling hours are over: when they
    // resume.
    const std::optional<QDateTime>& resumes() const { return m_resumes; }
    bool held() const { return m_customer.has_value(); }
    const std::optional<Customer>& customer() const { return m_customer; }

    // One more second of the call.
    void tick() { ++m_elapsed; }
    int elapsed() const { return m_elapsed; }

    // A seat that dials tells the next ending what its telephone line measured: the talk time
    // (connected to hung up) when the line connected, else nothing and the seconds on screen are
    // written; and the call's recording, if any. Its history row then says which seconds were
    // written (kTimedByLine or kTimedOnScreen) with the seconds and the recording. Forgotten at
    // every draw and ending.
    struct Line
    {
        std::optional<int> seconds;
        QString recording;
    };
    void setDials(bool dials) { m_dials = dials; }
    void setLine(Line line) { m_line = std::move(line); }
    const Line& line() const { return m_line; }

    // Records the chosen option (its position in the question's options) as the answer to the
    // question on screen, replacing an earlier answer, and moves to the question its jump
    // names. When the jump names no question nothing is written: the call is then ended with
    // complete().
    enum class Answered { NotHeld, NoQuestion, NoChoice, Moved, Completes };
    Answered answer(int option);

    // Moves by question number to the previous or the next question; writes nothing.
    enum class Stepped { NotHeld, NoneThere, Moved };
    Stepped step(bool back);

    // The endings. Each writes the customer record, an answer row for the question on screen
    // (when there is one) and a history row, then draws the next customer in nextState, all
    // in one transaction. A failed draw of the next customer does not undo the ending: then
    // drawFailed is set, reason says why (logged once, here) and nothing is held. Without a held
    // customer (or, for complete(), without that option on screen) nothing is written and nothing
    // is drawn.
    struct Next
    {
        std::optional<Customer> customer;
        bool drawFailed = false;
        QString reason;
        // The draw found nobody because the calling hours are over: when they resume.
        std::optional<QDateTime> resumes;
        // A call-back that cannot be booked: nothing was written and the customer is still held.
        BookingFault refused = BookingFault::None;
    };
    // The questionnaire completed with option, with the marketing result jg ("成功", "不成功"
    // or empty).
    Next complete(int option, const QString& jg, const QString& remark, const QString& nextState);
    // One of the outcome words ("关机", "停机", ...). With a booking ("下次联系" at a time) the
    // call-back is written with the ending, replacing an open one of the customer.
    Next outcome(const QString& word, const QString& remark, const QString& nextState,
                 const std::optional<Booking>& booking = std::nullopt);

    // Lets the customer go without an ending: back to the state it was drawn in (the chosen
    // state when it had none), with the remark. Nothing when no customer is held.
    void giveUp(const QString& remark, const QString& chosenState);

private:
    struct Ending
    {
        db::Statement update; // the customer record
        QString answer;       // answer row text
        QString history;      // history row's handling result
        bool replaceAnswer = false;
        QString word; // the state written: its retry rule applies
        std::optional<Booking> booking;
    };
    void keepBack(const Ending& e, const QDateTime& at);
    void book(const Booking& b, const QString& remark, const QDateTime& at, const QVariant& historyRow);
    Next end(const Ending& e, const QString& remark, const QString& nextState);
    std::optional<Question> find(const QString& jet);
    Question readQuestion(const QSqlQuery& row);
    void writeAnswer(const QString& answer, bool replace, int seconds, const QString& recording = QString());
    const std::optional<Customer>& drawn(std::optional<Customer> c);

    db::Connection& m_con;
    Who m_who;
    int m_ywbh = -1;
    std::optional<Question> m_question;
    int m_questionCount = 0;
    std::optional<Customer> m_customer;
    int m_elapsed = 0;
    std::function<QDateTime()> m_clock;
    std::optional<QDateTime> m_resumes;
    bool m_dials = false;
    Line m_line;
};

inline const QString kTimedByLine = QStringLiteral("线路");
inline const QString kTimedOnScreen = QStringLiteral("屏幕");

} // namespace ops::visit
