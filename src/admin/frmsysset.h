#pragma once

#include <QDialog>
#include <QPointer>

#include "phone/sipsettings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The system's setting (ask the marketing result after each completed visit) and the seat's
// telephone: its SIP account, in this computer's settings file.
class Tfrmsysset : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmsysset(QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QCheckBox* CheckBox1;
    QPushButton* Button1;
    // The seat's SIP account; an empty server: no telephone.
    QGroupBox* GroupBoxSip;
    QLineEdit* EditSipServer;
    QLineEdit* EditSipUser;
    QLineEdit* EditSipAuthUser;
    QComboBox* ComboSipTransport;
    QLineEdit* EditSipPassword; // never shown back; empty keeps the stored one
    QLineEdit* EditSipPrefix;
    QCheckBox* CheckSipRecord;
    QLineEdit* EditSipRecordFolder;

public slots:
    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QWidget* buildSip();
    phone::SipSettings typedSip() const;
    // False (with the message shown) when the account cannot be stored; nothing is written then.
    bool saveSip();

    bool m_shown = false;
    phone::SipSettings m_sip; // as read, to keep what the window does not show
};

extern QPointer<Tfrmsysset> frmsysset;
