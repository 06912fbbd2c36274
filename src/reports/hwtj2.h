#pragma once

#include "core/windows.h"
#include "reports/reportband.h"

#include <QPointer>
#include <QSize>

class QSplitter;
class TDBGrid;
class TResultChart;

// Result statistics: per operator of one project, how the handled records came out, with a
// chart of the endings and success rates under the grid.
class Tfrmhwtj2 : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmhwtj2(QWidget* parent = nullptr);

    TReportBand band;
    TDBGrid* DBGrid1;
    QSplitter* Splitter1;
    TResultChart* Chart1;

public slots:
    void FormShow();
    void Button1Click(); // 统计
    void Button2Click(); // 导出到EXCEL

    // The frame opens the window at its design size (after the screen scaling).
    QSize sizeHint() const override { return m_designSize; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void showChart();
    bool m_shown = false;
    QSize m_designSize;
};

extern QPointer<Tfrmhwtj2> frmhwtj2;
