// The same statements on the file and on the server give the same results: every statement form
// the translation handles, the views and the kept figures, over the same rows.
#include "support/serverdb.h"

#include "db/connection.h"
#include "db/schema.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"

#include <QDir>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TstEngines : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sameResults_data();
    void sameResults();
    void sameBoundResults_data();
    void sameBoundResults();
    void lastInsertedKey();
    void keptStatementsAcrossSessions();

private:
    QTemporaryDir m_dir;
    db::Connection m_file{"engines.file"};
    db::Connection m_server{"engines.server"};
    std::unique_ptr<tst::ServerDb> m_serverDb;
};

namespace {

// The same rows on both: projects, operators, customers in several states, answers over two
// calls, visits, log rows; times given, so that both hold the very same.
const char* const kRows[] = {
    "insert into t_ywbh(ywname,ywtips) values('项目A','tip'),('Project b','')",
    "insert into syslogin(uname,truename,tp,zt) "
    "values('Op1','话务员一','话务员',0),('op2','二','话务员',1)",
    "insert into yhda(ywbh,pc,xh,yhxm,dq,dhhm1,sljg,jg,slz,slsj,drsj) values"
    "(1,1,1,'xABy','北京','13800000001','已受理','成功','Op1','2024-01-02 03:04:05','2024-01-01 08:00:00'),"
    "(1,1,2,'张三','上海','13800000002','关机',null,'op1','2024-01-02 23:59:59','2024-01-01 08:00:00'),"
    "(1,1,3,'abc','','13800000003','未受理',null,'',null,'2024-01-01 08:00:00'),"
    "(1,2,1,'O''Brien','x','13800000004','已受理','失败','op2','2024-01-03 00:00:00','2024-01-03 08:00:00'),"
    "(2,1,1,'李四','y','13800000005','拒访',null,'op2','2024-01-03','2024-01-03 08:00:00')",
    "insert into yhda(ywbh,yhxm,del) values(1,'deleted',1)",
    "update yhda set zdslz='Op1', zdslzxm='话务员一' where id=3",
    "insert into q_table(ywbh,qbh,qnr) values(1,1,'问题一'),(1,2,'问题二')",
    "insert into q_sel(qid,sel,gotoq) values(1,'是',2),(1,'否',0)",
    "insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) values"
    "(1,'13800000001',1,'是','Op1',10,'2024-01-02 03:04:05'),(2,'13800000001',1,'好','Op1',25,'2024-01-02 03:04:30'),"
    "(1,'13800000001',1,'否','Op1',4,'2024-01-05 10:00:00'),(1,'13800000004',4,'是','op2',7,'2024-01-03 00:00:00')",
    "insert into visitlog(ywbh,dhhm,slz,sljg,bz,vtime) values(1,'13800000001','Op1','已受理','b','2024-01-02 "
    "03:05:00')",
    "insert into syslog(uname,truename,dt,logcon) values('Op1','话务员一','2024-01-02 03:00:00','登录系统')",
    "update [option] set jgts=3",
};

// A result as text, row by row, the way the windows show values (the windows find columns by
// the names the statements give them; an unnamed expression's name is the engine's own).
QString rendered(db::Connection& con, const QString& sql, const QVariantList* values = nullptr)
{
    try {
        QSqlQuery q = values ? con.select(sql, *values, true) : con.select(sql, true);
        QStringList rows;
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i)
                cells << db::displayText(q.value(i));
            rows << cells.join(u'|');
        }
        return rows.join(u'\n');
    } catch (const db::Error& e) {
        return QStringLiteral("error: ") + e.text();
    }
}

} // namespace

void TstEngines::initTestCase()
{
    if (!tst::onServer())
        QSKIP("compares the file with the server: runs as tst_engines_pg");
    const QString path = QDir(m_dir.path()).filePath("dhyx.dat");
    QVERIFY(db::createDatabase(path));
    m_file.open(path);
    m_serverDb = std::make_unique<tst::ServerDb>();
    QVERIFY(m_serverDb->ok());
    m_server.openServer(m_serverDb->params());
    for (db::Connection* con : {&m_file, &m_server}) {
        db::Transaction t(*con);
        for (const char* sql : kRows)
            con->execute(QString::fromUtf8(sql));
        t.commit();
    }
}

void TstEngines::sameResults_data()
{
    QTest::addColumn<QString>("jet");
    auto row = [](const char* name, const char* sql) { QTest::newRow(name) << QString::fromUtf8(sql); };
    row("top", "select top 2 yhxm from yhda order by id desc");
    row("iif", "select uname, iif(zt=0, '启用' , '停用' ) as flagname from  syslogin order by id");
    row("plus text", "select ywname + '-' + yhxm as t from yhdaview order by id");
    row("str round percent",
        "select str(round((SUM(iif(jg='成功' , 1 , 0 ))* 100.0/(iif(sum(iif(sljg ='已受理' , 1 , 0 ))>0 "
        ",SUM(iif(sljg ='已受理' , 1 , 0 )),100000))),2)) + '%' AS cgl from hwtjview2");
    row("str", "select str(12), str(-3), str(0.5), str(id) from yhda order by id");
    row("round hours", "select round(SUM(tottime)/3600.0,2) AS tott from hwtjview2");
    row("integer division", "select 7/2 as a, count(*)/2 as b from yhda");
    row("format", "select format(slsj,'yyyymmdd') as d, format(slsj,'yyyy-mm-dd hh:nn:ss') as t, "
                  "format(slsj,'yy/m/d h:mm') as s from yhda order by id");
    row("day range", "select id from yhda where format(slsj,'yyyymmdd')>='20240102' and "
                     "format(slsj,'yyyymmdd')<='20240102' order by id");
    row("day equal", "select id from yhda where format(slsj,'yyyymmdd')='20240103' order by id");
    row("day strict", "select id from q_ans where format(dt,'yyyymmdd')>'20240102' order by id");
    row("option", "select jgts from [option]");
    row("login any case", "select  uname  from syslogin where zt=0 and  uname='OP1'");
    row("equality any case", "select id from yhda where slz='OP1' order by id");
    row("like any case", "select id from yhda where yhxm like '%ab%' order by id");
    row("like wildcards", "select id from yhda where dhhm1 like '1380000000_' and yhxm not like '%李%' order by id");
    row("null sum", "select (max(pc)+1) as pcnum from yhda where ywbh=9");
    row("rnd per row", "select count(*) from yhda where rnd(1000) >= 0 and rnd(1000) < 1");
    row("count by state", "select sljg, count(*) as n from yhdaview group by sljg order by sljg");
    row("yhdaview", "select id,ywbh,pc,xh,yhxm,dq,dhhm1,sljg,jg,slz,slsj,zdslz,zdslzxm,del,ywname "
                    "from yhdaview order by pc desc, xh, id");
    row("visitlogview", "select * from visitlogview order by id");
    row("hfjgview", "select * from hfjgview order by id desc");
    row("qview", "select * from qview order by ywbh,qbh");
    row("q_ansview", "select * from q_ansview order by qid, slsj");
    row("qansbbview", "select * from qansbbview order by id");
    row("hwtjview2 talk time", "select * from hwtjview2 order by id");
    row("hwtjsumview", "select * from hwtjsumview order by ywbh, slz, slsj, sljg, jg");
    row("q_anssumview", "select * from q_anssumview order by qid, slz, ans, slsj");
    row("yhda_tally", "select ywbh, sljg, zk, sum(n) from yhda_tally group by ywbh, sljg, zk having sum(n) <> 0"
                      " order by ywbh, sljg, zk");
    row("stats by operator",
        "SELECT ywname, ywbh, slz,count(*) as totnum, SUM(iif(sljg ='已受理' , 1 , 0 )) AS jtgs FROM hwtjview2 "
        "GROUP BY ywbh, ywname, slz order by ywbh, slz");
}

void TstEngines::sameResults()
{
    QFETCH(QString, jet);
    const QString onFile = rendered(m_file, jet);
    QVERIFY2(!onFile.startsWith("error:"), qPrintable(onFile));
    QCOMPARE(rendered(m_server, jet), onFile);
}

void TstEngines::sameBoundResults_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QVariantList>("values");
    QTest::newRow("text key any case") << "select id from syslogin where uname=?" << QVariantList{"OP1"};
    QTest::newRow("number as text") << "select yhxm from yhda where id=?" << QVariantList{"4"};
    QTest::newRow("like bound") << "select id from yhda where yhxm like ? order by id" << QVariantList{"%b%"};
    QTest::newRow("null") << "select count(*) from yhda where zdslz=? or ?=''" << QVariantList{QVariant(), ""};
    QTest::newRow("hostile") << "select count(*) from yhda where yhxm=? or yhxm=?"
                             << QVariantList{"O'Brien", "'; delete from yhda; --"};
}

void TstEngines::sameBoundResults()
{
    QFETCH(QString, jet);
    QFETCH(QVariantList, values);
    const QString onFile = rendered(m_file, jet, &values);
    QVERIFY2(!onFile.startsWith("error:"), qPrintable(onFile));
    QCOMPARE(rendered(m_server, jet, &values), onFile);
    // Kept statements give the same first row, also when run again (prepared before on the server).
    for (int run = 0; run < 2; ++run) {
        const QSqlRecord file = m_file.firstRowKept(jet, values);
        const QSqlRecord server = m_server.firstRowKept(jet, values);
        QCOMPARE(server.isEmpty(), file.isEmpty());
        if (!file.isEmpty())
            QCOMPARE(db::displayText(server.value(0)), db::displayText(file.value(0)));
    }
}

void TstEngines::lastInsertedKey()
{
    for (db::Connection* con : {&m_file, &m_server}) {
        db::Transaction t(*con);
        con->execute("insert into syslogin(uname,truename) values('k','k')");
        QCOMPARE(con->scalar("select last_insert_rowid()").toLongLong(),
                 con->scalar("select max(id) from syslogin").toLongLong());
    }
}

void TstEngines::keptStatementsAcrossSessions()
{
    const QString count = "select count(*) from yhda where ywbh=?";
    const qint64 n = m_server.firstRowKept(count, {1}).value(0).toLongLong();
    QVERIFY(n > 0);
    // A new session: what was prepared in the old one went with it, and is prepared again.
    m_server.openServer(m_serverDb->params());
    QCOMPARE(m_server.firstRowKept(count, {1}).value(0).toLongLong(), n);
    // A run that fails says why and leaves the statement usable.
    const QString divided = "select count(*) from yhda where ywbh=? and 1/?=1";
    QVERIFY_THROWS_EXCEPTION(db::Error, m_server.firstRowKept(divided, {1, 0}));
    QCOMPARE(m_server.firstRowKept(divided, {1, 1}).value(0).toLongLong(), n);
    QVERIFY(m_server.firstRowKept("select id from yhda where id=?", {-1}).isEmpty());
}

QTEST_GUILESS_MAIN(TstEngines)
#include "tst_engines.moc"
