#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QComboBox;
class QGridLayout;
class QLineEdit;
class QPlainTextEdit;
class Tfrmoptsel;

namespace design {

// The project line (a choice or a read-only name), the question text and the number with its hint.
QGridLayout* questionFields(QDialog* dialog, QWidget* project, QPlainTextEdit** textMemo, QLineEdit** numberEdit,
                            const char* numberName);

// Trims the question text and number (writing them back) and checks them in this order:
// text given, number given, number an integer (focus to the number), number not 0.
// Shows the message and returns false when one fails.
bool checkQuestionInput(QPlainTextEdit* textMemo, QLineEdit* numberEdit, QString* qnr, int* qbh);

} // namespace design

// Adds questions to a project, proposing the next free number.
class Tfrmaddoptsel : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmaddoptsel(Tfrmoptsel* owner = nullptr, QWidget* parent = nullptr);

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
    QPointer<Tfrmoptsel> m_owner;
};

extern QPointer<Tfrmaddoptsel> frmaddoptsel;
