#include "design/dialogform.h"

#include "design/formkit.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TDesignDialog::TDesignDialog(const QString& objectName, const QString& caption, QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    Button1 = design::makeButton(this, QStringLiteral("Button1"), QString());
    Button2 = design::makeButton(this, QStringLiteral("Button2"), QString());
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &TDesignDialog::Button2Click);
}

void TDesignDialog::layOut(QLayout* fields, const QString& saveCaption, const QString& leaveCaption, bool keepEntering,
                           QSize size)
{
    Button1->setText(saveCaption);
    Button2->setText(leaveCaption);
    auto* buttons = new QHBoxLayout;
    if (keepEntering) {
        CheckBox1 = new QCheckBox(QStringLiteral("连续录入"), this);
        CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
        CheckBox1->setChecked(true);
        buttons->addWidget(CheckBox1);
    }
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addLayout(buttons);
    resize(size);
}

bool TDesignDialog::stayForNext()
{
    if (CheckBox1 && CheckBox1->isChecked())
        return true;
    close();
    return false;
}

void TDesignDialog::Button2Click()
{
    close();
}

void TDesignDialog::closeSoon()
{
    QTimer::singleShot(0, this, &QDialog::reject);
}

void TDesignDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}
