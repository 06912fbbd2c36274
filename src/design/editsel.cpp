#include "design/editsel.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/formkit.h"
#include "design/mansel.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

QPointer<Tfrmeditsel> frmeditsel;

Tfrmeditsel::Tfrmeditsel(TfrmMansel* owner, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmeditsel"), QStringLiteral("修改选项"), parent),
      m_owner(owner ? owner : frmMansel.data())
{
    frmeditsel = this;
    layOut(design::optionFields(this, &Edit1, &Edit2), QStringLiteral("保存"), QStringLiteral("关闭"), false,
           QSize(420, 150));
    Button1->setDefault(true);
}

void Tfrmeditsel::FormShow()
{
    m_row = m_owner ? m_owner->DBGrid1->currentRowIndex() : -1;
    if (m_row < 0) {
        closeSoon();
        return;
    }
    const TDBGrid* g = m_owner->DBGrid1;
    m_aid = g->value(m_row, QStringLiteral("aid")).toLongLong();
    Edit1->setText(g->value(m_row, QStringLiteral("sel")).toString());
    Edit2->setText(g->text(m_row, QStringLiteral("gotoq")));
}

void Tfrmeditsel::Button1Click()
{
    if (m_aid < 0)
        return;
    QString sel;
    int gotoq = 0;
    if (!design::checkOptionInput(Edit1, Edit2, &sel, &gotoq))
        return;
    if (!design::tryWrite([&] {
            ADOcon().execute(QStringLiteral("update q_sel set sel=") + db::quoted(sel) + QStringLiteral(",gotoq=") +
                             db::num(gotoq) + QStringLiteral(" where aid=") + db::num(m_aid));
            // The option keeps its place, and the list its position.
            if (m_owner)
                m_owner->rereadAt(m_row);
        }))
        return;
    msg::ShowMessage(design::kSaved);
    close();
}
