#include "libfoundation/shell_folder_dialog.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shlobj.h and objbase.h rely on it.
#include <objbase.h>
#include <shlobj.h>

#include "runtime/text/gbk.h"

namespace importlib {

bool ShellBrowseForFolder(std::uintptr_t owner, const std::string& caption, std::string& path) {
  // The ANSI shell functions take and give text in the product's code page.
  const std::string title = hostrt::Utf8ToGbk(caption);
  char display_name[MAX_PATH] = {};

  BROWSEINFOA info = {};
  info.hwndOwner = reinterpret_cast<HWND>(owner);
  info.pidlRoot = nullptr;  // start at the desktop
  info.pszDisplayName = display_name;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;

  LPITEMIDLIST list = SHBrowseForFolderA(&info);
  if (list == nullptr) return false;  // cancelled
  char buffer[MAX_PATH] = {};
  const BOOL converted = SHGetPathFromIDListA(list, buffer);
  CoTaskMemFree(list);
  if (!converted || buffer[0] == '\0') return false;
  path = hostrt::GbkToUtf8(buffer);
  return true;
}

}  // namespace importlib
#endif  // _WIN32
