#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <utility>

namespace db {

// A statement and the values of its ? placeholders, in order: what a filter that takes typed
// text builds, so that the text is bound and never part of the statement.
struct Statement
{
    Statement() = default;
    // A statement without values is its text alone.
    Statement(QString text, QVariantList bound = {}) : sql(std::move(text)), values(std::move(bound)) {}

    QString sql;
    QVariantList values;

    // Text with one ? and the value it takes.
    Statement& add(const QString& text, const QVariant& value)
    {
        sql += text;
        values.append(value);
        return *this;
    }
    Statement& operator+=(const QString& text)
    {
        sql += text;
        return *this;
    }
    Statement& operator+=(const Statement& more)
    {
        sql += more.sql;
        values += more.values;
        return *this;
    }
};

inline Statement operator+(const QString& text, const Statement& s)
{
    return {text + s.sql, s.values};
}

inline Statement operator+(Statement s, const QString& text)
{
    s.sql += text;
    return s;
}

} // namespace db
