#pragma once

#include <QString>
#include <QVariant>

namespace db {

// A fixed text as a complete text literal, quotes included (quotes doubled, NUL characters
// carried as char(0)), for statements written out whole such as fixtures. Text a user typed
// or a file brought is never spliced in: it is a bound value (a ? and its value).
QString quoted(const QString& text);

// The value of a "like ?" that matches the text anywhere: %text%. % and _ typed by the user stay
// wildcards, as the filters intend; a backslash is text on either engine.
QString likeContains(const QString& text);

// Typed text as a bound value: empty text stays text, as '' did in a statement (a null
// QString binds as null).
inline QString text(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

// A whole number as statement text (ids, project numbers, counts).
inline QString num(qint64 n)
{
    return QString::number(n);
}

// A value as display text; whole-number doubles go through qint64 (13800000000, not 1.38e+10).
QString displayText(const QVariant& v);

} // namespace db
