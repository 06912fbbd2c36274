// Statement translation and the Jet functions, run on a real database.
#include "support/testdb.h"
#include "support/testmain.h"

#include "db/dialect.h"
#include "db/dm.h"
#include "db/functions.h"
#include "db/sqlvalue.h"

#include <QDateTime>
#include <QSet>
#include <QSqlRecord>

class TstDialect : public QObject
{
    Q_OBJECT
private slots:
    void translate_data();
    void translate();
    void translateServer_data();
    void translateServer();
    void jetFormat_data();
    void jetFormat();
    void jetStr_data();
    void jetStr();
    void functionsInStatements();
    void rndIsDrawnPerRow();
    void topIntoAndDdlRun();
    void textEqualityIgnoresCase();
    void hostileValues_data();
    void hostileValues();
    void likeKeepsWildcards();
};

void TstDialect::translate_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sql");
    QTest::newRow("plain") << "select * from yhda where id=1" << "select * from yhda where id=1";
    QTest::newRow("top") << "select top 1 * from  yhda where ywbh=3 order by zdslz desc,rnd(1000)"
                         << "select * from  yhda where ywbh=3 order by zdslz desc,rnd(1000) limit 1";
    QTest::newRow("top 10000") << "select top 10000 * from syslog order by id desc"
                               << "select * from syslog order by id desc limit 10000";
    QTest::newRow("TOP upper") << "SELECT TOP 5 id FROM yhda" << "SELECT id FROM yhda limit 5";
    QTest::newRow("into") << "select  ywname,yhxm,dhhm1 into tmp from yhdaview  where  ywbh=1"
                          << "create table tmp as select  ywname,yhxm,dhhm1  from yhdaview  where  ywbh=1";
    QTest::newRow("into scratch") << "select id into scratch.tmp from yhdaview"
                                  << "create table scratch.tmp as select id  from yhdaview";
    QTest::newRow("insert into untouched") << "insert into q_ans(qid) values(1)" << "insert into q_ans(qid) values(1)";
    QTest::newRow("plus text") << "select str(12) + '%' as x" << "select str(12) || '%' as x";
    QTest::newRow("plus numbers") << "select 1 + 2" << "select 1 + 2";
    QTest::newRow("literal untouched") << "select 'select top 1 into x + y' as t"
                                       << "select 'select top 1 into x + y' as t";
    QTest::newRow("quote in literal") << "select * from t where a='it''s top 3' and b=1"
                                      << "select * from t where a='it''s top 3' and b=1";
    QTest::newRow("option") << "select * from [option]" << "select * from [option]";
    QTest::newRow("day range") << "select * from yhdaview where 1=1 and format(drsj,'yyyymmdd')>='20130605' and "
                                  "format(slsj, 'YYYYMMDD')<='20131231' order by id"
                               << "select * from yhdaview where 1=1 and drsj>='2013-06-05' and "
                                  "slsj<'2014-01-01' order by id";
    QTest::newRow("day strict and equal") << "select 1 where format(t.dt,'yyyymmdd')>'20120228' or "
                                             "format(dt,'yyyymmdd')='20120229' or format(dt,'yyyymmdd')<'20120301'"
                                          << "select 1 where t.dt>='2012-02-29' or (dt>='2012-02-29' and "
                                             "dt<'2012-03-01') or dt<'2012-03-01'";
    QTest::newRow("day forms left alone")
        << "select 1 where format(slsj, 'yyyymmdd')= format(now(), 'yyyymmdd') and format(dt,'yyyymmdd')<>'20130605' "
           "and format(dt,'yyyymmdd')>='2013065' and format(dt,'yyyymmdd')>='20131301' and "
           "format(dt,'yyyy-mm-dd')>='2013-06-05' and x||format(dt,'yyyymmdd')>='20130605'"
        << "select 1 where format(slsj, 'yyyymmdd')= format(now(), 'yyyymmdd') and format(dt,'yyyymmdd')<>'20130605' "
           "and format(dt,'yyyymmdd')>='2013065' and format(dt,'yyyymmdd')>='20131301' and "
           "format(dt,'yyyy-mm-dd')>='2013-06-05' and x||format(dt,'yyyymmdd')>='20130605'";
    QTest::newRow("subquery into untouched")
        << "select a from (select b into c from d) x" << "select a from (select b into c from d) x";
}

void TstDialect::translate()
{
    QFETCH(QString, jet);
    QFETCH(QString, sql);
    QCOMPARE(db::translate(jet), sql);
}

void TstDialect::translateServer_data()
{
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sql");
    QTest::newRow("option") << "select jgts from [option]" << "select jgts from \"option\"";
    QTest::newRow("like") << "select 1 from syslogin where uname like '%a%' and pwd not LIKE 'b'"
                          << "select 1 from syslogin where uname ilike '%a%' escape '' and pwd not ilike 'b' escape '' order by id";
    QTest::newRow("like with its own escape") << "select 1 from x where a like 'a\\_%' escape '\\' or b like ?"
                                              << "select 1 from x where a ilike 'a\\_%' escape '\\' or b ilike ? escape ''";
    QTest::newRow("now and format") << "select format(now(),'yyyy-mm-dd'), Now ( )"
                                    << "select jetformat(jetnow(),'yyyy-mm-dd'), jetnow ( )";
    QTest::newRow("day range as on the file") << "select 1 from syslog where format(dt,'yyyymmdd')>='20130605'"
                                              << "select 1 from syslog where dt>='2013-06-05' order by id";
    QTest::newRow("text(255)") << "alter table tmp add column q1 text(255)" << "alter table tmp add column q1 text";
    QTest::newRow("last id") << "select last_insert_rowid()" << "select lastval()";
    QTest::newRow("is value") << "update yhda set x=1 where drawkey is ? and a is not ? and b is null"
                              << "update yhda set x=1 where drawkey is not distinct from ? and a is distinct from  ? and b is null";
    QTest::newRow("nulls as on the file")
        << "select * from tmp order by slsj desc, a.xh , id desc, lower(x) asc, b nulls last limit 3"
        << "select * from tmp order by slsj desc nulls last, a.xh nulls first , id desc, lower(x) asc nulls first, b nulls last limit 3";
    QTest::newRow("unary plus") << "select * from syslog where +dt>='a' and x=+ywbh and a + b>1 and (+c)"
                                << "select * from syslog where dt>='a' and x=ywbh and a + b>1 and (c) order by id";
    QTest::newRow("index nulls") << "create index tmp_slsj on tmp(slsj, pc desc, id)"
                                 << "create index tmp_slsj on tmp(slsj nulls first, pc desc nulls last, id)";
    QTest::newRow("nulls in windows") << "select lead(t) over (order by id), row_number() over (order by dt) from q"
                                      << "select lead(t) over (order by id), row_number() over (order by dt nulls first) from q";
    QTest::newRow("is subquery") << "select 1 from yhda where zdslz is (select 'a') and zdslz is null"
                                 << "select 1 from yhda where zdslz is not distinct from (select 'a') and zdslz is null order by id";
    QTest::newRow("subquery names") << "select count(*) from (select 1 from syslog where dt>='a' limit 5)"
                                    << "select count(*) from (select 1 from syslog where dt>='a' limit 5) as sub1";
    QTest::newRow("rows in key order") << "select top 3 *, iif(zt=0,'a','b') as v from t_ywbh where zt=1"
                                       << "select *, iif(zt=0,'a','b') as v from t_ywbh where zt=1 order by ywbh limit 3";
    QTest::newRow("grouped or joined left as is")
        << "select sljg from yhda group by sljg" << "select sljg from yhda group by sljg";
    QTest::newRow("joined left as is") << "select a.id from yhda a join q_ans b on a.id=b.yhid"
                                       << "select a.id from yhda a join q_ans b on a.id=b.yhid";
    QTest::newRow("key order before limit") << "select * from yhda where ywbh=1 limit 1"
                                            << "select * from yhda where ywbh=1 order by id limit 1";
    QTest::newRow("nul in text") << "select ('a'||char(0)||'b')" << "select ('a'||''||'b')";
    QTest::newRow("top into plus") << "select top 2 id into tmp from yhda where dq='x' + 'y' order by pc"
                                   << "create table tmp as select id  from yhda where dq='x' || 'y' order by pc nulls first limit 2";
    QTest::newRow("own tables") << "select id into scratch.tmp from yhdaview where scratch=1"
                                << "create table pg_temp.tmp as select id  from yhdaview where scratch=1";
    QTest::newRow("own index") << "create index scratch.tmp_slsj on tmp(slsj, id)"
                               << "create index tmp_slsj on tmp(slsj nulls first, id)";
    QTest::newRow("names and literals untouched") << "select 'like [x] now() text(255)' as t, nowish, formats from x"
                                                  << "select 'like [x] now() text(255)' as t, nowish, formats from x";
}

void TstDialect::translateServer()
{
    QFETCH(QString, jet);
    QFETCH(QString, sql);
    QCOMPARE(db::translate(jet, db::Engine::PostgreSQL), sql);
}

void TstDialect::jetFormat_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("out");
    QTest::newRow("day") << "2013-06-05 09:07:03" << "yyyymmdd" << "20130605";
    QTest::newRow("day upper") << "2013-06-05 09:07:03" << "YYYYMMDD" << "20130605";
    QTest::newRow("date only") << "2013-12-31" << "yyyymmdd" << "20131231";
    QTest::newRow("dashes") << "2013-06-05 09:07:03" << "yyyy-mm-dd" << "2013-06-05";
    QTest::newRow("time nn") << "2013-06-05 09:07:03" << "hh:nn:ss" << "09:07:03";
    QTest::newRow("minutes after hour") << "2013-06-05 09:07:03" << "hh:mm" << "09:07";
    QTest::newRow("short") << "2013-06-05 09:07:03" << "m/d/yy" << "6/5/13";
    QTest::newRow("not a date") << "abc" << "yyyymmdd" << "abc";
}

void TstDialect::jetFormat()
{
    QFETCH(QString, value);
    QFETCH(QString, pattern);
    QFETCH(QString, out);
    QCOMPARE(db::jetFormat(value, pattern), out);
}

void TstDialect::jetStr_data()
{
    QTest::addColumn<double>("n");
    QTest::addColumn<QString>("out");
    QTest::newRow("zero") << 0.0 << " 0";
    QTest::newRow("int") << 42.0 << " 42";
    QTest::newRow("negative") << -3.0 << "-3";
    QTest::newRow("fraction") << 12.5 << " 12.5";
    QTest::newRow("no trailing zeros") << 33.3 << " 33.3";
    QTest::newRow("phone") << 13800138000.0 << " 13800138000";
}

void TstDialect::jetStr()
{
    QFETCH(double, n);
    QFETCH(QString, out);
    QCOMPARE(db::jetStr(n), out);
}

void TstDialect::functionsInStatements()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    const QString now = db.scalar("select now()").toString();
    QVERIFY(QDateTime::fromString(now, "yyyy-MM-dd HH:mm:ss").isValid());
    QCOMPARE(db.scalar("select format(now(),'yyyymmdd')").toString(), QDate::currentDate().toString("yyyyMMdd"));
    QCOMPARE(db.scalar("select format('2013-06-05 23:59:59', 'yyyymmdd')").toString(), QString("20130605"));
    QVERIFY(db.scalar("select format(null,'yyyymmdd')").isNull());
    QCOMPARE(db.scalar("select iif(1=1, '启用' , '停用' )").toString(), QString("启用"));
    QCOMPARE(db.scalar("select round(2/3.0, 2)").toDouble(), 0.67);
    QCOMPARE(db.scalar("select str(round((1* 100.0/(iif(3>0 ,3,100000))),2)) + '%'").toString(), QString(" 33.33%"));
    const double r = db.scalar("select rnd(1000)").toDouble();
    QVERIFY(r >= 0.0 && r < 1.0);
    // a day filter includes both end days, 23:59 of the last one too
    db.exec("insert into syslog(uname,dt,logcon) values('a','2013-06-05 23:59:00','x')");
    db.exec("insert into syslog(uname,dt,logcon) values('a','2013-06-06 00:00:00','y')");
    QCOMPARE(db.count("syslog", "format(dt,'yyyymmdd')>='20130605' and format(dt,'yyyymmdd')<='20130605'"), 1);
    // the same whole days through the range the filters become: midnight, the last second, a
    // stamp without a time; a from-day after the to-day selects nothing
    db.exec("insert into syslog(uname,dt,logcon) values('a','2013-06-05 00:00:00','z')");
    db.exec("insert into syslog(uname,dt,logcon) values('a','2013-06-04 23:59:59','w')");
    db.exec("insert into syslog(uname,dt,logcon) values('a','2013-06-06','v')");
    QCOMPARE(db.count("syslog", "format(dt,'yyyymmdd')>='20130605' and format(dt,'yyyymmdd')<='20130605'"), 2);
    QCOMPARE(db.count("syslog", "format(dt,'yyyymmdd')>='20130605' and format(dt,'yyyymmdd')<='20130606'"), 4);
    QCOMPARE(db.count("syslog", "format(dt,'yyyymmdd')='20130606'"), 2);
    QCOMPARE(db.count("syslog", "format(dt,'yyyymmdd')>='20130606' and format(dt,'yyyymmdd')<='20130605'"), 0);
    // and the range is one an index serves
    const bool server = ADOcon().engine() == db::Engine::PostgreSQL;
    if (server)
        db.exec("set enable_seqscan = off"); // a table this small is read whole otherwise
    QSqlQuery plan = ADOcon().select(QString(server ? "explain" : "explain query plan") +
                                     " select * from syslog where format(dt,'yyyymmdd')>='20130605'");
    QString steps;
    while (plan.next())
        steps += plan.value(server ? 0 : 3).toString();
    QVERIFY2(steps.contains("syslog_dt"), qPrintable(steps));
    // max(pc)+1 on an empty table is null
    QVERIFY(db.scalar("select (max(pc)+1) as pcnum from yhda").isNull());
}

void TstDialect::rndIsDrawnPerRow()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    for (int i = 0; i < 50; ++i)
        db.exec("insert into yhda(ywbh,dhhm1) values(1,'x')");
    QSqlQuery q = ADOcon().select("select rnd(1000) as r from yhda");
    QSet<double> seen;
    while (q.next())
        seen.insert(q.value(0).toDouble());
    QVERIFY2(seen.size() > 40, "rnd must give each row its own number");
}

void TstDialect::topIntoAndDdlRun()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.exec("insert into t_ywbh(ywname) values('项目A')");
    for (int i = 1; i <= 3; ++i)
        db.exec(QString("insert into yhda(ywbh,yhxm,dhhm1) values(1,'n%1','139%1')").arg(i));
    QCOMPARE(db.scalar("select top 1 yhxm from yhda order by id desc").toString(), QString("n3"));
    try {
        db.exec("drop table tmp");
    } catch (const db::Error&) {
        // it does not exist yet: ignored, as the report does
    }
    db.exec("select  ywname,yhxm,dhhm1,id into tmp from yhdaview  where  ywbh=1");
    db.exec("alter table tmp add column q1 text(255)");
    QCOMPARE(db.count("tmp"), 3);
    QCOMPARE(db.scalar("select ywname from tmp where id=2").toString(), QString("项目A"));
    QVERIFY(db.scalar("select q1 from tmp where id=2").isNull());
    db.exec("drop table tmp");
    QCOMPARE(db.count("yhda", "dhhm2 is null"), 0); // text columns default to empty text, not null
    QCOMPARE(db.scalar("select sljg from yhda where id=1").toString(), QString("未受理"));
    QCOMPARE(db.scalar("select del from yhda where id=1").toInt(), 0);
    QVERIFY(!db.scalar("select drsj from yhda where id=1").toString().isEmpty());
    QCOMPARE(db.scalar("select zt from t_ywbh").toInt(), 1);
}

void TstDialect::textEqualityIgnoresCase()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    QCOMPARE(db.count("syslogin", "uname='ADMIN' and truename='系统管理员'"), 1);
    QCOMPARE(db.count("syslogin", "uname like '%dmi%'"), 1);
}

void TstDialect::hostileValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("quote") << "O'Brien";
    QTest::newRow("quotes") << "'' or 1=1 --";
    QTest::newRow("backslash") << "C:\\dir\\'x\\";
    QTest::newRow("semicolon") << "a'); delete from syslog; --";
    QTest::newRow("nul") << QString("a") + QChar(0) + QString("b'c");
    QTest::newRow("cjk") << "张三‘’“”；——\n第二行";
    QTest::newRow("long") << QString(10240, QChar(u'长'));
    QTest::newRow("empty") << "";
}

void TstDialect::hostileValues()
{
    QFETCH(QString, value);
    tst::TestDb db;
    QVERIFY(db.ok());
    db.exec("insert into syslog(uname,truename,dt,logcon,ipaddr) values('u','t',now()," + db::quoted(value) + ",'')");
    QCOMPARE(db.count("syslog"), 1);
    // The server's text cannot hold a NUL: it is left out there, the rest is kept.
    QString stored = value;
    if (ADOcon().engine() == db::Engine::PostgreSQL)
        stored.remove(QChar(0));
    QCOMPARE(db.scalar("select logcon from syslog").toString(), stored);
    QCOMPARE(db.count("syslog", "logcon=" + db::quoted(value)), 1);
    QCOMPARE(db.count("syslogin"), 1); // nothing else touched
}

void TstDialect::likeKeepsWildcards()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    for (const char* t : {"abc", "a%c", "a_c", "xyz", "a\\c"})
        db.exec(QString("insert into syslog(logcon) values(%1)").arg(db::quoted(QString::fromUtf8(t))));
    QCOMPARE(db.count("syslog", "logcon like " + db::quoted(db::likeContains("a%c"))), 4); // % is a wildcard
    QCOMPARE(db.count("syslog", "logcon like " + db::quoted(db::likeContains("x_z"))), 1); // _ too
    QCOMPARE(db.count("syslog", "logcon like " + db::quoted(db::likeContains("a\\c"))), 1); // a backslash is text
    QCOMPARE(db.count("syslog", "logcon like " + db::quoted(db::likeContains("'"))), 0);
}

TV_TEST_MAIN(TstDialect)
#include "tst_dialect.moc"
