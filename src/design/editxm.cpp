#include "design/editxm.h"

#include "core/msg.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "ops/design/projects.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

QPointer<Tfrmeditxm> frmeditxm;

Tfrmeditxm::Tfrmeditxm(const design::ProjectRow& project, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmeditxm"), QStringLiteral("修改项目"), parent), m_project(project)
{
    frmeditxm = this;
    layOut(design::projectFields(this, &Edit1, &Memo1), QStringLiteral("保     存"), QStringLiteral("退   出"), false,
           QSize(460, 240));
    scaling::applyScreenScaling(this);
}

void Tfrmeditxm::FormShow()
{
    if (closeWithout(m_project.ywbh))
        return;
    Edit1->setText(m_project.name);
    Memo1->setPlainText(m_project.tips);
}

void Tfrmeditxm::Button1Click()
{
    if (m_project.ywbh < 0)
        return;
    QString name, tips;
    if (!design::checkProjectInput(Edit1, Memo1, &name, &tips))
        return;
    auto outcome = ops::design::Outcome::Done;
    if (!save([&] {
            outcome = ops::design::changeProject(ADOcon(), m_project.ywbh, name, tips);
            return outcome == ops::design::Outcome::Done;
        }))
        return;
    if (outcome == ops::design::Outcome::DuplicateName) {
        msg::ShowMessage(QStringLiteral("该项目名称已经存在，请不要重复！"));
        return;
    }
    msg::ShowMessage(QStringLiteral("保存成功"));
    close();
}
