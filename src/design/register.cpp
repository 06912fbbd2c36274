#include "design/register.h"

#include "core/windows.h"
#include "design/opt.h"
#include "design/optsel.h"

void register_design_windows()
{
    // The option manager opens from the question list, for its selected question.
    windows::registerWindow(QStringLiteral("Tfrmopt"), WindowKind::Child, [] { return new Tfrmopt; });
    windows::registerWindow(QStringLiteral("Tfrmoptsel"), WindowKind::Child, [] { return new Tfrmoptsel; });
}
