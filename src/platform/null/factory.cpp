#include "platform/null/nullPlatform.h"

namespace ups {

std::unique_ptr<Platform> makePlatform() {
    return std::make_unique<NullPlatform>();
}

bool grantConfigAccess() {
    return true;
}

}  // namespace ups
