// Shared by the file-reader fuzz targets: the first byte of an input chooses the number of
// columns the reader expects (1 to 16), the rest is the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

struct ReaderInput {
  size_t columns;
  std::string bytes;
};

inline ReaderInput SplitReaderInput(const uint8_t* data, size_t size) {
  if (size == 0) return {1, std::string()};
  return {static_cast<size_t>(data[0] % 16) + 1,
          std::string(reinterpret_cast<const char*>(data) + 1, size - 1)};
}

}  // namespace fuzzing
