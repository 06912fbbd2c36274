#pragma once

#include "core/dbgrid.h"
#include "core/windows.h"
#include "db/statement.h"

#include <QPointer>

class QLineEdit;
class QPushButton;

// The operators who may log in: search, add, change, enable, disable and delete.
class Tfrmuser : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmuser(QWidget* parent = nullptr);

    QLineEdit* Edit1;     // login name filter
    QLineEdit* Edit2;     // full name filter
    QPushButton* BitBtn1; // 查  询
    TDBGrid* DBGrid1;
    QPushButton* Button1; // 新  增
    QPushButton* Button5; // 启用
    QPushButton* Button6; // 停用
    QPushButton* Button2; // 修 改
    QPushButton* Button3; // 删  除
    QPushButton* Button4; // 关  闭

    // The list's current sort: empty, a field name, or a field name followed by " DESC".
    QString sortText() const { return m_sort; }

public slots:
    void FormShow();
    void BitBtn1Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void DBGrid1DblClick();
    void DBGrid1TitleClick(int logicalColumn);

protected:
    void firstShow() override { FormShow(); }

private:
    void openList(const db::Statement& statement);
    void rereadOrSay(int row);
    void changeState(int zt);
    db::Statement sortedSql() const;

    QList<GridColumn> m_columns;
    db::Statement m_listSql;
    QString m_sort;
};

extern QPointer<Tfrmuser> frmuser;
