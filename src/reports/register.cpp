#include "reports/register.h"

#include "core/windows.h"
#include "reports/hwtj2.h"
#include "reports/qansbb.h"
#include "reports/xmtj.h"

void register_reports_windows()
{
    windows::registerWindow(QStringLiteral("Tfrmhwtj2"), WindowKind::Child, [] { return new Tfrmhwtj2; });
    windows::registerWindow(QStringLiteral("Tfrmxmtj"), WindowKind::Child, [] { return new Tfrmxmtj; });
    windows::registerWindow(QStringLiteral("Tfrmqansbb"), WindowKind::Child, [] { return new Tfrmqansbb; });
}
