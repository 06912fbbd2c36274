#pragma once

#include <QLoggingCategory>
#include <QString>

// The database layer's messages (tellvane.db): rollbacks that fail, server settings not taken.
Q_DECLARE_LOGGING_CATEGORY(lcDb)

namespace db {

class Error;

// The one form of a failure's line in the log: what was being done (or what the user was told),
// the engine's text and the statement that failed, on one line.
QString failureLine(const Error& e, const QString& context = QString());

// Writes that line as a warning of the category. Called once, where the failure is caught:
// where it is shown, or where an operation turns it into a result.
void logFailure(const QLoggingCategory& category, const Error& e, const QString& context = QString());

} // namespace db
