#pragma once

// Makes this subsystem's windows available to the main window.
void register_customers_windows();
