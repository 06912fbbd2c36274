#include "design/editsel.h"

#include "core/msg.h"
#include "db/dm.h"
#include "ops/design/options.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

QPointer<Tfrmeditsel> frmeditsel;

Tfrmeditsel::Tfrmeditsel(const design::OptionRow& option, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmeditsel"), QStringLiteral("修改选项"), parent), m_option(option)
{
    frmeditsel = this;
    layOut(design::optionFields(this, &Edit1, &Edit2), QStringLiteral("保存"), QStringLiteral("关闭"), false,
           QSize(420, 150));
    Button1->setDefault(true);
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
    if (!design::checkOptionInput(Edit1, Edit2, &sel, &gotoq))
        return;
    if (!save([&] {
            ops::design::changeOption(ADOcon(), m_option.aid, sel, gotoq);
            return true;
        }))
        return;
    msg::ShowMessage(design::kSaved);
    close();
}
