#include "admin/frmuser.h"

#include "admin/adminkit.h"
#include "admin/frmadduser.h"
#include "admin/frmedituser.h"
#include "core/listform.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "core/text.h"
#include "db/dm.h"
#include "ops/admin/accounts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlRecord>

QPointer<Tfrmuser> frmuser;

namespace {

const QChar kUp(0x25B2);   // ▲
const QChar kDown(0x25BC); // ▼
const QString kDesc = QStringLiteral("DESC");

QString withoutArrow(const QString& title)
{
    return title.startsWith(kUp) || title.startsWith(kDown) ? title.mid(1) : title;
}

} // namespace

Tfrmuser::Tfrmuser(QWidget* parent) : TChildForm(parent)
{
    frmuser = this;
    setObjectName(QStringLiteral("Tfrmuser"));
    setWindowTitle(QStringLiteral("登录用户管理"));

    Edit1 = admin::edit(this, "Edit1");
    Edit2 = admin::edit(this, "Edit2");
    Edit1->setFixedWidth(125);
    Edit2->setFixedWidth(125);
    BitBtn1 = admin::button(this, "BitBtn1", QStringLiteral("查  询"));
    auto* top = new QHBoxLayout;
    top->addWidget(admin::label(this, QStringLiteral("用户名：")));
    top->addWidget(Edit1);
    top->addSpacing(12);
    top->addWidget(admin::label(this, QStringLiteral("姓名：")));
    top->addWidget(Edit2);
    top->addSpacing(12);
    top->addWidget(BitBtn1);
    top->addStretch();

    m_columns = {{QStringLiteral("uname"), QStringLiteral("登录名"), 105},
                 {QStringLiteral("truename"), QStringLiteral("真实姓名"), 117},
                 {QStringLiteral("flagname"), QStringLiteral("状态"), 75},
                 {QStringLiteral("tp"), QStringLiteral("类型"), 120}};
    DBGrid1 = lists::grid(this, m_columns);
    DBGrid1->horizontalHeader()->setSectionsClickable(true);

    Button1 = admin::button(this, "Button1", QStringLiteral("新  增"));
    Button5 = admin::button(this, "Button5", QStringLiteral("启用"));
    Button6 = admin::button(this, "Button6", QStringLiteral("停用"));
    Button2 = admin::button(this, "Button2", QStringLiteral("修 改"));
    Button3 = admin::button(this, "Button3", QStringLiteral("删  除"));
    Button4 = admin::button(this, "Button4", QStringLiteral("关  闭"));
    lists::layOut(this, top, DBGrid1, {Button1, Button5, Button6, Button2, Button3, Button4});
    resize(643, 459);

    connect(BitBtn1, &QPushButton::clicked, this, &Tfrmuser::BitBtn1Click);
    connect(Button1, &QPushButton::clicked, this, &Tfrmuser::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmuser::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmuser::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tfrmuser::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Tfrmuser::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &Tfrmuser::Button6Click);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &Tfrmuser::DBGrid1DblClick);
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, &Tfrmuser::DBGrid1TitleClick);

    scaling::applyScreenScaling(this);
    keepDesignSize();
}

void Tfrmuser::FormShow()
{
    openList(ops::admin::accountListQuery());
}

db::Statement Tfrmuser::sortedSql() const
{
    return m_sort.isEmpty() ? m_listSql : m_listSql + (QStringLiteral(" order by ") + m_sort);
}

void Tfrmuser::openList(const db::Statement& statement)
{
    m_listSql = statement;
    admin::WaitCursor wait;
    try {
        lists::openAtFirst(DBGrid1, sortedSql());
    } catch (const db::Error& e) {
        wait.restore();
        msg::ShowFailure(e, admin::kListError);
    }
}

void Tfrmuser::rereadOrSay(int row)
{
    try {
        lists::reopenAt(DBGrid1, row);
    } catch (const db::Error& e) {
        msg::ShowFailure(e, admin::kListError);
    }
}

void Tfrmuser::BitBtn1Click()
{
    const QString uname = text::trimEdit(Edit1);
    const QString truename = text::trimEdit(Edit2);
    openList(ops::admin::accountListQuery(uname, truename));
}

void Tfrmuser::DBGrid1TitleClick(int logicalColumn)
{
    const QString key = DBGrid1->queryModel()->record().fieldName(logicalColumn);
    int clicked = -1;
    for (int i = 0; i < m_columns.size(); ++i) {
        m_columns[i].title = withoutArrow(m_columns[i].title);
        if (m_columns[i].field == key)
            clicked = i;
    }
    if (clicked < 0)
        return;
    // The sort text names one field, alone or followed by DESC: compare that name as a whole,
    // so that "uname" is not taken for part of "truename".
    const QString sortKey = m_sort.section(u' ', 0, 0);
    bool up = true;
    if (sortKey == key && !m_sort.contains(kDesc)) {
        m_sort = key + u' ' + kDesc;
        up = false;
    } else {
        m_sort = key;
    }
    m_columns[clicked].title = (up ? kUp : kDown) + m_columns[clicked].title;
    DBGrid1->setColumns(m_columns);
    openList(m_listSql);
}

void Tfrmuser::Button1Click()
{
    Tfrmadduser d(this);
    connect(&d, &Tfrmadduser::saved, this, [this] { rereadOrSay(0); });
    d.execScoped();
}

void Tfrmuser::Button2Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    Tfrmedituser::Operator op;
    op.id = DBGrid1->value(row, QStringLiteral("id")).toLongLong();
    op.uname = DBGrid1->value(row, QStringLiteral("uname")).toString();
    op.truename = DBGrid1->value(row, QStringLiteral("truename")).toString();
    op.tp = DBGrid1->value(row, QStringLiteral("tp")).toString();
    Tfrmedituser d(op, this);
    connect(&d, &Tfrmedituser::saved, this, [this, row] { rereadOrSay(row); });
    d.execScoped();
}

void Tfrmuser::DBGrid1DblClick()
{
    Button2Click();
}

void Tfrmuser::Button3Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    if (DBGrid1->value(row, QStringLiteral("sysadmin")).toInt() == 1) {
        msg::ShowMessage(QStringLiteral("  不能删除系统默认的操作人员!   "));
        return;
    }
    const qint64 id = DBGrid1->value(row, QStringLiteral("id")).toLongLong();
    const QString uname = DBGrid1->value(row, QStringLiteral("uname")).toString();
    const QString truename = DBGrid1->value(row, QStringLiteral("truename")).toString();
    try {
        if (ops::admin::isLastAdministrator(ADOcon(), id)) {
            msg::ShowMessage(admin::kKeepOneAdministrator + QStringLiteral("不能删除该操作人员!"));
            return;
        }
        if (!msg::confirmYes(QStringLiteral("您确定要删除操作人员") + uname + u'(' + truename + QStringLiteral(")么?"),
                             QStringLiteral("删除确认")))
            return;
        if (ops::admin::deleteAccount(ADOcon(), pub::currentOperator(), id) == ops::admin::Outcome::LastAdministrator)
            msg::ShowMessage(admin::kKeepOneAdministrator + QStringLiteral("不能删除该操作人员!"));
    } catch (const db::Error& e) {
        admin::reportError(e);
        return;
    }
    rereadOrSay(row);
}

void Tfrmuser::Button5Click()
{
    changeState(0);
}

void Tfrmuser::Button6Click()
{
    changeState(1);
}

void Tfrmuser::changeState(int zt)
{
    const int row = DBGrid1->currentRowIndex();
    if (row < 0)
        return;
    const bool enable = zt == 0;
    const qint64 id = DBGrid1->value(row, QStringLiteral("id")).toLongLong();
    const QString uname = DBGrid1->value(row, QStringLiteral("uname")).toString();
    const QString truename = DBGrid1->value(row, QStringLiteral("truename")).toString();
    if (DBGrid1->value(row, QStringLiteral("zt")).toInt() == zt) {
        msg::ShowMessage(enable ? QStringLiteral("该操作人员原来已经处于启用状态!")
                                : QStringLiteral("该操作人员原来已经处于停用状态!"));
        return;
    }
    const QString refused = admin::kKeepOneAdministrator + QStringLiteral("不能停用该操作人员!");
    try {
        if (!enable && ops::admin::isLastAdministrator(ADOcon(), id)) {
            msg::ShowMessage(refused);
            return;
        }
    } catch (const db::Error& e) {
        msg::ShowFailure(e, admin::kListError);
        return;
    }
    const QString verb = enable ? QStringLiteral("启用") : QStringLiteral("停用");
    if (msg::box(QStringLiteral("您确定要") + verb + QStringLiteral("操作人员:") + uname + truename +
                     QStringLiteral("么?"),
                 QStringLiteral("系统用户") + verb + QStringLiteral("确认"), msg::Buttons::YesNo,
                 msg::Icon::Question) == msg::Answer::No)
        return;

    admin::WaitCursor wait;
    try {
        if (ops::admin::setAccountState(ADOcon(), pub::currentOperator(), uname, zt) ==
            ops::admin::Outcome::LastAdministrator) {
            wait.restore();
            msg::ShowMessage(refused);
            return;
        }
        lists::reopenAt(DBGrid1, row);
    } catch (const db::Error& e) {
        wait.restore();
        msg::ShowFailure(e, admin::kListError);
    }
}

void Tfrmuser::Button4Click()
{
    close();
}
