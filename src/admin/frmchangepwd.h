#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPushButton;

// The logged-in operator changes the own password. A free tool window; several may be open.
class Tfrmchangepwd : public QWidget
{
    Q_OBJECT
public:
    explicit Tfrmchangepwd(QWidget* parent = nullptr);

    QLineEdit* Edit1; // old password
    QLineEdit* Edit2; // new password
    QLineEdit* Edit3; // confirmation
    QPushButton* Button1;
    QPushButton* Button2;

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    bool m_shown = false;
};

extern QPointer<Tfrmchangepwd> frmchangepwd;
