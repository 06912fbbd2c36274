#include "db/connection.h"

#include "db/functions.h"
#include "db/log.h"
#include "db/walguard.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QTimeZone>
#include <QUrl>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <atomic>
#include <utility>

namespace db {
namespace {

QString errorText(const QSqlError& e)
{
    QString t = e.databaseText();
    if (t.isEmpty())
        t = e.text();
    return t;
}

PGconn* pgConnection(const QSqlDatabase& db)
{
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(h.constData());
}

// The statement with the server's own placeholders: the n-th ? outside quoted text, quoted
// names and comments becomes $n.
QByteArray numberedParameters(const QString& sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    int n = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            const qsizetype end = sql.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop - 1;
        } else if (c == u'-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            const qsizetype stop = end < 0 ? sql.size() : end;
            out += QStringView(sql).mid(i, stop - i);
            i = stop - 1;
        } else if (c == u'/' && i + 1 < sql.size() && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype stop = end < 0 ? sql.size() : end + 2;
            out += QStringView(sql).mid(i, stop - i);
            i = stop - 1;
        } else if (c == u'?') {
            out += u'$' + QString::number(++n);
        } else {
            out += c;
        }
    }
    return out.toUtf8();
}

// Null as the drivers bind it: a null variant, and a null text, byte array, date or time.
bool isNullValue(const QVariant& v)
{
    if (v.isNull())
        return true;
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString().isNull();
    case QMetaType::QByteArray:
        return v.toByteArray().isNull();
    case QMetaType::QDate:
        return !v.toDate().isValid();
    case QMetaType::QTime:
        return !v.toTime().isValid();
    case QMetaType::QDateTime:
        return !v.toDateTime().isValid();
    default:
        return false;
    }
}

// A value as the server reads a parameter given as text (the type is the one the statement
// gives it). The server's text cannot hold a NUL: it is left out, as char(0) is.
QByteArray parameterText(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float:
        return QByteArray::number(v.toDouble(), 'g', 17);
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate).toLatin1();
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
    default: {
        QString text = v.toString();
        text.remove(QChar(0));
        return text.toUtf8();
    }
    }
}

} // namespace

QString conninfoValue(const QString& value)
{
    QString v = value;
    v.replace(u'\\', QStringLiteral("\\\\"));
    v.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + v + u'\'';
}

QString ServerParams::describe() const
{
    QString where;
    if (!service.isEmpty())
        where = QStringLiteral("service=") + service + u' ';
    where += host.isEmpty() ? QString::fromLocal8Bit(qgetenv("PGHOST")) : host;
    if (where.trimmed().isEmpty())
        where += QStringLiteral("localhost");
    const QString p = port > 0 ? QString::number(port) : QString::fromLocal8Bit(qgetenv("PGPORT"));
    if (!p.isEmpty())
        where += u':' + p;
    const QString d = database.isEmpty() ? QString::fromLocal8Bit(qgetenv("PGDATABASE")) : database;
    if (!d.isEmpty())
        where += u'/' + d;
    return where;
}

Connection::Connection(const QString& name) : m_name(name) {}

namespace {

// Whether the server asked for the password and then refused the role: a wrong password, a role
// that is not there or may not log in (the server does not tell which, and neither does the
// login). A database that is not there is refused after the password as well, but its message
// names the database, not the role (in every language of the server's messages). Qt keeps only
// the message of a failed connection, so libpq is asked on a connection of its own.
bool passwordRefused(const ServerParams& p, const QString& why)
{
    if (p.user.isEmpty() || !why.contains(u'"' + p.user + u'"'))
        return false;
    QString info = QStringLiteral("connect_timeout=10");
    auto add = [&info](const char* key, const QString& value) {
        if (!value.isEmpty())
            info += u' ' + QLatin1String(key) + u'=' + conninfoValue(value);
    };
    add("host", p.host);
    add("port", p.port > 0 ? QString::number(p.port) : QString());
    add("dbname", p.database);
    add("user", p.user);
    add("service", p.service);
    add("password", p.password);
    PGconn* c = PQconnectdb(info.toUtf8().constData());
    const bool refused = c && PQstatus(c) != CONNECTION_OK && PQconnectionUsedPassword(c);
    PQfinish(c);
    return refused;
}

} // namespace

QSqlDatabase Connection::driverDatabase(const char* driver)
{
    if (QSqlDatabase::contains(m_name)) {
        if (QSqlDatabase::database(m_name, false).driverName() == QLatin1String(driver))
            return QSqlDatabase::database(m_name, false);
        QSqlDatabase::removeDatabase(m_name);
    }
    return QSqlDatabase::addDatabase(QLatin1String(driver), m_name);
}

void Connection::openServer(const ServerParams& p)
{
    close();
    QSqlDatabase db = driverDatabase("QPSQL");
    if (!db.isValid())
        throw Error(QStringLiteral("the PostgreSQL driver of Qt is not installed (libqt6sql6-psql)"));
    db.setHostName(p.host);
    db.setPort(p.port > 0 ? p.port : -1);
    db.setDatabaseName(p.database);
    db.setUserName(p.user);
    db.setPassword(p.password);
    QString options = QStringLiteral("connect_timeout=10");
    // Qt quotes host, database and user itself but passes the options on as they are.
    if (!p.service.isEmpty())
        options += QStringLiteral(";service=") + conninfoValue(p.service);
    db.setConnectOptions(options);
    if (!db.open()) {
        const QString why = errorText(db.lastError()).trimmed();
        db.setConnectOptions();
        db.setPassword(QString());
        throw Error(why, QString(),
                    !p.password.isEmpty() && passwordRefused(p, why) ? Fault::Login : Fault::Connection);
    }
    m_engine = Engine::PostgreSQL;
    m_server = p;
    m_depth = 0;
    try {
        // Times are written in the seat's local time, as on the file.
        const QByteArray zone = QTimeZone::systemTimeZoneId();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select set_config('TimeZone', ?, false)"));
        q.addBindValue(QString::fromUtf8(zone));
        if (zone.isEmpty() || !q.exec())
            qCWarning(lcDb, "time zone %s not known to the server; the server's own is used", zone.constData());
        q.finish();
        // A site may turn it off; quoted text in a statement is only literal with it on.
        runRaw(QStringLiteral("set standard_conforming_strings = on"));
        runRaw(QStringLiteral("set client_min_messages = warning"));
        setLockTimeout();
    } catch (...) {
        db.close();
        m_engine = Engine::SQLite;
        m_server = ServerParams();
        throw;
    }
}

void Connection::setLockTimeout()
{
    // A lock another seat holds is waited for as long as a busy file would be.
    runRaw(QStringLiteral("set lock_timeout = %1").arg(m_busyMs));
}

Connection::~Connection()
{
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

void Connection::open(const QString& filePath)
{
    close();
    const QString abs = QFileInfo(filePath).absoluteFilePath();
    QSqlDatabase db = driverDatabase("QSQLITE");
    m_engine = Engine::SQLite;
    m_server = ServerParams();
    // mode=rw: a missing file fails cleanly instead of leaving an empty database behind.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMs));
    db.setDatabaseName(QString::fromLatin1(QUrl::fromLocalFile(abs).toEncoded()) + QStringLiteral("?mode=rw"));
    if (!db.open())
        throw Error(errorText(db.lastError()));
    m_path = abs;
    m_depth = 0;
    try {
        sqlite3* h = handle();
        if (!h || !registerJetFunctions(h))
            throw Error(QStringLiteral("unable to register database functions"));
        // A file that is not a database only shows itself at the first read; an empty one reads
        // as an empty database, and the first write below would make it one.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA page_count")) || !q.next())
            throw Error(errorText(q.lastError()));
        if (q.value(0).toLongLong() == 0)
            throw Error(QStringLiteral("file is not a database (it is empty)"));
        q.finish();
        runRaw(QStringLiteral("PRAGMA foreign_keys=OFF"));
        // WAL is kept in the file, so it needs switching once (a copy restored from elsewhere, an
        // older file). It needs the file to itself for a moment: when another program is busy, or
        // the file cannot be written, this session goes on in the mode the file has.
        sqlite3_busy_timeout(h, qMin(m_busyMs, 250));
        QSqlQuery wal(db);
        wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        wal.finish();
        sqlite3_busy_timeout(h, m_busyMs);
        // Statement journals and sorts stay in memory: with them on disk every insert into a
        // table with triggers paid for a scratch file.
        runRaw(QStringLiteral("PRAGMA temp_store=MEMORY"));
        // 64 MB of pages in memory (2 MB by default): reports that read a million answer rows
        // through an index otherwise go back to the file for most of them.
        runRaw(QStringLiteral("PRAGMA cache_size=-65536"));
        guardWal(h, abs);
    } catch (...) {
        db.close();
        m_path.clear();
        throw;
    }
    noteOpenFile(m_path);
}

std::unique_ptr<Connection> Connection::openReader() const
{
    // A lost server session is no reason not to try: the reader opens a session of its own.
    if (!isOpen() && !(m_lost && m_engine == Engine::PostgreSQL))
        throw Error(QStringLiteral("database is not open"), QString(), Fault::Connection);
    static std::atomic<int> serial{0};
    auto reader = std::make_unique<Connection>(QStringLiteral("%1.read%2").arg(m_name).arg(++serial));
    reader->m_hook = m_hook;
    reader->m_busyMs = m_busyMs;
    reader->m_reader = true;
    if (m_engine == Engine::PostgreSQL) {
        reader->openServer(m_server);
        reader->readerSession();
        return reader;
    }
    reader->open(m_path);
    // Any write through it fails; sorts spill to files instead of growing in memory. It reads
    // lists front to back once, so a large page cache buys nothing; and the cache's size is also
    // how much of a sort SQLite holds in memory before spilling (64 MB chunks, several at once).
    reader->runRaw(QStringLiteral("PRAGMA query_only=ON"));
    reader->runRaw(QStringLiteral("PRAGMA temp_store=FILE"));
    reader->runRaw(QStringLiteral("PRAGMA cache_size=-2000"));
    return reader;
}

void Connection::readerSession()
{
    // Its own session; every transaction it starts only reads. A list shows its first rows long
    // before compiling its plan to machine code would pay off.
    runRaw(QStringLiteral("set default_transaction_read_only = on; set jit = off"));
}

void Connection::openScratch()
{
    if (m_engine != Engine::SQLite || m_scratch)
        return;
    auto file =
        std::make_unique<QTemporaryFile>(QDir(QDir::tempPath()).filePath(QStringLiteral("tellvane-XXXXXX.scratch")));
    if (!file->open())
        throw Error(QStringLiteral("cannot make a scratch file: ") + file->errorString());
    file->close(); // an empty file: SQLite lays a database into it
    execute(QStringLiteral("attach database ? as scratch"), {file->fileName()});
    m_scratch = std::move(file);
    // Nothing in it outlives the connection: no need to wait for the disk; pages held in memory
    // as for the file itself.
    runRaw(QStringLiteral("PRAGMA scratch.synchronous=OFF"));
    runRaw(QStringLiteral("PRAGMA scratch.cache_size=-65536"));
}

void Connection::close()
{
    // They belong to the session, and must go before it does.
    m_kept.clear();
    if (!QSqlDatabase::contains(m_name))
        return;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isOpen()) {
        if (m_depth > 0)
            db.rollback();
        if (m_engine == Engine::SQLite && !m_path.isEmpty()) {
            unguardWal(handle());
            forgetOpenFile(m_path);
        }
        db.close();
    }
    m_scratch.reset(); // after the handle that had it attached
    m_depth = 0;
    m_lost = false;
    ++m_txSerial;
    m_path.clear();
    m_afterTransaction.clear();
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

void Connection::setBusyTimeout(int ms)
{
    m_busyMs = ms;
    if (!isOpen())
        return;
    if (m_engine == Engine::PostgreSQL)
        setLockTimeout();
    else if (sqlite3* h = handle())
        sqlite3_busy_timeout(h, ms);
}

bool Connection::isReadOnly() const
{
    if (m_engine == Engine::PostgreSQL)
        return false;
    sqlite3* h = isOpen() ? handle() : nullptr;
    return h && sqlite3_db_readonly(h, "main") == 1;
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

sqlite3* Connection::handle() const
{
    const QVariant v = database().driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(v.data());
    return nullptr;
}

void Connection::runRaw(const QString& sql)
{
    QSqlQuery q(database());
    if (!q.exec(sql))
        throw failure(q.lastError(), sql);
}

Error Connection::failure(const QSqlError& e, const QString& sql)
{
    if (m_engine == Engine::SQLite && walMoved(handle()))
        return Error(walLostText(), sql);
    if (m_engine == Engine::PostgreSQL && !m_lost) {
        // Is the session still there? (Inside a failed transaction it only refuses statements.)
        QSqlQuery probe(database());
        if (!probe.exec(QStringLiteral("select 1")) && probe.lastError().nativeErrorCode() != u"25P02")
            m_lost = true;
    }
    Fault fault = Fault::Statement;
    if (m_lost)
        fault = Fault::Connection;
    else if (e.nativeErrorCode() == u"42501") // insufficient_privilege
        fault = Fault::Permission;
    return Error(errorText(e), sql, fault);
}

void Connection::revive()
{
    // A server session that ended (network, server restart) is opened afresh for the next
    // statement once no transaction of the old one is pending; that transaction the server
    // has rolled back.
    if (!m_lost || m_depth != 0 || m_engine != Engine::PostgreSQL)
        return;
    // Lost stays set until a session is there again: while the server is down every action
    // fails with its reason, and the first one after it is back carries on.
    const ServerParams p = m_server;
    try {
        openServer(p);
        if (m_reader)
            readerSession(); // a new session starts with the server's defaults
    } catch (const Error& e) {
        close();
        m_engine = Engine::PostgreSQL;
        m_server = p;
        m_lost = true;
        throw Error(e.text(), e.statement(), Fault::Connection);
    }
}

QString Connection::statementFor(const QString& jet, bool announce)
{
    revive();
    if (!isOpen())
        throw Error(QStringLiteral("database is not open"), jet, Fault::Connection);
    const QString sql = translate(jet, engine());
    if (announce && *m_hook)
        (*m_hook)(sql);
    return sql;
}

QSqlQuery Connection::run(const QString& jet, bool forwardOnly, const QVariantList* values)
{
    const QString sql = statementFor(jet);
    QSqlQuery q(database());
    q.setForwardOnly(forwardOnly);
    if (values) {
        if (!q.prepare(sql))
            throw failure(q.lastError(), sql);
        for (const QVariant& v : *values)
            q.addBindValue(v);
        if (!q.exec())
            throw failure(q.lastError(), sql);
        return q;
    }
    if (!q.exec(sql))
        throw failure(q.lastError(), sql);
    return q;
}

int Connection::execute(const QString& jet, const QVariantList& values)
{
    if (values.isEmpty())
        return execute(jet);
    if (m_engine == Engine::PostgreSQL) {
        const QString sql = statementFor(jet);
        return serverBound(sql, values, sql);
    }
    return run(jet, true, &values).numRowsAffected();
}

QSqlQuery Connection::select(const QString& jet, const QVariantList& values, bool forwardOnly)
{
    if (values.isEmpty())
        return select(jet, forwardOnly);
    if (m_engine == Engine::PostgreSQL)
        return serverBoundRows(statementFor(jet), values);
    return run(jet, forwardOnly, &values);
}

// Qt's driver writes bound values into the statement text as quoted literals, escaped for the
// standard_conforming_strings the session had when it opened: the server's own binding (its
// extended protocol, through libpq) leaves no text to misread.
int Connection::serverBound(const QString& sql, const QVariantList& values, const QString& shown)
{
    PGconn* c = pgConnection(database());
    if (!c)
        throw Error(QStringLiteral("database is not open"), shown, Fault::Connection);
    if (PQtransactionStatus(c) == PQTRANS_ACTIVE) {
        // A forward-only result of the driver is still coming in: the driver deals with it
        // before the connection takes another statement.
        QSqlQuery settle(database());
        settle.exec(QStringLiteral("select 1"));
    }
    std::vector<QByteArray> texts(size_t(values.size()));
    std::vector<const char*> given(size_t(values.size()), nullptr);
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (isNullValue(values[i]))
            continue;
        texts[size_t(i)] = parameterText(values[i]);
        given[size_t(i)] = texts[size_t(i)].constData();
    }
    const QByteArray text = numberedParameters(sql);
    PGresult* r = PQexecParams(c, text.constData(), int(values.size()), nullptr, given.data(), nullptr, nullptr, 0);
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const QString why = QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(c)).trimmed();
        const char* code = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
        PQclear(r);
        throw failure(QSqlError(QStringLiteral("Unable to execute statement"), why, QSqlError::StatementError,
                                QString::fromLatin1(code ? code : "")),
                      shown);
    }
    const int changed = QByteArray(PQcmdTuples(r)).toInt();
    PQclear(r);
    return changed;
}

QSqlQuery Connection::serverBoundRows(const QString& sql, const QVariantList& values)
{
    // The values are bound by the server in a cursor's declaration; the driver reads its rows
    // (and makes their values as it does for any select). A cursor lives in a transaction.
    const bool own = m_depth == 0;
    const QString cursor = QStringLiteral("tv_bound%1").arg(++m_cursors);
    if (own)
        runRaw(QStringLiteral("begin"));
    try {
        serverBound(QStringLiteral("declare ") + cursor + QStringLiteral(" no scroll cursor for ") + sql, values, sql);
        QSqlQuery rows(database());
        if (!rows.exec(QStringLiteral("fetch all from ") + cursor))
            throw failure(rows.lastError(), sql);
        runRaw(own ? QStringLiteral("commit") : QStringLiteral("close ") + cursor);
        return rows;
    } catch (...) {
        if (own) {
            QSqlQuery end(database());
            end.exec(QStringLiteral("rollback"));
        }
        throw;
    }
}

QVariant Connection::scalar(const QString& jet, const QVariantList& values)
{
    QSqlQuery q = select(jet, values);
    if (q.next())
        return q.value(0);
    return QVariant();
}

int Connection::execute(const QString& jet)
{
    return run(jet, true).numRowsAffected();
}

QSqlQuery Connection::select(const QString& jet, bool forwardOnly)
{
    return run(jet, forwardOnly);
}

QVariant Connection::scalar(const QString& jet)
{
    QSqlQuery q = select(jet);
    if (q.next())
        return q.value(0);
    return QVariant();
}

Prepared Connection::prepare(const QString& jet)
{
    const QString sql = statementFor(jet, false); // the hook sees each run, not the preparing
    QSqlQuery q(database());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw failure(q.lastError(), sql);
    return Prepared(this, std::move(q), sql);
}

QSqlRecord Connection::firstRowKept(const QString& jet, const QVariantList& values)
{
    revive();
    if (m_engine != Engine::PostgreSQL) {
        QSqlQuery q = select(jet, values, true);
        return q.next() ? q.record() : QSqlRecord();
    }
    if (!isOpen())
        throw Error(QStringLiteral("database is not open"), jet, Fault::Connection);
    auto it = m_kept.find(jet);
    if (it == m_kept.end()) {
        auto kept = std::make_unique<Kept>(Kept{QSqlQuery(database()), translate(jet, engine())});
        kept->query.setForwardOnly(true);
        if (!kept->query.prepare(kept->sql))
            throw failure(kept->query.lastError(), kept->sql);
        it = m_kept.emplace(jet, std::move(kept)).first;
    }
    QSqlQuery& q = it->second->query;
    const QString& sql = it->second->sql;
    if (*m_hook)
        (*m_hook)(sql);
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec())
        throw failure(q.lastError(), sql);
    QSqlRecord row = q.next() ? q.record() : QSqlRecord();
    q.finish();
    return row;
}

void Connection::scan(const QString& jet, const std::function<void(const RowView&)>& row)
{
    const QString sql = statementFor(jet);
    if (m_engine == Engine::PostgreSQL) {
        QSqlQuery q(database());
        q.setForwardOnly(true);
        if (!q.exec(sql))
            throw failure(q.lastError(), sql);
        const RowView view(&q);
        view.m_texts.resize(size_t(q.record().count()));
        while (q.next())
            row(view);
        if (q.lastError().isValid())
            throw failure(q.lastError(), sql);
        return;
    }
    sqlite3* h = handle();
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(h, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK)
        throw Error(QString::fromUtf8(sqlite3_errmsg(h)), sql);
    struct Finalize
    {
        sqlite3_stmt* s;
        ~Finalize() { sqlite3_finalize(s); }
    } done{stmt};
    const RowView view(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row(view);
    if (rc != SQLITE_DONE)
        throw Error(QString::fromUtf8(sqlite3_errmsg(h)), sql);
}

bool RowView::isNull(int column) const
{
    if (m_query)
        return m_query->isNull(column);
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 RowView::integer(int column) const
{
    if (m_query)
        return m_query->value(column).toLongLong();
    return sqlite3_column_int64(m_stmt, column);
}

QByteArrayView RowView::utf8(int column) const
{
    if (m_query) {
        QByteArray& t = m_texts[size_t(column)];
        t = m_query->value(column).toString().toUtf8();
        return t;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return p ? QByteArrayView(p, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
}

Prepared::Prepared(Connection* con, QSqlQuery query, QString sql)
    : m_con(con), m_query(std::move(query)), m_sql(std::move(sql))
{
}

int Prepared::run(const QVariantList& values)
{
    if (*m_con->m_hook)
        (*m_con->m_hook)(m_sql);
    for (int i = 0; i < values.size(); ++i)
        m_query.bindValue(i, values[i]);
    if (!m_query.exec())
        throw m_con->failure(m_query.lastError(), m_sql);
    return m_query.numRowsAffected();
}

void Connection::begin(Writes writes)
{
    revive();
    if (!isOpen())
        throw Error(QStringLiteral("database is not open"), QString(), Fault::Connection);
    if (m_depth == 0)
        runRaw(m_engine == Engine::PostgreSQL || writes == Writes::OwnTablesOnly ? QStringLiteral("BEGIN")
                                                                                 : QStringLiteral("BEGIN IMMEDIATE"));
    else
        runRaw(QStringLiteral("SAVEPOINT tv%1").arg(m_depth));
    ++m_depth;
}

void Connection::commit()
{
    if (m_depth <= 0)
        throw Error(QStringLiteral("no transaction is active"));
    if (m_depth == 1) {
        // A server transaction in which a statement failed can only end in a rollback: its
        // COMMIT answers "ROLLBACK", which libpq does not count as an error. libpq knows the
        // state from the server's last answer, without asking again.
        if (m_engine == Engine::PostgreSQL && pgTransactionFailed()) {
            rollback();
            throw Error(QStringLiteral("the transaction was rolled back: one of its statements failed on the server"),
                        QStringLiteral("COMMIT"));
        }
        runRaw(QStringLiteral("COMMIT"));
    } else
        runRaw(QStringLiteral("RELEASE SAVEPOINT tv%1").arg(m_depth - 1));
    if (--m_depth == 0)
        transactionEnded();
}

void Connection::rollback()
{
    if (m_depth <= 0)
        return;
    --m_depth;
    if (m_depth == 0) {
        QSqlQuery q(database());
        // On the server a failed rollback means the session is gone, and the server has ended its
        // transaction with it.
        const bool failed =
            !q.exec(QStringLiteral("ROLLBACK")) && m_engine == Engine::SQLite && sqlite3_get_autocommit(handle()) == 0;
        transactionEnded();
        if (failed)
            throw Error(errorText(q.lastError()));
    } else {
        runRaw(QStringLiteral("ROLLBACK TO SAVEPOINT tv%1").arg(m_depth));
        runRaw(QStringLiteral("RELEASE SAVEPOINT tv%1").arg(m_depth));
    }
}

bool Connection::pgTransactionFailed() const
{
    PGconn* c = pgConnection(database());
    return c && PQtransactionStatus(c) == PQTRANS_INERROR;
}

void Connection::afterTransaction(std::function<void()> f)
{
    if (m_depth == 0)
        f();
    else
        m_afterTransaction.push_back(std::move(f));
}

void Connection::transactionEnded()
{
    ++m_txSerial;
    const auto pending = std::exchange(m_afterTransaction, {});
    for (const auto& f : pending)
        f();
}

} // namespace db
