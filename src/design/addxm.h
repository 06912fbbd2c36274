#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Tfrmopt;

// Adds projects; with "连续录入" ticked it stays open for the next one.
class Tfrmaddxm : public QDialog
{
    Q_OBJECT
public:
    // owner: the project list to re-read after a save (the newest one when not given).
    explicit Tfrmaddxm(Tfrmopt* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;      // project name
    QPlainTextEdit* Memo1; // prompt text
    QLabel* Label3;        // running length of the prompt text
    QCheckBox* CheckBox1;  // 连续录入
    QPushButton* Button1;  // 保存
    QPushButton* Button2;  // 退出

public slots:
    void FormShow();
    void Memo1Change();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QPointer<Tfrmopt> m_owner;
};

extern QPointer<Tfrmaddxm> frmaddxm;
