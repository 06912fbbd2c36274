#include "visit/register.h"

#include "core/windows.h"
#include "visit/hflist.h"
#include "visit/userhf.h"

void register_visit_windows()
{
    windows::registerWindow(QStringLiteral("Tfrmuserhf"), WindowKind::Child, [] { return new Tfrmuserhf; });
    windows::registerWindow(QStringLiteral("Tfrmhflist"), WindowKind::Child, [] { return new Tfrmhflist; });
}
