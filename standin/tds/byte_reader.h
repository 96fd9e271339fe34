// Bounds-checked reading of little-endian wire data. A ByteReader never reads past its end:
// every read that would do so fails, sets the reader's failed flag and returns zero or empty,
// so parsers can read a whole structure and check ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace standin {

class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  explicit ByteReader(std::string_view s)
      : ByteReader(reinterpret_cast<const uint8_t*>(s.data()), s.size()) {}

  bool ok() const { return !failed_; }
  void fail() { failed_ = true; }
  size_t remaining() const { return failed_ ? 0 : static_cast<size_t>(end_ - p_); }
  const uint8_t* position() const { return p_; }
  bool atEnd() const { return remaining() == 0; }

  bool has(size_t n) {
    if (failed_ || static_cast<size_t>(end_ - p_) < n) {
      failed_ = true;
      return false;
    }
    return true;
  }
  uint8_t u8() {
    if (!has(1)) return 0;
    return *p_++;
  }
  uint8_t peek() const { return (failed_ || p_ == end_) ? 0 : *p_; }
  uint16_t u16() {
    if (!has(2)) return 0;
    uint16_t v = static_cast<uint16_t>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
  }
  uint16_t u16be() {
    if (!has(2)) return 0;
    uint16_t v = static_cast<uint16_t>((p_[0] << 8) | p_[1]);
    p_ += 2;
    return v;
  }
  uint32_t u32() {
    if (!has(4)) return 0;
    uint32_t v;
    std::memcpy(&v, p_, 4);
    p_ += 4;
    return v;
  }
  uint64_t u64() {
    if (!has(8)) return 0;
    uint64_t v;
    std::memcpy(&v, p_, 8);
    p_ += 8;
    return v;
  }
  // Little-endian unsigned integer of 1..8 bytes.
  uint64_t uN(size_t n) {
    if (n > 8 || !has(n)) {
      failed_ = true;
      return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(p_[i]) << (8 * i);
    p_ += n;
    return v;
  }
  std::string_view bytes(size_t n) {
    if (!has(n)) return {};
    std::string_view v(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return v;
  }
  void skip(size_t n) {
    if (has(n)) p_ += n;
  }

 private:
  const uint8_t* p_ = nullptr;
  const uint8_t* end_ = nullptr;
  bool failed_ = false;
};

}  // namespace standin
