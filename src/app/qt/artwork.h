#pragma once
// The monitor's pictures, drawn in code: the four 32 x 32 state pictures of the image list, the
// two 16 x 16 glyphs of the test button, the configuration glyph, the logo and the window icon.
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace ups::art {

enum StatePicture { picMains = 0, picOnBattery = 1, picBatteryOk = 2, picBatteryLow = 3 };
inline constexpr int kStatePictures = 4;

QPixmap statePicture(int index);     // 32 x 32 on transparent
QPixmap glyph(const QString& name);  // "START", "BEEPER", "SETUP"
QPixmap logo();
QIcon applicationIcon();

}  // namespace ups::art
