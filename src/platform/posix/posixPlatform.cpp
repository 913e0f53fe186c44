#include "platform/posix/posixPlatform.h"

#include <QStandardPaths>
#include <QString>

namespace ups {

PosixPlatform::PosixPlatform(std::string storePath) : store_(std::move(storePath)) {}

std::unique_ptr<Platform> makePlatform() {
    // Where desktop programs keep their settings: $XDG_CONFIG_HOME, else ~/.config.
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/korvan-ups/registry.reg");
    return std::make_unique<PosixPlatform>(path.toStdString());
}

bool grantConfigAccess() {
    return true;
}

}  // namespace ups
