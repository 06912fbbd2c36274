#include "db/roles.h"

#include "db/connection.h"
#include "db/error.h"

#include <QCryptographicHash>
#include <QSqlDriver>
#include <libpq-fe.h>

namespace db {
namespace {

constexpr qsizetype kMaxRoleBytes = 63; // NAMEDATALEN - 1: the server cuts longer names short

} // namespace

QString roleName(const QString& uname)
{
    const QString folded = uname.trimmed().toCaseFolded();
    const QString whole = QStringLiteral("tv_") + folded;
    if (whole.toUtf8().size() <= kMaxRoleBytes)
        return whole;
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(folded.toUtf8(), QCryptographicHash::Sha256).toHex().left(12));
    QString head = whole;
    // whole characters only, so that the name stays valid UTF-8
    while ((head + u'_' + digest).toUtf8().size() > kMaxRoleBytes)
        head.chop(head.size() >= 2 && head.at(head.size() - 1).isLowSurrogate() ? 2 : 1);
    return head + u'_' + digest;
}

QString rolePassword(const QString& typed)
{
    return typed.trimmed().toCaseFolded();
}

QString scramVerifier(Connection& con, const QString& role, const QString& typed)
{
    const QVariant h = con.database().driver() ? con.database().driver()->handle() : QVariant();
    PGconn* c = nullptr;
    if (h.isValid() && (qstrcmp(h.typeName(), "PGconn*") == 0 || qstrcmp(h.typeName(), "pg_conn*") == 0))
        c = *static_cast<PGconn* const*>(h.constData());
    if (!c)
        throw Error(QStringLiteral("a password is set on the server only"));
    const QByteArray pwd = rolePassword(typed).toUtf8();
    const QByteArray user = role.toUtf8();
    char* v = PQencryptPasswordConn(c, pwd.constData(), user.constData(), "scram-sha-256");
    if (!v)
        throw Error(QString::fromUtf8(PQerrorMessage(c)).trimmed());
    const QString out = QString::fromLatin1(v);
    PQfreemem(v);
    return out;
}

} // namespace db
