#include "design/editsel.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/formkit.h"
#include "design/mansel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QPointer<Tfrmeditsel> frmeditsel;

Tfrmeditsel::Tfrmeditsel(TfrmMansel* owner, QWidget* parent)
    : QDialog(parent), m_owner(owner ? owner : frmMansel.data())
{
    frmeditsel = this;
    setObjectName(QStringLiteral("Tfrmeditsel"));
    setWindowTitle(QStringLiteral("修改选项"));
    setAttribute(Qt::WA_DeleteOnClose);

    QGridLayout* fields = design::optionFields(this, &Edit1, &Edit2);
    Button1 = design::makeButton(this, QStringLiteral("Button1"), QStringLiteral("保存"));
    Button1->setDefault(true);
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QStringLiteral("关闭"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addLayout(buttons);
    resize(420, 150);

    connect(Button1, &QPushButton::clicked, this, &Tfrmeditsel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmeditsel::Button2Click);
}

void Tfrmeditsel::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void Tfrmeditsel::FormShow()
{
    m_row = m_owner ? m_owner->DBGrid1->currentRowIndex() : -1;
    if (m_row < 0) {
        QTimer::singleShot(0, this, &QDialog::reject);
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
    try {
        ADOcon().execute(QStringLiteral("update q_sel set sel=") + db::quoted(sel) + QStringLiteral(",gotoq=") +
                         db::num(gotoq) + QStringLiteral(" where aid=") + db::num(m_aid));
        // The option keeps its place, and the list its position.
        if (m_owner)
            m_owner->rereadAt(m_row);
    } catch (const db::Error&) {
        msg::ShowMessage(design::kActionError);
        return;
    }
    msg::ShowMessage(design::kSaved);
    close();
}

void Tfrmeditsel::Button2Click()
{
    close();
}
