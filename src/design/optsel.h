#pragma once

#include "core/windows.h"
#include "design/formkit.h"

#include <QPointer>

class QComboBox;
class QLabel;
class QPushButton;
class TDBGrid;

// The questions of every project, filtered by project, with add, edit, delete and the option
// manager of the selected question.
class Tfrmoptsel : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmoptsel(QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* ComboBox1; // 项目选择: "所有" and the project names, oldest first
    TDBGrid* DBGrid1;
    QPushButton* Button1; // 添加问题
    QPushButton* Button2; // 修改问题
    QPushButton* Button3; // 删除问题
    QPushButton* Button4; // 管理问题选项
    QPushButton* Button5; // 退出

    // Re-reads the list with its current filter; the first row becomes current.
    void reread();

public slots:
    void FormShow();
    void ComboBox1Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void DBGrid1DblClick();

protected:
    void firstShow() override { FormShow(); }

private:
    design::QuestionRow selectedQuestion() const;
    int m_filterIndex = 0; // the choice the list shows
};

extern QPointer<Tfrmoptsel> frmoptsel;
