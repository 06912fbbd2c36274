#pragma once

#include "ops/reports/rates.h"
#include "reports/reportform.h"

#include <QPointer>

class QChartView;
class QLabel;
class QLineEdit;
class QSplitter;

// Response rates of one project by the survey field's standard definitions: the final
// disposition of every customer counted per class, the response, cooperation, refusal and
// contact rates with the eligibility estimate e, charts of both, and the customers behind a
// count on a click.
class Tfrmxyl : public TReportForm
{
    Q_OBJECT
public:
    explicit Tfrmxyl(QWidget* parent = nullptr);

    QLineEdit* EditE; // e typed by the user; empty = estimated
    QLabel* LabelE;   // the e used and how it was obtained
    TDBGrid* DBGrid2; // the customers behind the chosen count
    QChartView* ChartRates;
    QChartView* ChartCounts;
    QSplitter* Splitter1;

public slots:
    void FormShow() override;
    void Button1Click() override; // 统计
    void DBGrid1Click();          // the cases of the count in the current row

private:
    void showFigures();
    ops::reports::Filter m_filter; // of the last run
    ops::reports::Counts m_counts{};
    ops::reports::Rates m_rates;
    bool m_ran = false;
};

extern QPointer<Tfrmxyl> frmxyl;
