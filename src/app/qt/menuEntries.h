#pragma once
// Entries added to the main window's menus after they are built: each goes just above the
// menu's separator, which is found by its object name.
#include <QString>

class QAction;
class QMenu;

namespace ups {

// A new entry named `name` with `text` and `tip` (shown as its tooltip and status tip), placed
// before the action named `before`; at the end when the menu has none by that name.
QAction* insertMenuEntry(QMenu* menu, const char* name, const QString& text, const QString& tip,
                         const char* before);

}  // namespace ups
