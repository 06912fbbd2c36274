#include "reports/reportform.h"

#include "core/dbgrid.h"
#include "core/export.h"
#include "core/msg.h"
#include "ops/design/projects.h"

#include <QPushButton>

TReportForm::TReportForm(const Design& d, QWidget* parent) : TChildForm(parent)
{
    setObjectName(QString::fromLatin1(d.className));
    setWindowTitle(d.caption);
    band.build(this, d.operatorLabel, d.separator, d.runCaption);
    DBGrid1 = new TDBGrid(this);
    connect(band.Button1, &QPushButton::clicked, this, &TReportForm::Button1Click);
    connect(band.Button2, &QPushButton::clicked, this, &TReportForm::Button2Click);
}

void TReportForm::loadProjects()
{
    band.loadProjects(ops::design::projectChoicesQuery());
}

std::optional<ops::reports::Filter> TReportForm::chosenProject()
{
    const ops::reports::Filter f = band.read();
    if (f.hasProject())
        return f;
    msg::ShowMessage(reportband::kNoProject);
    return std::nullopt;
}

void TReportForm::Button2Click()
{
    ExportToExcel({DBGrid1});
}
