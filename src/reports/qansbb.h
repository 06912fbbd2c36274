#pragma once

#include "reports/reportform.h"

#include <QPointer>

class QLabel;

// The answer detail report: one row per customer record of a project with one column per
// question, built into the database's report table tmp.
class Tfrmqansbb : public TReportForm
{
    Q_OBJECT
public:
    explicit Tfrmqansbb(QWidget* parent = nullptr);

    QLabel* Label1; // what the grid shows: the finished report, or why there is none

public slots:
    void FormShow() override;
    void Button1Click() override; // 查  询

private:
    void showInitialColumns();
};

extern QPointer<Tfrmqansbb> frmqansbb;
