#pragma once

#include "db/connection.h"

#include <QByteArray>
#include <QStringList>
#include <QVariantList>

namespace ops::server {

// Streams rows into one table of the open server connection with COPY ... FROM STDIN, the
// server's bulk path (a million rows in seconds, against minutes for inserts of a thousand
// rows each). Runs inside the connection's transaction. finish() ends the stream and throws
// db::Error with the server's reason if it refused a row; leaving without finish() abandons
// the stream, so the caller's rollback finds the session usable.
class CopyIn
{
public:
    CopyIn(db::Connection& con, const QString& table, const QStringList& columns);
    ~CopyIn();
    CopyIn(const CopyIn&) = delete;
    CopyIn& operator=(const CopyIn&) = delete;

    void row(const QVariantList& values);
    void finish();

private:
    void flush();
    void* m_conn = nullptr; // PGconn
    QString m_table;
    QByteArray m_buffer;
    bool m_open = false;
};

} // namespace ops::server
