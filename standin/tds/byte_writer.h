// Appends little-endian wire data to a growable byte buffer owned by the writer. Appends never
// fail; the buffer is reused across messages (clear() keeps its capacity) so the hot path does
// not allocate once it has grown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace standin {

class ByteWriter {
 public:
  void clear() { buf_.clear(); }
  size_t size() const { return buf_.size(); }
  const uint8_t* data() const { return buf_.data(); }
  uint8_t* data() { return buf_.data(); }
  std::string_view view() const {
    return std::string_view(reinterpret_cast<const char*>(buf_.data()), buf_.size());
  }
  // Drops the first n bytes (what has been sent), keeping the rest.
  void consume(size_t n) { buf_.erase(buf_.begin(), buf_.begin() + static_cast<long>(n)); }

  void u8(uint8_t v) { buf_.push_back(v); }
  void u16(uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    append(b, 2);
  }
  void u16be(uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    append(b, 2);
  }
  void u32(uint32_t v) { append(&v, 4); }
  void u64(uint64_t v) { append(&v, 8); }
  void append(const void* p, size_t n) {
    size_t at = buf_.size();
    buf_.resize(at + n);
    if (n) std::memcpy(buf_.data() + at, p, n);
  }
  void append(std::string_view s) { append(s.data(), s.size()); }
  // Reserves n bytes at the end and returns their offset, for lengths patched in later.
  size_t reserve(size_t n) {
    size_t at = buf_.size();
    buf_.resize(at + n);
    return at;
  }
  void patchU16(size_t at, uint16_t v) {
    buf_[at] = static_cast<uint8_t>(v);
    buf_[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void patchU32(size_t at, uint32_t v) { std::memcpy(buf_.data() + at, &v, 4); }
  void patchU64(size_t at, uint64_t v) { std::memcpy(buf_.data() + at, &v, 8); }
  void truncate(size_t n) { buf_.resize(n); }
  // Grows the buffer to hold at least n more bytes and returns where they start; the caller
  // writes up to n bytes there and then calls commit() with the count written.
  uint8_t* open(size_t n) {
    size_t at = buf_.size();
    buf_.resize(at + n);
    openAt_ = at;
    return buf_.data() + at;
  }
  void commit(size_t written) { buf_.resize(openAt_ + written); }

 private:
  std::vector<uint8_t> buf_;
  size_t openAt_ = 0;
};

}  // namespace standin
