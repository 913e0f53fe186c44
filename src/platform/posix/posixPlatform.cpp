#include "platform/posix/posixPlatform.h"

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
