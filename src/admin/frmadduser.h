#pragma once

#include "admin/userdialog.h"

#include <QPointer>

// Adds operators, one after the other while "连续录入" is ticked.
class Tfrmadduser : public TUserDialog
{
    Q_OBJECT
public:
    explicit Tfrmadduser(QWidget* parent = nullptr);

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    void clearTexts();
};

extern QPointer<Tfrmadduser> frmadduser;
