#pragma once

#include "core/windows.h"

#include <QPointer>

class QComboBox;
class QLineEdit;
class QPushButton;
class TDBGrid;

// The call-backs booked in the visit window: due, overdue, still to come or closed, by project
// and operator, earliest first. Operators see their own and anyone's; an administrator sees all
// and can give one to another operator (or to anyone) or cancel it.
class Tfrmhflist : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmhflist(QWidget* parent = nullptr);

    QComboBox* ComboBox1;    // project names ("全部项目" first)
    QComboBox* ComboBox2;    // project numbers (hidden)
    QComboBox* ComboKind;    // 到期 / 逾期 / 未到期 / 已结束
    QLineEdit* EditOperator; // who may call it (login name); administrators only
    QPushButton* ButtonQuery;
    TDBGrid* DBGrid1;
    QLineEdit* EditReassign; // the login name to give the call-back to; blank: anyone
    QPushButton* ButtonReassign;
    QPushButton* ButtonCancel;
    QPushButton* ButtonClose;

public slots:
    void FormShow();
    void ButtonQueryClick();
    void ButtonReassignClick();
    void ButtonCancelClick();

protected:
    void firstShow() override { FormShow(); }

private:
    qint64 chosen() const;
    bool m_admin = false;
};

extern QPointer<Tfrmhflist> frmhflist;
