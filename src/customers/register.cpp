#include "customers/register.h"

#include "core/windows.h"
#include "customers/frmadddata.h"

void register_customers_windows()
{
    windows::registerWindow(QStringLiteral("Tfrmadddata"), WindowKind::Child, [] { return new Tfrmadddata; });
}
