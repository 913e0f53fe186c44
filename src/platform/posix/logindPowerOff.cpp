#include "platform/posix/logindPowerOff.h"

#include <QDBusError>
#include <QDBusMessage>

namespace ups {

namespace {
constexpr int kReplyTimeoutMs = 5000;
}

LogindPowerOff::LogindPowerOff() : bus_(QDBusConnection::systemBus()) {}

LogindPowerOff::LogindPowerOff(QDBusConnection bus) : bus_(std::move(bus)) {}

bool LogindPowerOff::requestPowerOff() {
    if (!bus_.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false;
    // Waiting for the answer makes sure the request has left before the monitor closes itself.
    QDBusMessage reply = bus_.call(call, QDBus::Block, kReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace ups
