#pragma once

#include <QDialog>
#include <QPointer>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Tfrmopt;

// Changes the name and prompt text of the project selected in the project list.
class Tfrmeditxm : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmeditxm(Tfrmopt* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QPlainTextEdit* Memo1;
    QPushButton* Button1; // 保存
    QPushButton* Button2; // 退出

    qint64 projectNumber() const { return m_ywbh; }

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QPointer<Tfrmopt> m_owner;
    qint64 m_ywbh = -1;
};

extern QPointer<Tfrmeditxm> frmeditxm;
