#include "admin/frmsyslog.h"

#include "admin/adminkit.h"
#include "core/choices.h"
#include "core/export.h"
#include "core/listform.h"
#include "core/msg.h"
#include "core/scaling.h"
#include "core/text.h"
#include "db/dm.h"
#include "ops/admin/oplogquery.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<Tfrmsyslog> frmsyslog;

Tfrmsyslog::Tfrmsyslog(QWidget* parent) : TChildForm(parent)
{
    frmsyslog = this;
    setObjectName(QStringLiteral("Tfrmsyslog"));
    setWindowTitle(QStringLiteral("操作日志查询(不含话务记录)"));

    Edit1 = admin::edit(this, "Edit1");
    Edit2 = admin::edit(this, "Edit2");
    Edit1->setFixedWidth(140);
    Edit2->setFixedWidth(240);
    CheckBox1 = new QCheckBox(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Label3 = admin::label(this, QStringLiteral("操作时间："));
    Label3->setObjectName(QStringLiteral("Label3"));
    DateTimePicker1 = new QDateEdit(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker2 = new QDateEdit(this);
    DateTimePicker2->setObjectName(QStringLiteral("DateTimePicker2"));
    Button1 = admin::button(this, "Button1", QStringLiteral("查  询"));
    Button2 = admin::button(this, "Button2", QStringLiteral("导出到EXCEL"));

    DateTimePicker1->setMinimumWidth(120);
    DateTimePicker2->setMinimumWidth(120);
    auto* first = new QHBoxLayout;
    first->addWidget(admin::label(this, QStringLiteral("操作人姓名：")));
    first->addWidget(Edit1);
    first->addSpacing(16);
    first->addWidget(admin::label(this, QStringLiteral("操作内容：")));
    first->addWidget(Edit2);
    first->addStretch();
    auto* second = new QHBoxLayout;
    second->addWidget(CheckBox1);
    second->addWidget(Label3);
    second->addWidget(DateTimePicker1);
    second->addWidget(admin::label(this, QStringLiteral("-------")));
    second->addWidget(DateTimePicker2);
    second->addSpacing(16);
    second->addWidget(Button1);
    second->addWidget(Button2);
    second->addStretch();

    DBGrid1 = lists::grid(this, {{QStringLiteral("dt"), QStringLiteral("操作时间"), 107},
                                 {QStringLiteral("truename"), QStringLiteral("操作人"), 67},
                                 {QStringLiteral("logcon"), QStringLiteral("操作内容"), 323},
                                 {QStringLiteral("ipaddr"), QStringLiteral("IP地址"), 87}});

    auto* lay = new QVBoxLayout(this);
    lay->addLayout(first);
    lay->addLayout(second);
    lay->addWidget(DBGrid1, 1);
    resize(640, 460);

    connect(Button1, &QPushButton::clicked, this, &Tfrmsyslog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmsyslog::Button2Click);
    connect(CheckBox1, &QCheckBox::toggled, this, &Tfrmsyslog::CheckBox1Click);

    scaling::applyScreenScaling(this);
    keepDesignSize();
}

void Tfrmsyslog::FormShow()
{
    Edit1->clear();
    Edit2->clear();
    choices::initDayPickers(DateTimePicker1, DateTimePicker2);
    CheckBox1->setChecked(false);
    CheckBox1Click();
    openList({ops::admin::newestLogQuery(), {}});
}

void Tfrmsyslog::CheckBox1Click()
{
    const bool on = CheckBox1->isChecked();
    Label3->setEnabled(on);
    DateTimePicker1->setEnabled(on);
    DateTimePicker2->setEnabled(on);
}

void Tfrmsyslog::openList(const db::Statement& statement)
{
    DBGrid1->close();
    admin::WaitCursor wait;
    try {
        DBGrid1->open(statement);
    } catch (const db::Error& e) {
        DBGrid1->close();
        wait.restore();
        msg::ShowFailure(e, admin::kServerError + e.text());
    }
}

void Tfrmsyslog::Button1Click()
{
    ops::admin::LogFilter f;
    f.truename = text::trimEdit(Edit1);
    f.text = text::trimEdit(Edit2);
    f.byDate = CheckBox1->isChecked();
    f.from = DateTimePicker1->date();
    f.to = DateTimePicker2->date();
    db::Statement statement;
    try {
        statement = ops::admin::logQuery(ADOcon(), f);
    } catch (const db::Error& e) {
        DBGrid1->close();
        msg::ShowFailure(e, admin::kServerError + e.text());
        return;
    }
    openList(statement);
}

void Tfrmsyslog::Button2Click()
{
    ExportToExcel({DBGrid1});
}
