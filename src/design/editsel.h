#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QLineEdit;
class TfrmMansel;

// Changes the text and jump number of the option selected in the option manager.
class Tfrmeditsel : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmeditsel(TfrmMansel* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1; // option text
    QLineEdit* Edit2; // jump number

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    QPointer<TfrmMansel> m_owner;
    qint64 m_aid = -1;
    int m_row = -1;
};

extern QPointer<Tfrmeditsel> frmeditsel;
