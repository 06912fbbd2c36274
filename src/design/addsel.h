#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QLineEdit;

// Adds options to a question, proposing the next question number as the jump.
class Tfrmaddsel : public TDesignDialog
{
    Q_OBJECT
public:
    // Without a question (qid < 0) there is nothing to add to: it closes.
    explicit Tfrmaddsel(qint64 qid = -1, QWidget* parent = nullptr);

    QLineEdit* Edit1; // option text
    QLineEdit* Edit2; // jump number

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    qint64 m_qid;
};

extern QPointer<Tfrmaddsel> frmaddsel;
