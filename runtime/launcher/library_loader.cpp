#include "runtime/launcher/library_loader.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace hostrt {
namespace {

namespace fs = std::filesystem;

bool LooksLikePath(const std::string& name) {
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) return true;
  const std::string ext = fs::path(name).extension().string();
  return ext == ".so" || ext == ".dll" || ext == ".dylib";
}

#ifdef _WIN32
std::string LastWindowsError() {
  const DWORD code = GetLastError();
  char buffer[512] = {0};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 buffer, sizeof buffer, nullptr);
  std::string text(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : text;
}
#endif

}  // namespace

std::vector<std::string> LibraryLoader::Candidates(const std::string& name,
                                                   const std::string& launcher_dir) {
  if (LooksLikePath(name)) return {name};
  const fs::path lib_dir = fs::path(launcher_dir).parent_path() / "lib";
  std::vector<std::string> files;
#ifdef _WIN32
  for (const std::string& file : {name + ".dll", "lib" + name + ".dll"}) {
    files.push_back((lib_dir / file).string());
    files.push_back((fs::path(launcher_dir) / file).string());
  }
  files.push_back(name + ".dll");  // the system's search path
#else
  const std::string file = "lib" + name + ".so";
  files.push_back((lib_dir / file).string());
  files.push_back(file);  // the system's library search path
#endif
  return files;
}

std::string LibraryLoader::ProgramDirectory() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH * 4] = {0};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  if (length == 0) return ".";
  return fs::path(std::wstring(buffer, length)).parent_path().string();
#else
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
#endif
}

Status LibraryLoader::Load(const std::string& name) {
  const std::vector<std::string> candidates = Candidates(name, ProgramDirectory());
  std::string reasons;
  for (const std::string& candidate : candidates) {
    const bool is_file = fs::path(candidate).has_parent_path();
    std::error_code ec;
    // A candidate in a known directory that does not exist is skipped quietly.
    if (is_file && candidates.size() > 1 && !fs::exists(candidate, ec)) continue;
#ifdef _WIN32
    HMODULE module = LoadLibraryA(candidate.c_str());
    if (module != nullptr) {
      handle_ = reinterpret_cast<void*>(module);
      path_ = candidate;
      return Status::Ok();
    }
    reasons += "\n  " + candidate + ": " + LastWindowsError();
#else
    void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr) {
      handle_ = handle;
      path_ = candidate;
      return Status::Ok();
    }
    const char* why = dlerror();
    reasons += "\n  " + candidate + ": " + (why != nullptr ? why : "cannot be loaded");
#endif
  }
  return Status::NotFound("cannot load the application library \"" + name + "\"" + reasons);
}

Status LibraryLoader::Symbol(const std::string& symbol, void*& address) const {
  address = nullptr;
  if (handle_ != nullptr) {
#ifdef _WIN32
    address =
        reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), symbol.c_str()));
#else
    dlerror();
    address = dlsym(handle_, symbol.c_str());
#endif
  }
  if (address == nullptr) {
    return Status::NotFound(path_ + " is not an application library: it has no entry point " +
                            symbol);
  }
  return Status::Ok();
}

}  // namespace hostrt
