#pragma once

#include <QDialog>
#include <QPointer>

class QLineEdit;
class QPushButton;
class TfrmMansel;

// Changes the text and jump number of the option selected in the option manager.
class Tfrmeditsel : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmeditsel(TfrmMansel* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;     // option text
    QLineEdit* Edit2;     // jump number
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
    qint64 m_aid = -1;
    int m_row = -1;
};

extern QPointer<Tfrmeditsel> frmeditsel;
