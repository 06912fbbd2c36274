#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace db {
class Connection;
}

// Call-backs at a time the customer names, retry rules and calling hours of a project. Times
// are local and stored as "yyyy-MM-dd HH:mm:ss" text on either engine; every operation takes
// "now" from its caller, so that a test can set the clock. Every function throws db::Error.
namespace ops::visit {

// A time as the database keeps it, and back (invalid for text that is no such time).
QString stamp(const QDateTime& t);
QDateTime fromStamp(const QString& s);

// kcsj of a customer at its project's limit of calls: no draw by state reaches it again.
inline const QString kNeverAgain = QStringLiteral("9999-12-31 23:59:59");

// A call-back the operator books with the ending "下次联系".
struct Booking
{
    QDateTime start;
    int minutes = 60;   // length of the window
    bool onlyMe = true; // only the booker may call it until some minutes after the window
};

enum class BookingFault { None, Past, TooFar, NoLength };
// Whether a booking can be written now: its start not before now (to the minute) and at most a
// year ahead, a window of at least a minute.
BookingFault checkBooking(const Booking& b, const QDateTime& now);

// The call-back a customer was drawn for.
struct Booked
{
    qint64 id = -1;
    QDateTime start, end;
    QString booker; // full name
    QString remark;
    bool due = true; // false: its window is still to come (the customer was drawn by number)
};

// When a project's state draws may run. A window is "HH:mm" to "HH:mm", start inclusive, end
// exclusive; an empty (or unusable) one means any time.
struct CallingHours
{
    QString weekdayStart, weekdayEnd, weekendStart, weekendEnd;
    int graceMinutes = 30; // after a window's end an own-only call-back becomes anyone's

    bool open(const QDateTime& now) const;
    // The first moment from now on at which calling is allowed (now itself when open).
    QDateTime resumes(const QDateTime& now) const;
};

// The project's calling hours (the defaults when it has none).
CallingHours callingHours(db::Connection& con, int ywbh);
void saveCallingHours(db::Connection& con, int ywbh, const CallingHours& h);

// A project's rule for one ending word: the least minutes before the customer may be drawn
// again (0: at once) and the largest number of calls (0: no limit).
struct RetryRule
{
    int delayMinutes = 0;
    int maxCalls = 0;
};
RetryRule retryRule(db::Connection& con, int ywbh, const QString& word);
void saveRetryRule(db::Connection& con, int ywbh, const QString& word, const RetryRule& r);

// "到期预约": the open call-backs of the project that operator uname may draw now, own and
// anyone's.
qint64 dueCount(db::Connection& con, int ywbh, const QString& uname, const QDateTime& now);

// The open call-back of a customer, if any (drawing by number tells of it).
std::optional<Booked> openBooking(db::Connection& con, qint64 yhid, const QDateTime& now);

} // namespace ops::visit
