#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// Adds questions to a project, proposing the next free number.
class Tfrmaddoptsel : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmaddoptsel(QWidget* parent = nullptr);

    QComboBox* ComboBox1;  // project names, newest first
    QComboBox* ComboBox2;  // their numbers, hidden
    QPlainTextEdit* Memo1; // question text
    QLineEdit* Edit1;      // question number

public slots:
    void FormShow() override;
    void ComboBox1Change();
    void Button1Click() override;

private:
    void proposeNumber();
};

extern QPointer<Tfrmaddoptsel> frmaddoptsel;
