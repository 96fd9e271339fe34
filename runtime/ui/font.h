// hostrt::Font: a control's font as the product describes it (face, size in points, weight,
// character set). ResolveFont turns it into a Qt font: a face that is not installed is replaced
// by an installed one of the same script (Chinese faces and the GB2312 character set by an
// installed CJK face), and a CJK face is always kept as a fallback so Chinese text never shows
// as boxes.
#pragma once

#include <string>

class QFont;

namespace hostrt {

enum class Charset { Ansi, Default, GB2312 };

struct Font {
  std::string face;
  int size_pt = 9;
  int weight = 400;  // 400 normal, 700 bold
  bool italic = false;
  bool underline = false;
  Charset charset = Charset::Default;
};

QFont ResolveFont(const Font& font);

// The installed family that stands in for `face` (the face itself when installed).
std::string ResolveFamily(const std::string& face, Charset charset);

}  // namespace hostrt
