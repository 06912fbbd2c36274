#include "design/editoptsel.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/addoptsel.h"
#include "design/formkit.h"
#include "design/optsel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QPointer<Tfrmeditoptsel> frmeditoptsel;

Tfrmeditoptsel::Tfrmeditoptsel(Tfrmoptsel* owner, QWidget* parent)
    : QDialog(parent), m_owner(owner ? owner : frmoptsel.data())
{
    frmeditoptsel = this;
    setObjectName(QStringLiteral("Tfrmeditoptsel"));
    setWindowTitle(QStringLiteral("修改问题"));
    setAttribute(Qt::WA_DeleteOnClose);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    design::showAsReadOnly(Edit1);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Button1 = design::makeButton(this, QStringLiteral("Button1"), QStringLiteral("保   存"));
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QStringLiteral("退   出"));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("项目名称："), this), 0, 0, Qt::AlignRight);
    fields->addWidget(Edit1, 0, 1, 1, 2);
    fields->addWidget(new QLabel(QStringLiteral("问题内容："), this), 1, 0, Qt::AlignRight | Qt::AlignTop);
    fields->addWidget(Memo1, 1, 1, 1, 2);
    fields->addWidget(new QLabel(QStringLiteral("问题编号："), this), 2, 0, Qt::AlignRight);
    fields->addWidget(Edit2, 2, 1);
    fields->addWidget(design::redLabel(QStringLiteral("(请输入整数编号如：1、2、3)"), this), 2, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addLayout(buttons);
    resize(500, 300);

    connect(Button1, &QPushButton::clicked, this, &Tfrmeditoptsel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmeditoptsel::Button2Click);
}

void Tfrmeditoptsel::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void Tfrmeditoptsel::FormShow()
{
    const int row = m_owner ? m_owner->DBGrid1->currentRowIndex() : -1;
    if (row < 0) {
        QTimer::singleShot(0, this, &QDialog::reject);
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
    try {
        // Only this question changes: options that jump to its old number keep that number.
        ADOcon().execute(QStringLiteral("update q_table set qnr=") + db::quoted(qnr) + QStringLiteral(",qbh=") +
                         db::num(qbh) + QStringLiteral(" where qid=") + db::num(m_qid));
        if (m_owner)
            m_owner->reread();
    } catch (const db::Error&) {
        msg::ShowMessage(design::kActionError);
        return;
    }
    msg::ShowMessage(design::kSaved);
    close();
}

void Tfrmeditoptsel::Button2Click()
{
    close();
}
