#include "design/addsel.h"

#include "core/msg.h"
#include "db/dm.h"
#include "design/formkit.h"
#include "ops/design/options.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

QPointer<Tfrmaddsel> frmaddsel;

Tfrmaddsel::Tfrmaddsel(qint64 qid, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmaddsel"), QStringLiteral("增加选项"), parent, Qt::Tool), m_qid(qid)
{
    frmaddsel = this;
    layOut(design::optionFields(this, &Edit1, &Edit2), QStringLiteral("保存"), QStringLiteral("关闭"), true,
           QSize(420, 150));
    Button1->setDefault(true);
}

void Tfrmaddsel::FormShow()
{
    if (m_qid < 0) {
        closeSoon();
        return;
    }
    Edit1->clear();
    try {
        Edit2->setText(QString::number(ops::design::proposedJump(ADOcon(), m_qid)));
    } catch (const db::Error& e) {
        design::reportError(e);
    }
    Edit1->setFocus();
}

void Tfrmaddsel::Button1Click()
{
    if (m_qid < 0)
        return;
    QString sel;
    int gotoq = 0;
    if (!design::checkOptionInput(Edit1, Edit2, &sel, &gotoq))
        return;
    // The row and its showing in the list go together: a save reported as failed has written
    // nothing, so saving again does not leave the option twice.
    if (!save([&] {
            ops::design::addOption(ADOcon(), m_qid, sel, gotoq);
            return true;
        }))
        return;
    msg::ShowMessage(design::kSaved);
    if (stayForNext()) {
        Edit1->clear();
        Edit1->setFocus();
    }
}
