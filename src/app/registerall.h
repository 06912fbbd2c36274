#pragma once

// Registers the windows of every subsystem with the main window's registry.
void registerAllWindows();
