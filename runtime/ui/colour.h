// Colours as the runtime codes them: a long holding red + 256 * green + 65536 * blue, or one of
// the system-colour codes below (high byte set), which follow the desktop's palette.
#pragma once

class QColor;

namespace hostrt {

using Colour = long;

constexpr Colour Rgb(int red, int green, int blue) {
  return static_cast<Colour>(red & 0xFF) | (static_cast<Colour>(green & 0xFF) << 8) |
         (static_cast<Colour>(blue & 0xFF) << 16);
}

inline constexpr Colour kWindowText = 33554432;          // 0x02000000
inline constexpr Colour kButtonFace = 79741120;          // 0x04C0C0C0
inline constexpr Colour kWindowBackground = 1073741824;  // 0x40000000
inline constexpr Colour kBlack = Rgb(0, 0, 0);
inline constexpr Colour kWhite = Rgb(255, 255, 255);
inline constexpr Colour kRed = Rgb(255, 0, 0);
inline constexpr Colour kBlue = Rgb(0, 0, 255);
inline constexpr Colour kDarkCyan = Rgb(0, 128, 128);

// The colour to paint with; system colours are taken from the application's palette.
QColor ToQColor(Colour colour);

}  // namespace hostrt
