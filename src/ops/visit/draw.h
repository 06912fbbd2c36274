#pragma once

#include "ops/visit/callback.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace db {
class Connection;
}

// Drawing and locking customers, and the visit window's two counters. Database work only
// (no windows): the visit window and the tests run the same statements.
// Every function throws db::Error.
namespace ops::visit {

// One customer record as the visit window shows it. sljg is the state read before the lock.
struct Customer
{
    qint64 id = -1;
    QString dhhm1;
    QString yhxm;
    QString dz;
    QString dq;
    QString xxzl;
    QString sljg;
    // Until when it was kept back from the draw before the lock (kcsj; empty: not kept back),
    // given back when the operator lets it go without an ending.
    QString waitedUntil;
    // The call-back it was drawn for.
    std::optional<Booked> booked;
};

// A draw by state: the customer, or none; when none because the project's calling hours are
// over, the time they resume.
struct Drawn
{
    std::optional<Customer> customer;
    std::optional<QDateTime> resumes;
};

// The draw of the visit window. Due call-backs come first whatever the state (except the lock
// state "正在受理", which keeps its own rule): the operator's own, earliest first, then
// anyone's (no owner, or an own-only one whose owner let it pass the project's minutes after
// its window), earliest first; then, within the project's calling hours, the state draw:
//
// A live customer of the project in the given state that is assigned to uname, or else to
// nobody, at random among equals (each equally likely, whatever the ids), locked as "正在受理".
// Customers kept back (a retry delay, a call-back still to come, the limit of calls) are passed
// over; those whose time has come are let back first. The lock is one conditional update, so
// when another window or another program takes the same customer between the look and the
// lock, this draw sees no change and looks again: two seats never hold the same customer
// (except when the state asked for is the lock itself), nor the same call-back, whose customer
// is what they lock. On a server the look and the lock are one statement that passes over
// customers other seats are locking at that moment instead of waiting for them.
Drawn drawByState(db::Connection& con, int ywbh, const QString& state, const QString& uname, const QDateTime& now);

// The same as drawByState at the present time, without the reason for none.
std::optional<Customer> claimByState(db::Connection& con, int ywbh, const QString& state, const QString& uname);

// Draws the live customer of the project with this number in any of its four number
// columns, whatever its state and assignment, and locks it.
std::optional<Customer> claimByNumber(db::Connection& con, int ywbh, const QString& number);

// "总计未受理量": customers of the project assigned to uname or to nobody that are not yet
// handled or are being handled. Read from the counts kept by the database itself.
qint64 pendingCount(db::Connection& con, int ywbh, const QString& uname);

// "您的今日回访量": customers of the project whose last handling was by this operator today.
qint64 todayCount(db::Connection& con, int ywbh, const QString& truename);

// Draw keys that a writer of many records gives them itself (the import), each the group's last
// drawn key plus an exponential gap, as the database would give them (see schema.sql), so that
// it does not write each record a second time. Read the base in each transaction before the
// records: a key below the group's last drawn key (a draw committed since the base was read) is
// given anew by the database, which costs that write but never the draw's fairness.
class EntryKeys
{
public:
    EntryKeys();
    // The group: the project's customers in this state that are assigned to nobody. Throws
    // db::Error.
    void readBase(db::Connection& con, qint64 ywbh, const QString& sljg);
    double next();

private:
    QRandomGenerator64 m_random;
    double m_base = 0;
};

} // namespace ops::visit
