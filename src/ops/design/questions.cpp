#include "ops/design/questions.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"

namespace ops::design {

db::Statement questionListQuery(const QString& projectName)
{
    if (projectName.isEmpty())
        return {QStringLiteral("select * from qview order by ywbh,qbh "), {}};
    return {QStringLiteral("select * from qview where ywname=? order by ywbh,qbh "), {projectName}};
}

qint64 nextQuestionNumber(db::Connection& con, qint64 ywbh)
{
    const QVariant next = con.scalar(QStringLiteral("select (max(qbh)+1) as qbhm from q_table where ywbh=?"), {ywbh});
    return next.isNull() ? 1 : next.toLongLong();
}

qint64 addQuestion(db::Connection& con, const Who& who, qint64 ywbh, const QString& projectName, const QString& qnr,
                   int qbh, const QString& typedNumber)
{
    db::Transaction t(con);
    con.execute(QStringLiteral("insert into q_table(ywbh,qnr,qbh) values(?,?,?)"), {ywbh, qnr, qbh});
    const qint64 qid = con.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
    writeLog(con, who, QStringLiteral("为项目:") + projectName + QStringLiteral("添加问题:") + typedNumber);
    t.commit();
    return qid;
}

void changeQuestion(db::Connection& con, qint64 qid, const QString& qnr, int qbh)
{
    con.execute(QStringLiteral("update q_table set qnr=?,qbh=? where qid=?"), {qnr, qbh, qid});
}

void deleteQuestion(db::Connection& con, const Who& who, qint64 qid, const QString& qnr, const QString& projectName)
{
    db::Transaction t(con);
    con.execute(QStringLiteral("delete from q_table where qid=?"), {qid});
    writeLog(con, who, QStringLiteral("删除问题：") + qnr + QStringLiteral("(项目:") + projectName + u')');
    t.commit();
}

} // namespace ops::design
