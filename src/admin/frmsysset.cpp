#include "admin/frmsysset.h"

#include "admin/adminkit.h"
#include "core/entrydialog.h"
#include "core/pub.h"
#include "db/dm.h"
#include "ops/admin/settings.h"

#include <QCheckBox>
#include <QGroupBox>
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
    lay->addLayout(buttonBar({Button1}, true));
    setFixedSize(426, 157);

    connect(Button1, &QPushButton::clicked, this, &Tfrmsysset::Button1Click);
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
}

void Tfrmsysset::Button1Click()
{
    const int jgts = CheckBox1->isChecked() ? 1 : 0;
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
