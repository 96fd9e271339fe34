// ScratchCopy: the copy of the template backup that the server restores from. On Windows it is
// the fixed file "c:\qd.tmp" (replaced when present, left on disk when an installation fails
// after the copy). Elsewhere it is a fresh file with a unique name in the user's temporary
// directory, readable and writable by the owner only, and it is removed when the object goes
// away, whatever the outcome. Not copyable. Never throws.
#pragma once

#include <string>

namespace dbsetup {

class ScratchCopy {
 public:
  ScratchCopy() = default;
  ~ScratchCopy();
  ScratchCopy(const ScratchCopy&) = delete;
  ScratchCopy& operator=(const ScratchCopy&) = delete;

  // Copies `source` to the scratch file; false when the scratch file cannot be written.
  bool Prepare(const std::string& source);
  // The scratch file's path ("" before Prepare).
  const std::string& Path() const { return path_; }
  // Clears the file's attributes and deletes it, if it exists (results ignored).
  void Remove();

 private:
  std::string path_;
  bool private_ = false;  // a temporary file of our own, removed by the destructor
};

}  // namespace dbsetup
