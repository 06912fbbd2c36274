#include "db/log.h"

#include "db/error.h"

Q_LOGGING_CATEGORY(lcDb, "tellvane.db")

namespace db {

QString failureLine(const Error& e, const QString& context)
{
    // A log record is one line: the server's texts and long statements carry line breaks.
    QString line = context.simplified();
    if (!line.isEmpty())
        line += QStringLiteral(": ");
    line += e.text().simplified();
    if (!e.statement().isEmpty())
        line += QStringLiteral(" [statement: ") + e.statement().simplified() + QStringLiteral("]");
    return line;
}

void logFailure(const QLoggingCategory& category, const Error& e, const QString& context)
{
    qCWarning(category).noquote() << failureLine(e, context);
}

} // namespace db
