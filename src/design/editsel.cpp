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
    if (m_option.aid < 0) {
        closeSoon();
        return;
    }
    Edit1->setText(m_option.text);
    Edit2->setText(m_option.jump);
}

void Tfrmeditsel::Button1Click()
{
    if (m_option.aid < 0)
        return;
    QString sel;
    int gotoq = 0;
    if (!readInput(&sel, &gotoq))
        return;
    if (!save([&] {
            ops::design::changeOption(ADOcon(), m_option.aid, sel, gotoq);
            return true;
        }))
        return;
    msg::ShowMessage(design::kSaved);
    close();
}
