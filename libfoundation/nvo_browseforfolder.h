// nvo_browseforfolder: lets the operator pick a folder in a dialog owned by a given window and
// returns the chosen file-system path (UTF-8), or "" when the dialog is cancelled or the choice
// is not a file-system folder. On Windows the shell's folder dialog is shown (unless a scripted
// interaction service is installed: tests and unattended runs answer through it); elsewhere the
// runtime's folder dialog (hostrt::GetFolder). Never returns null text; never throws.
#pragma once

#include <string>

namespace hostrt {
class Window;
}

namespace importlib {

class nvo_browseforfolder {
 public:
  // `awi_parent` owns the dialog (may be null: no owner); `as_caption` is shown above the tree.
  std::string browseforfolder(hostrt::Window* awi_parent, const std::string& as_caption);
};

}  // namespace importlib
