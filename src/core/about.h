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
    // What the system offers, as far as this build has it.
    static QString functionsText();
    // The database in use and the log file.
    static QString placesText();
};

extern QPointer<Tfrmabout> frmabout;
