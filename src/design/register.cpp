#include "design/register.h"

#include "core/windows.h"

void register_design_windows() {}
