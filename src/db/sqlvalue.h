#pragma once

#include <QString>
#include <QVariant>

namespace db {

// The one way a user's text enters a statement: a complete text literal, quotes included,
// that no value can break or change the meaning of (quotes doubled, NUL characters carried
// as char(0)). Use it wherever the statement would have '...'.
QString quoted(const QString& text);

// A "like" pattern that matches the text anywhere: '%text%'. % and _ typed by the user stay
// wildcards, as the filters intend; a backslash is text on either engine.
QString likeContains(const QString& text);

// A whole number as statement text (ids, project numbers, counts).
inline QString num(qint64 n) { return QString::number(n); }

// A value as display text; whole-number doubles go through qint64 (13800000000, not 1.38e+10).
QString displayText(const QVariant& v);

} // namespace db
