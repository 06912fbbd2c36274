#include "design/editsel.h"

#include "core/msg.h"
#include "db/dm.h"
#include "ops/design/options.h"

#include <QLineEdit>

QPointer<Tfrmeditsel> frmeditsel;

Tfrmeditsel::Tfrmeditsel(const design::OptionRow& option, QWidget* parent)
    : TOptionDialog(QStringLiteral("Tfrmeditsel"), QStringLiteral("修改选项"), false, parent), m_option(option)
{
    frmeditsel = this;
}

void Tfrmeditsel::FormShow()
{
    if (closeWithout(m_option.aid))
        return;
    Edit1->setText(m_option.text);
    Edit2->setText(m_option.jump);
}

void Tfrmeditsel::Button1Click()
{
    QString sel;
    int gotoq = 0;
    if (m_option.aid >= 0 && readInput(&sel, &gotoq))
        saveAndClose([&] { ops::design::changeOption(ADOcon(), m_option.aid, sel, gotoq); });
}
