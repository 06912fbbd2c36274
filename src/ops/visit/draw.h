#pragma once

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
};

// Draws a live customer of the project in the given state that is assigned to uname, or
// else to nobody, at random among equals (each equally likely, whatever the ids), and locks it
// as "正在受理". The lock is one conditional update, so when another window or another program
// takes the same customer between the look and the lock, this draw sees no change and looks
// again: two seats never hold the same customer (except when the state asked for is the lock
// itself). On a server the look and the lock are one statement that passes over customers
// other seats are locking at that moment instead of waiting for them.
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
