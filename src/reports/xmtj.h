#pragma once

#include "reports/reportform.h"

#include <QPointer>

class QSplitter;
class TAnswerChart;

// Answer statistics: how often each answer was given to each question of one project, per
// operator, with a chart of the answers to the question of the current row.
class Tfrmxmtj : public TReportForm
{
    Q_OBJECT
public:
    explicit Tfrmxmtj(QWidget* parent = nullptr);

    QSplitter* Splitter1;
    TAnswerChart* Chart1;

public slots:
    void FormShow() override;
    void Button1Click() override; // 统计
    void DBGrid1RowChange();

private:
    QString m_chartQuestion;
};

extern QPointer<Tfrmxmtj> frmxmtj;
