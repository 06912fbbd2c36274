#include "visit/seljg.h"

#include "db/vocab.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

QPointer<Tfrmseljg> frmseljg;

namespace {
void colour(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}
} // namespace

Tfrmseljg::Tfrmseljg(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    frmseljg = this;
    setObjectName(QStringLiteral("Tfrmseljg"));
    setWindowTitle(QStringLiteral("选择营销结果"));
    setModal(true);

    GroupBox1 = new QGroupBox(QStringLiteral("请为当前用户选择营销结果"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    RadioButton1 = new QRadioButton(QStringLiteral("营销成功"), GroupBox1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    colour(RadioButton1, QColor(0, 128, 0));
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton(QStringLiteral("营销不成功"), GroupBox1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    colour(RadioButton2, Qt::red);
    auto* choices = new QHBoxLayout(GroupBox1);
    choices->addWidget(RadioButton1);
    choices->addWidget(RadioButton2);

    Button1 = new QPushButton(QStringLiteral("提    交"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    connect(Button1, &QPushButton::clicked, this, &Tfrmseljg::Button1Click);

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(10, 8, 10, 8);
    lay->addWidget(GroupBox1);
    lay->addWidget(Button1, 0, Qt::AlignHCenter);
    setFixedSize(309, 121);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

QString Tfrmseljg::choose(QWidget* parent)
{
    Tfrmseljg dlg(parent);
    dlg.exec();
    return dlg.m_jg;
}

void Tfrmseljg::Button1Click()
{
    m_jg = RadioButton1->isChecked() ? vocab::kSuccess : vocab::kNoSuccess;
    accept();
}
