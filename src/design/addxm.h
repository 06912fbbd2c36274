#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class Tfrmopt;

// Adds projects; with "连续录入" ticked it stays open for the next one.
class Tfrmaddxm : public TDesignDialog
{
    Q_OBJECT
public:
    // owner: the project list to re-read after a save (the newest one when not given).
    explicit Tfrmaddxm(Tfrmopt* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;      // project name
    QPlainTextEdit* Memo1; // prompt text
    QLabel* Label3;        // running length of the prompt text

public slots:
    void FormShow() override;
    void Memo1Change();
    void Button1Click() override;

private:
    QPointer<Tfrmopt> m_owner;
};

extern QPointer<Tfrmaddxm> frmaddxm;
