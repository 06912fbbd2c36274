#include "reports/register.h"

#include "core/windows.h"

void register_reports_windows() {}
