#include "bench/seats_place.h"

#include "db/dm.h"
#include "db/schema.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>

namespace bench {
namespace {

QString clusterScript()
{
    return QStringLiteral(TV_SOURCE_DIR "/scripts/pgcluster.sh");
}

db::ServerParams database(const QString& name)
{
    db::ServerParams p;
    p.database = name;
    return p;
}

} // namespace

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
        m_con.reset();
        try {
            db::Connection admin(QStringLiteral("seats.admin"));
            admin.openServer(database(QStringLiteral("postgres")));
            admin.execute(QStringLiteral("drop database if exists ") + m_place.params.database);
        } catch (const db::Error& e) {
            std::fprintf(stderr, "cannot drop the database: %s\n", qPrintable(e.text()));
        }
    }
    if (m_cluster) {
        QProcess p;
        p.start(QStringLiteral("bash"), {clusterScript(), QStringLiteral("stop"), m_cluster->path()});
        p.waitForFinished(60000);
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
