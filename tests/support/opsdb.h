#pragma once

#include "db/connection.h"
#include "ops/common/oplog.h"
#include "support/serverdb.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

namespace tst {

// A fresh database from the schema in a temporary folder with its own open connection, for
// testing operations without any window (Qt Core + Sql only). One per test function. On the
// server (TV_TEST_ENGINE=postgresql) a fresh server database instead.
class OpsDb
{
public:
    OpsDb();
    ~OpsDb();
    bool ok() const { return m_ok; }
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

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ServerDb> m_server;
    std::unique_ptr<db::Connection> m_con;
    bool m_ok = false;
};

} // namespace tst
