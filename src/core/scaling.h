#pragma once

class QWidget;

namespace scaling {

struct Factor
{
    int num = 1;
    int den = 1;
    bool identity() const { return num == den; }
};

// The screen-width rule: 640 -> 60/80, 800 -> 80/100, 1152 -> 125/100, any other width unchanged.
Factor forScreenWidth(int width);

// Scales the window's size, its children's fixed geometry and fonts once, by the width of the
// screen the program runs on.
void applyScreenScaling(QWidget* window);
void applyScaling(QWidget* window, Factor f);

} // namespace scaling
