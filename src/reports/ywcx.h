#pragma once

#include "reports/visitqueryform.h"

#include <QPointer>

// 电访结果查询: the customer records of one project with their state and marketing result; an
// administrator corrects the marketing result of a handled record.
class Tfrmywcx : public VisitQueryForm
{
    Q_OBJECT
public:
    explicit Tfrmywcx(QWidget* parent = nullptr);

    QComboBox* ComboBox3; // 所有 / 成功 / 不成功
    QPushButton* Button2; // 修改营销结果为成功
    QPushButton* Button3; // 修改营销结果为不成功

public slots:
    void FormShow() override;
    void BitBtn1Click() override;
    void Button2Click();
    void Button3Click();

private:
    void mark(const QString& result);
};

extern QPointer<Tfrmywcx> frmywcx;
