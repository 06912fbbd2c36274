#include "design/dialogform.h"

#include "design/formkit.h"

#include <QHBoxLayout>
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
