#include "admin/frmsysset.h"

#include "admin/adminkit.h"
#include "core/entrydialog.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/seatphone.h"
#include "db/dm.h"
#include "ops/admin/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<Tfrmsysset> frmsysset;

Tfrmsysset::Tfrmsysset(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint)
{
    frmsysset = this;
    setObjectName(QStringLiteral("Tfrmsysset"));
    setWindowTitle(QStringLiteral("系统设置"));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    CheckBox1 = new QCheckBox(QStringLiteral("每个客户电访结束时需要弹出窗口确认是否营销成功"), GroupBox1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    auto* inner = new QVBoxLayout(GroupBox1);
    inner->setContentsMargins(20, 18, 20, 18);
    inner->addWidget(CheckBox1);
    Button1 = admin::button(this, "Button1", QStringLiteral("确     定"));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(GroupBox1);
    lay->addWidget(buildSip(), 1); // the setting above keeps its size
    lay->addLayout(buttonBar({Button1}, true));
    setFixedSize(426, 157 + 215);

    connect(Button1, &QPushButton::clicked, this, &Tfrmsysset::Button1Click);
}

QWidget* Tfrmsysset::buildSip()
{
    GroupBoxSip = new QGroupBox(QStringLiteral("本机电话（SIP 账号，只对这台电脑有效）"), this);
    GroupBoxSip->setObjectName(QStringLiteral("GroupBoxSip"));
    EditSipServer = admin::edit(GroupBoxSip, "EditSipServer");
    EditSipServer->setPlaceholderText(QStringLiteral("不填则本机不拨号，例如 pbx.example:5060"));
    EditSipUser = admin::edit(GroupBoxSip, "EditSipUser");
    EditSipAuthUser = admin::edit(GroupBoxSip, "EditSipAuthUser");
    EditSipAuthUser->setPlaceholderText(QStringLiteral("与用户名相同时不填"));
    ComboSipTransport = new QComboBox(GroupBoxSip);
    ComboSipTransport->setObjectName(QStringLiteral("ComboSipTransport"));
    ComboSipTransport->addItems({QStringLiteral("udp"), QStringLiteral("tcp"), QStringLiteral("tls")});
    EditSipPassword = admin::passwordEdit(GroupBoxSip, "EditSipPassword");
    EditSipPassword->setPlaceholderText(QStringLiteral("不填则保留原密码"));
    EditSipPrefix = admin::edit(GroupBoxSip, "EditSipPrefix");
    EditSipPrefix->setPlaceholderText(QStringLiteral("外线前缀，例如 9"));
    CheckSipRecord = new QCheckBox(QStringLiteral("通话录音"), GroupBoxSip);
    CheckSipRecord->setObjectName(QStringLiteral("CheckSipRecord"));
    EditSipRecordFolder = admin::edit(GroupBoxSip, "EditSipRecordFolder");
    EditSipRecordFolder->setPlaceholderText(QStringLiteral("录音文件夹（完整路径）"));
    auto* form = new QFormLayout(GroupBoxSip);
    form->addRow(QStringLiteral("服务器："), EditSipServer);
    form->addRow(QStringLiteral("用户名："), EditSipUser);
    form->addRow(QStringLiteral("认证用户名："), EditSipAuthUser);
    form->addRow(QStringLiteral("传输方式："), ComboSipTransport);
    form->addRow(QStringLiteral("密码："), EditSipPassword);
    form->addRow(QStringLiteral("拨号前缀："), EditSipPrefix);
    form->addRow(CheckSipRecord, EditSipRecordFolder);
    return GroupBoxSip;
}

void Tfrmsysset::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        admin::centreOnScreen(this);
        FormShow();
    }
}

void Tfrmsysset::FormShow()
{
    CheckBox1->setChecked(gJgts == 1);
    QString why;
    m_sip = phone::readSipSettings(pub::seatSettingsFile(), &why).value_or(phone::SipSettings());
    const phone::SipAccount& a = m_sip.account;
    EditSipServer->setText(a.server);
    EditSipUser->setText(a.user);
    EditSipAuthUser->setText(a.authUser);
    ComboSipTransport->setCurrentText(a.transport);
    EditSipPassword->clear();
    EditSipPrefix->setText(m_sip.prefix);
    CheckSipRecord->setChecked(!a.recordFolder.isEmpty());
    EditSipRecordFolder->setText(a.recordFolder);
}

phone::SipSettings Tfrmsysset::typedSip() const
{
    phone::SipSettings s = m_sip;
    phone::SipAccount& a = s.account;
    a.server = EditSipServer->text();
    a.user = EditSipUser->text();
    a.authUser = EditSipAuthUser->text();
    a.transport = ComboSipTransport->currentText();
    a.recordFolder = CheckSipRecord->isChecked() ? EditSipRecordFolder->text().trimmed() : QString();
    s.prefix = EditSipPrefix->text();
    return s;
}

bool Tfrmsysset::saveSip()
{
    const phone::SipSettings s = typedSip();
    const phone::SipAccount& a = s.account;
    const phone::SipAccount& was = m_sip.account;
    // Left as it was: the settings file is not touched (a seat without a telephone keeps none).
    if (EditSipPassword->text().isEmpty() && a.server.trimmed() == was.server && a.user.trimmed() == was.user &&
        a.authUser.trimmed() == was.authUser && a.transport == was.transport && a.recordFolder == was.recordFolder &&
        s.prefix.trimmed() == m_sip.prefix)
        return true;
    if (CheckSipRecord->isChecked() && a.recordFolder.isEmpty()) {
        msg::ShowMessage(QStringLiteral("开启了通话录音，请填写录音文件夹。"));
        return false;
    }
    QString why;
    if (!phone::saveSipAccount(pub::seatSettingsFile(), s, EditSipPassword->text(), &why)) {
        msg::ShowMessage(why);
        return false;
    }
    EditSipPassword->clear();
    seatphone::reset(); // the next visit window starts the telephone with the new account
    return true;
}

void Tfrmsysset::Button1Click()
{
    const int jgts = CheckBox1->isChecked() ? 1 : 0;
    if (!saveSip())
        return;
    try {
        ops::admin::writeJgts(ADOcon(), jgts);
    } catch (const db::Error& e) {
        // The program keeps the setting the database still holds.
        admin::reportError(e);
        return;
    }
    gJgts = jgts;
    accept();
}
