#include "core/widgets.h"

#include <QMdiSubWindow>

namespace widgets {

void closeWindow(QWidget* w)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        sub->close();
    else
        w->close();
}

} // namespace widgets
