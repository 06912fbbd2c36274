#include "customers/register.h"

#include "core/windows.h"
#include "customers/dataman.h"
#include "customers/frmadddata.h"

void register_customers_windows()
{
    windows::registerWindow(QStringLiteral("Tfrmadddata"), WindowKind::Child, [] { return new Tfrmadddata; });
    windows::registerWindow(QStringLiteral("Tfrmdataman"), WindowKind::Child, [] { return new Tfrmdataman; });
}
