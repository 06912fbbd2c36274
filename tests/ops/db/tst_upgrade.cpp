// Bringing a database of the previous release to the current schema: every row kept, the draw
// and the kept figures working on it, nothing done the second time, nothing done on failure.
#include "db/connection.h"
#include "db/password.h"
#include "db/schema.h"
#include "db/upgrade.h"
#include "db/vocab.h"
#include "ops/visit/draw.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {

void sql(sqlite3* h, const QString& text)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(h, text.toUtf8().constData(), nullptr, nullptr, &err);
    const QString why = err ? QString::fromUtf8(err) : QString();
    sqlite3_free(err);
    QVERIFY2(rc == SQLITE_OK, qPrintable(why));
}

// The schema's objects: name -> "type|sql".
QMap<QString, QString> objects(const QString& path)
{
    sqlite3* h = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    QMap<QString, QString> out;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "select name, type || '|' || ifnull(sql, '') from sqlite_master", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        out.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))),
                   QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))));
    sqlite3_finalize(st);
    sqlite3_close(h);
    return out;
}

// Everything in the file as text: the schema and the rows of the previous release's tables
// (their own columns, so that added columns do not count as a change of rows).
QString dump(const QString& path)
{
    sqlite3* h = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    QString out;
    auto read = [&](const QString& q) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, q.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
            out += QStringLiteral("error ") + QString::fromUtf8(sqlite3_errmsg(h)) + QLatin1Char('\n');
            return;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                out += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))) + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
        sqlite3_finalize(st);
    };
    read(QStringLiteral("select type, name, sql from sqlite_master order by name"));
    const QString cols = QStringLiteral("id,ywbh,pc,xh,yhxm,dq,dz,dhhm1,dhhm2,dhhm3,dhhm4,xxzl,drz,drsj,sljg,jg,bz,"
                                        "slsj,slz,zdslz,zdslzxm,del,deltime,deler");
    out += QStringLiteral("-- rows\n");
    for (const QString& t :
         {QStringLiteral("syslogin"), QStringLiteral("syslog"), QStringLiteral("[option]"), QStringLiteral("t_ywbh"),
          QStringLiteral("q_table"), QStringLiteral("q_sel"), QStringLiteral("q_ans"), QStringLiteral("visitlog"),
          QStringLiteral("yhda_tally"), QStringLiteral("sqlite_sequence")})
        read(t == QLatin1String("syslogin") // the passwords become hashes: see passwordsBecomeHashes
                 ? QStringLiteral("select id,uname,truename,tp,zt from syslogin order by 1")
                 // the columns the previous release had (an upgrade adds the seats' telephone columns)
                 : t == QLatin1String("q_ans")
                       ? QStringLiteral("select id,qid,dhhm,yhid,ans,slz,tottime,dt from q_ans order by 1")
                   : t == QLatin1String("visitlog")
                       ? QStringLiteral("select id,ywbh,dhhm,slz,sljg,bz,vtime from visitlog order by 1")
                       : QStringLiteral("select * from %1 order by 1, 2, 3").arg(t));
    read(QStringLiteral("select %1 from yhda order by id").arg(cols));
    sqlite3_close(h);
    return out;
}

// A database as the previous release laid it, with work in it: project 1 has 30 unassigned and
// 5 op1's customers waiting, 10 handled (by two operators; 7 "成功", 3 of them by op1) and 5
// deleted; project 2 has 4 waiting.
class OldDb
{
public:
    OldDb()
    {
        path = dir.filePath(QStringLiteral("dhyx.dat"));
        QFile f(QStringLiteral(TV_FIXTURES "/previous_schema.sql"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        sqlite3* h = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &h), SQLITE_OK);
        sql(h, QString::fromUtf8(f.readAll()));
        sql(h,
            QStringLiteral(
                "update [option] set jgts=7; update syslogin set pwd='s''e\"cret' where uname='admin';"
                "insert into t_ywbh(ywname) values('回访一'),('回访二');"
                "insert into q_table(ywbh,qbh,qnr) values(1,1,'满意吗'),(1,2,'再来吗');"
                "insert into q_sel(qid,sel) values(1,'满意'),(1,'不满意');"
                "insert into syslog(uname,truename,logcon) values('admin','系统管理员','登录'),('op1','话务一','导入');"
                "insert into visitlog(ywbh,dhhm,slz,sljg) values(1,'1390001','op1','成功'),(1,'13936','op2','拒访'),"
                "(1,'13936','op2','无应答'),(1,'13937','op1','已受理(成功)'),(2,'13937','op1','停机');"));
        sql(h, QStringLiteral(
                   "with recursive n(i) as (select 1 union all select i+1 from n where i<54)"
                   " insert into yhda(ywbh,xh,dhhm1,yhxm,sljg,jg,slz,slsj,zdslz,del)"
                   " select case when i>50 then 2 else 1 end, i, '139'||i, '客户'||i,"
                   " case when i between 36 and 45 then case when i<=42 then '成功' else '失败' end else '未受理' end,"
                   " case when i between 36 and 42 then '好' end,"
                   " case when i between 36 and 45 then case when i%2 then 'op1' else 'op2' end else '' end,"
                   " case when i between 36 and 45 then '2026-12-0'||(1+i%3)||' 10:00:00' end,"
                   " case when i between 31 and 35 then 'op1' end, case when i between 46 and 50 then 1 else 0 end"
                   " from n"));
        // Two calls for customer 36 (30 s then 25 s), one of 20 s for 37, answers of others.
        sql(h, QStringLiteral(
                   "insert into q_ans(qid,yhid,ans,slz,tottime,dt) values"
                   "(1,36,'满意','op2',10,'2026-12-01 10:00:00'),(2,36,'再来','op2',30,'2026-12-01 10:00:30'),"
                   "(1,36,'满意','op2',25,'2026-12-02 10:00:00'),(1,37,'不满意','op1',20,'2026-12-02 11:00:00'),"
                   "(1,38,'满意','op2',0,'2026-12-03 09:00:00'),(1,null,'x''y','op1',5,'2026-12-03 09:00:00')"));
        sqlite3_close(h);
    }
    QTemporaryDir dir;
    QString path;
};

} // namespace

class TstUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void keepsRowsAndMatchesFreshSchema();
    void drawAndFiguresWork();
    void currentDatabaseIsLeftAlone();
    void failureLeavesFileAsItWas();
    void freshFileIsWhole();
    void passwordsBecomeHashes();
};

void TstUpgrade::keepsRowsAndMatchesFreshSchema()
{
    OldDb old;
    const QString before = dump(old.path);
    QString err;
    bool changed = false;
    QStringList steps;
    QVERIFY2(db::upgradeDatabase(old.path, &err, &changed, &steps), qPrintable(err));
    QVERIFY(changed);
    QVERIFY(steps.contains(QStringLiteral("added column yhda.drawkey")));
    QVERIFY(steps.contains(QStringLiteral("created table yhda_drawn")));
    QVERIFY(steps.contains(QStringLiteral("created table hfyy")));
    QVERIFY(steps.contains(QStringLiteral("added column yhda.kcsj")));
    QVERIFY(steps.contains(QStringLiteral("re-created view hwtjview2")));
    QVERIFY(steps.contains(QStringLiteral("re-created index q_ans_yhid_qid")));

    // The rows are the same; only the schema part of the dump differs.
    const QString after = dump(old.path);
    const auto rows = [](const QString& d) { return d.mid(d.indexOf(QStringLiteral("-- rows\n"))); };
    QCOMPARE(rows(after), rows(before));
    // The copy taken first is the file as it was.
    QCOMPARE(dump(db::preUpgradeBackupPath(old.path)), before);

    // Every object of a fresh database is there with the same definition (the customer table
    // has the new column, without its default, which the insert trigger stands in for).
    const QString freshPath = old.dir.filePath(QStringLiteral("fresh.dat"));
    QVERIFY(db::createDatabase(freshPath));
    const QMap<QString, QString> now = objects(old.path);
    const QMap<QString, QString> fresh = objects(freshPath);
    // The tables that gained columns (the customers' draw key, the seats' telephone) have them at the end.
    const QStringList grown = {QStringLiteral("yhda"), QStringLiteral("q_ans"), QStringLiteral("visitlog")};
    for (auto it = fresh.cbegin(); it != fresh.cend(); ++it)
        if (!grown.contains(it.key()))
            QCOMPARE(now.value(it.key()), it.value());
    QVERIFY(now.value(QStringLiteral("yhda")).contains(QStringLiteral("\"drawkey\" REAL")));
    QVERIFY(now.value(QStringLiteral("q_ans")).contains(QStringLiteral("\"lywj\" TEXT")));
    for (const char* c : {"\"thsc\" INTEGER", "\"jsly\" TEXT", "\"lywj\" TEXT"})
        QVERIFY(now.value(QStringLiteral("visitlog")).contains(QLatin1String(c)));
}

void TstUpgrade::drawAndFiguresWork()
{
    OldDb old;
    QString err;
    QVERIFY2(db::upgradeDatabase(old.path, &err), qPrintable(err));

    db::Connection con(QStringLiteral("upgraded"));
    con.open(old.path);
    QCOMPARE(con.scalar(QStringLiteral("select count(*) from yhda where drawkey is null")).toInt(), 0);
    // Handled live customers 36..45: two days' groups; talk time 30+25 for 36 and 20 for 37.
    QCOMPARE(con.scalar(QStringLiteral("select sum(n) from hwtj_tally")).toInt(), 10);
    QCOMPARE(con.scalar(QStringLiteral("select sum(tottime) from hwtj_tally")).toInt(), 75);
    QCOMPARE(con.scalar(QStringLiteral("select secs from yhda_talk where yhid=36")).toInt(), 55);
    QCOMPARE(con.scalar(QStringLiteral("select sum(n) from q_ans_tally")).toInt(), 6);
    QCOMPARE(con.scalar(QStringLiteral("select sum(n) from hwtj_tally where slz='op1' and sljg='成功'")).toInt(), 3);
    // Both projects have the default disposition codes, and so does one added afterwards.
    QCOMPARE(con.scalar(QStringLiteral("select count(*) from czfl where ywbh in (1,2)")).toInt(), 16);
    QCOMPARE(con.scalar(QStringLiteral("select czdm from czfl where ywbh=2 and sljg='停机'")).toString(),
             QStringLiteral("4.32"));
    // The customers with history keep their deciding ending: a refusal despite a later no answer, a
    // complete; the other project's ending is not theirs.
    QCOMPARE(
        con.scalar(QStringLiteral("select group_concat(id||':'||czlb) from yhda where czz is not null")).toString(),
        QStringLiteral("36:2,37:0"));
    con.execute(QStringLiteral("insert into t_ywbh(ywname) values('回访三')"));
    QCOMPARE(con.scalar(QStringLiteral("select count(*) from czfl where ywbh=3")).toInt(), 8);

    // op1 gets its five assigned customers first, then the 30 unassigned ones, each once.
    QCOMPARE(ops::visit::pendingCount(con, 1, QStringLiteral("op1")), 35);
    QSet<qint64> drawn;
    for (int i = 0; i < 35; ++i) {
        const auto c = ops::visit::claimByState(con, 1, vocab::kNotHandled, QStringLiteral("op1"));
        QVERIFY(c);
        QVERIFY(i >= 5 || (c->id >= 31 && c->id <= 35));
        QVERIFY(c->id <= 35);
        drawn.insert(c->id);
    }
    QCOMPARE(drawn.size(), 35);
    QVERIFY(!ops::visit::claimByState(con, 1, vocab::kNotHandled, QStringLiteral("op1")));
    QCOMPARE(ops::visit::pendingCount(con, 1, QStringLiteral("op1")), 35); // now being handled
    QCOMPARE(con.scalar(QStringLiteral("select n from yhda_tally where ywbh=1 and sljg='正在受理' and zk=''")).toInt(),
             30);
    // The other project is untouched by those draws and draws too.
    QVERIFY(ops::visit::claimByState(con, 2, vocab::kNotHandled, QStringLiteral("op2")));

    // New answers and handling move the kept figures as the triggers do on a fresh database.
    con.execute(QStringLiteral("insert into q_ans(qid,yhid,ans,slz,tottime) values(1,1,'满意','op1',12)"));
    con.execute(QStringLiteral("update yhda set sljg='成功',slz='op1',slsj='2026-12-05 10:00:00' where id=1"));
    QCOMPARE(con.scalar(QStringLiteral("select sum(n) from hwtj_tally")).toInt(), 11);
    QCOMPARE(con.scalar(QStringLiteral("select sum(tottime) from hwtj_tally")).toInt(), 87);
}

void TstUpgrade::currentDatabaseIsLeftAlone()
{
    OldDb old;
    QVERIFY(db::upgradeDatabase(old.path));
    QFile::remove(db::preUpgradeBackupPath(old.path));
    const QString once = dump(old.path);
    bool changed = true;
    QStringList steps;
    QVERIFY(db::upgradeDatabase(old.path, nullptr, &changed, &steps));
    QVERIFY(!changed);
    QVERIFY(steps.isEmpty());
    QCOMPARE(dump(old.path), once);
    QVERIFY(!QFile::exists(db::preUpgradeBackupPath(old.path)));

    // A freshly laid database needs nothing either.
    const QString fresh = old.dir.filePath(QStringLiteral("fresh.dat"));
    QVERIFY(db::createDatabase(fresh));
    QVERIFY(db::upgradeDatabase(fresh, nullptr, &changed));
    QVERIFY(!changed);
}

void TstUpgrade::failureLeavesFileAsItWas()
{
    // A view where the upgrade creates a table: its creation fails after the changed views and
    // indexes were dropped; all of it is undone.
    OldDb old;
    sqlite3* h = nullptr;
    sqlite3_open(QFile::encodeName(old.path).constData(), &h);
    sql(h, QStringLiteral("create view yhda_drawn as select 1"));
    sqlite3_close(h);
    const QString before = dump(old.path);
    QString err;
    bool changed = true;
    QVERIFY(!db::upgradeDatabase(old.path, &err, &changed));
    QVERIFY(!changed);
    QVERIFY2(err.contains(QStringLiteral("yhda_drawn")), qPrintable(err));
    QCOMPARE(dump(old.path), before);

    // A missing file is not created.
    const QString missing = old.dir.filePath(QStringLiteral("none.dat"));
    QVERIFY(!db::upgradeDatabase(missing, &err));
    QVERIFY(!QFile::exists(missing));
}

// A new file is complete under its own name: nothing beside it still to be written in, and a
// second attempt on the same name refuses instead of building over it.
void TstUpgrade::freshFileIsWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dhyx.dat"));
    QVERIFY(db::createDatabase(path));
    for (const char* left : {"-wal", "-shm", ".new", ".new-wal"})
        QVERIFY2(!QFile::exists(path + QLatin1String(left)), left);
    const QMap<QString, QString> made = objects(path);
    QVERIFY(made.contains(QStringLiteral("yhda")) && made.contains(QStringLiteral("syslogin")));
    db::Connection con(QStringLiteral("fresh"));
    con.open(path);
    QCOMPARE(con.scalar(QStringLiteral("select uname from syslogin")).toString(), QStringLiteral("admin"));
    QCOMPARE(con.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    con.close();
    QString err;
    QVERIFY(!db::createDatabase(path, &err));
    QVERIFY(err.contains(QStringLiteral("already exists")));
}

void TstUpgrade::passwordsBecomeHashes()
{
    db::setPasswordHashCost(db::HashCost::Least);
    OldDb old; // the administrator's password is s'e"cret
    {
        db::Connection con(QStringLiteral("plain"));
        con.open(old.path);
        con.execute(QStringLiteral("insert into syslogin(uname,truename,pwd) values('op9','九',?)"),
                    {QStringLiteral("反斜杠\\Pw")});
    }
    QString err;
    QStringList steps;
    QVERIFY2(db::upgradeDatabase(old.path, &err, nullptr, &steps), qPrintable(err));
    QVERIFY(steps.contains(QStringLiteral("stored 2 passwords as hashes")));

    QMap<QString, QString> stored;
    {
        db::Connection con(QStringLiteral("hashed"));
        con.open(old.path);
        QSqlQuery q = con.select(QStringLiteral("select uname,pwd from syslogin"));
        while (q.next())
            stored.insert(q.value(0).toString(), q.value(1).toString());
    }
    QCOMPARE(stored.size(), 2);
    // Every operator logs in with the same password, as blind to letter case and blanks as before.
    QVERIFY(db::passwordMatches(stored.value("admin"), QStringLiteral(" S'E\"CRET")));
    QVERIFY(!db::passwordMatches(stored.value("admin"), QStringLiteral("s'e\"cre")));
    QVERIFY(db::passwordMatches(stored.value("op9"), QStringLiteral("反斜杠\\pw")));
    // No plain password is left anywhere in the file; the copy taken first keeps the old file.
    QFile f(old.path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(!bytes.contains("s'e\"cret"));
    QVERIFY(!bytes.contains(QStringLiteral("反斜杠").toUtf8()));
    QVERIFY(!QFile::exists(old.path + "-wal") || QFileInfo(old.path + "-wal").size() == 0);

    // Hashes are never hashed again.
    bool changed = true;
    QVERIFY(db::upgradeDatabase(old.path, &err, &changed));
    QVERIFY(!changed);
    db::Connection con(QStringLiteral("again"));
    con.open(old.path);
    QCOMPARE(con.scalar(QStringLiteral("select pwd from syslogin where uname='admin'")).toString(),
             stored.value("admin"));
}

QTEST_GUILESS_MAIN(TstUpgrade)
#include "tst_upgrade.moc"
