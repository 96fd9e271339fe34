// hostrt::RegFile: the text of a registry export file ("[key]" sections, "name"="value" lines),
// read and changed line by line so that a change keeps every other line exactly as it was, the
// lines this class does not understand included. Pure text processing; nothing throws.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/settings/registry_key.h"

namespace hostrt {

class RegFile {
 public:
  enum class Lookup { kFound, kMissing, kNotString };

  // `text` is the file's content as UTF-8; "" for a file that does not exist yet.
  explicit RegFile(std::string_view text);

  // The string value `name` ("" is the key's default value, written @) of `key`. When the file
  // names the value more than once, the last line wins.
  Lookup Get(const RegistryKey& key, std::string_view name, std::string& value) const;

  // Sets the string value, adding the key's section when it is missing. False (and nothing
  // changed) when the name or the value contains a zero character.
  bool Set(const RegistryKey& key, std::string_view name, std::string_view value);

  // The whole file as text, with the line ends the file had.
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
  std::string lineEnd_ = "\n";
};

}  // namespace hostrt
