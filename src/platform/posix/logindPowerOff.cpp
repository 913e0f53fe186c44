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
    if (!bus_.isConnected()) {
        failure_ = "sin conexión al bus del sistema";
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false;
    // Waiting for the answer makes sure the request has left before the monitor closes itself.
    QDBusMessage reply = bus_.call(call, QDBus::Block, kReplyTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        failure_.clear();
        return true;
    }
    failure_ = "rechazado: " + reply.errorName().toStdString();
    if (!reply.errorMessage().isEmpty())
        failure_ += " (" + reply.errorMessage().toStdString() + ")";
    return false;
}

}  // namespace ups
