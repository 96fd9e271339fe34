#include "installer/scratch_copy.h"

#include "runtime/system/kernel32.h"
#include "runtime/system/system.h"

namespace dbsetup {

ScratchCopy::~ScratchCopy() {
  if (private_) Remove();
}

bool ScratchCopy::Prepare(const std::string& source) {
  std::string from = source;
#ifdef _WIN32
  path_ = "c:\\qd.tmp";
  if (hostrt::FileExists(path_)) Remove();
#else
  // A fixed name in a shared folder could be planted or read by another user: use a new
  // private file instead. Copying over it keeps its owner-only permissions.
  if (path_.empty()) {
    if (!hostrt::CreateTempFile("dbsetup-", path_)) {
      path_.clear();
      return false;
    }
    private_ = true;
  }
#endif
  std::string to = path_;
  return hostrt::kernel32::CopyFileA(from, to, false);
}

void ScratchCopy::Remove() {
  if (path_.empty() || !hostrt::FileExists(path_)) return;
  std::string file = path_;
  hostrt::kernel32::SetFileAttributesA(file, 0);
  file = path_;
  hostrt::kernel32::DeleteFileA(file);
}

}  // namespace dbsetup
