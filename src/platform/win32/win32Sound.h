#pragma once
// The sound the user chose for warnings in the system's sound settings.
#include "platform/sound.h"

namespace ups {

class Win32Sound : public WarningSound {
public:
    void play() override;
};

}  // namespace ups
