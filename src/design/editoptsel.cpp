#include "design/editoptsel.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/addoptsel.h"
#include "design/formkit.h"
#include "design/optsel.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

QPointer<Tfrmeditoptsel> frmeditoptsel;

Tfrmeditoptsel::Tfrmeditoptsel(Tfrmoptsel* owner, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmeditoptsel"), QStringLiteral("修改问题"), parent),
      m_owner(owner ? owner : frmoptsel.data())
{
    frmeditoptsel = this;
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    design::showAsReadOnly(Edit1);
    layOut(design::questionFields(this, Edit1, &Memo1, &Edit2, "Edit2"), QStringLiteral("保   存"),
           QStringLiteral("退   出"), false, QSize(500, 300));
}

void Tfrmeditoptsel::FormShow()
{
    const int row = m_owner ? m_owner->DBGrid1->currentRowIndex() : -1;
    if (row < 0) {
        closeSoon();
        return;
    }
    const TDBGrid* g = m_owner->DBGrid1;
    m_qid = g->value(row, QStringLiteral("qid")).toLongLong();
    Edit1->setText(g->value(row, QStringLiteral("ywname")).toString());
    Memo1->setPlainText(g->value(row, QStringLiteral("qnr")).toString());
    Edit2->setText(g->text(row, QStringLiteral("qbh")));
}

void Tfrmeditoptsel::Button1Click()
{
    if (m_qid < 0)
        return;
    QString qnr;
    int qbh = 0;
    if (!design::checkQuestionInput(Memo1, Edit2, &qnr, &qbh))
        return;
    if (!design::tryWrite([&] {
            // Only this question changes: options that jump to its old number keep that number.
            ADOcon().execute(QStringLiteral("update q_table set qnr=") + db::quoted(qnr) + QStringLiteral(",qbh=") +
                             db::num(qbh) + QStringLiteral(" where qid=") + db::num(m_qid));
            if (m_owner)
                m_owner->reread();
        }))
        return;
    msg::ShowMessage(design::kSaved);
    close();
}
