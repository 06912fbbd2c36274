#include "bench/seats_place.h"

#include "db/dm.h"
#include "db/schema.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {
namespace {

QString clusterScript()
{
    return QStringLiteral(TV_SOURCE_DIR "/scripts/pgcluster.sh");
}

// The stop command of the running throwaway cluster, ready before any signal can come: a
// benchmark interrupted (Ctrl+C, a timeout's kill) must not leave a server behind.
char gStopArgs[3][4096];
char* gStopArgv[] = {gStopArgs[0], gStopArgs[1], const_cast<char*>("stop"), gStopArgs[2], nullptr};

extern "C" void stopClusterAndExit(int sig)
{
    // Only calls that are safe inside a signal handler.
    const pid_t child = fork();
    if (child == 0) {
        execv(gStopArgv[0], gStopArgv);
        _exit(127);
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
    _exit(128 + sig);
}

void copyArg(char* to, const QString& from)
{
    const QByteArray b = from.toLocal8Bit();
    qstrncpy(to, b.constData(), sizeof gStopArgs[0]);
}

void stopOnSignals(const QString& dir)
{
    copyArg(gStopArgs[0], QStringLiteral("/bin/bash"));
    copyArg(gStopArgs[1], clusterScript());
    copyArg(gStopArgs[2], dir);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::signal(sig, stopClusterAndExit);
}

void defaultOnSignals()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::signal(sig, SIG_DFL);
}

db::ServerParams database(const QString& name)
{
    db::ServerParams p;
    p.database = name;
    return p;
}

// What yhda's count triggers add for the rows of one project, added in one statement each.
const char* const kFigures[] = {
    "insert into yhda_tally as t (ywbh, sljg, zk, part, n)"
    " select coalesce(ywbh, 0), coalesce(sljg, ''), coalesce('=' || zdslz, ''), 0, count(*) from yhda"
    " where ywbh = %1 and del = 0 group by 1, 2, 3"
    " on conflict (ywbh, sljg, zk, part) do update set n = t.n + excluded.n",
    "insert into hwtj_tally as t (ywbh, slz, slsj, sljg, jg, n, tottime)"
    " select coalesce(y.ywbh, 0), coalesce(y.slz, ''), coalesce(substr(y.slsj, 1, 10), ''), y.sljg,"
    " coalesce(y.jg, ''), count(*), sum(coalesce(k.secs, 0)) from yhda y left join yhda_talk k on k.yhid = y.id"
    " where y.ywbh = %1 and y.del = 0 and y.sljg <> '未受理' and y.sljg <> '正在受理' group by 1, 2, 3, 4, 5"
    " on conflict (ywbh, slz, slsj, sljg, jg) do update set n = t.n + excluded.n, tottime = t.tottime + excluded.tottime",
};

void serverOnly(db::Connection& con, const QString& sql)
{
    QSqlQuery q(con.database());
    if (!q.exec(sql))
        throw db::Error(q.lastError().databaseText(), sql);
}

} // namespace

void loadWithoutTriggers(db::Connection& con, int ywbh, const QString& insert)
{
    const QString p = db::num(ywbh);
    // The keys the insert gives are those of groups never drawn from.
    if (con.scalar(QStringLiteral("select count(*) from yhda_drawn where ywbh=") + p).toLongLong() != 0 ||
        con.scalar(QStringLiteral("select count(*) from yhda where ywbh=") + p).toLongLong() != 0)
        throw db::Error(QStringLiteral("the project already has customers"));
    // The table's indexes other than its keys are laid again after the rows: sorting each once
    // takes a fraction of the time a million scattered insertions into each take.
    QStringList names, indexes;
    {
        QSqlQuery q = con.select(QStringLiteral("select indexname,indexdef from pg_indexes where "
                                                "schemaname=current_schema() and tablename='yhda' and indexname not in "
                                                "(select conname from pg_constraint where conrelid='yhda'::regclass)"),
                                 true);
        while (q.next()) {
            names << q.value(0).toString();
            indexes << q.value(1).toString();
        }
    }
    db::Transaction t(con);
    // Off for this transaction only: all of it is undone if anything fails.
    con.execute(QStringLiteral("alter table yhda disable trigger user"));
    for (const QString& name : names)
        con.execute(QStringLiteral("drop index ") + name);
    con.execute(insert);
    for (const char* figures : kFigures)
        serverOnly(con, QString::fromUtf8(figures).arg(p));
    con.execute(QStringLiteral("set local maintenance_work_mem='256MB'"));
    // As the server wrote them: no statement translation.
    for (const QString& index : indexes)
        serverOnly(con, index);
    con.execute(QStringLiteral("alter table yhda enable trigger user"));
    t.commit();
    // As the server's own autovacuum would soon: the planner needs the new rows' statistics.
    con.execute(QStringLiteral("analyze"));
}

void openPlace(db::Connection& con, const Place& place)
{
    if (place.server)
        con.openServer(place.params);
    else
        con.open(place.file);
}

PlaceGuard::PlaceGuard(bool server)
{
    m_place.server = server;
    if (!server) {
        m_session = std::make_unique<Session>();
        m_place.file = m_session->file();
        m_ok = m_session->ok();
        return;
    }
    if (qEnvironmentVariableIsEmpty("PGHOST") && qEnvironmentVariableIsEmpty("PGSERVICE") && !startServer())
        return;
    const QString name = QStringLiteral("tv_seats_%1").arg(QCoreApplication::applicationPid());
    try {
        db::Connection admin(QStringLiteral("seats.admin"));
        admin.openServer(database(QStringLiteral("postgres")));
        admin.execute(QStringLiteral("drop database if exists ") + name);
        admin.execute(QStringLiteral("create database ") + name);
    } catch (const db::Error& e) {
        std::fprintf(stderr, "cannot create the database: %s\n", qPrintable(e.text()));
        return;
    }
    m_place.params = database(name);
    QString err;
    if (!db::createServerDatabase(m_place.params, &err)) {
        std::fprintf(stderr, "cannot lay the schema: %s\n", qPrintable(err));
        return;
    }
    m_con = std::make_unique<db::Connection>(QStringLiteral("seats.main"));
    try {
        m_con->openServer(m_place.params);
    } catch (const db::Error& e) {
        std::fprintf(stderr, "cannot open the database: %s\n", qPrintable(e.text()));
        return;
    }
    m_ok = true;
}

// A throwaway cluster as scripts/test.sh starts one, but writing as a real server does (its
// commits reach the disk): the figures are a server's, not a test's.
bool PlaceGuard::startServer()
{
    m_cluster = std::make_unique<QTemporaryDir>();
    stopOnSignals(m_cluster->path());
    QProcess p;
    p.start(QStringLiteral("bash"), {clusterScript(), QStringLiteral("start"), m_cluster->path(), QStringLiteral("-c"),
                                     QStringLiteral("max_connections=300")});
    p.waitForFinished(120000);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "cannot start a server: %s%s\n", qPrintable(out),
                     qPrintable(QString::fromLocal8Bit(p.readAllStandardError())));
        return false;
    }
    static const QRegularExpression var(QStringLiteral("(PG[A-Z]+)='?([^'\\s]+)'?"));
    for (auto it = var.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        qputenv(m.captured(1).toLatin1().constData(), m.captured(2).toLocal8Bit());
    }
    return true;
}

PlaceGuard::~PlaceGuard()
{
    if (m_place.server && !m_place.params.database.isEmpty()) {
        // The seats' roles belong to the whole server: they go with the database.
        QStringList roles;
        try {
            if (m_con) {
                QSqlQuery q = m_con->select(
                    QStringLiteral("select rolname from syslogin where substr(rolname, 1, 7) = 'tv_seat'"));
                while (q.next())
                    roles << q.value(0).toString();
            }
        } catch (const db::Error&) {
        }
        m_con.reset();
        try {
            db::Connection admin(QStringLiteral("seats.admin"));
            admin.openServer(database(QStringLiteral("postgres")));
            admin.execute(QStringLiteral("drop database if exists ") + m_place.params.database);
            for (const QString& r : roles)
                admin.execute(QStringLiteral("drop role if exists ") + r);
        } catch (const db::Error& e) {
            std::fprintf(stderr, "cannot drop the database: %s\n", qPrintable(e.text()));
        }
    }
    if (m_cluster) {
        QProcess p;
        p.start(QStringLiteral("bash"), {clusterScript(), QStringLiteral("stop"), m_cluster->path()});
        p.waitForFinished(60000);
        defaultOnSignals();
    }
}

db::Connection& PlaceGuard::connection()
{
    return m_con ? *m_con : ADOcon();
}

QString PlaceGuard::serverInfo()
{
    if (!m_place.server)
        return QStringLiteral("file");
    db::Connection& c = connection();
    return c.scalar(QStringLiteral("select version()")).toString().section(QLatin1Char(' '), 0, 1) +
           QStringLiteral(", fsync ") + c.scalar(QStringLiteral("show fsync")).toString() +
           QStringLiteral(", synchronous_commit ") + c.scalar(QStringLiteral("show synchronous_commit")).toString() +
           (m_cluster ? QStringLiteral(", throwaway cluster") : QString());
}

} // namespace bench
