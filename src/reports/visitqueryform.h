#pragma once

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/windows.h"
#include "ops/reports/visitqueries.h"

#include <QSize>

#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// What the result, answer record and visit history queries share: the filter panel (project,
// operator, number, a text, the day range), "查  询", "导出到EXCEL" and the read-only grid.
class VisitQueryForm : public TChildForm
{
    Q_OBJECT
public:
    QComboBox* ComboBox1; // projects
    QComboBox* ComboBox2; // hidden: their numbers
    QLineEdit* Edit1;     // operator name
    QLineEdit* Edit2;     // number
    QLineEdit* Edit3;     // state or answer text
    QCheckBox* CheckBox1; // day range
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QPushButton* BitBtn1; // 查  询
    QPushButton* Button1; // 导出到EXCEL
    TDBGrid* DBGrid1;

public slots:
    virtual void FormShow() = 0;
    virtual void BitBtn1Click() = 0;
    void Button1Click();
    void CheckBox1Click();

public:
    // The window's own part: class, caption, labels, design size and grid columns.
    struct Design
    {
        const char* className;
        QString caption;
        QString textLabel; // the label of Edit3
        QString dayLabel;  // the label of the day range
        QSize size;
        QList<GridColumn> columns;
    };

protected:
    VisitQueryForm(const Design& design, QWidget* parent);

    // Call at the end of the subclass's constructor, once every control is in place.
    void finishDesign();
    // The second filter row (a window may add controls after Edit3, at index 2).
    QHBoxLayout* secondRow() const { return m_row2; }
    QVBoxLayout* body() const { return m_body; }

    // The opening steps every query window has: pickers at now, boxes emptied, the project list
    // (every project, highest number first), the grid empty with its columns. Throws db::Error.
    void openFilters(const QString& emptySql);
    // The opening of the result and answer queries: an operator cannot export; then the filters
    // as openFilters opens them, a failure shown by the general error report.
    void openForProject(const QString& emptySql);
    // The filters as typed, boxes trimmed first. ywbh is the chosen project's number (or none).
    ops::reports::QueryFilter readFilter() const;
    // The filters when a project is chosen, else nothing (the query does not run).
    std::optional<ops::reports::QueryFilter> projectFilter() const;
    // The grid lets go of what it showed and shows sql's rows from the first; a failure is shown
    // by the general error report.
    void showRows(const db::Statement& statement);
    bool isOperator() const;

    void firstShow() override { FormShow(); }

private:
    QHBoxLayout* m_row2;
    QVBoxLayout* m_body;
};

namespace reports {
// The general error report, with the engine's own text.
using msg::reportError;
} // namespace reports
