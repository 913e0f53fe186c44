#pragma once
#include "platform/sound.h"

namespace ups {

// Plays the sound theme's warning event through canberra-gtk-play when the desktop has it,
// otherwise rings the bell.
class DesktopSound : public WarningSound {
public:
    DesktopSound();
    void play() override;

private:
    bool haveCanberra_;
};

}  // namespace ups
