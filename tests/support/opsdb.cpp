#include "support/opsdb.h"

#include "db/password.h"

#include "db/schema.h"

#include <QDir>
#include <QMutex>
#include <QSet>

#include <thread>
#include <vector>

namespace tst {

OpsDb::OpsDb() : m_dir(std::make_unique<QTemporaryDir>())
{
    static int serial = 0;
    m_own = std::make_unique<db::Connection>(QStringLiteral("opsdb%1").arg(++serial));
    m_con = m_own.get();
    lay();
}

OpsDb::OpsDb(db::Connection& con) : m_dir(std::make_unique<QTemporaryDir>()), m_con(&con)
{
    lay();
}

void OpsDb::lay()
{
    // Test databases hash passwords at the least cost: a login there need not take a quarter second.
    db::setPasswordHashCost(db::HashCost::Least);
    if (tst::onServer()) {
        m_server = std::make_unique<ServerDb>();
        if (!m_server->ok())
            return;
        try {
            m_con->openServer(m_server->params());
            m_ok = true;
        } catch (const db::Error& e) {
            qWarning("cannot open the server test database: %s", qPrintable(e.text()));
        }
        return;
    }
    QString err;
    if (!db::createDatabase(file(), &err)) {
        qWarning("cannot create test database: %s", qPrintable(err));
        return;
    }
    try {
        m_con->open(file());
        // A test's file need not survive a power cut: no commit waits for the disk.
        m_con->execute(QStringLiteral("PRAGMA synchronous=OFF"));
        m_ok = true;
    } catch (const db::Error& e) {
        qWarning("cannot open test database: %s", qPrintable(e.text()));
    }
}

OpsDb::~OpsDb()
{
    m_con->close(); // before its server database is dropped
    m_own.reset();
    m_server.reset();
}

QString OpsDb::folder() const
{
    return m_dir->path();
}

QString OpsDb::file() const
{
    if (m_server)
        return QString();
    return QDir(m_dir->path()).filePath(QStringLiteral("dhyx.dat"));
}

void OpsDb::openSecond(db::Connection& other) const
{
    if (m_server)
        other.openServer(m_server->params());
    else
        other.open(file());
}

void OpsDb::exec(const QString& sql)
{
    m_con->execute(sql);
}

QVariant OpsDb::scalar(const QString& sql)
{
    return m_con->scalar(sql);
}

qint64 OpsDb::count(const QString& table, const QString& where)
{
    return scalar(QStringLiteral("select count(*) from ") + table +
                  (where.isEmpty() ? QString() : QStringLiteral(" where ") + where))
        .toLongLong();
}

QString runSeats(OpsDb& db, int seats, const std::function<void(db::Connection&, int)>& seat)
{
    QMutex m;
    QString failure;
    std::vector<std::thread> threads;
    for (int s = 0; s < seats; ++s)
        threads.emplace_back([&, s] {
            try {
                db::Connection con(QStringLiteral("seat%1").arg(s));
                db.openSecond(con);
                seat(con, s);
            } catch (const db::Error& e) {
                QMutexLocker l(&m);
                if (failure.isEmpty())
                    failure = e.text();
            }
        });
    for (auto& t : threads)
        t.join();
    return failure;
}

Holds countHolds(const QList<qint64>* held, int seats)
{
    Holds h;
    QSet<qint64> all;
    for (int s = 0; s < seats; ++s) {
        h.total += int(held[s].size());
        all.unite(QSet<qint64>(held[s].begin(), held[s].end()));
    }
    h.distinct = int(all.size());
    return h;
}

} // namespace tst
