#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

// Adds projects; with "连续录入" ticked it stays open for the next one.
class Tfrmaddxm : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmaddxm(QWidget* parent = nullptr);

    QLineEdit* Edit1;      // project name
    QPlainTextEdit* Memo1; // prompt text
    QLabel* Label3;        // running length of the prompt text

public slots:
    void FormShow() override;
    void Memo1Change();
    void Button1Click() override;
};

extern QPointer<Tfrmaddxm> frmaddxm;
