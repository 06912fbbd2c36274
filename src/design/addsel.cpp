#include "design/addsel.h"

#include "core/msg.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/formkit.h"
#include "design/mansel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTimer>
#include <QVBoxLayout>

QPointer<Tfrmaddsel> frmaddsel;

Tfrmaddsel::Tfrmaddsel(TfrmMansel* owner, QWidget* parent)
    : QDialog(parent, Qt::Tool), m_owner(owner ? owner : frmMansel.data())
{
    frmaddsel = this;
    setObjectName(QStringLiteral("Tfrmaddsel"));
    setWindowTitle(QStringLiteral("增加选项"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    QGridLayout* fields = design::optionFields(this, &Edit1, &Edit2);
    CheckBox1 = new QCheckBox(QStringLiteral("连续录入"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(true);
    Button1 = design::makeButton(this, QStringLiteral("Button1"), QStringLiteral("保存"));
    Button1->setDefault(true);
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QStringLiteral("关闭"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CheckBox1);
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addLayout(buttons);
    resize(420, 150);

    connect(Button1, &QPushButton::clicked, this, &Tfrmaddsel::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmaddsel::Button2Click);
}

void Tfrmaddsel::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void Tfrmaddsel::FormShow()
{
    if (!m_owner || m_owner->questionId() < 0) {
        // The option manager is gone: there is no question to add to.
        QTimer::singleShot(0, this, &QDialog::reject);
        return;
    }
    m_qid = m_owner->questionId();
    Edit1->clear();
    try {
        // The next higher question number anywhere in the table (every project's questions count).
        QString jump = QStringLiteral("0");
        QSqlQuery own = ADOcon().select(QStringLiteral("select * from q_table where qid=") + db::num(m_qid));
        if (own.next()) {
            const qint64 qbh = own.value(QStringLiteral("qbh")).toLongLong();
            own.finish();
            QSqlQuery next = ADOcon().select(QStringLiteral("select * from q_table where qbh>") + db::num(qbh) +
                                             QStringLiteral(" order by qbh"));
            if (next.next())
                jump = db::displayText(next.value(QStringLiteral("qbh")));
        }
        Edit2->setText(jump);
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
    try {
        ADOcon().execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(") + db::num(m_qid) +
                         QStringLiteral(",") + db::quoted(sel) + QStringLiteral(",") + db::num(gotoq) +
                         QStringLiteral(")"));
        // The new option is the newest: it shows at the end of the list.
        if (m_owner)
            m_owner->rereadAt(INT_MAX);
    } catch (const db::Error&) {
        msg::ShowMessage(design::kActionError);
        return;
    }
    msg::ShowMessage(design::kSaved);
    if (CheckBox1->isChecked()) {
        Edit1->clear();
        Edit1->setFocus();
    } else {
        close();
    }
}

void Tfrmaddsel::Button2Click()
{
    close();
}
