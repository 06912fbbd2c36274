#pragma once

#include "core/windows.h"
#include "reports/reportband.h"

#include <QPointer>
#include <QSize>

class QLabel;
class TDBGrid;

// The answer detail report: one row per customer record of a project with one column per
// question, built into the database's report table tmp.
class Tfrmqansbb : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmqansbb(QWidget* parent = nullptr);

    TReportBand band;
    TDBGrid* DBGrid1;
    QLabel* Label1; // what the grid shows: the finished report, or why there is none

public slots:
    void FormShow();
    void Button1Click(); // 查  询
    void Button2Click(); // 导出到EXCEL

    // The frame opens the window at its design size (after the screen scaling).
    QSize sizeHint() const override { return m_designSize; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void showInitialColumns();
    bool m_shown = false;
    QSize m_designSize;
};

extern QPointer<Tfrmqansbb> frmqansbb;
