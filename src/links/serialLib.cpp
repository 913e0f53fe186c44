#include "links/serialLib.h"

namespace ups {

namespace {
constexpr int kBadCommand = -4;
}

int SerialLib::SioReset(int port, int rxQueue, int txQueue) {
    if (!validPort(port)) return kSioBadPort;
    return driver_.open(port, rxQueue, txQueue);
}

int SerialLib::SioDone(int port) {
    if (!validPort(port)) return kSioBadPort;
    driver_.close(port);
    return 0;
}

int SerialLib::SioBaud(int port, int baud) {
    if (!validPort(port)) return kSioBadPort;
    driver_.setBaud(port, baud);
    return 0;
}

int SerialLib::SioFlow(int port, char mode) {
    if (!validPort(port)) return kSioBadPort;
    if (mode != 'N') return kBadCommand;
    driver_.setNoFlowControl(port);
    return 0;
}

int SerialLib::SioRTS(int port, char cmd) {
    if (!validPort(port)) return kSioBadPort;
    switch (cmd) {
        case 'S':
            driver_.setRts(port, true);
            return 0;
        case 'C':
            driver_.setRts(port, false);
            return 0;
        case 'R':
            return driver_.readRts(port);
        default:
            return kBadCommand;
    }
}

int SerialLib::SioCTS(int port) {
    if (!validPort(port)) return kSioBadPort;
    return driver_.readCts(port);
}

int SerialLib::SioDCD(int port) {
    if (!validPort(port)) return kSioBadPort;
    return driver_.readDcd(port);
}

int SerialLib::SioBrkSig(int port, char cmd) {
    if (!validPort(port)) return kSioBadPort;
    switch (cmd) {
        case 'A':
            driver_.setBreak(port, true);
            return 0;
        case 'C':
            driver_.setBreak(port, false);
            return 0;
        default:
            return kBadCommand;
    }
}

}  // namespace ups
