#include "admin/register.h"

#include "admin/frmchangepwd.h"
#include "admin/frmsyslog.h"
#include "admin/frmsysset.h"
#include "admin/frmuser.h"
#include "core/windows.h"

void register_admin_windows()
{
    windows::registerWindow(QStringLiteral("Tfrmuser"), WindowKind::Child, [] { return new Tfrmuser; });
    windows::registerWindow(QStringLiteral("Tfrmsyslog"), WindowKind::Child, [] { return new Tfrmsyslog; });
    windows::registerWindow(QStringLiteral("Tfrmsysset"), WindowKind::Modal, [] { return new Tfrmsysset; });
    windows::registerWindow(QStringLiteral("Tfrmchangepwd"), WindowKind::Floating, [] { return new Tfrmchangepwd; });
}
