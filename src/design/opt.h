#pragma once

#include "core/windows.h"

#include <QPointer>

class QPushButton;
class TDBGrid;

// Project management: the list of projects with add, edit, start, stop and delete.
class Tfrmopt : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmopt(QWidget* parent = nullptr);

    TDBGrid* DBGrid1;
    QPushButton* Button1;     // 新 增
    QPushButton* Button2;     // 修 改
    QPushButton* Button3;     // 启用
    QPushButton* Button4;     // 停用
    QPushButton* Button5;     // 删除
    QPushButton* Button6;     // 关  闭
    QPushButton* ButtonRules; // 呼叫规则: retry rules and calling hours
    QPushButton* ButtonClasses; // 处置分类: disposition codes of the response rates

    // Used by the add and edit dialogs after they have written a project.
    void rereadFromTop();
    void rereadKeepingRow();

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void DBGrid1DblClick();
    void ButtonRulesClick();
    void ButtonClassesClick();

protected:
    void firstShow() override { FormShow(); }

private:
    void changeState(int zt);
};

extern QPointer<Tfrmopt> frmopt;
