#pragma once
// The desktop's warning sound.

namespace ups {

class WarningSound {
public:
    virtual ~WarningSound() = default;
    virtual void play() = 0;
};

}  // namespace ups
