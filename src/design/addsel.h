#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QLineEdit;
class TfrmMansel;

// Adds options to the managed question, proposing the next question number as the jump.
class Tfrmaddsel : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmaddsel(TfrmMansel* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1; // option text
    QLineEdit* Edit2; // jump number

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    QPointer<TfrmMansel> m_owner;
    qint64 m_qid = -1;
};

extern QPointer<Tfrmaddsel> frmaddsel;
