#pragma once

#include "db/connection.h"

namespace db {

// Begins in the constructor; commit() makes the work permanent; leaving the scope any other
// way (an exception, an early return) rolls it back. A failed action never leaves a
// transaction open.
class Transaction
{
public:
    explicit Transaction(Connection& con, Connection::Writes writes = Connection::Writes::Database);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback();
    bool active() const { return m_active; }

private:
    Connection& m_con;
    bool m_active = false;
};

} // namespace db
