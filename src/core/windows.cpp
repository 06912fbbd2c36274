#include "core/windows.h"

#include "core/dropdown.h"

#include <QCloseEvent>
#include <QHash>

namespace windows {
namespace {
struct Entry
{
    WindowKind kind;
    Factory factory;
};
QHash<QString, Entry>& registry()
{
    static QHash<QString, Entry> r;
    return r;
}
} // namespace

void registerWindow(const QString& className, WindowKind kind, Factory factory)
{
    registry().insert(className, Entry{kind, std::move(factory)});
}

bool isRegistered(const QString& className)
{
    return registry().contains(className);
}

WindowKind kindOf(const QString& className)
{
    return registry().value(className, Entry{WindowKind::Child, {}}).kind;
}

QStringList registeredNames()
{
    QStringList names = registry().keys();
    names.sort();
    return names;
}

QWidget* create(const QString& className)
{
    auto it = registry().constFind(className);
    if (it == registry().constEnd() || !it->factory)
        return nullptr;
    return it->factory();
}

} // namespace windows

TChildForm::TChildForm(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

QSize TChildForm::sizeHint() const
{
    return m_designSize.isValid() ? m_designSize : QWidget::sizeHint();
}

void TChildForm::showEvent(QShowEvent* e)
{
    const bool first = !m_shownOnce;
    if (first) {
        m_shownOnce = true;
        dropdown::fitAllIn(this);
    }
    QWidget::showEvent(e);
    if (first)
        firstShow();
}

void TChildForm::closeEvent(QCloseEvent* e)
{
    if (m_closeApproved || FormCloseQuery())
        e->accept();
    else
        e->ignore();
}
