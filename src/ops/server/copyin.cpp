#include "ops/server/copyin.h"

#include <QSqlDriver>
#include <libpq-fe.h>

namespace ops::server {
namespace {

constexpr qsizetype kChunk = 1 << 20;

PGconn* pg(void* c)
{
    return static_cast<PGconn*>(c);
}

QString serverError(PGconn* c)
{
    return QString::fromUtf8(PQerrorMessage(c)).trimmed();
}

// Reads the results of the ended COPY; the first failure's text, or empty.
QString drain(PGconn* c)
{
    QString why;
    while (PGresult* r = PQgetResult(c)) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK && why.isEmpty())
            why = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
        PQclear(r);
    }
    return why;
}

// A value in COPY's text format: \N for null; backslash, tab, newline and carriage return escaped.
void append(QByteArray& out, const QVariant& v)
{
    if (v.isNull()) {
        out += "\\N";
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        out += QByteArray::number(v.toLongLong());
        return;
    case QMetaType::Double:
        out += QByteArray::number(v.toDouble(), 'g', 17); // exact: draw keys are compared
        return;
    default:
        break;
    }
    const QByteArray text = v.toString().toUtf8();
    for (const char ch : text) {
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += ch;
        }
    }
}

} // namespace

CopyIn::CopyIn(db::Connection& con, const QString& table, const QStringList& columns) : m_table(table)
{
    const QVariant h = con.database().driver()->handle();
    // Qt's driver hands out its libpq connection (PGconn is a typedef of struct pg_conn)
    if (con.engine() != db::Engine::PostgreSQL || !h.isValid() ||
        (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        throw db::Error(QStringLiteral("not a server connection"));
    m_conn = *static_cast<PGconn* const*>(h.constData());
    // table and column names come from the schema, never from typed text
    const QString sql = QStringLiteral("COPY \"%1\" (%2) FROM STDIN").arg(table, columns.join(u','));
    PGresult* r = PQexec(pg(m_conn), sql.toUtf8().constData());
    const bool ok = PQresultStatus(r) == PGRES_COPY_IN;
    const QString why = ok ? QString() : QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
    PQclear(r);
    if (!ok)
        throw db::Error(why, sql);
    m_open = true;
    m_buffer.reserve(kChunk + 4096);
}

CopyIn::~CopyIn()
{
    if (!m_open)
        return;
    PQputCopyEnd(pg(m_conn), "copy abandoned");
    drain(pg(m_conn));
}

void CopyIn::row(const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            m_buffer += '\t';
        append(m_buffer, values[i]);
    }
    m_buffer += '\n';
    if (m_buffer.size() >= kChunk)
        flush();
}

void CopyIn::flush()
{
    if (!m_buffer.isEmpty() && PQputCopyData(pg(m_conn), m_buffer.constData(), int(m_buffer.size())) != 1)
        throw db::Error(QStringLiteral("copying %1: %2").arg(m_table, serverError(pg(m_conn))));
    m_buffer.clear();
}

void CopyIn::finish()
{
    flush();
    m_open = false;
    if (PQputCopyEnd(pg(m_conn), nullptr) != 1)
        throw db::Error(QStringLiteral("copying %1: %2").arg(m_table, serverError(pg(m_conn))));
    const QString why = drain(pg(m_conn));
    if (!why.isEmpty())
        throw db::Error(QStringLiteral("copying %1: %2").arg(m_table, why));
}

} // namespace ops::server
