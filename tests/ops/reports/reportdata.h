#pragma once

// Builders of projects, questions, customers and answers for the report tests.
#include "db/connection.h"
#include "db/sqlvalue.h"

#include <QString>
#include <QVariant>

namespace tst::reports {

inline qint64 lastId(db::Connection& con)
{
    return con.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
}

inline qint64 addProject(db::Connection& con, const QString& name)
{
    con.execute(QStringLiteral("insert into t_ywbh(ywname) values(?)"), {name});
    return lastId(con);
}

inline qint64 addQuestion(db::Connection& con, qint64 ywbh, int qbh, const QString& qnr)
{
    con.execute(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(?,?,?)"), {ywbh, qbh, qnr});
    return lastId(con);
}

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
