#pragma once

// Customers and answers as the report tests need them, beside the shared builders.
#include "db/connection.h"
#include "db/sqlvalue.h"
#include "support/builders.h"

#include <QString>
#include <QVariant>

namespace tst::reports {

using tst::addProject;
using tst::addQuestion;
using tst::lastId;

// A customer record; sljg "未受理" and an empty slsj make a never-handled one.
inline qint64 addCustomer(db::Connection& con, qint64 ywbh, const QString& slz, const QString& sljg,
                          const QVariant& jg = QVariant(), const QVariant& slsj = QVariant(),
                          const QString& name = QStringLiteral("客户"))
{
    con.execute(QStringLiteral("insert into yhda(ywbh,yhxm,dhhm1,slz,sljg,jg,slsj) values(?,?,'13900000000',?,?,?,?)"),
                {ywbh, name, slz, sljg, jg, slsj});
    return lastId(con);
}

inline qint64 addAnswer(db::Connection& con, qint64 qid, qint64 yhid, const QString& ans, const QString& slz,
                        int tottime = 0, const QString& dt = QStringLiteral("2024-03-05 10:00:00"))
{
    con.execute(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) values(?,'',?,?,?,?,?)"),
                {qid, yhid, ans, slz, tottime, dt});
    return lastId(con);
}

} // namespace tst::reports
