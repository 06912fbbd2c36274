#include "ops/visit/callbacklist.h"

#include "db/connection.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "ops/visit/callback.h"

#include <QSqlRecord>

namespace ops::visit {

db::Statement callBackList(const CallBackFilter& f, const QDateTime& now)
{
    const QString at = stamp(now);
    db::Statement s;
    s.sql = QStringLiteral(
        "select t_ywbh.ywname as ywname,hfyy.dhhm as dhhm,yhda.yhxm as yhxm,hfyy.kssj as kssj,hfyy.jssj as jssj,"
        "hfyy.yyzxm as yyzxm,hfyy.hfz as hfz,iif(hfyy.zy=1,'是','否') as zyw,hfyy.bz as bz,"
        "iif(hfyy.zt=0,'待回访',iif(hfyy.zt=1,'已回访','已取消')) as ztw,hfyy.yysj as yysj,hfyy.id as id "
        "from hfyy left join t_ywbh on t_ywbh.ywbh=hfyy.ywbh left join yhda on yhda.id=hfyy.yhid where ");
    switch (f.kind) {
    case CallBackKind::Due:
        s.add(QStringLiteral("hfyy.zt=0 and hfyy.kssj<=?"), at).add(QStringLiteral(" and hfyy.jssj>?"), at);
        break;
    case CallBackKind::Overdue:
        s.add(QStringLiteral("hfyy.zt=0 and hfyy.jssj<=?"), at);
        break;
    case CallBackKind::Future:
        s.add(QStringLiteral("hfyy.zt=0 and hfyy.kssj>?"), at);
        break;
    case CallBackKind::Closed:
        s.sql += QStringLiteral("hfyy.zt<>0");
        break;
    }
    if (f.ywbh >= 0)
        s.sql += QStringLiteral(" and hfyy.ywbh=") + db::num(f.ywbh);
    if (!f.operatorName.isEmpty())
        s.add(QStringLiteral(" and hfyy.hfz=?"), db::text(f.operatorName));
    if (!f.viewer.isEmpty())
        s.add(QStringLiteral(" and (hfyy.hfz=?"), db::text(f.viewer))
            .add(QStringLiteral(" or hfyy.hfz is null or hfyy.gksj<=?)"), at);
    s.sql += QStringLiteral(" order by hfyy.kssj,hfyy.id");
    return s;
}

namespace {

// The open call-back's customer, number and project; none when it is not open.
QSqlRecord openOne(db::Connection& con, qint64 id)
{
    return con.firstRowKept(QStringLiteral("select yhid,dhhm,ywbh,kssj,jssj from hfyy where id=? and zt=0"), {id});
}

} // namespace

Changed reassignCallBack(db::Connection& con, qint64 id, const QString& uname, const Who& who)
{
    db::Transaction t(con);
    const QSqlRecord row = openOne(con, id);
    if (row.isEmpty())
        return Changed::NotOpen;
    if (!uname.isEmpty() &&
        con.scalar(QStringLiteral("select count(*) from syslogin where uname=?"), {db::text(uname)}).toLongLong() == 0)
        return Changed::NoSuchOperator;
    QVariant owner{QMetaType(QMetaType::QString)};
    if (!uname.isEmpty())
        owner = db::text(uname);
    // To anyone: anyone's from its start; to an operator: theirs for good (an administrator's
    // choice outlasts the booker's grace minutes), and the customer waits for its window.
    const QString anyones = uname.isEmpty() ? row.value(3).toString() : kNeverAgain;
    con.execute(
        QStringLiteral("update hfyy set hfz=?,gpz=?,gksj=?,zy=? where id=?"),
        {owner, uname.isEmpty() ? QStringLiteral("任何人") : db::text(uname), anyones, uname.isEmpty() ? 0 : 1, id});
    con.execute(QStringLiteral("update yhda set kcsj=? where id=?"), {anyones, row.value(0)});
    writeLog(
        con, who,
        QStringLiteral("改派预约回访:%1 %2 给%3")
            .arg(row.value(1).toString(), row.value(3).toString(), uname.isEmpty() ? QStringLiteral("任何人") : uname));
    t.commit();
    return Changed::Done;
}

Changed cancelCallBack(db::Connection& con, qint64 id, const Who& who)
{
    db::Transaction t(con);
    const QSqlRecord row = openOne(con, id);
    if (row.isEmpty())
        return Changed::NotOpen;
    con.execute(QStringLiteral("update hfyy set zt=2 where id=?"), {id});
    // No longer kept back for it.
    con.execute(QStringLiteral("update yhda set kcsj=null where id=?"), {row.value(0)});
    writeLog(con, who, QStringLiteral("取消预约回访:%1 %2").arg(row.value(1).toString(), row.value(3).toString()));
    t.commit();
    return Changed::Done;
}

} // namespace ops::visit
