// The Windows shell's folder dialog (SHBrowseForFolderA with only file-system folders
// selectable, starting at the desktop, then SHGetPathFromIDListA). Built on Windows only.
// Returns true with the chosen folder (UTF-8) in `path`; false, leaving `path` alone, when the
// operator cancels or the choice has no file-system path. `owner` is the owning window's handle
// (0 for none); `caption` is UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace importlib {

bool ShellBrowseForFolder(std::uintptr_t owner, const std::string& caption, std::string& path);

}  // namespace importlib
