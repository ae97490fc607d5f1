// The "界面语言" submenu of the view menu: the user picks the language of
// the interface (the desktop's, or one named in its own language), which is
// stored for the next start; the running program keeps its language.
#pragma once

class QMenu;

namespace vx {

// Appends the submenu to `view`. Each choice writes the setting and tells
// the user that it applies after a restart; the ticks follow the setting
// as stored whenever the menu opens.
void AddLanguageMenu(QMenu* view);

}  // namespace vx
