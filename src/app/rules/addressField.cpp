#include "app/rules/addressField.h"

namespace ups {

AddressKey addressKeyAction(char32_t typed) {
    if (typed == U'\r') return AddressKey::moveToCheck;
    if ((typed >= U'0' && typed <= U'9') || typed == U'.' || typed == U'\b') {
        return AddressKey::accept;
    }
    return AddressKey::discard;
}

}  // namespace ups
