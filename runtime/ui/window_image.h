// SaveWindowImage: renders a window (shown or not) into a PNG file, for screenshots and for
// checking fonts in tests. Returns true when the file was written.
#pragma once

#include <string>

namespace hostrt {

class Window;

bool SaveWindowImage(Window& window, const std::string& png_path);

}  // namespace hostrt
