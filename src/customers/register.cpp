#include "customers/register.h"

#include "core/windows.h"

void register_customers_windows() {}
