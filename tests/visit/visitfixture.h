#pragma once

// Data and window helpers shared by the visit tests.
#include "support/testdb.h"
#include "db/sqlvalue.h"
#include "visit/clicklabel.h"
#include "visit/userhf.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace vt {

inline QString q(const QString& s)
{
    return db::quoted(s);
}

inline int addProject(tst::TestDb& db, const QString& name, const QString& tips = QString(), int zt = 1)
{
    db.exec(QStringLiteral("insert into t_ywbh(ywname,ywtips,zt) values(%1,%2,%3)").arg(q(name), q(tips)).arg(zt));
    return db.scalar(QStringLiteral("select max(ywbh) from t_ywbh")).toInt();
}

inline qint64 addQuestion(tst::TestDb& db, int ywbh, int qbh, const QString& qnr)
{
    db.exec(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(%1,%2,%3)").arg(ywbh).arg(qbh).arg(q(qnr)));
    return db.scalar(QStringLiteral("select max(qid) from q_table")).toLongLong();
}

// gotoq as statement text, so that a test can store null.
inline void addOption(tst::TestDb& db, qint64 qid, const QString& sel, const QString& gotoq)
{
    db.exec(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(%1,%2,%3)").arg(qid).arg(q(sel), gotoq));
}

struct Cust
{
    QString dhhm1;
    QString sljg = QStringLiteral("未受理");
    QString zdslz; // empty = unassigned (null)
    QString yhxm = QStringLiteral("客户");
    int del = 0;
};

inline qint64 addCustomer(tst::TestDb& db, int ywbh, const Cust& c)
{
    db.exec(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dq,dz,dhhm1,xxzl,sljg,zdslz,zdslzxm,del) "
                           "values(%1,1,1,%2,'区域','地址',%3,'详细',%4,%5,%6,%7)")
                .arg(ywbh)
                .arg(q(c.yhxm), q(c.dhhm1), q(c.sljg), c.zdslz.isEmpty() ? QStringLiteral("null") : q(c.zdslz),
                     c.zdslz.isEmpty() ? QStringLiteral("null") : q(c.zdslz))
                .arg(c.del));
    return db.scalar(QStringLiteral("select max(id) from yhda")).toLongLong();
}

inline qint64 addCustomer(tst::TestDb& db, int ywbh, const QString& dhhm1)
{
    Cust c;
    c.dhhm1 = dhhm1;
    return addCustomer(db, ywbh, c);
}

inline QString state(tst::TestDb& db, qint64 id)
{
    return db.scalar(QStringLiteral("select sljg from yhda where id=%1").arg(id)).toString();
}

// A visit window, shown (which runs its opening); freed at the end of the test unless it has
// closed itself.
struct Win
{
    QPointer<Tfrmuserhf> p;
    Win() : p(new Tfrmuserhf) { p->show(); }
    ~Win()
    {
        if (p) {
            p->approveClose();
            delete p.data();
        }
    }
    Win(const Win&) = delete;
    Win& operator=(const Win&) = delete;
    Tfrmuserhf* operator->() const { return p.data(); }
    Tfrmuserhf* data() const { return p.data(); }
};

} // namespace vt
