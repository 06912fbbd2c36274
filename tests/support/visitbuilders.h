#pragma once

// Projects, questionnaires and customers for the visit tests, on either test database
// (tst::TestDb for windows, tst::OpsDb for operations). Qt Core only.
#include "db/sqlvalue.h"

#include <QString>

namespace vt {

inline QString q(const QString& s)
{
    return db::quoted(s);
}

// Runs the builders in f as one transaction: one write to the disk instead of one per row.
template <class Db, class F> auto batch(Db& db, F f)
{
    db.exec(QStringLiteral("begin"));
    try {
        auto made = f();
        db.exec(QStringLiteral("commit"));
        return made;
    } catch (...) {
        db.exec(QStringLiteral("rollback"));
        throw;
    }
}

template <class Db> int addProject(Db& db, const QString& name, const QString& tips = QString(), int zt = 1)
{
    db.exec(QStringLiteral("insert into t_ywbh(ywname,ywtips,zt) values(%1,%2,%3)").arg(q(name), q(tips)).arg(zt));
    return db.scalar(QStringLiteral("select max(ywbh) from t_ywbh")).toInt();
}

template <class Db> qint64 addQuestion(Db& db, int ywbh, int qbh, const QString& qnr)
{
    db.exec(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(%1,%2,%3)").arg(ywbh).arg(qbh).arg(q(qnr)));
    return db.scalar(QStringLiteral("select max(qid) from q_table")).toLongLong();
}

// gotoq as statement text, so that a test can store null.
template <class Db> void addOption(Db& db, qint64 qid, const QString& sel, const QString& gotoq)
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

template <class Db> qint64 addCustomer(Db& db, int ywbh, const Cust& c)
{
    const QString who = c.zdslz.isEmpty() ? QStringLiteral("null") : q(c.zdslz);
    db.exec(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dq,dz,dhhm1,xxzl,sljg,zdslz,zdslzxm,del) "
                           "values(%1,1,1,%2,'区域','地址',%3,'详细',%4,%5,%6,%7)")
                .arg(ywbh)
                .arg(q(c.yhxm), q(c.dhhm1), q(c.sljg), who, who)
                .arg(c.del));
    return db.scalar(QStringLiteral("select max(id) from yhda")).toLongLong();
}

template <class Db> qint64 addCustomer(Db& db, int ywbh, const QString& dhhm1)
{
    Cust c;
    c.dhhm1 = dhhm1;
    return addCustomer(db, ywbh, c);
}

template <class Db> QString state(Db& db, qint64 id)
{
    return db.scalar(QStringLiteral("select sljg from yhda where id=%1").arg(id)).toString();
}

// The latest answer of the customer to the question, and how many there are.
template <class Db> QString answerText(Db& db, qint64 qid, qint64 yhid)
{
    return db
        .scalar(QStringLiteral("select ans from q_ans where qid=%1 and yhid=%2 order by id desc").arg(qid).arg(yhid))
        .toString();
}

template <class Db> qint64 answers(Db& db, qint64 qid, qint64 yhid)
{
    return db.count(QStringLiteral("q_ans"), QStringLiteral("qid=%1 and yhid=%2").arg(qid).arg(yhid));
}

// A project with five questions numbered 10..50: 10 -> 20 -> 30 (or 10 -> 30 skipping 20),
// 30 -> 40 or back to 30 itself, 40 -> 50, 50 -> end; 40 also has an option ending with an
// empty jump.
struct Survey
{
    int p = 0;
    qint64 q10 = 0, q20 = 0, q30 = 0, q40 = 0, q50 = 0;
};

template <class Db> Survey makeSurvey(Db& db)
{
    return batch(db, [&db] {
        Survey s;
        s.p = addProject(db, QStringLiteral("调查"), QStringLiteral("您好，这里是回访中心"));
        s.q30 = addQuestion(db, s.p, 30, QStringLiteral("问题三"));
        s.q10 = addQuestion(db, s.p, 10, QStringLiteral("问题一"));
        s.q20 = addQuestion(db, s.p, 20, QStringLiteral("问题二"));
        s.q50 = addQuestion(db, s.p, 50, QStringLiteral("问题五"));
        s.q40 = addQuestion(db, s.p, 40, QStringLiteral("问题四"));
        addOption(db, s.q10, QStringLiteral("满意"), QStringLiteral("20"));
        addOption(db, s.q10, QStringLiteral("不满意"), QStringLiteral("30"));
        addOption(db, s.q20, QStringLiteral("是"), QStringLiteral("30"));
        addOption(db, s.q30, QStringLiteral("继续"), QStringLiteral("40"));
        addOption(db, s.q30, QStringLiteral("再问一次"), QStringLiteral("30"));
        addOption(db, s.q40, QStringLiteral("好"), QStringLiteral("50"));
        addOption(db, s.q40, QStringLiteral("结束"), QStringLiteral("null"));
        addOption(db, s.q50, QStringLiteral("完成"), QStringLiteral("0"));
        return s;
    });
}

// Quotes and statement pieces in every text a call shows or writes: a project with two
// questions (1 -> 2 -> end), a customer of the operator "o'b" and an unassigned one.
struct Hostile
{
    int p = 0;
    qint64 q1 = 0, q2 = 0, id = 0, id2 = 0;
    QString tips = QStringLiteral("提示'; drop table yhda; --");
    QString option = QStringLiteral("是'); delete from q_ans; --");
    QString option2 = QStringLiteral("否\\'");
    QString remark = QStringLiteral("it's \"quoted\" \\ back; --comment 中文'); drop table visitlog;--");
    QString truename = QStringLiteral("O'Brien \\ 王");
    Cust c{QStringLiteral("138'0000"), QStringLiteral("未受理"), QStringLiteral("o'b"), QStringLiteral("张'三")};
};

template <class Db> Hostile makeHostile(Db& db)
{
    return batch(db, [&db] {
        Hostile h;
        h.p = addProject(db, QStringLiteral("项目'1"), h.tips);
        h.q1 = addQuestion(db, h.p, 1, QStringLiteral("问'题"));
        addOption(db, h.q1, h.option, QStringLiteral("2"));
        h.q2 = addQuestion(db, h.p, 2, QStringLiteral("第二"));
        addOption(db, h.q2, h.option2, QStringLiteral("0"));
        h.id = addCustomer(db, h.p, h.c);
        h.id2 = addCustomer(db, h.p, QStringLiteral("13800000002"));
        return h;
    });
}

} // namespace vt
