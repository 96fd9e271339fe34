// ProfileString: reads one value from an INI file with the rules of Windows' private profile
// functions. Never fails: a missing or unreadable file, section or key gives `defaultValue`.
// All strings are UTF-8; the file itself is GBK (a UTF-8 or UTF-16 file with a byte-order mark
// is read as such).
//
// Where the file is looked for: a name with a directory part ('/' or '\') is used as given
// (relative to the current directory); a bare file name is looked up in the current directory,
// then in the directory of the running program.
//
// What is read: section and key names are compared without regard to ASCII case; blanks and tabs
// around names and values are ignored; one pair of matching quotes around a value is removed;
// lines whose first non-blank character is ';' are comments; the first occurrence of a key in
// the file wins (sections of the same name count as one); a zero byte ends a value. Lines that are
// neither a section header nor "name=value" are ignored; a '[' line without a closing ']' ends the
// current section, so the lines after it belong to no section until the next header.
#pragma once

#include <string>
#include <string_view>

namespace hostrt {

std::string ProfileString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view defaultValue);

// Where ProfileString reads `file` from; "" when no such file exists.
std::string ProfilePath(std::string_view file);

}  // namespace hostrt
