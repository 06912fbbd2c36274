#pragma once

#include "db/dialect.h"
#include "db/error.h"
#include "db/statement.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QTemporaryFile>
#include <QVariant>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

class Connection;

// Where a server database is, in PostgreSQL's own terms; an empty field means libpq's default
// (environment PGHOST/PGPORT/PGDATABASE/PGUSER, ~/.pgpass, service file). The password is the
// one typed at the login, never one of a setting.
struct ServerParams
{
    QString host;
    int port = 0;
    QString database;
    QString user;
    QString service;
    // The operator's password for its role, held in memory for the sessions of this login (the
    // lists' own, a session opened again); never read from or written to any setting.
    QString password;
    // "host:port/database" as far as known, for messages.
    QString describe() const;
};

// A value for a libpq connection string: single-quoted, \\ and \' escaped, so that no value can
// add keys of its own.
QString conninfoValue(const QString& value);

// A statement translated and prepared once and run many times with new values: bulk writes
// (the detail report writes one row per customer) without preparing the text each time.
class Prepared
{
public:
    // Binds values to the ? placeholders in order, runs, and returns the number of rows changed.
    int run(const QVariantList& values);

private:
    friend class Connection;
    Prepared(Connection* con, QSqlQuery query, QString sql);
    Connection* m_con;
    QSqlQuery m_query;
    QString m_sql;
};

// One row of a result read by Connection::scan: the values as the engine holds them, valid only
// inside the callback.
class RowView
{
public:
    bool isNull(int column) const;
    qint64 integer(int column) const;
    // Text as UTF-8 bytes (empty for null).
    QByteArrayView utf8(int column) const;

private:
    friend class Connection;
    explicit RowView(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    explicit RowView(const QSqlQuery* query) : m_query(query) {}
    sqlite3_stmt* m_stmt = nullptr;
    // On the server: the row of a forward-only query, its texts kept while the row is read.
    const QSqlQuery* m_query = nullptr;
    mutable std::vector<QByteArray> m_texts;
};

// A connection to the database, a file or a server: the data module's ADOcon, which every
// window writes through, and read-only ones of their own for grids (openReader). Statements are
// given in the Jet dialect and translated here (dialect.h). They are run (execute), read (select,
// scalar; scan for long reads, browse for grids, firstRowKept for one row of a kept statement),
// prepared for bulk writes (prepare), and grouped in transactions (see Transaction; nested ones
// become savepoints). Every failure throws db::Error carrying the engine's own text and the
// statement that failed.
class Connection
{
public:
    explicit Connection(const QString& name = QStringLiteral("ADOcon"));
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing database file for reading and writing; never creates one. The file is
    // switched to WAL (readers and the writer do not block each other) where it can be.
    void open(const QString& filePath);
    // Opens a database on a PostgreSQL server (laid with tellvane-initdb --server). Throws
    // db::Error with the server's reason when it cannot be reached (Fault::Connection) or when it
    // asked for the password and refused the login (Fault::Login).
    void openServer(const ServerParams& p);
    void close();
    bool isOpen() const;
    // The file is open but cannot be written (file permissions, a read-only medium).
    bool isReadOnly() const;

    // How long a statement waits for another program's write to end before it fails; applies
    // to the open connection and to later opens (on the server: how long it waits for a lock).
    static constexpr int kDefaultBusyTimeoutMs = 15000;
    void setBusyTimeout(int ms);
    int busyTimeout() const { return m_busyMs; }
    QString filePath() const { return m_path; }
    QString name() const { return m_name; }
    Engine engine() const { return m_engine; }
    ServerParams server() const { return m_server; }
    // The operator changed the own password: later sessions (lists, a session opened again) use it.
    void rememberPassword(const QString& password) { m_server.password = password; }

    // insert / update / delete / DDL. Returns the number of rows changed.
    int execute(const QString& jet);
    // A select, positioned before its first row. forwardOnly: read once, front to back (cheaper).
    QSqlQuery select(const QString& jet, bool forwardOnly = false);
    // A select for a list the user scrolls through (a grid's model): rows are read as they are
    // asked for, a window at a time, and kept once read. On the file that is how a select reads;
    // on the server a plain select brings the whole result over at once, so the rows come
    // through a cursor instead: outside a transaction in a read-only transaction of its own that
    // stands on one snapshot until the last row is read or the result is let go (statements run
    // here meanwhile see that snapshot); inside one, in that transaction, until it ends.
    // A window that cannot be read leaves the rows read so far and sets the query's lastError().
    QSqlQuery browse(const QString& jet);
    // The same with bound values (each ? takes the next value).
    QSqlQuery browse(const QString& jet, const QVariantList& values);
    // First column of the first row, or a null QVariant when there is no row.
    QVariant scalar(const QString& jet);

    // The same with bound values: each ? of the statement takes the next value, so no value
    // can break or change the statement. Same translation, hook and error text as above.
    // On the server the values travel apart from the statement (the server binds them), whatever
    // the session's standard_conforming_strings says.
    int execute(const QString& jet, const QVariantList& values);
    QSqlQuery select(const QString& jet, const QVariantList& values, bool forwardOnly = false);
    QVariant scalar(const QString& jet, const QVariantList& values);
    int execute(const Statement& s) { return execute(s.sql, s.values); }
    QSqlQuery select(const Statement& s, bool forwardOnly = false) { return select(s.sql, s.values, forwardOnly); }
    QVariant scalar(const Statement& s) { return scalar(s.sql, s.values); }
    QSqlQuery browse(const Statement& s) { return browse(s.sql, s.values); }
    // Prepared once, run many times (see Prepared).
    Prepared prepare(const QString& jet);
    // The first row of a statement with bound values (an empty record when there is none), for
    // the few statements a seat runs at every call (the draw, the counters). On the server the
    // statement is prepared once per session and kept, so that the server does not parse and
    // plan it again every time.
    QSqlRecord firstRowKept(const QString& jet, const QVariantList& values);
    // Reads a large result front to back, handing each row to row() without making a value
    // object of every field (a million rows in a fraction of the time select() takes).
    void scan(const QString& jet, const std::function<void(const RowView&)>& row);

    // Makes the schema "scratch" ready: the connection's own work tables, which no other
    // connection sees and which go when it closes. On the server it is the session's temporary
    // schema; on the file a scratch file of this connection's own is attached (the file's
    // temporary tables would be held in memory whole). Not inside a transaction.
    void openScratch();

    // Transactions nest: the outermost is a real transaction, inner ones are savepoints.
    // Writes::OwnTablesOnly: the work writes nothing but this connection's temporary tables, so
    // on the file the transaction does not claim the database for writing and other programs
    // write on meanwhile.
    enum class Writes { Database, OwnTablesOnly };
    void begin(Writes writes = Writes::Database);
    void commit();
    void rollback();
    int transactionDepth() const { return m_depth; }
    // Runs f once the outermost transaction has ended, committed or rolled back; at once when
    // none is open. f must not throw.
    void afterTransaction(std::function<void()> f);

    QSqlDatabase database() const;
    // The SQLite handle; nullptr on the server.
    sqlite3* handle() const;

    // A companion that only reads, on the same file: its own read snapshot (a result read
    // only partly holds that one back, never this connection nor another program's writer),
    // the same engine functions, translation and statement hook. Its sorts and temporary
    // results go to scratch files, so that a large ordered read keeps memory flat.
    std::unique_ptr<Connection> openReader() const;

    // Statement hook for tests: called with each translated statement before it runs;
    // throwing from it makes that statement fail as the engine would.
    using Hook = std::function<void(const QString&)>;
    // Readers opened from this connection follow the same hook.
    void setStatementHook(Hook hook) { *m_hook = std::move(hook); }

private:
    friend class Prepared;
    friend class WindowedResult;
    void runRaw(const QString& sql);
    Error failure(const QSqlError& e, const QString& sql);
    void revive();
    // The statement as this engine runs it, on a live session; announced to the statement hook.
    QString statementFor(const QString& jet, bool announce = true);
    void readerSession();
    QSqlDatabase driverDatabase(const char* driver);
    void setLockTimeout();
    QSqlQuery run(const QString& jet, bool forwardOnly, const QVariantList* values = nullptr);
    // On the server: runs a translated statement with the values bound by the server itself;
    // returns the number of rows changed. shown: the statement a failure names.
    int serverBound(const QString& sql, const QVariantList& values, const QString& shown);
    // On the server: the rows of a translated select with bound values, read whole.
    QSqlQuery serverBoundRows(const QString& sql, const QVariantList& values);
    void transactionEnded();
    bool pgTransactionFailed() const;
    QString m_name;
    QString m_path;
    int m_depth = 0;
    std::shared_ptr<Hook> m_hook = std::make_shared<Hook>();
    std::vector<std::function<void()>> m_afterTransaction;
    int m_busyMs = kDefaultBusyTimeoutMs;
    Engine m_engine = Engine::SQLite;
    bool m_lost = false; // the server session ended; opened again before the next statement
    // Counts ended outermost transactions and closes: a cursor knows by it whether it still exists.
    quint64 m_txSerial = 0;
    int m_cursors = 0;     // names the cursors of browse()
    bool m_reader = false; // opened by openReader(): only grids read through it
    // Expires with this object: a result read through it outlives neither.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
    struct Kept
    {
        QSqlQuery query;
        QString sql; // as translated
    };
    std::unordered_map<QString, std::unique_ptr<Kept>> m_kept; // firstRowKept's statements of this session
    ServerParams m_server;
    std::unique_ptr<QTemporaryFile> m_scratch;
};

} // namespace db
