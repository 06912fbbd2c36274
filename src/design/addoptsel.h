#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Tfrmoptsel;

namespace design {

// Trims the question text and number (writing them back) and checks them in this order:
// text given, number given, number an integer (focus to the number), number not 0.
// Shows the message and returns false when one fails.
bool checkQuestionInput(QPlainTextEdit* textMemo, QLineEdit* numberEdit, QString* qnr, int* qbh);

} // namespace design

// Adds questions to a project, proposing the next free number.
class Tfrmaddoptsel : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmaddoptsel(Tfrmoptsel* owner = nullptr, QWidget* parent = nullptr);

    QComboBox* ComboBox1;  // project names, newest first
    QComboBox* ComboBox2;  // their numbers, hidden
    QPlainTextEdit* Memo1; // question text
    QLineEdit* Edit1;      // question number
    QCheckBox* CheckBox1;  // 连续录入
    QPushButton* Button1;  // 保存
    QPushButton* Button2;  // 退出

public slots:
    void FormShow();
    void ComboBox1Change();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void proposeNumber();
    QPointer<Tfrmoptsel> m_owner;
};

extern QPointer<Tfrmaddoptsel> frmaddoptsel;
