#include "app/process/historyLocation.h"

#include <QDir>
#include <QStandardPaths>

namespace ups {

std::string historyDatabasePath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) return {};
    const QString folder = base + QStringLiteral("/korvan-ups");
    if (!QDir().mkpath(folder)) return {};
    return QDir::toNativeSeparators(folder + QStringLiteral("/historial.db")).toStdString();
}

}  // namespace ups
