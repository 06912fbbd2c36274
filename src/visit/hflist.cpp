#include "visit/hflist.h"

#include "core/choices.h"
#include "core/entrydialog.h"
#include "core/listform.h"
#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/vocab.h"
#include "ops/design/projects.h"
#include "ops/visit/callbacklist.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QPointer<Tfrmhflist> frmhflist;

namespace {

const QString kFailed = QStringLiteral("连接数据库时出错，请检查网络!");

} // namespace

Tfrmhflist::Tfrmhflist(QWidget* parent) : TChildForm(parent)
{
    frmhflist = this;
    setObjectName(QStringLiteral("Tfrmhflist"));
    setWindowTitle(QStringLiteral("预约回访"));
    m_admin = gTp == vocab::kAdmin;

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setMinimumWidth(150);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setVisible(false);
    ComboKind = new QComboBox(this);
    ComboKind->setObjectName(QStringLiteral("ComboKind"));
    ComboKind->addItems(
        {QStringLiteral("到期"), QStringLiteral("逾期"), QStringLiteral("未到期"), QStringLiteral("已结束")});
    EditOperator = new QLineEdit(this);
    EditOperator->setObjectName(QStringLiteral("EditOperator"));
    EditOperator->setFixedWidth(100);
    EditOperator->setPlaceholderText(QStringLiteral("全部"));
    ButtonQuery = plainButton(this, QStringLiteral("ButtonQuery"), QStringLiteral("查 询"));
    auto* above = new QHBoxLayout;
    above->addWidget(new QLabel(QStringLiteral("项目："), this));
    above->addWidget(ComboBox1);
    above->addWidget(new QLabel(QStringLiteral("类别："), this));
    above->addWidget(ComboKind);
    auto* operatorCaption = new QLabel(QStringLiteral("回访人："), this);
    above->addWidget(operatorCaption);
    above->addWidget(EditOperator);
    above->addWidget(ButtonQuery);
    above->addStretch(1);
    operatorCaption->setVisible(m_admin);
    EditOperator->setVisible(m_admin);

    DBGrid1 = lists::grid(this, {{QStringLiteral("ywname"), QStringLiteral("项目名"), 100},
                                 {QStringLiteral("dhhm"), QStringLiteral("电话号码"), 100},
                                 {QStringLiteral("yhxm"), QStringLiteral("客户姓名"), 70},
                                 {QStringLiteral("kssj"), QStringLiteral("回访时间"), 125},
                                 {QStringLiteral("jssj"), QStringLiteral("截止时间"), 125},
                                 {QStringLiteral("yyzxm"), QStringLiteral("预约人"), 70},
                                 {QStringLiteral("hfz"), QStringLiteral("回访人"), 60},
                                 {QStringLiteral("zyw"), QStringLiteral("只由预约人"), 70},
                                 {QStringLiteral("bz"), QStringLiteral("备注"), 150},
                                 {QStringLiteral("ztw"), QStringLiteral("状态"), 50},
                                 {QStringLiteral("yysj"), QStringLiteral("预约时间"), 125}});
    EditReassign = new QLineEdit(this);
    EditReassign->setObjectName(QStringLiteral("EditReassign"));
    EditReassign->setFixedWidth(100);
    EditReassign->setPlaceholderText(QStringLiteral("任何人"));
    ButtonReassign = plainButton(this, QStringLiteral("ButtonReassign"), QStringLiteral("改 派"));
    ButtonCancel = plainButton(this, QStringLiteral("ButtonCancel"), QStringLiteral("取消预约"));
    ButtonClose = plainButton(this, QStringLiteral("ButtonClose"), QStringLiteral("关  闭"));
    for (QWidget* w : {static_cast<QWidget*>(EditReassign), static_cast<QWidget*>(ButtonReassign),
                       static_cast<QWidget*>(ButtonCancel)})
        w->setVisible(m_admin);
    lists::layOut(this, above, DBGrid1, {ButtonReassign, ButtonCancel, ButtonClose});
    // The name a call-back is given to stands with the list's filters.
    auto* toCaption = new QLabel(QStringLiteral("改派给："), this);
    toCaption->setVisible(m_admin);
    above->insertWidget(above->count() - 1, toCaption);
    above->insertWidget(above->count() - 1, EditReassign);
    resize(900, 480);

    connect(ButtonQuery, &QPushButton::clicked, this, &Tfrmhflist::ButtonQueryClick);
    connect(ButtonReassign, &QPushButton::clicked, this, &Tfrmhflist::ButtonReassignClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &Tfrmhflist::ButtonCancelClick);
    connect(ButtonClose, &QPushButton::clicked, this, &QWidget::close);
    keepDesignSize();
}

void Tfrmhflist::FormShow()
{
    try {
        choices::loadProjects(ComboBox1, ComboBox2, ops::design::projectChoicesQuery());
        ComboBox1->insertItem(0, QStringLiteral("全部项目"));
        ComboBox2->insertItem(0, QStringLiteral("-1"));
        ComboBox1->setCurrentIndex(0);
        ComboBox2->setCurrentIndex(0);
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kFailed);
        return;
    }
    ButtonQueryClick();
}

void Tfrmhflist::ButtonQueryClick()
{
    ops::visit::CallBackFilter f;
    f.ywbh = choices::projectNumber(ComboBox1, ComboBox2);
    f.kind = ops::visit::CallBackKind(std::max(0, ComboKind->currentIndex()));
    if (m_admin)
        f.operatorName = EditOperator->text().trimmed();
    else
        f.viewer = gUname;
    try {
        lists::openAtFirst(DBGrid1, ops::visit::callBackList(f, QDateTime::currentDateTime()));
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kFailed);
    }
}

qint64 Tfrmhflist::chosen() const
{
    const int row = DBGrid1->currentRowIndex();
    return row < 0 ? -1 : DBGrid1->value(row, QStringLiteral("id")).toLongLong();
}

namespace {

void tell(ops::visit::Changed c)
{
    if (c == ops::visit::Changed::NotOpen)
        msg::ShowMessage(QStringLiteral("该预约已经回访或已取消!"));
    else if (c == ops::visit::Changed::NoSuchOperator)
        msg::ShowMessage(QStringLiteral("没有这个登录用户，请填写回访人的登录名（不填为任何人）!"));
}

} // namespace

void Tfrmhflist::ButtonReassignClick()
{
    const qint64 id = chosen();
    if (id < 0 || !m_admin)
        return;
    try {
        const auto c =
            ops::visit::reassignCallBack(ADOcon(), id, EditReassign->text().trimmed(), pub::currentOperator());
        tell(c);
        if (c == ops::visit::Changed::Done)
            lists::reopenAt(DBGrid1, DBGrid1->currentRowIndex());
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kFailed);
    }
}

void Tfrmhflist::ButtonCancelClick()
{
    const qint64 id = chosen();
    if (id < 0 || !m_admin)
        return;
    if (!msg::confirmOk(QStringLiteral("您确定要取消这个预约回访么?"), QStringLiteral("提示")))
        return;
    try {
        const auto c = ops::visit::cancelCallBack(ADOcon(), id, pub::currentOperator());
        tell(c);
        if (c == ops::visit::Changed::Done)
            lists::reopenAt(DBGrid1, DBGrid1->currentRowIndex());
    } catch (const db::Error& e) {
        msg::ShowFailure(e, kFailed);
    }
}
