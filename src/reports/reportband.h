#pragma once

#include "core/msg.h"
#include "ops/reports/filter.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QSplitter;
class QWidget;

namespace db {
class Error;
}

// The filter band above the grid of the statistics and report windows: project list (names in
// ComboBox1, numbers in the hidden ComboBox2), operator box Edit1, the handling-time box
// CheckBox1 with DateTimePicker1 and DateTimePicker2, the run button Button1 and the export
// button Button2.
struct TReportBand
{
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QDateEdit* DateTimePicker2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QHBoxLayout* layout = nullptr;

    // operatorLabel "话务员：" or "话务员名："; separator between the pickers; runCaption the
    // caption of Button1.
    void build(QWidget* owner, const QString& operatorLabel, const QString& separator, const QString& runCaption);
    // Fills the project list, newest first, and selects the first. Throws db::Error.
    void loadProjects(const QString& sql);
    // The chosen filters; the operator box is trimmed and the trimmed text written back.
    ops::reports::Filter read() const;
    // Lays the owner out: this band on top, under it the grid over the chart in a splitter
    // (Splitter1, halves to start with), at the owner's design size of 1000 x 680.
    QSplitter* layOutOver(QWidget* owner, QWidget* grid, QWidget* chart);
};

namespace reportband {

// Said when there is no project to count or report on.
inline const QString kNoProject = QStringLiteral("还没有任何项目，请先在“项目管理”中新增项目!");

// The application's general error report, with the database's own text.
using msg::reportError;

} // namespace reportband
