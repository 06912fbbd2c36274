#include "support/serverdb.h"

#include "db/roles.h"
#include "db/schema.h"
#include "db/walguard.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <sqlite3.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace tst {
namespace {

QString templateName()
{
    const QString t = qEnvironmentVariable("TV_TEST_TEMPLATE");
    return t.isEmpty() ? QStringLiteral("tv_template") : t;
}

// Runs before the tests of a program: one asked for the server without one is skipped whole.
[[maybe_unused]] const bool kChecked = [] {
    if (onServer() && qEnvironmentVariable("PGHOST").isEmpty() && qEnvironmentVariable("PGSERVICE").isEmpty()) {
        std::fprintf(stderr, "SKIP: TV_TEST_ENGINE=postgresql but no server is set (PGHOST); "
                             "scripts/test.sh starts one\n");
        std::exit(77);
    }
    return true;
}();

bool templateExists(db::Connection& a)
{
    return a.scalar(QStringLiteral("select count(*) from pg_database where datname=?"), {templateName()}).toInt() > 0;
}

// Lays the template once; another test program doing the same at the same time is harmless
// (the template appears under its name only when complete).
void ensureTemplate(db::Connection& a)
{
    if (templateExists(a))
        return;
    const QString building = templateName() + QStringLiteral("_%1").arg(QCoreApplication::applicationPid());
    a.execute(QStringLiteral("drop database if exists ") + building);
    a.execute(QStringLiteral("create database ") + building);
    {
        db::Connection con(QStringLiteral("tst.template"));
        db::ServerParams p;
        p.database = building;
        con.openServer(p);
        db::createServerSchema(con);
    }
    try {
        a.execute(QStringLiteral("alter database %1 rename to %2").arg(building, templateName()));
    } catch (const db::Error&) {
        a.execute(QStringLiteral("drop database if exists ") + building);
        if (!templateExists(a))
            throw;
    }
}

} // namespace

void addRefusal(db::Connection& con, const QString& name, const QString& event, const QString& cond,
                const QString& message)
{
    if (con.engine() == db::Engine::PostgreSQL) {
        con.execute(QStringLiteral("create function %1() returns trigger language plpgsql as "
                                   "$$ begin raise exception '%2'; end $$")
                        .arg(name, message));
        con.execute(
            QStringLiteral("create trigger %1 %2 for each row when (%3) execute function %1()").arg(name, event, cond));
    } else {
        con.execute(QStringLiteral("create trigger %1 %2 when %3 begin select raise(abort, '%4'); end")
                        .arg(name, event, cond, message));
    }
}

CommitRefusal::CommitRefusal(db::Connection& con, const QString& table) : m_con(con), m_table(table)
{
    if (con.engine() == db::Engine::PostgreSQL) {
        con.execute(QStringLiteral("create function tv_refuse_commit() returns trigger language plpgsql as "
                                   "$$ begin raise exception 'commit refused'; end $$"));
        con.execute(QStringLiteral("create constraint trigger tv_refuse_commit after insert or update or delete on %1 "
                                   "deferrable initially deferred for each row execute function tv_refuse_commit()")
                        .arg(table));
    } else {
        // in place of the connection's own hook (the log guard), which lift() puts back
        sqlite3_commit_hook(
            con.handle(), [](void*) { return 1; }, nullptr);
    }
}

CommitRefusal::~CommitRefusal()
{
    try {
        lift();
    } catch (const db::Error& e) {
        qWarning("lifting the commit refusal failed: %s", qPrintable(e.text()));
    }
}

void CommitRefusal::lift()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_con.engine() == db::Engine::PostgreSQL) {
        m_con.execute(QStringLiteral("drop trigger tv_refuse_commit on %1").arg(m_table));
        m_con.execute(QStringLiteral("drop function tv_refuse_commit()"));
    } else {
        sqlite3_commit_hook(m_con.handle(), nullptr, nullptr);
        db::guardWal(m_con.handle(), m_con.filePath());
    }
}

namespace {

// pg_ctl on the cluster's data folder, as the cluster's owner (not root).
bool pgCtl(const QStringList& args)
{
    QProcess config;
    config.start(QStringLiteral("pg_config"), {QStringLiteral("--bindir")});
    if (!config.waitForFinished(10000))
        return false;
    const QString pgctl = QString::fromLocal8Bit(config.readAllStandardOutput()).trimmed() + QStringLiteral("/pg_ctl");
    const QString home = qEnvironmentVariable("PGHOST");
    QStringList all{QStringLiteral("-D"), home + QStringLiteral("/data"), QStringLiteral("-w")};
    all += args;
    QProcess ctl;
    ctl.setStandardOutputFile(QProcess::nullDevice());
    if (geteuid() == 0)
        ctl.start(QStringLiteral("runuser"),
                  QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), pgctl} + all);
    else
        ctl.start(pgctl, all);
    return ctl.waitForFinished(60000) && ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() == 0;
}

} // namespace

bool stopServer()
{
    ServerDb::admin().close(); // opened again when next needed
    return pgCtl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("stop")});
}

bool startServer()
{
    // restart starts a stopped server with the options it last ran with.
    const QString log = qEnvironmentVariable("PGHOST") + QStringLiteral("/server.log");
    return pgCtl({QStringLiteral("-l"), log, QStringLiteral("restart")});
}

bool onServer()
{
    return qEnvironmentVariable("TV_TEST_ENGINE").compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0;
}

db::Connection& ServerDb::admin()
{
    // Closed with the application object, while Qt's SQL registry still exists.
    static db::Connection* con = [] {
        qAddPostRoutine([] {
            delete con;
            con = nullptr;
        });
        return new db::Connection(QStringLiteral("tst.pgadmin"));
    }();
    if (!con->isOpen()) {
        db::ServerParams p;
        p.database = QStringLiteral("postgres");
        con->openServer(p);
    }
    return *con;
}

ServerDb::ServerDb()
{
    static int serial = 0;
    m_name = QStringLiteral("tvt_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    try {
        db::Connection& a = admin();
        ensureTemplate(a);
        // The template may be busy for a moment while another program copies it.
        for (int attempt = 0;; ++attempt) {
            try {
                a.execute(QStringLiteral("create database %1 template %2").arg(m_name, templateName()));
                break;
            } catch (const db::Error&) {
                if (attempt >= 50)
                    throw;
                QThread::msleep(100);
            }
        }
        // The operators' roles belong to the whole server (and outlive the test's database): a
        // test that logs in as the built-in administrator finds its delivered password, whatever
        // another test did to it (those tests take turns: see tv_roles_on_server).
        if (qEnvironmentVariableIsSet("TV_TEST_ROLES")) {
            db::Connection con(m_name + QStringLiteral(".roles"));
            con.openServer(params());
            const QString role = db::roleName(QStringLiteral("admin"));
            con.scalar(QStringLiteral("select tv_seat_role(null, ?, ?, true, true)"),
                       {role, db::scramVerifier(con, role, QStringLiteral("admin"))});
        }
        m_ok = true;
    } catch (const db::Error& e) {
        qWarning("cannot make a server test database: %s", qPrintable(e.text()));
    }
}

ServerDb::~ServerDb()
{
    if (!m_ok)
        return;
    try {
        admin().execute(QStringLiteral("drop database if exists %1 with (force)").arg(m_name));
    } catch (const db::Error& e) {
        qWarning("cannot drop %s: %s", qPrintable(m_name), qPrintable(e.text()));
    }
}

db::ServerParams ServerDb::params() const
{
    db::ServerParams p;
    p.database = m_name;
    return p;
}

} // namespace tst
