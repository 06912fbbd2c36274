#include "reports/visitqueryform.h"

#include "core/choices.h"
#include "core/export.h"
#include "core/listform.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/scaling.h"
#include "core/text.h"
#include "core/widgets.h"
#include "db/error.h"
#include "db/vocab.h"
#include "ops/design/projects.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
using widgets::named;
} // namespace

VisitQueryForm::VisitQueryForm(const Design& d, QWidget* parent) : TChildForm(parent)
{
    setObjectName(QString::fromLatin1(d.className));
    setWindowTitle(d.caption);

    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    ComboBox1->setMinimumWidth(150);
    ComboBox2 = named(new QComboBox(this), "ComboBox2");
    ComboBox2->hide();
    Edit1 = named(new QLineEdit(this), "Edit1");
    Edit2 = named(new QLineEdit(this), "Edit2");
    Edit3 = named(new QLineEdit(this), "Edit3");
    for (QLineEdit* e : {Edit1, Edit2, Edit3})
        e->setMaximumWidth(150);
    CheckBox1 = named(new QCheckBox(this), "CheckBox1");
    DateTimePicker1 = named(new QDateEdit(this), "DateTimePicker1");
    DateTimePicker2 = named(new QDateEdit(this), "DateTimePicker2");
    choices::initDayPickers(DateTimePicker1, DateTimePicker2);
    DateTimePicker1->setEnabled(false);
    DateTimePicker2->setEnabled(false);
    BitBtn1 = named(new QPushButton(QStringLiteral("查  询"), this), "BitBtn1");
    Button1 = named(new QPushButton(QStringLiteral("导出到EXCEL"), this), "Button1");
    DBGrid1 = lists::grid(this, d.columns);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(81);
    auto* row1 = new QHBoxLayout;
    row1->addWidget(new QLabel(QStringLiteral("项目名称："), panel));
    row1->addWidget(ComboBox1);
    row1->addWidget(new QLabel(QStringLiteral("话务员名："), panel));
    row1->addWidget(Edit1);
    row1->addWidget(new QLabel(QStringLiteral("电话号码："), panel));
    row1->addWidget(Edit2);
    row1->addStretch();
    m_row2 = new QHBoxLayout;
    m_row2->addWidget(new QLabel(d.textLabel, panel));
    m_row2->addWidget(Edit3);
    m_row2->addWidget(CheckBox1);
    m_row2->addWidget(new QLabel(d.dayLabel, panel));
    m_row2->addWidget(DateTimePicker1);
    m_row2->addWidget(new QLabel(QStringLiteral("-------"), panel));
    m_row2->addWidget(DateTimePicker2);
    m_row2->addWidget(BitBtn1);
    m_row2->addWidget(Button1);
    m_row2->addStretch();
    auto* rows = new QVBoxLayout(panel);
    rows->addLayout(row1);
    rows->addLayout(m_row2);
    m_body = new QVBoxLayout(this);
    m_body->setContentsMargins(0, 0, 0, 0);
    m_body->setSpacing(0);
    m_body->addWidget(panel);
    m_body->addWidget(DBGrid1, 1);
    resize(d.size);

    connect(CheckBox1, &QCheckBox::toggled, this, &VisitQueryForm::CheckBox1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &VisitQueryForm::BitBtn1Click);
    connect(Button1, &QPushButton::clicked, this, &VisitQueryForm::Button1Click);
}

void VisitQueryForm::finishDesign()
{
    scaling::applyScreenScaling(this);
    keepDesignSize();
}

bool VisitQueryForm::isOperator() const
{
    return gTp == vocab::kOperator;
}

void VisitQueryForm::openFilters(const QString& emptySql)
{
    choices::initDayPickers(DateTimePicker1, DateTimePicker2);
    Edit1->clear();
    Edit2->clear();
    Edit3->clear();
    choices::loadProjects(ComboBox1, ComboBox2, ops::design::projectChoicesQuery());
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
    DBGrid1->open(emptySql);
}

void VisitQueryForm::openForProject(const QString& emptySql)
{
    if (isOperator())
        Button1->setEnabled(false);
    try {
        openFilters(emptySql);
    } catch (const db::Error& e) {
        reports::reportError(e);
    }
}

std::optional<ops::reports::QueryFilter> VisitQueryForm::projectFilter() const
{
    ops::reports::QueryFilter f = readFilter();
    if (ComboBox1->currentText().isEmpty() || !f.ywbh)
        return std::nullopt;
    return f;
}

void VisitQueryForm::showRows(const db::Statement& statement)
{
    try {
        DBGrid1->close();
        lists::openAtFirst(DBGrid1, statement);
    } catch (const db::Error& e) {
        reports::reportError(e);
    }
}

ops::reports::QueryFilter VisitQueryForm::readFilter() const
{
    ops::reports::QueryFilter f;
    f.operatorName = text::trimEdit(Edit1);
    f.phone = text::trimEdit(Edit2);
    f.text = text::trimEdit(Edit3);
    const int ywbh = choices::projectNumber(ComboBox1, ComboBox2);
    if (ywbh >= 0)
        f.ywbh = ywbh;
    f.days = {CheckBox1->isChecked(), DateTimePicker1->date(), DateTimePicker2->date()};
    return f;
}

void VisitQueryForm::CheckBox1Click()
{
    DateTimePicker1->setEnabled(CheckBox1->isChecked());
    DateTimePicker2->setEnabled(CheckBox1->isChecked());
}

void VisitQueryForm::Button1Click()
{
    ExportToExcel({DBGrid1});
}
