#include "libfoundation/nvo_browseforfolder.h"

#include "runtime/ui/interaction.h"

#ifdef _WIN32
#include <QWidget>
#include <cstdint>

#include "libfoundation/shell_folder_dialog.h"
#include "runtime/ui/scripted_interaction.h"
#include "runtime/ui/window.h"
#endif

namespace importlib {

std::string nvo_browseforfolder::browseforfolder(hostrt::Window* awi_parent,
                                                 const std::string& as_caption) {
  std::string path;
#ifdef _WIN32
  if (dynamic_cast<hostrt::ScriptedInteraction*>(&hostrt::CurrentInteraction()) == nullptr) {
    std::uintptr_t owner = 0;
    if (awi_parent != nullptr && awi_parent->widget() != nullptr)
      owner = static_cast<std::uintptr_t>(awi_parent->widget()->winId());
    return ShellBrowseForFolder(owner, as_caption, path) ? path : std::string();
  }
#else
  // The runtime's dialog finds its owner itself (the active window).
  (void)awi_parent;
#endif
  return hostrt::GetFolder(as_caption, path) == 1 ? path : std::string();
}

}  // namespace importlib
