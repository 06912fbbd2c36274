#include "support/builders.h"

#include "db/password.h"
#include "db/roles.h"
#include "db/vocab.h"

#include <QThread>

namespace tst {

qint64 lastId(db::Connection& con)
{
    return con.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
}

qint64 addProject(db::Connection& con, const QString& name, const QString& tips, int zt)
{
    con.execute(QStringLiteral("insert into t_ywbh(ywname,ywtips,zt) values(?,?,?)"), {name, tips, zt});
    return lastId(con);
}

qint64 addQuestion(db::Connection& con, qint64 ywbh, int qbh, const QString& qnr)
{
    con.execute(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(?,?,?)"), {ywbh, qbh, qnr});
    return lastId(con);
}

qint64 addOption(db::Connection& con, qint64 qid, const QString& sel, const QVariant& gotoq)
{
    con.execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(?,?,?)"), {qid, sel, gotoq});
    return lastId(con);
}

qint64 addCustomer(db::Connection& con, qint64 ywbh, const Cust& c)
{
    const QVariant who = c.zdslz.isEmpty() ? QVariant() : QVariant(c.zdslz);
    con.execute(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dq,dz,dhhm1,xxzl,sljg,zdslz,zdslzxm,del) "
                               "values(?,1,1,?,'区域','地址',?,'详细',?,?,?,?)"),
                {ywbh, c.yhxm, c.dhhm1, c.sljg, who, who, c.del});
    return lastId(con);
}

qint64 addCustomer(db::Connection& con, qint64 ywbh, const QString& dhhm1)
{
    Cust c;
    c.dhhm1 = dhhm1;
    return addCustomer(con, ywbh, c);
}

qint64 addOperator(db::Connection& con, const QString& uname, const QString& truename, const QString& pwd,
                   const QString& tp, int zt)
{
    if (con.engine() != db::Engine::PostgreSQL) {
        con.execute(QStringLiteral("insert into syslogin(uname,truename,pwd,tp,zt) values(?,?,?,?,?)"),
                    {uname, truename, db::passwordHash(pwd), tp, zt});
        return lastId(con);
    }
    const QString role = db::roleName(uname);
    con.execute(QStringLiteral("insert into syslogin(uname,truename,rolname,tp,zt) values(?,?,?,?,?)"),
                {uname, truename, role, tp, zt});
    const qint64 id = lastId(con);
    // Roles belong to the whole test server: another test may be making the same one right now.
    for (int attempt = 0;; ++attempt) {
        try {
            con.scalar(QStringLiteral("select tv_seat_role(null, ?, ?, ?, ?)"),
                       {role, db::scramVerifier(con, role, pwd), tp == vocab::kAdmin, zt == 0});
            return id;
        } catch (const db::Error&) {
            if (attempt >= 5)
                throw;
            QThread::msleep(50);
        }
    }
}

} // namespace tst
