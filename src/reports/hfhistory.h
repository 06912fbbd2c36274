#pragma once

#include "reports/visitqueryform.h"

#include <QPointer>

// 电访历史记录查询: every ending of a call, of one project or of all, newest first.
class Tfrmhfhistory : public VisitQueryForm
{
    Q_OBJECT
public:
    explicit Tfrmhfhistory(QWidget* parent = nullptr);

    QPushButton* ButtonPlay; // 播放录音: the recording of the row chosen

public slots:
    void FormShow() override;
    void BitBtn1Click() override;
    void ButtonPlayClick();
};

extern QPointer<Tfrmhfhistory> frmhfhistory;
