#pragma once

class QComboBox;
class QWidget;

namespace dropdown {

// A drop-down uses the room it has: its given width stays the least it takes, and where its
// layout has room it grows to show its longest entry, also as the entries change later.
void fitToEntries(QComboBox* box);
// The same for every drop-down inside a window.
void fitAllIn(QWidget* window);

} // namespace dropdown
