#pragma once

#include <QDialog>
#include <QPointer>

class QGroupBox;
class QPushButton;
class QRadioButton;
class Tfrmuserhf;

// The result-choice dialog: asks the marketing result of a completed questionnaire and hands
// it to the visit window that opened it.
class Tfrmseljg : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmseljg(Tfrmuserhf* owner);

    QGroupBox* GroupBox1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QPushButton* Button1;

    void Button1Click();

private:
    QPointer<Tfrmuserhf> m_owner;
};

extern QPointer<Tfrmseljg> frmseljg;
