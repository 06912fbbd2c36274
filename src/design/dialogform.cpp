#include "design/dialogform.h"

#include "design/formkit.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TDesignDialog::TDesignDialog(const QString& objectName, const QString& caption, QWidget* parent, Qt::WindowFlags flags)
    : TEntryDialog(objectName, caption, parent, flags)
{
}

void TDesignDialog::layOut(QLayout* fields, const QString& saveCaption, const QString& leaveCaption, bool keepEntering,
                           QSize size)
{
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addLayout(buttonRow(saveCaption, leaveCaption, keepEntering));
    resize(size);
}

bool TDesignDialog::save(const std::function<bool()>& write)
{
    return design::tryWrite([&] {
        if (write())
            emit saved();
    });
}

bool TDesignDialog::saveAndSay(const std::function<void()>& write)
{
    if (!save([&] {
            write();
            return true;
        }))
        return false;
    msg::ShowMessage(design::kSaved);
    return true;
}

void TDesignDialog::saveAndClose(const std::function<void()>& write)
{
    if (saveAndSay(write))
        close();
}

bool TDesignDialog::closeWithout(qint64 key)
{
    if (key >= 0)
        return false;
    closeSoon();
    return true;
}

TOptionDialog::TOptionDialog(const QString& objectName, const QString& caption, bool keepEntering, QWidget* parent,
                             Qt::WindowFlags flags)
    : TDesignDialog(objectName, caption, parent, flags)
{
    layOut(design::optionFields(this, &Edit1, &Edit2), QStringLiteral("保存"), QStringLiteral("关闭"), keepEntering,
           QSize(420, 150));
    Button1->setDefault(true);
}

bool TOptionDialog::readInput(QString* sel, int* gotoq)
{
    return design::checkOptionInput(Edit1, Edit2, sel, gotoq);
}
