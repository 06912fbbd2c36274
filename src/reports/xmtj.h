#pragma once

#include "core/windows.h"
#include "reports/reportband.h"

#include <QPointer>
#include <QSize>

class QSplitter;
class TAnswerChart;
class TDBGrid;

// Answer statistics: how often each answer was given to each question of one project, per
// operator, with a chart of the answers to the question of the current row.
class Tfrmxmtj : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmxmtj(QWidget* parent = nullptr);

    TReportBand band;
    TDBGrid* DBGrid1;
    QSplitter* Splitter1;
    TAnswerChart* Chart1;

public slots:
    void FormShow();
    void Button1Click(); // 统计
    void Button2Click(); // 导出到EXCEL
    void DBGrid1RowChange();

    // The frame opens the window at its design size (after the screen scaling).
    QSize sizeHint() const override { return m_designSize; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    bool m_shown = false;
    QSize m_designSize;
    QString m_chartQuestion;
};

extern QPointer<Tfrmxmtj> frmxmtj;
