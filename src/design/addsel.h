#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TfrmMansel;

// Adds options to the managed question, proposing the next question number as the jump.
class Tfrmaddsel : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmaddsel(TfrmMansel* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;     // option text
    QLineEdit* Edit2;     // jump number
    QCheckBox* CheckBox1; // 连续录入
    QPushButton* Button1; // 保存 (Enter)
    QPushButton* Button2; // 关闭

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QPointer<TfrmMansel> m_owner;
    qint64 m_qid = -1;
};

extern QPointer<Tfrmaddsel> frmaddsel;
