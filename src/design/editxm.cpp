#include "design/editxm.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "design/formkit.h"
#include "design/opt.h"
#include "design/projectform.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QPointer<Tfrmeditxm> frmeditxm;

Tfrmeditxm::Tfrmeditxm(Tfrmopt* owner, QWidget* parent) : QDialog(parent), m_owner(owner ? owner : frmopt.data())
{
    frmeditxm = this;
    setObjectName(QStringLiteral("Tfrmeditxm"));
    setWindowTitle(QStringLiteral("修改项目"));
    setAttribute(Qt::WA_DeleteOnClose);

    QGridLayout* fields = design::projectFields(this, &Edit1, &Memo1);
    Button1 = design::makeButton(this, QStringLiteral("Button1"), QStringLiteral("保     存"));
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QStringLiteral("退   出"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addLayout(buttons);
    resize(460, 240);

    connect(Button1, &QPushButton::clicked, this, &Tfrmeditxm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmeditxm::Button2Click);

    scaling::applyScreenScaling(this);
}

void Tfrmeditxm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormShow();
}

void Tfrmeditxm::FormShow()
{
    const int row = m_owner ? m_owner->DBGrid1->currentRowIndex() : -1;
    if (row < 0) {
        // No list or no project to edit: nothing to show.
        QTimer::singleShot(0, this, &QDialog::reject);
        return;
    }
    m_ywbh = m_owner->DBGrid1->value(row, QStringLiteral("ywbh")).toLongLong();
    Edit1->setText(m_owner->DBGrid1->value(row, QStringLiteral("ywname")).toString());
    Memo1->setPlainText(m_owner->DBGrid1->value(row, QStringLiteral("ywtips")).toString());
}

void Tfrmeditxm::Button1Click()
{
    if (m_ywbh < 0)
        return;
    QString name, tips;
    if (!design::checkProjectInput(Edit1, Memo1, &name, &tips))
        return;
    try {
        if (design::exists(QStringLiteral("select * from t_ywbh where ywbh<>") + db::num(m_ywbh) +
                           QStringLiteral(" and ywname=") + db::quoted(name))) {
            msg::ShowMessage(QStringLiteral("该项目名称已经存在，请不要重复！"));
            return;
        }
        ADOcon().execute(QStringLiteral("update t_ywbh set ywname=") + db::quoted(name) + QStringLiteral(",ywtips=") +
                         db::quoted(tips) + QStringLiteral(" where ywbh=") + db::num(m_ywbh));
        // The list shows the new values on the same row.
        if (m_owner)
            m_owner->rereadKeepingRow();
    } catch (const db::Error&) {
        msg::ShowMessage(design::kActionError);
        return;
    }
    msg::ShowMessage(QStringLiteral("保存成功"));
    close();
}

void Tfrmeditxm::Button2Click()
{
    close();
}
