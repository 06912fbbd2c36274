#include "db/transaction.h"

#include "db/log.h"

namespace db {

Transaction::Transaction(Connection& con, Connection::Writes writes) : m_con(con)
{
    m_con.begin(writes);
    m_active = true;
}

Transaction::~Transaction()
{
    if (!m_active)
        return;
    try {
        m_con.rollback();
    } catch (const Error& e) {
        logFailure(lcDb(), e, QStringLiteral("rollback failed"));
    }
}

void Transaction::commit()
{
    if (!m_active)
        return;
    m_con.commit();
    m_active = false;
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    m_con.rollback();
}

} // namespace db
