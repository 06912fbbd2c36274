#pragma once

#include "db/connection.h"
#include "ops/common/oplog.h"
#include "ops/visit/draw.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class SheetReader;

// Importing the rows of one sheet of a list (.xls, .xlsx, .csv) as customer records (yhda) of one project and batch.
namespace ops::customers {

// The headers a sheet must have; the columns after the fifth are extra information.
QStringList importColumns();

// The batch number of a new opening of the import: the highest pc over all projects plus one,
// 1 when the table is empty or that is 0. Throws db::Error.
qint64 nextBatchNumber(db::Connection& con);

// Where the rows go: the project, the batch and who imports them (drz, the full name).
struct ImportTarget
{
    qint64 ywbh = 0;
    qint64 pc = 1;
    QString drz;
};

// The log row of an import's end: finished (also after a failure part-way) or stopped by the
// user. Throws db::Error.
void logImport(db::Connection& con, const Who& who, int count, const QString& project, bool stopped);

// Rows are written through one prepared insert and committed in batches at the pauses of run()
// (or by commit()), so that every row counted on screen is in the database, also when the
// program is killed afterwards. No transaction spans the import: a failure or a stop keeps the
// rows posted before it.
class CustomerImport
{
public:
    enum class End { Finished, Stopped, Failed };
    // How often run() pauses: after `rows` rows, or when `ms` milliseconds have passed since the
    // last pause (0 = no such limit). A commit writes every page the rows since the last one
    // touched, and the draw keys spread a project's new rows over all the pages of its draw
    // index: a few pauses a second keep the window answering without paying that many times.
    struct Pacing
    {
        int rows = 0;
        int ms = 250;
    };

    // The sheet must be selected; the named columns are looked up by header, the extra columns
    // (the sixth onwards) go into xxzl. Throws XlsError when a named column is missing,
    // db::Error when the insert cannot be prepared.
    CustomerImport(db::Connection& con, const SheetReader& sheet, const ImportTarget& target);
    // Keeps the rows posted so far (a failure part-way must not take them back).
    ~CustomerImport();
    CustomerImport(const CustomerImport&) = delete;
    CustomerImport& operator=(const CustomerImport&) = delete;

    // Imports data row `row`; false when it is skipped for an empty 序号. Throws XlsError (a 序号
    // that is no integer, an unreadable cell) or db::Error; nothing of that row is written then.
    bool importRow(int row);
    // Makes the rows posted so far permanent. Throws db::Error; the open batch is then lost and
    // count() falls back to the rows committed before.
    void commit();
    // Rows imported (posted) so far.
    int count() const { return m_posted; }

    // Imports every row of the sheet in order. At each pause the rows so far are committed and
    // paused() runs (progress, user input); a stop requested then ends the run after the next
    // row. Ends with every posted row committed. A failure ends the run at once (Failed);
    // rows posted before it stay.
    End run(const Pacing& pacing, const std::function<void()>& paused);
    // Why the last run() ended Failed: the reason (the engine's text with the statement, or the
    // reader's) and the sheet row being imported, numbered as the sheet shows it (the headers are
    // row 1); 0 when it failed between rows, at a commit. The reason is logged once, here.
    struct Failure
    {
        QString reason;
        int sheetRow = 0;
    };
    const Failure& failure() const { return m_failure; }
    void requestStop() { m_stopRequested = true; }
    bool stopRequested() const { return m_stopRequested; }

    // Rows go to the database several to a statement (64), posted when a statement's worth is
    // read and at each commit; count() counts them once posted.
    void setRowsPerStatement(int rows);

    // Called after each commit with the number of rows committed so far.
    void setCommitObserver(std::function<void(int)> observer) { m_onCommit = std::move(observer); }

    // The extra-information text of a row: header + ":  " + cell + CR LF for every column from
    // the sixth on.
    QString extraInfo(int row) const;

private:
    End failed(int row, int rowsPosted, const QString& reason);
    void flush();
    static QString insertOf(int rows);

    db::Connection& m_con;
    const SheetReader& m_sheet;
    int m_xh, m_xm, m_dq, m_dz, m_dh;
    std::optional<db::Prepared> m_insert;     // one row
    std::optional<db::Prepared> m_insertMany; // m_perStatement rows
    int m_perStatement = 64;
    QVariantList m_pending;   // the values of the rows read but not posted yet
    QList<int> m_pendingRows; // and their sheet rows
    int m_failingRow = -1;    // the row a refused statement was found to fail on
    ImportTarget m_target;
    ops::visit::EntryKeys m_keys;
    bool m_inBatch = false;
    bool m_stopRequested = false;
    int m_posted = 0;
    int m_committed = 0;
    int m_batchFirstRow = 0; // the sheet row the open batch began with
    std::function<void(int)> m_onCommit;
    Failure m_failure;
};

} // namespace ops::customers
