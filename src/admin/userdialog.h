#pragma once

#include "core/entrydialog.h"

class QComboBox;
class QLineEdit;

// The add and change dialogs of the operator list: login name, full name, password twice and
// the type; modal, freed when closed.
class TUserDialog : public TEntryDialog
{
    Q_OBJECT
public:
    QLineEdit* Edit1;     // login name
    QLineEdit* Edit2;     // full name
    QLineEdit* Edit3;     // password
    QLineEdit* Edit4;     // confirmation
    QComboBox* ComboBox1; // type

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
    bool m_centred = false;
};
