#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// What kind of failure, as far as the engine tells, so that a window can name it in its own words.
enum class Fault {
    Statement,  // the statement itself failed (the engine's text says why)
    Connection, // the server cannot be reached or the session ended
    Permission, // the database account has no right to do it
    Login,      // the server refused the login: wrong password, unknown or disabled operator
};

// A failed statement: carries the engine's own text and the statement that failed.
class Error : public std::runtime_error
{
public:
    Error(const QString& text, const QString& statement = QString(), Fault fault = Fault::Statement)
        : std::runtime_error(text.toStdString()), m_text(text), m_statement(statement), m_fault(fault)
    {
    }
    QString text() const { return m_text; }
    QString statement() const { return m_statement; }
    Fault fault() const { return m_fault; }

private:
    QString m_text;
    QString m_statement;
    Fault m_fault;
};

} // namespace db
