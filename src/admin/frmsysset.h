#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QGroupBox;
class QPushButton;

// The one setting: ask the marketing result after each completed visit.
class Tfrmsysset : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmsysset(QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QCheckBox* CheckBox1;
    QPushButton* Button1;

public slots:
    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    bool m_shown = false;
};

extern QPointer<Tfrmsysset> frmsysset;
