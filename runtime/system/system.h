// Operating-system services of the runtime: computer name, directories, the running program and
// file operations. All paths are UTF-8. On POSIX a backslash in a path is a directory separator
// and is turned into '/', so "{dir}\{name}.MDF" works on both systems; a drive prefix such as
// "c:" has no meaning there and simply stays part of a relative path ("c:\qd.tmp" names the file
// "qd.tmp" in the directory "c:" below the current directory). Functions return false / "" on
// failure; none throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#ifdef _WIN32
// <windows.h> maps these names to its A/W variants; the runtime's functions keep their own names.
// A file that needs both includes <windows.h> first.
#undef CopyFile
#undef DeleteFile
#undef SetFileAttributes
#undef SetCurrentDirectory
#endif

namespace hostrt {

// File attribute bits as Windows defines them; on POSIX only kReadOnly has an effect.
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kFileAttributeHidden = 0x2;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;

// The path with the separators of this system (backslashes become '/' on POSIX).
std::string NativePath(std::string_view path);

// The NetBIOS-style name of this computer: on POSIX the host name up to its first dot, in
// capitals, at most 15 characters. "" when it cannot be read.
std::string ComputerName();

// The process's current directory ("" when it cannot be read) / change it.
std::string CurrentDirectory();
bool SetCurrentDirectory(std::string_view path);

// Full path of the running program's executable ("" when unknown).
std::string ProgramPath();

// Full path of the shared library or program that contains `address` (a function or object of
// that module); "" when unknown.
std::string ModulePath(const void* address);

// True when something (a file or a directory) exists under `path`.
bool FileExists(std::string_view path);
// True when `path` names a directory.
bool DirectoryExists(std::string_view path);

// Copies a regular file. With failIfExists an existing target makes it fail; otherwise the
// target is replaced in one step (a failed copy never leaves a half-written target), unless it
// is read-only. The copy gets the source's permissions.
bool CopyFile(std::string_view from, std::string_view to, bool failIfExists);

// Deletes a file (not a directory). A read-only file is not deleted, as on Windows.
bool DeleteFile(std::string_view path);

// Sets the attributes of a file or directory. kFileAttributeReadOnly clears the write
// permissions on POSIX, its absence gives the owner write permission back; other bits are
// accepted and ignored there. Fails when nothing exists under the path.
bool SetFileAttributes(std::string_view path, std::uint32_t attributes);

// Creates a new empty file with a unique name in the user's temporary directory, readable and
// writable by the owner only, and stores its path in `path`. `prefix` starts the file name.
bool CreateTempFile(std::string_view prefix, std::string& path);

// True when the process's standard error is a terminal (a live progress line is worth
// drawing there), false for a file or a pipe.
bool StandardErrorIsTerminal();

// From now on the first interrupt (Ctrl-C: SIGINT or SIGTERM; on Windows the console's Ctrl-C,
// Ctrl-Break or close) only raises a flag that InterruptRequested reports, so that a long run
// can stop cleanly; the next one ends the process as usual. Clears the flag.
void CatchInterrupts();
bool InterruptRequested();

}  // namespace hostrt
