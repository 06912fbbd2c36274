#pragma once

#include "core/windows.h"

#include <QPointer>

class QPushButton;

class Tfrmabout : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmabout(QWidget* parent = nullptr);
    QPushButton* Button1;
};

extern QPointer<Tfrmabout> frmabout;
