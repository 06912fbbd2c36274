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
#include <QLineEdit>
#include <QPlainTextEdit>

QPointer<Tfrmeditxm> frmeditxm;

Tfrmeditxm::Tfrmeditxm(Tfrmopt* owner, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmeditxm"), QStringLiteral("修改项目"), parent),
      m_owner(owner ? owner : frmopt.data())
{
    frmeditxm = this;
    QGridLayout* fields = design::projectFields(this, &Edit1, &Memo1);
    layOut(fields, QStringLiteral("保     存"), QStringLiteral("退   出"), false, QSize(460, 240));
    scaling::applyScreenScaling(this);
}

void Tfrmeditxm::FormShow()
{
    const int row = m_owner ? m_owner->DBGrid1->currentRowIndex() : -1;
    if (row < 0) {
        // No list or no project to edit: nothing to show.
        closeSoon();
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
    bool duplicate = false;
    if (!design::tryAction([&] {
            duplicate = design::exists(QStringLiteral("select * from t_ywbh where ywbh<>") + db::num(m_ywbh) +
                                       QStringLiteral(" and ywname=") + db::quoted(name));
        }))
        return;
    if (duplicate) {
        msg::ShowMessage(QStringLiteral("该项目名称已经存在，请不要重复！"));
        return;
    }
    if (!design::tryWrite([&] {
            ADOcon().execute(QStringLiteral("update t_ywbh set ywname=") + db::quoted(name) +
                             QStringLiteral(",ywtips=") + db::quoted(tips) + QStringLiteral(" where ywbh=") +
                             db::num(m_ywbh));
            // The list shows the new values on the same row.
            if (m_owner)
                m_owner->rereadKeepingRow();
        }))
        return;
    msg::ShowMessage(QStringLiteral("保存成功"));
    close();
}
