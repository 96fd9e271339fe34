// The Windows kernel32 functions that the product's code binds as external functions, with the
// by-reference buffer behaviour of the originals: the caller passes a string (usually blanks of
// the announced length); on success the string holds exactly the text the function wrote, up to
// its terminating zero, and on failure it is left as it was. Buffer sizes count bytes in the
// product's code page (GBK) including the terminating zero, as the ANSI functions do; text that
// must be cut to fit is cut before a whole character. Strings are UTF-8. Path arguments are used
// as given (see runtime/system/system.h for paths on POSIX). Nothing throws.
#pragma once

#include <cstdint>
#include <string>

namespace hostrt::kernel32 {

// The current directory into `lppathname` when it fits in `bufferLength` bytes (zero included).
// Returns false, leaving the buffer as it was, when it does not fit or cannot be read.
bool GetCurrentDirectoryA(std::int32_t bufferLength, std::string& lppathname);

// The computer name (see hostrt::ComputerName). `bufferlength` is the buffer size on entry; on
// success it becomes the length of the name (zero excluded) and the result is 1. When the
// buffer is too small the result is 0, the name is untouched and `bufferlength` becomes the size
// needed (zero included).
std::int32_t GetComputerNameA(std::string& computername, std::uint32_t& bufferlength);

bool CopyFileA(std::string& lpexistingfilename, std::string& lpnewfilename, bool bfailifexists);
bool DeleteFileA(std::string& lpexistingfilename);
bool SetFileAttributesA(std::string& lpfilename, std::uint32_t dwfileattributes);
bool SetCurrentDirectoryA(std::string& lppathname);

// Module 0 is the running program: its full path goes into `lpfilename` and the result is its
// length (zero excluded). When it does not fit into `nsize` bytes the text is cut to fit with its
// terminating zero and the result is `nsize`. Any other module handle, nsize 0 or an unknown
// path give 0 and leave the buffer as it was.
std::uint32_t GetModuleFileNameA(std::int32_t hmodule, std::string& lpfilename,
                                 std::uint32_t nsize);

}  // namespace hostrt::kernel32
