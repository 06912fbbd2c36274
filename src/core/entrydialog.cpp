#include "core/entrydialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>

QPushButton* plainButton(QWidget* parent, const QString& objectName, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    b->setAutoDefault(false);
    return b;
}

QHBoxLayout* buttonBar(const QList<QPushButton*>& buttons, bool centred)
{
    auto* row = new QHBoxLayout;
    if (centred)
        row->addStretch();
    for (QPushButton* b : buttons)
        row->addWidget(b);
    if (centred)
        row->addStretch();
    return row;
}

TDialogForm::TDialogForm(const QString& objectName, const QString& caption, QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
}

int TDialogForm::execScoped()
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    return exec();
}

void TDialogForm::closeSoon()
{
    QTimer::singleShot(0, this, &QDialog::reject);
}

void TDialogForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

TEntryDialog::TEntryDialog(const QString& objectName, const QString& caption, QWidget* parent, Qt::WindowFlags flags)
    : TDialogForm(objectName, caption, parent, flags)
{
    setModal(true);
    Button1 = plainButton(this, QStringLiteral("Button1"), QString());
    Button2 = plainButton(this, QStringLiteral("Button2"), QString());
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &TEntryDialog::Button2Click);
}

QHBoxLayout* TEntryDialog::buttonRow(const QString& saveCaption, const QString& leaveCaption, bool keepEntering)
{
    Button1->setText(saveCaption);
    Button2->setText(leaveCaption);
    auto* row = new QHBoxLayout;
    if (keepEntering) {
        CheckBox1 = new QCheckBox(QStringLiteral("连续录入"), this);
        CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
        CheckBox1->setChecked(true);
        row->addWidget(CheckBox1);
    }
    row->addStretch();
    row->addWidget(Button1);
    row->addWidget(Button2);
    return row;
}

bool TEntryDialog::stayForNext()
{
    if (CheckBox1 && CheckBox1->isChecked())
        return true;
    close();
    return false;
}

void TEntryDialog::Button2Click()
{
    close();
}
