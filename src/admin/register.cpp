#include "admin/register.h"

#include "core/windows.h"

void register_admin_windows() {}
