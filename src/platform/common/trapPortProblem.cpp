#include "platform/common/trapPortProblem.h"

#include "net/sockets.h"

namespace ups {

std::string trapPortProblemText(const TrapPortFacts& facts) {
    if (facts.bindError == 0) return {};
    const std::string start =
        "No se reciben los traps del agente: el puerto UDP " + std::to_string(facts.port);
    if (!facts.holderService.empty()) {
        return start + " lo ocupa el servicio \"" + facts.holderService +
               "\" de Windows. Detenga ese servicio y deshabilite su inicio automático para que "
               "el monitor reciba los traps.";
    }
    const bool held = facts.bindError == sys::kErrAddressInUse ||
                      (facts.bindError == sys::kErrAccess && facts.accessMeansHeld);
    if (held) return start + " lo ocupa otro programa.";
    if (facts.bindError == sys::kErrAccess) {
        return start + " está reservado y el programa no tiene permiso para usarlo.";
    }
    return start + " no se puede usar (error " + std::to_string(facts.bindError) + ").";
}

int tryBindUdp(const std::string& address, std::uint16_t port) {
    sys::Endpoint local;
    local.port = port;
    if (!sys::resolveIpv4(address, local.address)) return sys::kErrAddressNotAvailable;
    int error = 0;
    const sys::SocketHandle socket = sys::openUdpSocket(error);
    if (socket == sys::kNoSocket) return error;
    error = sys::bindSocket(socket, local);
    sys::closeSocket(socket);
    return error;
}

}  // namespace ups
