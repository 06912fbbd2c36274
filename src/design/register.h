#pragma once

// Makes this subsystem's windows available to the main window.
void register_design_windows();
