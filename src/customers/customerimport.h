#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariant>

class XlsReader;

// Turns the rows of a workbook sheet into customer records (yhda) of one project and batch.
// Rows are written through one prepared insert and committed in batches: the import commits
// whenever it lets the user in (commit()), so every row counted on screen is in the database,
// also when the program is killed afterwards.
class CustomerImport
{
public:
    // The sheet must be selected; its 序号, 姓名, 区域, 地址 and 电话号码 columns are looked
    // up by header, the extra columns (the sixth onwards) go into xxzl. Throws XlsError when a
    // named column is missing, db::Error when the insert cannot be prepared.
    CustomerImport(const XlsReader& sheet, int ywbh, qint64 pc, const QString& drz);
    // Keeps the rows posted so far (a failure part-way must not take them back).
    ~CustomerImport();
    CustomerImport(const CustomerImport&) = delete;
    CustomerImport& operator=(const CustomerImport&) = delete;

    // Imports data row `row`; false when it is skipped for an empty 序号. Throws XlsError
    // (a 序号 that is no integer, an unreadable cell) or db::Error; nothing of that row is
    // written then.
    bool importRow(int row);
    // Makes the rows posted so far permanent. Throws db::Error; the open batch is then lost
    // and count() falls back to the rows committed before.
    void commit();
    // Rows imported (posted) so far.
    int count() const { return m_posted; }

    // The extra-information text of a row: header + ":  " + cell + CR LF for every column
    // from the sixth on.
    QString extraInfo(int row) const;

private:
    void beginBatch();
    const XlsReader& m_sheet;
    int m_xh, m_xm, m_dq, m_dz, m_dh;
    QSqlQuery m_insert;
    int m_ywbh;
    qint64 m_pc;
    QString m_drz;
    bool m_inBatch = false;
    int m_posted = 0;
    int m_committed = 0;
};
