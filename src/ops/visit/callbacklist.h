#pragma once

#include "db/statement.h"
#include "ops/common/oplog.h"

#include <QDateTime>
#include <QString>

namespace db {
class Connection;
}

// The call-back list: open call-backs due, overdue or still to come, and closed ones, earliest
// first; an administrator reassigns or cancels them. Database work only; throws db::Error.
namespace ops::visit {

enum class CallBackKind { Due, Overdue, Future, Closed };

struct CallBackFilter
{
    int ywbh = -1;        // -1: every project
    QString operatorName; // who may call it (login name); empty: anybody's
    CallBackKind kind = CallBackKind::Due;
    // An operator sees their own and anyone's; an administrator (empty viewer) sees all.
    QString viewer;
};

// The list's statement at the time now: columns ywname, dhhm, yhxm, kssj, jssj, yyzxm, hfz, zyw
// ("是"/"否"), bz, ztw (the state as a word), yysj, and id.
db::Statement callBackList(const CallBackFilter& f, const QDateTime& now);

enum class Changed { Done, NotOpen, NoSuchOperator };
// Gives an open call-back to the operator with this login name (empty: to anyone), with the
// operation log's row, in one transaction.
Changed reassignCallBack(db::Connection& con, qint64 id, const QString& uname, const Who& who);
// Cancels an open call-back and lets its customer be drawn again, with the log row.
Changed cancelCallBack(db::Connection& con, qint64 id, const Who& who);

} // namespace ops::visit
