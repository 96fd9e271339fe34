// hostrt::OutputFile: writes one file atomically. The bytes go to a new temporary file beside
// the target; Commit() flushes it to the disk and renames it over the target, so the target is
// either its old self or the complete new file, never a cut one. An OutputFile destroyed (or
// abandoned) before Commit() removes its temporary file. On POSIX a replaced target keeps its
// permission bits and the directory is synced after the rename, so that the rename itself
// survives a crash. Every failure returns false and leaves Error() naming the file, what was
// being done and the system's cause (disk full, no permission, read-only file system or file,
// ...). Not copyable; never throws.
//
//   hostrt::OutputFile out;
//   if (!out.Open(path) || !out.Write(bytes) || !out.Commit()) report(out.Error());
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace hostrt {

class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // What Open allows besides replacing a writable regular file or creating a new one.
  struct Options {
    // Replace a target without write permission too (POSIX only: renaming over a file needs
    // only the directory's permission; Windows never does). Off, such a target is refused.
    bool replaceReadOnly = false;
    // Refuse an existing target, at Open and again at Commit, whose rename never replaces one.
    bool failIfExists = false;
    // Permission bits of a new target (POSIX; the process's umask applies), -1 for 0666.
    int newFileMode = -1;
  };

  // Creates the temporary file beside `path` (a UTF-8 path; backslashes separate on POSIX too).
  // An existing target must be a regular file.
  bool Open(std::string_view path, const Options& options);
  bool Open(std::string_view path) { return Open(path, Options()); }
  bool Write(const void* data, std::size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  // Flushes, closes and renames over the target (see Options for the targets it refuses).
  bool Commit();
  // Drops the temporary file; the target stays as it was.
  void Abandon();

  const std::string& Error() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// The cause of the last failed system call of this thread (errno, or GetLastError() on
// Windows) in words, e.g. "the disk is full" or "permission denied".
std::string LastSystemErrorCause();

}  // namespace hostrt
