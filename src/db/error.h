#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// A failed statement: carries the engine's own text and the statement that failed.
class Error : public std::runtime_error
{
public:
    Error(const QString& text, const QString& statement = QString())
        : std::runtime_error(text.toStdString()), m_text(text), m_statement(statement)
    {
    }
    QString text() const { return m_text; }
    QString statement() const { return m_statement; }

private:
    QString m_text;
    QString m_statement;
};

} // namespace db
