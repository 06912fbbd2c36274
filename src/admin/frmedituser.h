#pragma once

#include "admin/userdialog.h"

#include <QPointer>

// Changes one operator's login name, full name, password and type.
class Tfrmedituser : public TUserDialog
{
    Q_OBJECT
public:
    // The row of the list the dialog works on.
    struct Operator
    {
        qint64 id = -1;
        QString uname;
        QString truename;
        QString tp;
    };
    explicit Tfrmedituser(const Operator& op, QWidget* parent = nullptr);

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    Operator m_op;
};

extern QPointer<Tfrmedituser> frmedituser;
