// Results read a window of rows at a time, for the lists the user scrolls through.
#include "db/connection.h"

#include <QSqlDriver>
#include <QSqlRecord>
#include <QSqlResult>

#include <algorithm>

namespace db {
namespace {

// The first window covers a screen and the first batch a list model asks for (rows 0..255);
// later ones grow, so that reading on to the end (an export, a chart) is few round trips.
constexpr int kFirstWindow = 256;
constexpr int kLargestWindow = 8192;

} // namespace

// A server result over a cursor: the rows read so far are kept (a list scrolls back and forth
// over them), the next window is fetched when a row past them is asked for. The cursor lives
// in a transaction; when that transaction ends the cursor is gone with it.
class WindowedResult : public QSqlResult
{
public:
    WindowedResult(Connection* con, QString cursor, bool ownTransaction)
        : QSqlResult(con->database().driver()), m_con(con), m_alive(con->m_alive), m_serial(con->m_txSerial),
          m_cursor(std::move(cursor)), m_own(ownTransaction)
    {
        setSelect(true);
        setActive(true);
        setAt(QSql::BeforeFirstRow);
    }
    ~WindowedResult() override { release(); }

    // Reads the next window; false when it cannot be read (lastError() says why).
    bool readWindow();
    QString errorText() const { return lastError().databaseText(); }

protected:
    QVariant data(int i) override
    {
        const std::vector<QVariant>* w = window(at());
        if (!w || i < 0 || i >= m_columns)
            return QVariant();
        return (*w)[size_t((at() - m_start) * m_columns + i)];
    }
    bool isNull(int i) override { return data(i).isNull(); }
    bool reset(const QString&) override { return false; }
    bool fetch(int i) override
    {
        if (i < 0)
            return false;
        while (i >= m_count && !m_done)
            if (!readWindow())
                break;
        if (i >= m_count)
            return false;
        setAt(i);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override
    {
        while (!m_done)
            if (!readWindow())
                break;
        return fetch(m_count - 1);
    }
    int size() override { return -1; }
    int numRowsAffected() override { return -1; }
    QSqlRecord record() const override { return m_record; }
    void detachFromResultSet() override { release(); }

private:
    bool cursorExists() const { return !m_alive.expired() && m_con->m_txSerial == m_serial; }
    void fail(const Error& e)
    {
        setLastError(
            QSqlError(QStringLiteral("rows cannot be read"), e.text(),
                      e.fault() == Fault::Connection ? QSqlError::ConnectionError : QSqlError::StatementError));
        release();
    }
    // The cursor's end: it is closed, or its own transaction ended (which closes it).
    void release()
    {
        if (m_done)
            return;
        m_done = true;
        if (!cursorExists())
            return;
        if (m_own && m_con->m_depth == 1) {
            m_con->rollback(); // only read: nothing to keep, and a rollback cannot fail on the server
        } else {
            QSqlQuery q(m_con->database());
            q.exec(QStringLiteral("close ") + m_cursor);
        }
    }
    const std::vector<QVariant>* window(int row)
    {
        if (row < 0 || row >= m_count)
            return nullptr;
        if (row < m_start || row >= m_start + m_rowsIn) {
            const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), row) - 1;
            const size_t k = size_t(it - m_starts.begin());
            m_current = k;
            m_start = m_starts[k];
            m_rowsIn = int(m_windows[k].size()) / std::max(m_columns, 1);
        }
        return &m_windows[m_current];
    }

    Connection* m_con;
    std::weak_ptr<char> m_alive;
    quint64 m_serial;
    QString m_cursor;
    bool m_own;
    bool m_done = false;
    int m_next = kFirstWindow;
    QSqlRecord m_record;
    int m_columns = 0;
    int m_count = 0;                              // rows read
    std::vector<std::vector<QVariant>> m_windows; // the rows read, a window each, row after row
    std::vector<int> m_starts;                    // the first row of each window
    size_t m_current = 0;                         // the window last looked into
    int m_start = 0;
    int m_rowsIn = 0;
};

bool WindowedResult::readWindow()
{
    if (m_done)
        return false;
    if (!cursorExists()) {
        // The transaction it was read in has ended (committed, rolled back, the connection closed).
        fail(Error(QStringLiteral("the rows can no longer be read: the transaction they were read in has ended")));
        return false;
    }
    const int n = m_next;
    m_next = std::min(m_next * 2, kLargestWindow);
    const QString sql = QStringLiteral("fetch forward %1 from %2").arg(n).arg(m_cursor);
    try {
        if (*m_con->m_hook)
            (*m_con->m_hook)(sql);
    } catch (const Error& e) {
        fail(e);
        return false;
    }
    QSqlQuery q(m_con->database());
    if (!q.exec(sql)) {
        // Finds out whether the session is gone, so that the next statement opens a new one.
        fail(m_con->failure(q.lastError(), sql));
        return false;
    }
    if (m_record.isEmpty()) {
        m_record = q.record();
        m_columns = m_record.count();
    }
    std::vector<QVariant> values;
    values.reserve(size_t(n) * size_t(m_columns));
    int got = 0;
    while (q.next()) {
        for (int c = 0; c < m_columns; ++c)
            values.push_back(q.value(c));
        ++got;
    }
    if (got > 0) {
        m_starts.push_back(m_count);
        m_windows.push_back(std::move(values));
        m_count += got;
    }
    if (got < n)
        release(); // the last window: the snapshot is let go at once
    return true;
}

QSqlQuery Connection::browse(const QString& jet)
{
    return browse(jet, QVariantList());
}

QSqlQuery Connection::browse(const QString& jet, const QVariantList& values)
{
    // On the file a select already steps through its rows as they are asked for. On the
    // server a cursor needs a transaction: a reader runs one of its own; the program's own
    // connection uses the one it is in, and where there is none (or only a savepoint would
    // hold the cursor) reads as select() does.
    const bool own = m_reader && m_depth == 0;
    if (m_engine != Engine::PostgreSQL || !(own || m_depth == 1))
        return values.isEmpty() ? run(jet, false) : select(jet, values);
    const QString sql = statementFor(jet);
    const QString cursor = QStringLiteral("tv_rows%1").arg(++m_cursors);
    if (own) {
        // One snapshot for the cursor and for statements run here meanwhile.
        runRaw(QStringLiteral("begin isolation level repeatable read read only"));
        m_depth = 1;
    }
    const QString declare = QStringLiteral("declare ") + cursor + QStringLiteral(" no scroll cursor for ") + sql;
    try {
        if (values.isEmpty()) {
            QSqlQuery q(database());
            if (!q.exec(declare))
                throw failure(q.lastError(), sql);
        } else {
            // The server binds the values in the declaration itself (see serverBound).
            serverBound(declare, values, sql);
        }
    } catch (const Error&) {
        if (own)
            rollback();
        throw;
    }
    auto* result = new WindowedResult(this, cursor, own);
    QSqlQuery rows(result);
    // The first window at once: a statement that fails while running fails here, as select() would.
    if (!result->readWindow())
        throw Error(result->errorText(), sql, m_lost ? Fault::Connection : Fault::Statement);
    return rows;
}

} // namespace db
