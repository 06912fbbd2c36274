#pragma once

#include <QList>
#include <QSqlQueryModel>
#include <QString>
#include <QTableView>
#include <QVariant>

#include "db/statement.h"

#include <memory>

namespace db {
class Connection;
}

struct GridColumn
{
    QString field;
    QString title;
    int width = 100;
};

// A read-only grid over a result of ADOcon's database: columns come from a (field, title, width)
// table (a column's width is its least: it grows to its title and to its first rows, within a
// limit), rows are read a window at a time as the user scrolls (db::Connection::browse), the
// whole row is selected. open() throws db::Error; a later window that cannot be read ends the
// rows shown and is reported with the program's error box.
// The grid reads through a connection of its own: while it has shown only part of its rows it
// keeps the snapshot it was opened on, and holds back no writer, in this program or another.
// Each open()/reopen() starts from what is committed at that moment. Opened inside a
// transaction of ADOcon, it reads there (it shows the transaction's own changes, and a failing
// read fails the action); when the transaction ends it reads again on its own connection,
// keeping its current row.
class TDBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    void setColumns(const QList<GridColumn>& columns);
    QList<GridColumn> columns() const { return m_columns; }

    // values: bound to the statement's ? placeholders in order.
    void open(const QString& jetSql, const QVariantList& values = {});
    void open(const db::Statement& s) { open(s.sql, s.values); }
    // The rows come from ADOcon's own temporary tables, which no other connection sees: the
    // grid reads them on ADOcon itself, and stays there.
    void setReadsOwnTables(bool on) { m_ownTables = on; }
    void reopen();
    void close();
    bool isOpen() const { return m_open; }
    QString sql() const { return m_sql; }
    QVariantList values() const { return m_values; }

    // Rows loaded so far; fetchAll() loads the rest.
    int rowCount() const;
    void fetchAll();
    QVariant value(int row, const QString& field) const;
    QString text(int row, const QString& field) const;
    int currentRowIndex() const;
    QVariant currentValue(const QString& field) const;
    void setCurrentRowIndex(int row);
    int fieldIndex(const QString& field) const;

    QSqlQueryModel* queryModel() const { return m_model; }
    // The connection the rows are read through (null while closed). While rows are still to
    // be read, a statement run there sees the same snapshot as the grid.
    db::Connection* source() const { return m_source; }

    // Column widths follow the window's screen scaling (num/den).
    void setWidthScale(int num, int den);

protected:
    bool viewportEvent(QEvent* e) override;

private:
    void applyColumns();
    int readableWidth(int logical, int least);
    void leaveWriter();
    void fitLastColumn();
    void refitFromGivenWidths();
    bool m_holdFit = false;
    int m_lastColumn = -1;
    int m_lastGivenWidth = 0;
    QSqlQueryModel* m_model;
    std::unique_ptr<db::Connection> m_reader;
    db::Connection* m_source = nullptr;
    int m_serial = 0; // counts opens and closes: a late move off the writer skips a grid opened since
    QList<GridColumn> m_columns;
    QString m_sql;
    QVariantList m_values;
    bool m_open = false;
    bool m_ownTables = false;
    int m_scaleNum = 1;
    int m_scaleDen = 1;
};

namespace grid {

// The wheel rule: a wheel turn over the grid moves its current row by exactly one
// (towards the user: next row; away: previous) and goes no further.
void installWheelRule(QTableView* view);

} // namespace grid
