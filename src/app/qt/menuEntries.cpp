#include "app/qt/menuEntries.h"

#include <QAction>
#include <QMenu>

namespace ups {

QAction* insertMenuEntry(QMenu* menu, const char* name, const QString& text, const QString& tip,
                         const char* before) {
    auto* entry = new QAction(text, menu);
    entry->setObjectName(name);
    entry->setToolTip(tip);
    entry->setStatusTip(tip);
    menu->insertAction(menu->findChild<QAction*>(before), entry);
    return entry;
}

}  // namespace ups
