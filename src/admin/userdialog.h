#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The add and change dialogs of the operator list: login name, full name, password twice and
// the type; modal, freed when closed.
class TUserDialog : public QDialog
{
    Q_OBJECT
public:
    QLineEdit* Edit1;               // login name
    QLineEdit* Edit2;               // full name
    QLineEdit* Edit3;               // password
    QLineEdit* Edit4;               // confirmation
    QComboBox* ComboBox1;           // type
    QCheckBox* CheckBox1 = nullptr; // 连续录入 (add only)
    QPushButton* Button1;           // save
    QPushButton* Button2;           // leave (Esc)

public slots:
    virtual void FormShow() {}
    virtual void Button1Click() = 0;
    void Button2Click();

protected:
    struct Captions
    {
        QString uname, type, save, leave;
    };
    TUserDialog(const QString& objectName, const QString& caption, const Captions& c, bool keepEntering,
                QWidget* parent);
    // The first check that fails shows its message; false then. A mismatch empties both
    // password boxes.
    bool checkInput(const QString& uname, const QString& truename, const QString& pwd, const QString& confirm,
                    const QString& noPassword);
    void showEvent(QShowEvent* e) override;

private:
    bool m_shown = false;
};
