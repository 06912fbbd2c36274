#include "design/addsel.h"

#include "core/msg.h"
#include "db/dm.h"
#include "design/formkit.h"
#include "ops/design/options.h"

#include <QLineEdit>

QPointer<Tfrmaddsel> frmaddsel;

Tfrmaddsel::Tfrmaddsel(qint64 qid, QWidget* parent)
    : TOptionDialog(QStringLiteral("Tfrmaddsel"), QStringLiteral("增加选项"), true, parent, Qt::Tool), m_qid(qid)
{
    frmaddsel = this;
}

void Tfrmaddsel::FormShow()
{
    if (closeWithout(m_qid))
        return;
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
    if (!readInput(&sel, &gotoq))
        return;
    // The row and its showing in the list go together: a save reported as failed has written
    // nothing, so saving again does not leave the option twice.
    if (!saveAndSay([&] { ops::design::addOption(ADOcon(), m_qid, sel, gotoq); }))
        return;
    if (stayForNext()) {
        Edit1->clear();
        Edit1->setFocus();
    }
}
