#include "core/dbgrid.h"

#include "core/msg.h"
#include "db/dm.h"
#include "db/sqlvalue.h"

#include <QEvent>
#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlRecord>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QWheelEvent>

#include <functional>

namespace {

class DisplayModel : public QSqlQueryModel
{
public:
    using QSqlQueryModel::QSqlQueryModel;
    QVariant data(const QModelIndex& idx, int role) const override
    {
        const QVariant v = QSqlQueryModel::data(idx, role);
        if (role == Qt::DisplayRole)
            return db::displayText(v);
        return v;
    }
    // More rows are read while the user scrolls, from inside the view's own handling: a read
    // that fails there ends the rows shown (the model cannot say why), so it is told here.
    void fetchMore(const QModelIndex& parent = QModelIndex()) override
    {
        QSqlQueryModel::fetchMore(parent);
        if (m_failed)
            return;
        const QSqlError e = query().lastError();
        if (!e.isValid())
            return;
        m_failed = true;
        if (onReadError)
            onReadError(
                db::Error(e.databaseText().isEmpty() ? e.text() : e.databaseText(), QString(),
                          e.type() == QSqlError::ConnectionError ? db::Fault::Connection : db::Fault::Statement));
    }
    void queryChange() override { m_failed = false; }
    std::function<void(const db::Error&)> onReadError;

private:
    bool m_failed = false;
};

} // namespace

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), m_model(new DisplayModel(this))
{
    setObjectName(QStringLiteral("DBGrid1"));
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(false);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical) {
        if (logical != m_lastColumn)
            fitLastColumn();
    });
    // Told once the action or the scroll that read is over: a box in the middle of the view's
    // own handling would run a second event loop inside it.
    static_cast<DisplayModel*>(m_model)->onReadError = [this](const db::Error& e) {
        QTimer::singleShot(0, this, [e] { msg::reportError(e); });
    };
}

bool TDBGrid::viewportEvent(QEvent* e)
{
    if (e->type() == QEvent::Resize)
        fitLastColumn();
    return QTableView::viewportEvent(e);
}

void TDBGrid::fitLastColumn()
{
    // The last column takes the room a wider window gives; its given width stays its least, and
    // where there is no room the grid scrolls.
    if (m_holdFit)
        return;
    QHeaderView* h = horizontalHeader();
    int last = -1;
    int others = 0;
    for (int v = h->count() - 1; v >= 0; --v) {
        const int logical = h->logicalIndex(v);
        if (h->isSectionHidden(logical))
            continue;
        if (last < 0)
            last = logical;
        else
            others += h->sectionSize(logical);
    }
    if (last != m_lastColumn) {
        m_lastColumn = last;
        m_lastGivenWidth = last >= 0 ? h->sectionSize(last) : 0;
    }
    if (last >= 0)
        h->resizeSection(last, qMax(m_lastGivenWidth, viewport()->width() - others));
}

TDBGrid::~TDBGrid()
{
    // The result goes before the connection it was read on.
    m_model->clear();
}

void TDBGrid::setColumns(const QList<GridColumn>& columns)
{
    m_columns = columns;
    applyColumns();
}

void TDBGrid::open(const QString& jetSql, const QVariantList& values)
{
    m_sql = jetSql;
    m_values = values;
    db::Connection& main = ADOcon();
    db::Connection* source = &main;
    std::unique_ptr<db::Connection> fresh;
    if (main.transactionDepth() == 0 && !m_ownTables) {
        // A reader still in the middle of the rows shown so far stands on their snapshot: the
        // new rows come from a fresh one, so that they show everything committed by now.
        const bool midway = m_source && m_source == m_reader.get() && m_model->canFetchMore();
        if (!m_reader || midway || !m_reader->isOpen() || m_reader->filePath() != main.filePath())
            fresh = main.openReader();
        source = fresh ? fresh.get() : m_reader.get();
    }
    // A failing statement leaves the grid as it was.
    m_model->setQuery(source->browse(jetSql, values));
    if (fresh)
        m_reader = std::move(fresh); // the old reader's statement has just been let go
    m_source = source;
    m_open = true;
    const int serial = ++m_serial;
    if (source == &main && !m_ownTables) {
        const QPointer<TDBGrid> self(this);
        main.afterTransaction([self, serial] {
            if (self && self->m_serial == serial)
                self->leaveWriter();
        });
    }
    applyColumns();
}

void TDBGrid::reopen()
{
    if (!m_sql.isEmpty())
        open(m_sql, m_values);
}

void TDBGrid::close()
{
    m_model->clear();
    m_open = false;
    m_source = nullptr;
    ++m_serial;
}

// The transaction this grid was read in has ended: the same rows again from its own
// connection, as far as they had been read, with the same current row and scroll position.
void TDBGrid::leaveWriter()
{
    const int row = currentRowIndex();
    const int loaded = rowCount();
    const int scroll = verticalScrollBar()->value();
    try {
        open(m_sql, m_values);
    } catch (const db::Error& e) {
        // Rows still to be read would keep the writer on its snapshot: better none.
        msg::logFailure(e, QStringLiteral("the grid cannot be read again"));
        if (m_model->canFetchMore())
            close();
        return;
    }
    while (m_model->rowCount() < loaded && m_model->canFetchMore())
        m_model->fetchMore();
    if (row >= 0)
        setCurrentRowIndex(row);
    updateGeometries(); // the scroll range follows the rows only at the next layout otherwise
    verticalScrollBar()->setValue(scroll);
}

void TDBGrid::applyColumns()
{
    QHeaderView* h = horizontalHeader();
    const QSqlRecord rec = m_model->record();
    if (rec.isEmpty())
        return;
    m_holdFit = true;
    if (m_columns.isEmpty()) {
        for (int i = 0; i < rec.count(); ++i) {
            setColumnHidden(i, false);
            setColumnWidth(i, readableWidth(i, h->defaultSectionSize()));
        }
        refitFromGivenWidths();
        return;
    }
    for (int i = 0; i < rec.count(); ++i)
        setColumnHidden(i, true);
    int visual = 0;
    for (const GridColumn& c : m_columns) {
        const int logical = rec.indexOf(c.field);
        if (logical < 0)
            continue;
        m_model->setHeaderData(logical, Qt::Horizontal, c.title);
        setColumnHidden(logical, false);
        setColumnWidth(logical, readableWidth(logical, c.width * m_scaleNum / m_scaleDen));
        h->moveSection(h->visualIndex(logical), visual++);
    }
    refitFromGivenWidths();
}

int TDBGrid::readableWidth(int logical, int least)
{
    // A phone number, a time or a name cut off is worse than a wider grid: the column grows to its
    // title and to what the rows read first hold. One long remark must not push the others out of
    // view, though.
    constexpr int kRowsMeasured = 100;
    constexpr int kMostGrown = 320;
    int want = horizontalHeader()->sectionSizeHint(logical);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int rows = qMin(m_model->rowCount(), kRowsMeasured);
    for (int r = 0; r < rows; ++r) {
        const QModelIndex i = m_model->index(r, logical);
        want = qMax(want, itemDelegateForIndex(i)->sizeHint(option, i).width() + (showGrid() ? 1 : 0));
    }
    return qMax(least, qMin(want, kMostGrown * m_scaleNum / m_scaleDen));
}

void TDBGrid::refitFromGivenWidths()
{
    m_holdFit = false;
    m_lastColumn = -1;
    fitLastColumn();
}

void TDBGrid::setWidthScale(int num, int den)
{
    if (num <= 0 || den <= 0)
        return;
    m_scaleNum = num;
    m_scaleDen = den;
    applyColumns();
}

int TDBGrid::rowCount() const
{
    return m_model->rowCount();
}

void TDBGrid::fetchAll()
{
    while (m_model->canFetchMore())
        m_model->fetchMore();
}

int TDBGrid::fieldIndex(const QString& field) const
{
    return m_model->record().indexOf(field);
}

QVariant TDBGrid::value(int row, const QString& field) const
{
    const int c = fieldIndex(field);
    if (c < 0 || row < 0 || row >= m_model->rowCount())
        return QVariant();
    return m_model->record(row).value(c);
}

QString TDBGrid::text(int row, const QString& field) const
{
    return db::displayText(value(row, field));
}

int TDBGrid::currentRowIndex() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

QVariant TDBGrid::currentValue(const QString& field) const
{
    return value(currentRowIndex(), field);
}

void TDBGrid::setCurrentRowIndex(int row)
{
    while (row >= m_model->rowCount() && m_model->canFetchMore())
        m_model->fetchMore();
    if (row < 0 || row >= m_model->rowCount()) {
        setCurrentIndex(QModelIndex());
        return;
    }
    int col = 0;
    for (int i = 0; i < m_model->columnCount(); ++i)
        if (!isColumnHidden(i)) {
            col = i;
            break;
        }
    setCurrentIndex(m_model->index(row, col));
    scrollTo(currentIndex());
}

namespace grid {
namespace {

class WheelRule : public QObject
{
public:
    explicit WheelRule(QTableView* view) : QObject(view), m_view(view) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::Wheel)
            return false;
        auto* we = static_cast<QWheelEvent*>(e);
        const int dy = we->angleDelta().y();
        QAbstractItemModel* m = m_view->model();
        if (!m || dy == 0)
            return true;
        QModelIndex cur = m_view->currentIndex();
        int row = cur.isValid() ? cur.row() : -1;
        int col = cur.isValid() ? cur.column() : 0;
        if (dy < 0) {
            if (row + 1 >= m->rowCount() && m->canFetchMore(QModelIndex()))
                m->fetchMore(QModelIndex());
            if (row + 1 < m->rowCount())
                ++row;
        } else if (row > 0) {
            --row;
        }
        if (row >= 0) {
            while (col < m->columnCount() && m_view->isColumnHidden(col))
                ++col;
            m_view->setCurrentIndex(m->index(row, col < m->columnCount() ? col : 0));
            m_view->scrollTo(m_view->currentIndex());
        }
        return true;
    }

private:
    QTableView* m_view;
};

} // namespace

void installWheelRule(QTableView* view)
{
    view->viewport()->installEventFilter(new WheelRule(view));
}

} // namespace grid
