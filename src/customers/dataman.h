#pragma once

#include "core/windows.h"
#include "ops/customers/customerlist.h"

#include <QPointer>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class TDBGrid;

// 客户数据管理: the imported customer records, searched by project, state, number, assigned
// operator, import day and sequence number; the listed records are deleted (softly), assigned to
// an operator or unassigned as a whole.
class Tfrmdataman : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmdataman(QWidget* parent = nullptr);

    QComboBox* ComboBox1; // projects, newest first
    QComboBox* ComboBox2; // hidden: their numbers
    QCheckBox* CheckBox1; // import day filter
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QComboBox* ComboBox3; // states, after "所有"
    QLineEdit* Edit1;     // assigned operator (full name)
    QLineEdit* Edit2;     // number
    QLineEdit* Edit3;     // sequence from
    QLineEdit* Edit4;     // sequence to
    QPushButton* Button1; // 查  询
    QPushButton* Button2; // 导出到EXCEL
    TDBGrid* DBGrid1;
    QLabel* Label1;       // the record counter
    QPushButton* Button3; // 指定受理人
    QPushButton* Button4; // 取消指定受理人
    QPushButton* Button5; // 删除客户数据
    QPushButton* Button6; // 删除当前页所有客户数据
    QPushButton* Button7; // 关     闭

    // Number of records in the list (0 while it is closed).
    qint64 listCount() const { return m_total; }

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void CheckBox1Click();

protected:
    void firstShow() override { FormShow(); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void openList(const ops::customers::CustomerList& list);
    void closeList();
    void reread();
    void showCounter();
    // Runs an action that writes; a failure is shown by the general error report.
    void act(const std::function<void()>& action);
    void assignListTo(const ops::customers::Operator& op);

    ops::customers::CustomerList m_list = ops::customers::CustomerList::everyRecord();
    bool m_listOpen = false;
    qint64 m_total = 0;
};

extern QPointer<Tfrmdataman> frmdataman;
