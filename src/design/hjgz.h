#pragma once

#include "design/dialogform.h"
#include "design/formkit.h"

#include <QList>
#include <QPointer>

class QLineEdit;
class QSpinBox;

// The calling rules of a project (the one selected in the project list): for each ending word
// but completion the least delay before the customer may be drawn again and the largest number
// of calls; the calling hours on weekdays and at weekends; the minutes after a call-back window
// at which one only its booker may call becomes anyone's.
class Tfrmhjgz : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmhjgz(const design::ProjectRow& project = {}, QWidget* parent = nullptr);

    QList<QSpinBox*> SpinDelay; // SpinDelay1.., one per ending word, minutes
    QList<QSpinBox*> SpinLimit; // SpinLimit1.., calls (0: no limit)
    QLineEdit* EditWeekdayStart;
    QLineEdit* EditWeekdayEnd;
    QLineEdit* EditWeekendStart;
    QLineEdit* EditWeekendEnd;
    QSpinBox* SpinGrace;

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    design::ProjectRow m_project;
};

extern QPointer<Tfrmhjgz> frmhjgz;
