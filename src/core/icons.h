#pragma once

#include <QIcon>

// Pictures drawn by the program: the window icon and the toolbar buttons.
namespace icons {

enum class Glyph { Visit, Query, Stats, Password, About, Exit };

QIcon appIcon();
QIcon toolIcon(Glyph g);

} // namespace icons
