#pragma once

#include "reports/reportform.h"

#include <QPointer>

class QSplitter;
class TResultChart;

// Result statistics: per operator of one project, how the handled records came out, with a
// chart of the endings and success rates under the grid.
class Tfrmhwtj2 : public TReportForm
{
    Q_OBJECT
public:
    explicit Tfrmhwtj2(QWidget* parent = nullptr);

    QSplitter* Splitter1;
    TResultChart* Chart1;

public slots:
    void FormShow() override;
    void Button1Click() override; // 统计

private:
    void showChart();
};

extern QPointer<Tfrmhwtj2> frmhwtj2;
