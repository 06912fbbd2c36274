#include "design/addsel.h"

#include "core/msg.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/formkit.h"
#include "design/mansel.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

QPointer<Tfrmaddsel> frmaddsel;

Tfrmaddsel::Tfrmaddsel(TfrmMansel* owner, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmaddsel"), QStringLiteral("增加选项"), parent, Qt::Tool),
      m_owner(owner ? owner : frmMansel.data())
{
    frmaddsel = this;
    layOut(design::optionFields(this, &Edit1, &Edit2), QStringLiteral("保存"), QStringLiteral("关闭"), true,
           QSize(420, 150));
    Button1->setDefault(true);
}

void Tfrmaddsel::FormShow()
{
    if (!m_owner || m_owner->questionId() < 0) {
        // The option manager is gone: there is no question to add to.
        closeSoon();
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
    // The row and its showing in the list go together: a save reported as failed has written
    // nothing, so saving again does not leave the option twice.
    if (!design::tryWrite([&] {
            ADOcon().execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(") + db::num(m_qid) +
                             QStringLiteral(",") + db::quoted(sel) + QStringLiteral(",") + db::num(gotoq) +
                             QStringLiteral(")"));
            // The new option is the newest: it shows at the end of the list.
            if (m_owner)
                m_owner->rereadAt(INT_MAX);
        }))
        return;
    msg::ShowMessage(design::kSaved);
    if (stayForNext()) {
        Edit1->clear();
        Edit1->setFocus();
    }
}
