// Any datagram into TSNMPRec::DecodeBuf: it must stay inside the octets, finish, keep its output
// in proportion to its input, and whatever it decodes must encode into a message it decodes again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/snmpRec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    ups::TSNMPRec rec;
    if (!rec.DecodeBuf(datagram)) return 0;

    // Every binding takes at least two octets of the datagram.
    if (static_cast<std::size_t>(rec.MIBCount()) > size / 2) __builtin_trap();
    std::size_t text = rec.Community.size() + rec.OldTrapEnterprise.size() + rec.OldTrapHost.size();
    for (int i = 0; i < rec.MIBCount(); ++i) {
        text += rec.MIBByIndex(i)->OID.size() + rec.MIBByIndex(i)->Value.size();
    }
    if (text > 8 * size + 64) __builtin_trap();

    ups::TSNMPRec again;
    if (!again.DecodeBuf(rec.EncodeBuf())) __builtin_trap();
    return 0;
}
