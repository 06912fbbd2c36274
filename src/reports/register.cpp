#include "reports/register.h"

#include "core/windows.h"
#include "reports/hfhistory.h"
#include "reports/hwtj2.h"
#include "reports/qansbb.h"
#include "reports/xmtj.h"
#include "reports/xyl.h"
#include "reports/ydcx.h"
#include "reports/ywcx.h"

void register_reports_windows()
{
    windows::registerWindow(QStringLiteral("Tfrmywcx"), WindowKind::Child, [] { return new Tfrmywcx; });
    windows::registerWindow(QStringLiteral("Tfrmydcx"), WindowKind::Child, [] { return new Tfrmydcx; });
    windows::registerWindow(QStringLiteral("Tfrmhfhistory"), WindowKind::Child, [] { return new Tfrmhfhistory; });
    windows::registerWindow(QStringLiteral("Tfrmhwtj2"), WindowKind::Child, [] { return new Tfrmhwtj2; });
    windows::registerWindow(QStringLiteral("Tfrmxmtj"), WindowKind::Child, [] { return new Tfrmxmtj; });
    windows::registerWindow(QStringLiteral("Tfrmqansbb"), WindowKind::Child, [] { return new Tfrmqansbb; });
    windows::registerWindow(QStringLiteral("Tfrmxyl"), WindowKind::Child, [] { return new Tfrmxyl; });
}
