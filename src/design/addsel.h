#pragma once

#include "design/dialogform.h"

#include <QPointer>

// Adds options to a question, proposing the next question number as the jump.
class Tfrmaddsel : public TOptionDialog
{
    Q_OBJECT
public:
    // Without a question (qid < 0) there is nothing to add to: it closes.
    explicit Tfrmaddsel(qint64 qid = -1, QWidget* parent = nullptr);

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    qint64 m_qid;
};

extern QPointer<Tfrmaddsel> frmaddsel;
