#pragma once

#include <QDialog>
#include <QPointer>

class QLineEdit;
class QPushButton;

// The login dialog: opens the database, finds the operator, sets the login values, writes the
// log row, reads the settings row and makes the safety copy.
class Tfrmlogin : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmlogin(QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
};

extern QPointer<Tfrmlogin> frmlogin;
