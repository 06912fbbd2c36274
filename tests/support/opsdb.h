#pragma once

#include "db/connection.h"
#include "ops/common/oplog.h"
#include "support/builders.h"
#include "support/serverdb.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>
#include <memory>

namespace tst {

// A fresh database from the schema in a temporary folder with an open connection (Qt Core + Sql
// only). One per test: made in init(), dropped in cleanup(). On the server
// (TV_TEST_ENGINE=postgresql) a fresh server database instead. The window tests' TestDb is one of
// these whose connection is the data module's.
class OpsDb
{
public:
    // With a connection of its own, for testing operations without any window.
    OpsDb();
    // Opens con (which must outlive this) on the fresh database instead.
    explicit OpsDb(db::Connection& con);
    ~OpsDb();
    OpsDb(const OpsDb&) = delete;
    OpsDb& operator=(const OpsDb&) = delete;

    bool ok() const { return m_ok; }
    // The temporary folder the database file is in (also made on the server).
    QString folder() const;
    // The database file (empty on the server).
    QString file() const;
    db::Connection& con() { return *m_con; }
    bool onServer() const { return m_server != nullptr; }
    // Opens another connection to the same database, as another seat would.
    void openSecond(db::Connection& other) const;

    // The operator an operation is done as (the built-in administrator unless changed).
    ops::Who who{QStringLiteral("admin"), QStringLiteral("系统管理员"), QString()};

    void exec(const QString& sql);
    QVariant scalar(const QString& sql);
    qint64 count(const QString& table, const QString& where = QString());

protected:
    bool m_ok = false;

private:
    void lay();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ServerDb> m_server;
    std::unique_ptr<db::Connection> m_own;
    db::Connection* m_con = nullptr;
};

// Runs seat(connection, index) on `seats` threads at once, each on a connection of its own to
// db's database; the first error any seat met, or an empty text.
QString runSeats(OpsDb& db, int seats, const std::function<void(db::Connection&, int)>& seat);

// The customers the seats held: how many holds in all, and how many customers (equal when
// nobody was held twice).
struct Holds
{
    int total = 0;
    int distinct = 0;
};
Holds countHolds(const QList<qint64>* held, int seats);

} // namespace tst
