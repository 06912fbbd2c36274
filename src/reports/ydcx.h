#pragma once

#include "reports/visitqueryform.h"

#include <QPointer>

// 项目问答记录查询: the recorded answers of one project, newest first.
class Tfrmydcx : public VisitQueryForm
{
    Q_OBJECT
public:
    explicit Tfrmydcx(QWidget* parent = nullptr);

public slots:
    void FormShow() override;
    void BitBtn1Click() override;
};

extern QPointer<Tfrmydcx> frmydcx;
