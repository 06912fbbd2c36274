#include "customers/customerimport.h"

#include "core/text.h"
#include "customers/importtexts.h"
#include "customers/xlsreader.h"
#include "db/dm.h"
#include "db/vocab.h"

#include <QSqlError>

namespace {

// Appended like a row of "select * from yhda where 1=2": only these columns are given, the
// rest (id, drsj, del, ...) take their defaults. Values are bound, never spliced in.
const QString kInsert = QStringLiteral("insert into yhda(ywbh,yhxm,pc,xh,drz,dq,dhhm1,dz,sljg,xxzl) "
                                       "values(?,?,?,?,?,?,?,?,?,?)");

db::Error queryError(const QSqlQuery& q)
{
    const QSqlError e = q.lastError();
    return db::Error(e.databaseText().isEmpty() ? e.text() : e.databaseText(), kInsert);
}

// An empty cell is stored as empty text, never as null.
QString notNull(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

} // namespace

CustomerImport::CustomerImport(const XlsReader& sheet, int ywbh, qint64 pc, const QString& drz)
    : m_sheet(sheet), m_xh(sheet.column(imp::kXh)), m_xm(sheet.column(imp::kXm)), m_dq(sheet.column(imp::kDq)),
      m_dz(sheet.column(imp::kDz)), m_dh(sheet.column(imp::kDh)), m_insert(ADOcon().database()), m_ywbh(ywbh),
      m_pc(pc), m_drz(drz)
{
    for (int c : {m_xh, m_xm, m_dq, m_dz, m_dh})
        if (c < 0)
            throw XlsError(QStringLiteral("the sheet lacks a named column"));
    if (!m_insert.prepare(kInsert))
        throw queryError(m_insert);
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

void CustomerImport::beginBatch()
{
    if (!m_inBatch) {
        ADOcon().begin();
        m_inBatch = true;
    }
}

bool CustomerImport::importRow(int row)
{
    const QString xh = m_sheet.text(row, m_xh);
    if (xh.isEmpty())
        return false;
    const int number = XlsReader::toInteger(xh);
    const QString name = m_sheet.text(row, m_xm);
    const QString area = m_sheet.text(row, m_dq);
    const QString phone = text::trimmed(m_sheet.text(row, m_dh));
    const QString address = text::trimmed(m_sheet.text(row, m_dz));
    const QString extra = extraInfo(row);

    beginBatch();
    m_insert.bindValue(0, m_ywbh);
    m_insert.bindValue(1, notNull(name));
    m_insert.bindValue(2, m_pc);
    m_insert.bindValue(3, number);
    m_insert.bindValue(4, notNull(m_drz));
    m_insert.bindValue(5, notNull(area));
    m_insert.bindValue(6, notNull(phone));
    m_insert.bindValue(7, notNull(address));
    m_insert.bindValue(8, vocab::kWsl);
    m_insert.bindValue(9, notNull(extra));
    if (!m_insert.exec())
        throw queryError(m_insert);
    ++m_posted;
    return true;
}

void CustomerImport::commit()
{
    if (!m_inBatch)
        return;
    m_inBatch = false;
    try {
        ADOcon().commit();
        m_committed = m_posted;
    } catch (const db::Error&) {
        m_posted = m_committed;
        try {
            ADOcon().rollback();
        } catch (const db::Error&) {
        }
        throw;
    }
}

QString CustomerImport::extraInfo(int row) const
{
    QString s;
    for (int c = 5; c < m_sheet.columnCount(); ++c)
        s += m_sheet.header(c) + QStringLiteral(":  ") + m_sheet.text(row, c) + QStringLiteral("\r\n");
    return s;
}
