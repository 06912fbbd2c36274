#include "design/opt.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "design/addxm.h"
#include "design/editxm.h"
#include "design/formkit.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<Tfrmopt> frmopt;

namespace {
const QString kListSql = QStringLiteral("select ywbh,ywname,zt,ywtips,iif(zt=0, '停用', '启用') as vlname from t_ywbh");
}

Tfrmopt::Tfrmopt(QWidget* parent) : TChildForm(parent)
{
    frmopt = this;
    setObjectName(QStringLiteral("Tfrmopt"));
    setWindowTitle(QStringLiteral("项目管理"));

    DBGrid1 = new TDBGrid(this);
    DBGrid1->setColumns({{QStringLiteral("ywname"), QStringLiteral("项目名"), 131},
                         {QStringLiteral("vlname"), QStringLiteral("当前状态"), 74},
                         {QStringLiteral("ywtips"), QStringLiteral("提示语"), 393}});
    grid::installWheelRule(DBGrid1);

    Button1 = design::makeButton(this, QStringLiteral("Button1"), QStringLiteral("新 增"));
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QStringLiteral("修 改"));
    Button3 = design::makeButton(this, QStringLiteral("Button3"), QStringLiteral("启用"));
    Button4 = design::makeButton(this, QStringLiteral("Button4"), QStringLiteral("停用"));
    Button5 = design::makeButton(this, QStringLiteral("Button5"), QStringLiteral("删除"));
    Button6 = design::makeButton(this, QStringLiteral("Button6"), QStringLiteral("关  闭"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {Button1, Button2, Button3, Button4, Button5, Button6})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(640, 420);

    connect(Button1, &QPushButton::clicked, this, &Tfrmopt::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmopt::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmopt::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tfrmopt::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Tfrmopt::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &Tfrmopt::Button6Click);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &Tfrmopt::DBGrid1DblClick);

    scaling::applyScreenScaling(this);
    m_designSize = size();
}

void Tfrmopt::showEvent(QShowEvent* e)
{
    TChildForm::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void Tfrmopt::FormShow()
{
    try {
        design::openAtFirst(DBGrid1, kListSql);
    } catch (const db::Error& e) {
        design::reportError(e);
    }
}

void Tfrmopt::rereadFromTop()
{
    design::reopenAt(DBGrid1, 0);
}

void Tfrmopt::rereadKeepingRow()
{
    design::reopenAt(DBGrid1, DBGrid1->currentRowIndex());
}

void Tfrmopt::Button1Click()
{
    // Owned by nobody, like every dialog: it reaches this window only through its pointer.
    auto* d = new Tfrmaddxm(this);
    d->exec();
}

void Tfrmopt::Button2Click()
{
    if (DBGrid1->currentRowIndex() < 0)
        return;
    auto* d = new Tfrmeditxm(this);
    d->exec();
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
    const QString verb = start ? QStringLiteral("启用") : QStringLiteral("停用");
    if (!msg::confirmYes(QStringLiteral("您确定要") + verb + QStringLiteral("项目:") + name + QStringLiteral("么?"),
                         QStringLiteral("业务启用确认")))
        return;

    design::WaitCursor wait;
    try {
        {
            // The state and its log row stand or fall together.
            db::Transaction t(ADOcon());
            ADOcon().execute(QStringLiteral("update t_ywbh set zt=") + db::num(zt) + QStringLiteral(" where ywbh=") +
                             db::num(ywbh));
            WriteSysLog(verb + QStringLiteral("项目　:") + name);
            t.commit();
        }
        design::reopenAt(DBGrid1, row);
    } catch (const db::Error&) {
        wait.restore();
        msg::ShowMessage(QStringLiteral("连接数据库出错"));
    }
}

void Tfrmopt::Button5Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    const QString name = DBGrid1->value(row, QStringLiteral("ywname")).toString();
    const qint64 ywbh = DBGrid1->value(row, QStringLiteral("ywbh")).toLongLong();
    bool used = false;
    if (!design::tryAction(
            [&] { used = design::exists(QStringLiteral("select * from yhdaview where ywbh=") + db::num(ywbh)); }))
        return;
    if (used) {
        msg::ShowMessage(QStringLiteral("该项目已经存在用户数据，不能删除。建议对该项目采取“停用”措施!"));
        return;
    }
    if (!msg::confirmOk(QStringLiteral("您确定要删除项目《") + name + QStringLiteral("》么?"),
                        QStringLiteral("操作确认")))
        return;
    design::tryWrite([&] {
        ADOcon().execute(QStringLiteral("delete from t_ywbh where ywbh=") + db::num(ywbh));
        WriteSysLog(QStringLiteral("删除项目:") + name);
        rereadFromTop();
    });
}

void Tfrmopt::Button6Click()
{
    close();
}
