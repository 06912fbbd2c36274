#pragma once

#include "core/windows.h"
#include "reports/reportband.h"

#include <optional>

class TDBGrid;

// The statistics and report windows: the filter band on top, the grid DBGrid1 under it, the run
// button (band.Button1) and the export of the grid (band.Button2).
class TReportForm : public TChildForm
{
    Q_OBJECT
public:
    TReportBand band;
    TDBGrid* DBGrid1;

public slots:
    virtual void FormShow() = 0;
    virtual void Button1Click() = 0;
    void Button2Click(); // 导出到EXCEL

protected:
    struct Design
    {
        const char* className;
        QString caption;
        QString operatorLabel; // "话务员：" or "话务员名："
        QString separator;     // between the day pickers
        QString runCaption;    // of Button1
    };
    TReportForm(const Design& design, QWidget* parent);

    void firstShow() override { FormShow(); }
    // Fills the project list, every project with the newest first. Throws db::Error.
    void loadProjects();
    // The band's filters, or nothing (said so) when there is no project to run on.
    std::optional<ops::reports::Filter> chosenProject();
};
