#include "platform/posix/posixPlatform.h"

#include <QDir>
#include <QStandardPaths>
#include <QString>

#include "platform/common/trapPortProblem.h"

namespace ups {

// The lock is the machine's, in the one folder every user may write (the build's folder in a
// build for tests).
PosixPlatform::PosixPlatform(std::string storePath)
    : store_(std::move(storePath)),
      instance_(UPS_INSTANCE_LOCK, PosixSingleInstance::currentSession()) {}

InstanceClaim PosixPlatform::claimSingleInstance(std::function<void()> showWindow,
                                                 std::function<void()> /*endRequest*/) {
    return instance_.claim(std::move(showWindow));
}

std::string PosixPlatform::trapPortProblem(const std::string& address, std::uint16_t port) {
    return trapPortProblemText({tryBindUdp(address, port), port, {}, false});
}

std::string PosixPlatform::historyPath() {
    // Where desktop programs keep their data: $XDG_DATA_HOME, else ~/.local/share.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) return {};
    const QString folder = base + QStringLiteral("/korvan-ups");
    if (!QDir().mkpath(folder)) return {};
    return (folder + QStringLiteral("/historial.db")).toStdString();
}

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
