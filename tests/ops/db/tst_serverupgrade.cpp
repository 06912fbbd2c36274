// Bringing a server database laid by an earlier release (before call-backs, telephone columns and
// response rates; with row rules on the customers) to the current schema: afterwards it is what a
// freshly laid database is, rows kept and filled; nothing is done the second time; a failure
// leaves it as it was. Server only.
#include "db/serverupgrade.h"
#include "support/opsdb.h"
#include "support/serverdb.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

namespace {

// Everything the schema scripts lay, as comparable lines: columns, indexes, triggers, views, row
// rules, functions, rights. (The earlier release's own table of rights is no longer the scripts'.)
QStringList catalog(db::Connection& con)
{
    QStringList out;
    QSqlQuery q = con.select(QStringLiteral(
        "select 'col ' || table_name || '.' || column_name || ' ' || data_type || ' ' || coalesce(column_default, '')"
        " || is_nullable from information_schema.columns where table_schema = 'public' and table_name <> 'tv_rights'"
        " union all select 'idx ' || indexdef from pg_indexes where schemaname = 'public' and tablename <> 'tv_rights'"
        " union all select 'trg ' || pg_get_triggerdef(t.oid) from pg_trigger t join pg_class c on c.oid = t.tgrelid"
        "  where not t.tgisinternal and c.relnamespace = cast('public' as regnamespace)"
        " union all select 'view ' || viewname || ' ' || definition from pg_views where schemaname = 'public'"
        " union all select 'rule ' || polname || ' ' || coalesce(pg_get_expr(polqual, polrelid), '') from pg_policy"
        " union all select 'rls ' || relname || ' ' || cast(relrowsecurity as text) from pg_class"
        "  where relnamespace = cast('public' as regnamespace) and relkind = 'r' and relname <> 'tv_rights'"
        " union all select 'fn ' || proname || ' ' || md5(pg_get_functiondef(oid)) from pg_proc"
        "  where pronamespace = cast('public' as regnamespace) and prokind <> 'a'"
        " union all select 'grant ' || table_name || ' ' || grantee || ' ' || privilege_type"
        "  from information_schema.role_table_grants where table_schema = 'public' and grantee like 'tellvane\\_%'"
        " union all select 'colgrant ' || table_name || '.' || column_name || ' ' || grantee || ' ' || privilege_type"
        "  from information_schema.column_privileges where table_schema = 'public' and grantee like 'tellvane\\_%'"
        " order by 1"));
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QString fixture(const char* name)
{
    QFile f(QStringLiteral(TV_FIXTURES "/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// An empty database of its own, laid with the earlier release's scripts and a few rows.
struct OldServer
{
    QString name = QStringLiteral("tvt_old_%1").arg(QCoreApplication::applicationPid());
    db::Connection con{QStringLiteral("old.server")};
    bool lay(const QString& extra = {})
    {
        db::Connection& a = tst::ServerDb::admin();
        a.execute(QStringLiteral("drop database if exists %1 with (force)").arg(name));
        a.execute(QStringLiteral("create database %1").arg(name));
        db::ServerParams p;
        p.database = name;
        con.openServer(p);
        QSqlQuery q(con.database());
        return q.exec(fixture("previous_schema_pg.sql") + u'\n' + fixture("previous_roles_pg.sql") +
                      QStringLiteral("\ninsert into t_ywbh(ywname) values('老''项目');"
                                     "insert into yhda(ywbh,xh,yhxm,dhhm1,zdslz) values(1,1,'甲','139001',null),"
                                     "(1,2,'乙','139002','zhao'),(1,3,'丙','139003',null);"
                                     "insert into visitlog(ywbh,dhhm,slz,sljg) values(1,'139001','赵','拒访'),"
                                     "(1,'139001','赵','无应答'),(1,'139002','钱','已受理(成功)');") +
                      extra);
    }
    ~OldServer()
    {
        con.close();
        tst::ServerDb::admin().execute(QStringLiteral("drop database if exists %1 with (force)").arg(name));
    }
};

} // namespace

class TstServerUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        if (!tst::onServer())
            QSKIP("a server laid by an earlier release");
    }
    void becomesAFreshDatabase();
    void failureLeavesItAsItWas_data();
    void failureLeavesItAsItWas();
};

void TstServerUpgrade::becomesAFreshDatabase()
{
    OldServer old;
    QVERIFY(old.lay());
    QVERIFY(db::isServerDatabase(old.con));
    QVERIFY(!db::serverSchemaCurrent(old.con)); // a seat of this release is not let in
    const QStringList steps = db::upgradeServerSchema(old.con);
    QVERIFY(db::serverSchemaCurrent(old.con));
    for (const char* step : {"created table hfyy", "created table czfl", "added column yhda.czz",
                             "added column visitlog.thsc", "re-created index yhda_draw", "filled yhda.czz"})
        QVERIFY2(steps.contains(QLatin1String(step)), step);

    tst::ServerDb fresh;
    QVERIFY(fresh.ok());
    db::Connection current(QStringLiteral("fresh.server"));
    current.openServer(fresh.params());
    const QStringList want = catalog(current), got = catalog(old.con);
    for (const QString& line : want)
        QVERIFY2(got.contains(line), qPrintable(QStringLiteral("missing: ") + line));
    for (const QString& line : got)
        QVERIFY2(want.contains(line), qPrintable(QStringLiteral("not in a fresh database: ") + line));

    // The rows stay; the project gets the default codes and its customers their dispositions
    // (a refusal despite a later no answer; a complete; never called).
    QCOMPARE(old.con.scalar(QStringLiteral("select count(*) from czfl where ywbh=1")).toInt(), 8);
    QStringList kept;
    QSqlQuery k = old.con.select(QStringLiteral("select czlb from yhda order by id"));
    while (k.next())
        kept << (k.value(0).isNull() ? QStringLiteral("-") : k.value(0).toString());
    QCOMPARE(kept.join(u' '), QStringLiteral("2 0 -"));
    // An ending on the upgraded server moves the kept disposition, and an operator's row rule is
    // the trigger now (an ending reaches another operator's customer on its number).
    old.con.execute(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg) values(1,'139003','赵','停机')"));
    QCOMPARE(old.con.scalar(QStringLiteral("select czlb from yhda where id=3")).toInt(), 7);

    QVERIFY(db::upgradeServerSchema(old.con).isEmpty()); // nothing left to do
    QCOMPARE(catalog(old.con), got);
}

void TstServerUpgrade::failureLeavesItAsItWas_data()
{
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QString>("why");
    // A site's own view where the current schema has a table: its indexes cannot be built.
    QTest::newRow("a view in a table's place")
        << QStringLiteral("create view hfyy as select id, ywbh, 0 as zt, '' as hfz, '' as kssj, '' as gksj,"
                          " id as yhid, '' as jssj, id as yyid from yhda;")
        << QStringLiteral("hfyy");
    // Operators without roles of their own yet, their passwords in the table.
    QTest::newRow("passwords in the table")
        << QStringLiteral("alter table syslogin drop column rolname cascade; alter table syslogin add column pwd text;")
        << QStringLiteral("passwords would be lost");
}

void TstServerUpgrade::failureLeavesItAsItWas()
{
    QFETCH(QString, extra);
    QFETCH(QString, why);
    OldServer old;
    QVERIFY(old.lay(extra));
    const QStringList before = catalog(old.con);
    try {
        db::upgradeServerSchema(old.con);
        QFAIL("upgraded");
    } catch (const db::Error& e) {
        QVERIFY2(e.text().contains(why), qPrintable(e.text()));
    }
    QCOMPARE(catalog(old.con), before);
}

QTEST_GUILESS_MAIN(TstServerUpgrade)
#include "tst_serverupgrade.moc"
