#include "ops/customers/customerimport.h"

#include "db/log.h"
#include "db/transaction.h"
#include "db/vocab.h"
#include "ops/common/log.h"
#include "ops/common/text.h"
#include "ops/customers/sheetreader.h"

#include <QElapsedTimer>

#include <utility>

namespace ops::customers {

namespace {

const QString kXh = QStringLiteral("序号");
const QString kXm = QStringLiteral("姓名");
const QString kDq = QStringLiteral("区域");
const QString kDz = QStringLiteral("地址");
const QString kDh = QStringLiteral("电话号码");

// An empty cell is stored as empty text, never as null.
QString notNull(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

} // namespace

QStringList importColumns()
{
    return {kXh, kXm, kDq, kDz, kDh};
}

qint64 nextBatchNumber(db::Connection& con)
{
    const QVariant next = con.scalar(QStringLiteral("select (max(pc)+1) as pcnum from yhda"));
    return next.isNull() || next.toLongLong() == 0 ? 1 : next.toLongLong();
}

void logImport(db::Connection& con, const Who& who, int count, const QString& project, bool stopped)
{
    writeLog(con, who,
             QStringLiteral("导入") + QString::number(count) +
                 (stopped ? QStringLiteral("条营销数据到业务:") : QStringLiteral("条营销数据到项目:")) + project);
}

CustomerImport::CustomerImport(db::Connection& con, const SheetReader& sheet, const ImportTarget& target)
    : m_con(con), m_sheet(sheet), m_xh(sheet.column(kXh)), m_xm(sheet.column(kXm)), m_dq(sheet.column(kDq)),
      m_dz(sheet.column(kDz)), m_dh(sheet.column(kDh)), m_target(target)
{
    for (int c : {m_xh, m_xm, m_dq, m_dz, m_dh})
        if (c < 0)
            throw XlsError(QStringLiteral("the sheet lacks a named column"));
    // Appended like a row of "select * from yhda where 1=2": only these columns are given, the
    // rest (id, drsj, del, ...) take their defaults; the draw key comes with the row, so that
    // the database need not write it a second time to give it one.
    m_insert.emplace(con.prepare(insertOf(1)));
}

// The insert of n rows. Rows go in several to a statement: on the file every insert into yhda,
// a table with triggers, journals each page it touches for its own undo, and one statement for
// 64 rows does that once instead of 64 times; on the server it saves the round trips.
QString CustomerImport::insertOf(int rows)
{
    QString sql = QStringLiteral("insert into yhda(ywbh,yhxm,pc,xh,drz,dq,dhhm1,dz,sljg,xxzl,drawkey) values");
    for (int i = 0; i < rows; ++i)
        sql += i == 0 ? QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?)") : QStringLiteral(",(?,?,?,?,?,?,?,?,?,?,?)");
    return sql;
}

void CustomerImport::setRowsPerStatement(int rows)
{
    flush();
    m_perStatement = qMax(1, rows);
    m_insertMany.reset();
}

CustomerImport::~CustomerImport()
{
    if (m_inBatch) {
        try {
            commit();
        } catch (const db::Error&) {
            // commit() has rolled back already; nothing more can be saved.
        }
    }
}

bool CustomerImport::importRow(int row)
{
    const QString xh = m_sheet.text(row, m_xh);
    if (xh.isEmpty())
        return false;
    const int number = SheetReader::toInteger(xh);
    const QVariantList values{m_target.ywbh,
                              notNull(m_sheet.text(row, m_xm)),
                              m_target.pc,
                              number,
                              notNull(m_target.drz),
                              notNull(m_sheet.text(row, m_dq)),
                              notNull(text::trimmed(m_sheet.text(row, m_dh))),
                              notNull(text::trimmed(m_sheet.text(row, m_dz))),
                              vocab::kNotHandled,
                              notNull(extraInfo(row))};
    if (!m_inBatch) {
        m_con.begin();
        m_inBatch = true;
        m_batchFirstRow = row;
        try {
            m_keys.readBase(m_con, m_target.ywbh, vocab::kNotHandled);
        } catch (const db::Error&) {
            m_inBatch = false;
            m_con.rollback();
            throw;
        }
    }
    m_pending += values;
    m_pending << m_keys.next();
    m_pendingRows << row;
    if (m_pendingRows.size() >= m_perStatement)
        flush();
    return true;
}

// Posts the rows waiting for their statement: a full statement's worth at once, fewer one by one.
// A statement the database refuses is undone alone: its rows are then posted
// one by one up to the refused one, which is the row the failure names.
void CustomerImport::flush()
{
    if (m_pendingRows.isEmpty())
        return;
    const QVariantList values = std::exchange(m_pending, {});
    const QList<int> rows = std::exchange(m_pendingRows, {});
    constexpr int kColumns = 11;
    if (rows.size() > 1 && rows.size() == m_perStatement) {
        if (!m_insertMany)
            m_insertMany.emplace(m_con.prepare(insertOf(m_perStatement)));
        // A statement the file refuses is undone alone by the file itself; on the server it
        // would take the whole batch with it but for its savepoint.
        const bool server = m_con.engine() == db::Engine::PostgreSQL;
        try {
            std::optional<db::Transaction> all;
            if (server)
                all.emplace(m_con);
            m_insertMany->run(values);
            if (all)
                all->commit();
            m_posted += rows.size();
            return;
        } catch (const db::Error&) {
            // Found below, row by row.
        }
    }
    for (int i = 0; i < rows.size(); ++i) {
        try {
            db::Transaction one(m_con);
            m_insert->run(values.mid(i * kColumns, kColumns));
            one.commit();
        } catch (const db::Error&) {
            m_failingRow = rows[i];
            throw;
        }
        ++m_posted;
    }
}

void CustomerImport::commit()
{
    if (!m_inBatch)
        return;
    flush();
    m_inBatch = false;
    try {
        m_con.commit();
        m_committed = m_posted;
    } catch (const db::Error&) {
        m_posted = m_committed;
        try {
            m_con.rollback();
        } catch (const db::Error&) {
        }
        throw;
    }
    if (m_onCommit)
        m_onCommit(m_committed);
}

CustomerImport::End CustomerImport::run(const Pacing& pacing, const std::function<void()>& paused)
{
    m_failure = {};
    QElapsedTimer sincePause;
    sincePause.start();
    int rowsSincePause = 0;
    int r = 0;
    int failing = -1; // the row being imported, -1 between rows
    try {
        for (; r < m_sheet.rowCount(); ++r) {
            failing = r;
            importRow(r);
            failing = -1;
            ++rowsSincePause;
            if (m_stopRequested) {
                commit();
                return End::Stopped;
            }
            // Pausing is what costs: the commit, the repaint and the input happen together,
            // every few rows rather than after each one.
            if ((pacing.rows > 0 && rowsSincePause >= pacing.rows) ||
                (pacing.ms > 0 && sincePause.elapsed() >= pacing.ms)) {
                commit();
                if (paused)
                    paused();
                rowsSincePause = 0;
                sincePause.restart();
            }
        }
        commit();
        return End::Finished;
    } catch (const db::Error& e) {
        // A row that waited for its statement fails with it, after the one being read.
        if (m_failingRow >= 0)
            failing = std::exchange(m_failingRow, -1);
        return failed(failing, r, db::failureLine(e));
    } catch (const std::exception& e) {
        return failed(failing, r, QString::fromLocal8Bit(e.what()));
    }
}

// Rows posted before the failure stay. On the server a statement the server refused takes its
// whole transaction with it: the batch's earlier rows (up to rowsPosted) are posted again.
CustomerImport::End CustomerImport::failed(int row, int rowsPosted, const QString& reason)
{
    m_failure = {reason, row < 0 ? 0 : row + 2};
    qCWarning(lcOps).noquote()
        << QStringLiteral("import failed at sheet row %1: %2").arg(m_failure.sheetRow).arg(reason);
    const int batchFirstRow = m_batchFirstRow;
    const bool batchOpen = m_inBatch;
    try {
        commit();
    } catch (const db::Error&) {
        try {
            if (batchOpen) {
                for (int k = batchFirstRow; k < rowsPosted; ++k)
                    importRow(k);
                commit();
            }
        } catch (const db::Error& e) {
            // count() says what was kept.
            db::logFailure(lcOps(), e, QStringLiteral("import: the rows before the failure cannot be posted again"));
        }
    }
    return End::Failed;
}

QString CustomerImport::extraInfo(int row) const
{
    QString s;
    for (int c = 5; c < m_sheet.columnCount(); ++c)
        s += m_sheet.header(c) + QStringLiteral(":  ") + m_sheet.text(row, c) + QStringLiteral("\r\n");
    return s;
}

} // namespace ops::customers
