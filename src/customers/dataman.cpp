#include "customers/dataman.h"

#include "core/choices.h"
#include "core/export.h"
#include "core/listform.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "core/text.h"
#include "core/widgets.h"
#include "customers/selhwy.h"
#include "db/dm.h"
#include "ops/customers/customeractions.h"
#include "ops/design/projects.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

QPointer<Tfrmdataman> frmdataman;

using ops::customers::CustomerList;

namespace {

const QString kActionError = QStringLiteral("操作数据库时出错，请检查网络连接!");
const QString kConfirm = QStringLiteral("操作确认");

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = widgets::named(new QPushButton(caption, parent), name);
    b->setAutoDefault(false);
    return b;
}

using widgets::named;

} // namespace

Tfrmdataman::Tfrmdataman(QWidget* parent) : TChildForm(parent)
{
    frmdataman = this;
    setObjectName(QStringLiteral("Tfrmdataman"));
    setWindowTitle(QStringLiteral("客户数据管理"));
    buildControls();
    resize(920, 560);
    scaling::applyScreenScaling(this);
    keepDesignSize();
}

void Tfrmdataman::buildControls()
{
    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    ComboBox1->setMinimumWidth(140);
    ComboBox2 = named(new QComboBox(this), "ComboBox2");
    ComboBox2->hide();
    CheckBox1 = named(new QCheckBox(QStringLiteral("导入日期："), this), "CheckBox1");
    DateTimePicker1 = named(new QDateEdit(this), "DateTimePicker1");
    DateTimePicker2 = named(new QDateEdit(this), "DateTimePicker2");
    choices::initDayPickers(DateTimePicker1, DateTimePicker2);
    DateTimePicker1->setEnabled(false);
    DateTimePicker2->setEnabled(false);
    ComboBox3 = named(new QComboBox(this), "ComboBox3");
    ComboBox3->setMinimumWidth(90);
    Edit1 = named(new QLineEdit(this), "Edit1");
    Edit1->setMaximumWidth(130);
    Edit2 = named(new QLineEdit(this), "Edit2");
    Edit2->setMaximumWidth(170);
    Edit3 = named(new QLineEdit(this), "Edit3");
    Edit4 = named(new QLineEdit(this), "Edit4");
    for (QLineEdit* e : {Edit3, Edit4}) {
        // Digits only, typed or pasted; 18 of them always fit a number.
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,18}")), e));
        e->setMaximumWidth(70);
        e->installEventFilter(this);
    }
    Button1 = button(this, "Button1", QStringLiteral("查  询"));
    Button2 = button(this, "Button2", QStringLiteral("导出到EXCEL"));

    DBGrid1 = lists::grid(this, {{QStringLiteral("xh"), QStringLiteral("序号"), 25},
                                 {QStringLiteral("ywname"), QStringLiteral("项目名称"), 87},
                                 {QStringLiteral("yhxm"), QStringLiteral("客户姓名"), 53},
                                 {QStringLiteral("dq"), QStringLiteral("区域"), 37},
                                 {QStringLiteral("dz"), QStringLiteral("地址"), 101},
                                 {QStringLiteral("dhhm1"), QStringLiteral("电话号码"), 57},
                                 {QStringLiteral("zdslzxm"), QStringLiteral("指定受理人"), 63},
                                 {QStringLiteral("slz"), QStringLiteral("受理者"), 43},
                                 {QStringLiteral("slsj"), QStringLiteral("受理时间"), 58},
                                 {QStringLiteral("sljg"), QStringLiteral("受理结果"), 51},
                                 {QStringLiteral("bz"), QStringLiteral("备注"), 87},
                                 {QStringLiteral("drsj"), QStringLiteral("导入时间"), 97},
                                 {QStringLiteral("drz"), QStringLiteral("导入人"), 106},
                                 {QStringLiteral("hjcs"), QStringLiteral("呼叫次数"), 40},
                                 {QStringLiteral("hjzt"), QStringLiteral("呼叫状态"), 90},
                                 {QStringLiteral("hfsj"), QStringLiteral("预约回访时间"), 110}});

    Label1 = named(new QLabel(QStringLiteral("记录数：0/0"), this), "Label1");
    Label1->setStyleSheet(QStringLiteral("color: red;"));
    Button3 = button(this, "Button3", QStringLiteral("指定受理人"));
    Button4 = button(this, "Button4", QStringLiteral("取消指定受理人"));
    Button5 = button(this, "Button5", QStringLiteral("删除客户数据"));
    Button6 = button(this, "Button6", QStringLiteral("删除当前页所有客户数据"));
    Button7 = button(this, "Button7", QStringLiteral("关     闭"));

    auto label = [this](const QString& t) { return new QLabel(t, this); };
    auto* row1 = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{label(QStringLiteral("项目名称：")), ComboBox1, CheckBox1,
                                                      DateTimePicker1, label(QStringLiteral("-------")),
                                                      DateTimePicker2, label(QStringLiteral("状态：")), ComboBox3,
                                                      label(QStringLiteral("指定受理人：")), Edit1})
        row1->addWidget(w);
    row1->addStretch();
    auto* row2 = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{label(QStringLiteral("号  码：")), Edit2, label(QStringLiteral("序号：")),
                                         Edit3, label(QStringLiteral("----")), Edit4, Button1, Button2})
        row2->addWidget(w);
    row2->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label1);
    bottom->addStretch();
    for (QPushButton* b : {Button3, Button4, Button5, Button6, Button7})
        bottom->addWidget(b);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(row1);
    lay->addLayout(row2);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(bottom);

    connect(CheckBox1, &QCheckBox::toggled, this, &Tfrmdataman::CheckBox1Click);
    connect(Button1, &QPushButton::clicked, this, &Tfrmdataman::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmdataman::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmdataman::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tfrmdataman::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Tfrmdataman::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &Tfrmdataman::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &Tfrmdataman::Button7Click);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &Tfrmdataman::showCounter);
}

bool Tfrmdataman::eventFilter(QObject* watched, QEvent* event)
{
    // The sequence boxes take digits and backspace; any other character is refused with a beep.
    if (event->type() == QEvent::KeyPress && (watched == Edit3 || watched == Edit4)) {
        const QString t = static_cast<QKeyEvent*>(event)->text();
        if (!t.isEmpty() && t != QStringLiteral("\b") && !(t.size() == 1 && t[0] >= u'0' && t[0] <= u'9')) {
            QApplication::beep();
            return true;
        }
    }
    return TChildForm::eventFilter(watched, event);
}

void Tfrmdataman::FormShow()
{
    choices::initDayPickers(DateTimePicker1, DateTimePicker2);
    Edit2->clear();
    Edit3->clear();
    Edit4->clear();
    try {
        choices::loadProjects(ComboBox1, ComboBox2, ops::design::projectChoicesQuery());
        ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
        ComboBox3->clear();
        ComboBox3->addItem(ops::customers::kAllStates);
        ComboBox3->addItems(ops::customers::handlingStates(ADOcon()));
        ComboBox3->setCurrentIndex(0);
        openList(CustomerList::everyRecord());
    } catch (const db::Error& e) {
        msg::reportError(e);
    }
}

void Tfrmdataman::CheckBox1Click()
{
    DateTimePicker1->setEnabled(CheckBox1->isChecked());
    DateTimePicker2->setEnabled(CheckBox1->isChecked());
}

void Tfrmdataman::openList(const CustomerList& list)
{
    m_list = list;
    m_listOpen = false;
    DBGrid1->open(list.statement());
    m_total = ops::customers::count(ADOcon(), list);
    m_listOpen = true;
    DBGrid1->setCurrentRowIndex(0);
    showCounter();
}

void Tfrmdataman::closeList()
{
    DBGrid1->close();
    m_listOpen = false;
    m_total = 0;
    showCounter();
}

void Tfrmdataman::reread()
{
    openList(m_list);
}

void Tfrmdataman::showCounter()
{
    const int row = DBGrid1->currentRowIndex();
    if (!m_listOpen || m_total == 0)
        Label1->setText(QStringLiteral("记录数：0/0"));
    else if (row >= 0)
        Label1->setText(QStringLiteral("记录数：%1/%2").arg(row + 1).arg(m_total));
}

void Tfrmdataman::Button1Click()
{
    text::trimEdit(Edit1);
    text::trimEdit(Edit2);
    text::trimEdit(Edit3);
    text::trimEdit(Edit4);
    const int ywbh = choices::projectNumber(ComboBox1, ComboBox2);
    if (ComboBox1->count() == 0 || ywbh < 0)
        return;
    ops::customers::Filter f;
    f.ywbh = ywbh;
    f.state = ComboBox3->currentText();
    f.phone = Edit2->text();
    f.assignee = Edit1->text();
    f.imported = {CheckBox1->isChecked(), DateTimePicker1->date(), DateTimePicker2->date()};
    if (!Edit3->text().isEmpty())
        f.xhFrom = Edit3->text().toLongLong();
    if (!Edit4->text().isEmpty())
        f.xhTo = Edit4->text().toLongLong();
    closeList();
    try {
        openList(CustomerList::search(f));
    } catch (const db::Error& e) {
        closeList();
        msg::ShowFailure(e, kActionError);
    }
}

void Tfrmdataman::Button2Click()
{
    ExportToExcel({DBGrid1});
}

void Tfrmdataman::act(const std::function<void()>& action)
{
    try {
        action();
    } catch (const db::Error& e) {
        msg::reportError(e);
    }
}

void Tfrmdataman::Button3Click()
{
    if (!m_listOpen)
        return;
    auto* d = new Tfrmselhwy(this, [this](const ops::customers::Operator& op) { assignListTo(op); });
    d->show();
}

void Tfrmdataman::assignListTo(const ops::customers::Operator& op)
{
    // The list as it stands now; one that could not be read (a failed search) is not acted on.
    if (!m_listOpen)
        throw db::Error(QStringLiteral("the list is not open"));
    ops::customers::assign(ADOcon(), pub::currentOperator(), m_list, op);
    reread();
}

void Tfrmdataman::Button4Click()
{
    if (!m_listOpen || m_total == 0)
        return;
    if (!msg::confirmOk(QStringLiteral("您确定要取消表中所有用户的指定受理人么?"), kConfirm))
        return;
    act([this] {
        ops::customers::clearAssignment(ADOcon(), pub::currentOperator(), m_list);
        reread();
    });
}

void Tfrmdataman::Button5Click()
{
    const int row = DBGrid1->currentRowIndex();
    if (!m_listOpen || row < 0)
        return;
    const qint64 id = DBGrid1->value(row, QStringLiteral("id")).toLongLong();
    const QString ywname = DBGrid1->value(row, QStringLiteral("ywname")).toString();
    if (!msg::confirmOk(QStringLiteral("您确定要该条用户数据么?"), kConfirm))
        return;
    act([&] {
        ops::customers::softDeleteOne(ADOcon(), pub::currentOperator(), id, ywname);
        reread();
    });
}

void Tfrmdataman::Button6Click()
{
    if (!m_listOpen || m_total == 0)
        return;
    DBGrid1->setCurrentRowIndex(0);
    if (!msg::confirmOk(QStringLiteral("您确定要删除当前页所有%1条用户数据么?").arg(m_total), kConfirm))
        return;
    act([this] {
        ops::customers::softDeleteAll(ADOcon(), pub::currentOperator(), m_list);
        reread();
    });
}

void Tfrmdataman::Button7Click()
{
    widgets::closeWindow(this);
}
