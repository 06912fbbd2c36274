#include "visit/register.h"

#include "core/windows.h"

void register_visit_windows() {}
