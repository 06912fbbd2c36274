#pragma once

#include "design/dialogform.h"
#include "design/formkit.h"

#include <QPointer>

// Changes the text and jump number of an option (the one selected in the option manager).
class Tfrmeditsel : public TOptionDialog
{
    Q_OBJECT
public:
    // Without an option (aid < 0) there is nothing to edit: it closes.
    explicit Tfrmeditsel(const design::OptionRow& option = {}, QWidget* parent = nullptr);

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    design::OptionRow m_option;
};

extern QPointer<Tfrmeditsel> frmeditsel;
