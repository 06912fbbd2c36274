#include "db/password.h"

#include "db/connection.h"
#include "db/error.h"

#include <QSqlQuery>
#include <sodium.h>
#include <sqlite3.h>

#include <utility>
#include <vector>

namespace db {
namespace {

HashCost& cost()
{
    static HashCost c = HashCost::Interactive;
    return c;
}

QByteArray compared(const QString& typed)
{
    return typed.trimmed().toCaseFolded().toUtf8();
}

bool ready()
{
    static const bool ok = sodium_init() >= 0;
    return ok;
}

} // namespace

QString passwordHash(const QString& typed)
{
    const QByteArray pwd = compared(typed);
    char out[crypto_pwhash_STRBYTES];
    const bool least = cost() == HashCost::Least;
    if (!ready() || crypto_pwhash_str(out, pwd.constData(), static_cast<unsigned long long>(pwd.size()),
                                      least ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                      least ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw Error(QStringLiteral("cannot hash the password (out of memory)"));
    return QString::fromLatin1(out);
}

bool isPasswordHash(const QString& stored)
{
    return stored.startsWith(QLatin1String(crypto_pwhash_STRPREFIX));
}

bool passwordMatches(const QString& stored, const QString& typed)
{
    if (!isPasswordHash(stored))
        return compared(stored) == compared(typed);
    const QByteArray hash = stored.toLatin1();
    const QByteArray pwd = compared(typed);
    return ready() && crypto_pwhash_str_verify(hash.constData(), pwd.constData(),
                                               static_cast<unsigned long long>(pwd.size())) == 0;
}

int hashStoredPasswords(Connection& con)
{
    std::vector<std::pair<qint64, QString>> plain;
    QSqlQuery q = con.select(QStringLiteral("select id, pwd from syslogin"), true);
    while (q.next())
        if (!isPasswordHash(q.value(1).toString()))
            plain.emplace_back(q.value(0).toLongLong(), q.value(1).toString());
    q.finish();
    for (const auto& [id, pwd] : plain)
        con.execute(QStringLiteral("update syslogin set pwd=? where id=?"), {passwordHash(pwd), id});
    return int(plain.size());
}

int hashStoredPasswords(sqlite3* h)
{
    std::vector<std::pair<qint64, QString>> plain;
    sqlite3_stmt* st = nullptr;
    auto failed = [&] {
        const QString why = QString::fromUtf8(sqlite3_errmsg(h));
        sqlite3_finalize(st);
        return Error(why);
    };
    // The texts replaced are overwritten on their pages, not only marked free.
    if (sqlite3_exec(h, "PRAGMA secure_delete=ON", nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(h, "select id, pwd from syslogin", -1, &st, nullptr) != SQLITE_OK)
        throw failed();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const auto* pwd = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        const QString text = pwd ? QString::fromUtf8(pwd) : QString();
        if (!isPasswordHash(text))
            plain.emplace_back(sqlite3_column_int64(st, 0), text);
    }
    if (rc != SQLITE_DONE)
        throw failed();
    sqlite3_finalize(st);
    st = nullptr;
    if (sqlite3_prepare_v2(h, "update syslogin set pwd=? where id=?", -1, &st, nullptr) != SQLITE_OK)
        throw failed();
    for (const auto& [id, pwd] : plain) {
        const QByteArray hash = passwordHash(pwd).toLatin1();
        sqlite3_reset(st);
        sqlite3_bind_text(st, 1, hash.constData(), int(hash.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 2, id);
        if (sqlite3_step(st) != SQLITE_DONE)
            throw failed();
    }
    sqlite3_finalize(st);
    return int(plain.size());
}

void setPasswordHashCost(HashCost c)
{
    cost() = c;
}

} // namespace db
