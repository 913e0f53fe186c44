#pragma once
// The monitor's pictures, drawn in code: the four 32 x 32 state pictures of the image list, the
// two 16 x 16 glyphs of the test button, the configuration glyph, the logo and the window icon.
// The state pictures and glyphs are shown from their pixels, kept in art/ beside this file (raw
// premultiplied ARGB32, as drawn by the code below; the tests check that they still are, and
// write them again when asked): a monitor waiting in the tray draws nothing, so the painter's
// stroking and the mathematics library it needs are never loaded.
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace ups::art {

enum StatePicture { picMains = 0, picOnBattery = 1, picBatteryOk = 2, picBatteryLow = 3 };
inline constexpr int kStatePictures = 4;

QPixmap statePicture(int index);     // 32 x 32 on transparent
QPixmap glyph(const QString& name);  // "START", "BEEPER", "SETUP"
// The drawings the pixels come from, and the names of their files in art/ (without ".argb").
QPixmap drawStatePicture(int index);
QPixmap drawGlyph(const QString& name);
QString pixelsName(int index);
QString glyphPixelsName(const QString& name);
QPixmap logo();
QIcon applicationIcon();

}  // namespace ups::art
