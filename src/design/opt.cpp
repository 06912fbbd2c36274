#include "design/opt.h"

#include "core/entrydialog.h"
#include "core/listform.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "design/addxm.h"
#include "design/czfl.h"
#include "design/editxm.h"
#include "design/formkit.h"
#include "design/hjgz.h"
#include "ops/design/projects.h"

#include <QPushButton>

QPointer<Tfrmopt> frmopt;

Tfrmopt::Tfrmopt(QWidget* parent) : TChildForm(parent)
{
    frmopt = this;
    setObjectName(QStringLiteral("Tfrmopt"));
    setWindowTitle(QStringLiteral("项目管理"));

    DBGrid1 = lists::grid(this, {{QStringLiteral("ywname"), QStringLiteral("项目名"), 131},
                                 {QStringLiteral("vlname"), QStringLiteral("当前状态"), 74},
                                 {QStringLiteral("ywtips"), QStringLiteral("提示语"), 393}});

    Button1 = plainButton(this, QStringLiteral("Button1"), QStringLiteral("新 增"));
    Button2 = plainButton(this, QStringLiteral("Button2"), QStringLiteral("修 改"));
    Button3 = plainButton(this, QStringLiteral("Button3"), QStringLiteral("启用"));
    Button4 = plainButton(this, QStringLiteral("Button4"), QStringLiteral("停用"));
    Button5 = plainButton(this, QStringLiteral("Button5"), QStringLiteral("删除"));
    Button6 = plainButton(this, QStringLiteral("Button6"), QStringLiteral("关  闭"));
    ButtonRules = plainButton(this, QStringLiteral("ButtonRules"), QStringLiteral("呼叫规则"));
    ButtonClasses = plainButton(this, QStringLiteral("ButtonClasses"), QStringLiteral("处置分类"));

    lists::layOut(this, nullptr, DBGrid1,
                  {Button1, Button2, Button3, Button4, Button5, ButtonRules, ButtonClasses, Button6});
    resize(640, 420);

    connect(Button1, &QPushButton::clicked, this, &Tfrmopt::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmopt::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmopt::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tfrmopt::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Tfrmopt::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &Tfrmopt::Button6Click);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &Tfrmopt::DBGrid1DblClick);
    connect(ButtonRules, &QPushButton::clicked, this, &Tfrmopt::ButtonRulesClick);
    connect(ButtonClasses, &QPushButton::clicked, this, &Tfrmopt::ButtonClassesClick);

    scaling::applyScreenScaling(this);
    keepDesignSize();
}

void Tfrmopt::FormShow()
{
    try {
        lists::openAtFirst(DBGrid1, ops::design::projectListQuery());
    } catch (const db::Error& e) {
        design::reportError(e);
    }
}

void Tfrmopt::rereadFromTop()
{
    lists::reopenAt(DBGrid1, 0);
}

void Tfrmopt::rereadKeepingRow()
{
    lists::reopenAt(DBGrid1, DBGrid1->currentRowIndex());
}

void Tfrmopt::Button1Click()
{
    // Owned by nobody, like every dialog: should this window close meanwhile, the dialog is not
    // freed under its own loop.
    Tfrmaddxm d;
    connect(&d, &Tfrmaddxm::saved, this, &Tfrmopt::rereadFromTop);
    d.execScoped();
}

void Tfrmopt::Button2Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    Tfrmeditxm d({DBGrid1->value(row, QStringLiteral("ywbh")).toLongLong(),
                              DBGrid1->value(row, QStringLiteral("ywname")).toString(),
                              DBGrid1->value(row, QStringLiteral("ywtips")).toString()});
    // The list shows the new values on the same row.
    connect(&d, &Tfrmeditxm::saved, this, &Tfrmopt::rereadKeepingRow);
    d.execScoped();
}

void Tfrmopt::ButtonRulesClick()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    Tfrmhjgz d({DBGrid1->value(row, QStringLiteral("ywbh")).toLongLong(),
                DBGrid1->value(row, QStringLiteral("ywname")).toString(), QString()});
    d.execScoped();
}

void Tfrmopt::ButtonClassesClick()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    Tfrmczfl d({DBGrid1->value(row, QStringLiteral("ywbh")).toLongLong(),
                DBGrid1->value(row, QStringLiteral("ywname")).toString(), QString()});
    d.execScoped();
}

void Tfrmopt::DBGrid1DblClick()
{
    Button2Click();
}

void Tfrmopt::Button3Click()
{
    changeState(1);
}

void Tfrmopt::Button4Click()
{
    changeState(0);
}

void Tfrmopt::changeState(int zt)
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    const QString name = DBGrid1->value(row, QStringLiteral("ywname")).toString();
    const qint64 ywbh = DBGrid1->value(row, QStringLiteral("ywbh")).toLongLong();
    const bool start = zt == 1;
    if (DBGrid1->value(row, QStringLiteral("zt")).toInt() == zt) {
        msg::ShowMessage(start ? QStringLiteral("该项目原来已经处于启用状态!")
                               : QStringLiteral("该项目原来已经处于停用状态!"));
        return;
    }
    if (!msg::confirmYes(QStringLiteral("您确定要") + (start ? QStringLiteral("启用") : QStringLiteral("停用")) +
                             QStringLiteral("项目:") + name + QStringLiteral("么?"),
                         QStringLiteral("业务启用确认")))
        return;

    design::WaitCursor wait;
    try {
        ops::design::setProjectState(ADOcon(), pub::currentOperator(), ywbh, name, zt);
        lists::reopenAt(DBGrid1, row);
    } catch (const db::Error& e) {
        wait.restore();
        msg::ShowFailure(e, QStringLiteral("连接数据库出错"));
    }
}

void Tfrmopt::Button5Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    const QString name = DBGrid1->value(row, QStringLiteral("ywname")).toString();
    const qint64 ywbh = DBGrid1->value(row, QStringLiteral("ywbh")).toLongLong();
    const QString used = QStringLiteral("该项目已经存在用户数据，不能删除。建议对该项目采取“停用”措施!");
    bool hasCustomers = false;
    if (!design::tryAction([&] { hasCustomers = ops::design::projectHasCustomers(ADOcon(), ywbh); }))
        return;
    if (hasCustomers) {
        msg::ShowMessage(used);
        return;
    }
    if (!msg::confirmOk(QStringLiteral("您确定要删除项目《") + name + QStringLiteral("》么?"),
                        QStringLiteral("操作确认")))
        return;
    auto outcome = ops::design::Outcome::Done;
    if (!design::tryWrite([&] {
            outcome = ops::design::deleteProject(ADOcon(), pub::currentOperator(), ywbh, name);
            if (outcome == ops::design::Outcome::Done)
                rereadFromTop();
        }))
        return;
    if (outcome == ops::design::Outcome::HasCustomers)
        msg::ShowMessage(used);
}

void Tfrmopt::Button6Click()
{
    close();
}
