// Sha256: the SHA-256 digest, used for password hashes and backup-file checksums.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

class Sha256 {
 public:
  Sha256();
  void update(const void* data, size_t len);
  void update(std::string_view s) { update(s.data(), s.size()); }
  std::array<uint8_t, 32> finish();
  static std::string hex(std::string_view data);

 private:
  void block(const uint8_t* p);
  uint32_t h_[8];
  uint8_t buf_[64];
  size_t bufLen_ = 0;
  uint64_t total_ = 0;
};

}  // namespace standin
