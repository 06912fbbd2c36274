#pragma once

#include <QDialog>
#include <QPointer>

class QGroupBox;
class QPushButton;
class QRadioButton;

// The result-choice dialog: asks the marketing result of a completed questionnaire.
class Tfrmseljg : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmseljg(QWidget* parent = nullptr);

    // Runs the dialog modally and hands back the result chosen with "提    交": "成功" or
    // "不成功"; empty when it was closed any other way.
    static QString choose(QWidget* parent);

private:
    void Button1Click();

    QGroupBox* GroupBox1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QPushButton* Button1;
    QString m_jg;
};

extern QPointer<Tfrmseljg> frmseljg;
