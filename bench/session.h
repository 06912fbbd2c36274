#pragma once

#include "db/dm.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace bench {

// A benchmark's database: a fresh one from the schema in a temporary folder, opened as the
// program's one connection, with the login values of the operator it runs as. Everything is put
// back when it ends, whichever way the benchmark returns.
class Session
{
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool ok() const { return m_ok; }
    QString file() const;
    // Sets the login values as a login of this operator would (no dialog).
    void login(const QString& uname, const QString& truename, const QString& tp);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TfrmDM> m_dm;
    bool m_ok = false;
};

} // namespace bench
