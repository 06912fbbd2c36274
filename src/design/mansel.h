#pragma once

#include <QDialog>
#include <QPointer>

class QGridLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TDBGrid;
class Tfrmoptsel;

namespace design {

// Trims the option text and jump number (writing them back) and checks them: text given,
// then the jump an integer. Shows the message and returns false when one fails.
bool checkOptionInput(QLineEdit* textEdit, QLineEdit* jumpEdit, QString* sel, int* gotoq);

// The option text and jump lines with the red hint under them, for the add and edit dialogs.
QGridLayout* optionFields(QDialog* dialog, QLineEdit** textEdit, QLineEdit** jumpEdit);

} // namespace design

// The answer options of one question, each with the number of the question to ask next.
class TfrmMansel : public QDialog
{
    Q_OBJECT
public:
    // owner: the question list whose selected question is managed (the newest one when not given).
    explicit TfrmMansel(Tfrmoptsel* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;      // project name
    QPlainTextEdit* Memo1; // question text
    TDBGrid* DBGrid1;
    QPushButton* Button1; // 增加
    QPushButton* Button2; // 修改
    QPushButton* Button3; // 删除
    QPushButton* Button4; // 关闭

    qint64 questionId() const { return m_qid; }
    // Re-reads the options; the given row (or the last one) becomes current.
    void rereadAt(int row);

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QPointer<Tfrmoptsel> m_owner;
    qint64 m_qid = -1;
    bool m_shown = false;
};

extern QPointer<TfrmMansel> frmMansel;
