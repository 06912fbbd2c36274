#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

#include "support/serverdb.h"

class TfrmDM;
namespace db {
class Connection;
}

namespace tst {

// A fresh database from the schema in a temporary folder, made the program folder, with the
// data module created and the connection open. One per test function. On the server
// (TV_TEST_ENGINE=postgresql) the connection is to a fresh server database instead.
class TestDb
{
public:
    TestDb();
    ~TestDb();
    bool ok() const { return m_ok; }
    QString folder() const;
    // The database file (empty on the server).
    QString file() const;
    bool onServer() const { return m_server != nullptr; }

    // Opens another connection to the same database, as another seat would.
    void openSecond(db::Connection& other) const;

    // Sets the login values as a login of this operator would (no dialog).
    void loginAs(const QString& uname, const QString& truename, const QString& tp, int jgts = 0);
    void loginAdmin();
    void loginOperator(const QString& uname = QStringLiteral("op1"), const QString& truename = QStringLiteral("话务员一"));
    // Adds an operator row; returns its id.
    qint64 addOperator(const QString& uname, const QString& truename, const QString& pwd,
                       const QString& tp = QStringLiteral("话务员"), int zt = 0);

    // Convenience: run a statement / read one value.
    void exec(const QString& sql);
    QVariant scalar(const QString& sql);
    qint64 count(const QString& table, const QString& where = QString());

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ServerDb> m_server;
    std::unique_ptr<TfrmDM> m_dm;
    bool m_ok = false;
};

} // namespace tst
