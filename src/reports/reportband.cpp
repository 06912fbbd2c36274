#include "reports/reportband.h"

#include "core/choices.h"
#include "core/msg.h"
#include "core/text.h"
#include "core/widgets.h"
#include "db/error.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

void TReportBand::build(QWidget* owner, const QString& operatorLabel, const QString& separator,
                        const QString& runCaption)
{
    using widgets::named;
    ComboBox1 = new QComboBox(owner);
    named(ComboBox1, "ComboBox1");
    ComboBox1->setMinimumWidth(150);
    ComboBox2 = new QComboBox(owner);
    named(ComboBox2, "ComboBox2");
    ComboBox2->hide();
    Edit1 = new QLineEdit(owner);
    named(Edit1, "Edit1");
    Edit1->setMinimumWidth(90);
    Edit1->setMaximumWidth(120);
    CheckBox1 = new QCheckBox(owner);
    named(CheckBox1, "CheckBox1");
    DateTimePicker1 = new QDateEdit(owner);
    named(DateTimePicker1, "DateTimePicker1");
    DateTimePicker2 = new QDateEdit(owner);
    named(DateTimePicker2, "DateTimePicker2");
    choices::initDayPickers(DateTimePicker1, DateTimePicker2);
    DateTimePicker1->setEnabled(false);
    DateTimePicker2->setEnabled(false);
    QObject::connect(CheckBox1, &QCheckBox::toggled, DateTimePicker1, &QWidget::setEnabled);
    QObject::connect(CheckBox1, &QCheckBox::toggled, DateTimePicker2, &QWidget::setEnabled);
    Button1 = new QPushButton(runCaption, owner);
    named(Button1, "Button1");
    Button2 = new QPushButton(QStringLiteral("导出到EXCEL"), owner);
    named(Button2, "Button2");

    layout = new QHBoxLayout;
    layout->addWidget(new QLabel(QStringLiteral("项目名称："), owner));
    layout->addWidget(ComboBox1);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(operatorLabel, owner));
    layout->addWidget(Edit1);
    layout->addSpacing(8);
    layout->addWidget(CheckBox1);
    layout->addWidget(new QLabel(QStringLiteral("受理时间："), owner));
    layout->addWidget(DateTimePicker1);
    layout->addWidget(new QLabel(separator, owner));
    layout->addWidget(DateTimePicker2);
    layout->addSpacing(8);
    layout->addWidget(Button1);
    layout->addWidget(Button2);
    layout->addStretch();
}

void TReportBand::loadProjects(const QString& sql)
{
    choices::loadProjects(ComboBox1, ComboBox2, sql);
    if (ComboBox1->count() > 0)
        ComboBox1->setCurrentIndex(0);
}

ops::reports::Filter TReportBand::read() const
{
    ops::reports::Filter f;
    f.ywbh = choices::projectNumber(ComboBox1, ComboBox2);
    f.slz = text::trimEdit(Edit1);
    f.byDay = CheckBox1->isChecked();
    f.from = DateTimePicker1->date();
    f.to = DateTimePicker2->date();
    return f;
}

namespace reportband {

} // namespace reportband

QSplitter* TReportBand::layOutOver(QWidget* owner, QWidget* grid, QWidget* chart)
{
    auto* splitter = new QSplitter(Qt::Vertical, owner);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->addWidget(grid);
    splitter->addWidget(chart);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    auto* lay = new QVBoxLayout(owner);
    lay->addLayout(layout);
    lay->addWidget(splitter, 1);
    owner->resize(1000, 680);
    return splitter;
}
