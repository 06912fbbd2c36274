#pragma once

// Questionnaires for the visit tests, built with the builders of support/builders.h on either
// test database (tst::TestDb for windows, tst::OpsDb for operations). Qt Core only.
#include "db/sqlvalue.h"
#include "support/builders.h"

#include <QString>

namespace vt {

using tst::addCustomer;
using tst::addOption;
using tst::addProject;
using tst::addQuestion;
using tst::Cust;

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

template <class Db> QString state(Db& db, qint64 id)
{
    return db.con().scalar(QStringLiteral("select sljg from yhda where id=?"), {id}).toString();
}

// The latest answer of the customer to the question, and how many there are.
template <class Db> QString answerText(Db& db, qint64 qid, qint64 yhid)
{
    return db.con()
        .scalar(QStringLiteral("select ans from q_ans where qid=? and yhid=? order by id desc"), {qid, yhid})
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
    qint64 p = 0;
    qint64 q10 = 0, q20 = 0, q30 = 0, q40 = 0, q50 = 0;
};

template <class Db> Survey makeSurvey(Db& db)
{
    return batch(db, [&db] {
        Survey s;
        s.p = addProject(db.con(), QStringLiteral("调查"), QStringLiteral("您好，这里是回访中心"));
        s.q30 = addQuestion(db.con(), s.p, 30, QStringLiteral("问题三"));
        s.q10 = addQuestion(db.con(), s.p, 10, QStringLiteral("问题一"));
        s.q20 = addQuestion(db.con(), s.p, 20, QStringLiteral("问题二"));
        s.q50 = addQuestion(db.con(), s.p, 50, QStringLiteral("问题五"));
        s.q40 = addQuestion(db.con(), s.p, 40, QStringLiteral("问题四"));
        addOption(db.con(), s.q10, QStringLiteral("满意"), 20);
        addOption(db.con(), s.q10, QStringLiteral("不满意"), 30);
        addOption(db.con(), s.q20, QStringLiteral("是"), 30);
        addOption(db.con(), s.q30, QStringLiteral("继续"), 40);
        addOption(db.con(), s.q30, QStringLiteral("再问一次"), 30);
        addOption(db.con(), s.q40, QStringLiteral("好"), 50);
        addOption(db.con(), s.q40, QStringLiteral("结束"), QVariant());
        addOption(db.con(), s.q50, QStringLiteral("完成"), 0);
        return s;
    });
}

// Quotes and statement pieces in every text a call shows or writes: a project with two
// questions (1 -> 2 -> end), a customer of the operator "o'b" and an unassigned one.
struct Hostile
{
    qint64 p = 0;
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
        h.p = addProject(db.con(), QStringLiteral("项目'1"), h.tips);
        h.q1 = addQuestion(db.con(), h.p, 1, QStringLiteral("问'题"));
        addOption(db.con(), h.q1, h.option, 2);
        h.q2 = addQuestion(db.con(), h.p, 2, QStringLiteral("第二"));
        addOption(db.con(), h.q2, h.option2, 0);
        h.id = addCustomer(db.con(), h.p, h.c);
        h.id2 = addCustomer(db.con(), h.p, QStringLiteral("13800000002"));
        return h;
    });
}

} // namespace vt
