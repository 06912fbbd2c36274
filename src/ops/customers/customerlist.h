#pragma once

#include "db/connection.h"
#include "ops/common/daycond.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The customer records as the data management window lists them. Every function throws db::Error.
namespace ops::customers {

// The state list's first entry: no condition on the state.
inline const QString kAllStates = QStringLiteral("所有");

// The search filters. Texts are used as given (the window trims them first); empty = not given.
struct Filter
{
    qint64 ywbh = -1;
    QString state = kAllStates;
    QString phone;    // any of the four numbers, exactly
    QString assignee; // full name of the assigned operator, exactly
    DayFilter imported;
    std::optional<qint64> xhFrom;
    std::optional<qint64> xhTo;
};

// One list: what the grid opens, and which records it stands for (what the bulk actions change).
class CustomerList
{
public:
    // Every live record of every project, newest batch first (the list a window opens with).
    static CustomerList everyRecord();
    // The live records of one project that pass the filters, in the order the database gives.
    static CustomerList search(const Filter& filter);

    // The statement the grid opens.
    db::Statement statement() const;
    // The condition on yhda that selects the listed records (for counting and the bulk actions).
    db::Statement rowsCondition() const { return m_rows; }
    // The given columns of the list's last row.
    db::Statement lastRowStatement(const QString& columns) const;

private:
    db::Statement m_where; // condition on yhdaview, as the grid reads it
    db::Statement m_rows;  // the same records as a condition on yhda
    QString m_order;
    QString m_reverse;
    db::Statement m_tally; // the same records as a condition on the kept counts, when they can say
    friend qint64 count(db::Connection& con, const CustomerList& list);
};

// The search condition, pieces in the window's order; typed texts are bound values, so that no
// text typed into a filter can break or change it.
db::Statement searchCondition(const Filter& filter);

// Number of records in the list: one count statement.
qint64 count(db::Connection& con, const CustomerList& list);

// Every handling state found among the records, sorted ("select distinct sljg from yhda order by sljg").
QStringList handlingStates(db::Connection& con);

// An operator a list can be assigned to.
struct Operator
{
    QString uname;
    QString truename;
};

// Every enabled operator except the built-in one, in the order they were added.
QList<Operator> assignableOperators(db::Connection& con);

} // namespace ops::customers
