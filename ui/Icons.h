// The toolbar's icons: the desktop theme's where it has one, else the
// program's own, drawn in colours that stand out on light and dark
// backgrounds alike (the style's standard icons are black glyphs that vanish
// on a dark palette).
#pragma once

#include <QIcon>

namespace ta::ui {

enum class OwnIcon { Reload, Open, Save, Send, Upgrade, Exit };

// The icon the theme has under themeName (freedesktop naming), else own.
QIcon themedIcon(const char* themeName, OwnIcon own);
// The program's own drawing.
QIcon ownIcon(OwnIcon own);

} // namespace ta::ui
