// hostrt::LibraryLoader: finds and loads a library application for the launcher. A bare name
// ("import") means libimport.so (import.dll or libimport.dll on Windows) in the lib directory
// beside the launcher's bin directory, then on the system's library search path; a name with a
// directory separator or a library suffix is a path. Libraries stay loaded for the life of the
// process. Failures return NotFound with a message for the operator.
#pragma once

#include <string>
#include <vector>

#include "runtime/text/status.h"

namespace hostrt {

class LibraryLoader {
 public:
  // The files tried for `name`, in order (a path gives just itself).
  static std::vector<std::string> Candidates(const std::string& name,
                                             const std::string& launcher_dir);
  // The directory of the running program.
  static std::string ProgramDirectory();

  Status Load(const std::string& name);
  // The address of `symbol` in the loaded library into `address` (nullptr when missing).
  Status Symbol(const std::string& symbol, void*& address) const;
  const std::string& path() const { return path_; }

 private:
  void* handle_ = nullptr;
  std::string path_;
};

}  // namespace hostrt
