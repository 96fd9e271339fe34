// Appends little-endian wire data to a growable byte buffer owned by the writer. Appends never
// fail; the buffer is reused across messages (clear() keeps its capacity) so the hot path does
// not allocate once it has grown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace standin {

class ByteWriter {
 public:
  ByteWriter() = default;
  ByteWriter(const ByteWriter& other) { append(other.data(), other.size()); }
  ByteWriter& operator=(const ByteWriter& other) {
    if (this != &other) {
      clear();
      append(other.data(), other.size());
    }
    return *this;
  }
  // A writer moved from is empty, with no room.
  ByteWriter(ByteWriter&& other) noexcept { *this = std::move(other); }
  ByteWriter& operator=(ByteWriter&& other) noexcept {
    if (this != &other) {
      buf_ = std::move(other.buf_);
      size_ = std::exchange(other.size_, 0);
      cap_ = std::exchange(other.cap_, 0);
      openAt_ = std::exchange(other.openAt_, 0);
    }
    return *this;
  }

  void clear() { size_ = 0; }
  size_t size() const { return size_; }
  const uint8_t* data() const { return buf_.get(); }
  uint8_t* data() { return buf_.get(); }
  std::string_view view() const {
    return std::string_view(reinterpret_cast<const char*>(buf_.get()), size_);
  }
  // Drops the first n bytes (what has been sent), keeping the rest.
  void consume(size_t n) {
    if (n < size_) std::memmove(buf_.get(), buf_.get() + n, size_ - n);
    size_ = n < size_ ? size_ - n : 0;
  }

  void u8(uint8_t v) { *grow(1) = v; }
  void u16(uint16_t v) {
    uint8_t* p = grow(2);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  void u16be(uint16_t v) {
    uint8_t* p = grow(2);
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
  }
  void u32(uint32_t v) { append(&v, 4); }
  void u64(uint64_t v) { append(&v, 8); }
  void append(const void* p, size_t n) {
    if (n) std::memcpy(grow(n), p, n);
  }
  void append(std::string_view s) { append(s.data(), s.size()); }
  // The first n bytes of a value (n at most its size), copied as one fixed-size move: a
  // variable-length copy of a few bytes costs more than the whole value.
  template <typename T>
  void appendFirst(const T& value, size_t n) {
    uint8_t* at = open(sizeof value);
    std::memcpy(at, &value, sizeof value);
    commit(n);
  }
  // Reserves n bytes at the end and returns their offset, for lengths patched in later.
  size_t reserve(size_t n) {
    const size_t at = size_;
    std::memset(grow(n), 0, n);
    return at;
  }
  void patchU16(size_t at, uint16_t v) {
    buf_[at] = static_cast<uint8_t>(v);
    buf_[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void patchU32(size_t at, uint32_t v) { std::memcpy(buf_.get() + at, &v, 4); }
  void patchU64(size_t at, uint64_t v) { std::memcpy(buf_.get() + at, &v, 8); }
  // Cuts the buffer to n bytes; growing through it fills with zeros.
  void truncate(size_t n) {
    if (n > size_)
      std::memset(grow(n - size_), 0, n - size_);
    else
      size_ = n;
  }
  // Grows the buffer to hold at least n more bytes and returns where they start; the caller
  // writes up to n bytes there and then calls commit() with the count written.
  uint8_t* open(size_t n) {
    openAt_ = size_;
    return grow(n);
  }
  void commit(size_t written) { size_ = openAt_ + written; }

 private:
  // Adds n bytes (not cleared) at the end and returns where they start. The room doubles, so
  // appending stays amortised constant time; it is never given back while the writer lives.
  uint8_t* grow(size_t n) {
    if (cap_ - size_ < n) reallocate(n);
    uint8_t* at = buf_.get() + size_;
    size_ += n;
    return at;
  }
  // Out of line: the rare path, kept out of every append.
  [[gnu::noinline]] void reallocate(size_t n) {
    size_t cap = cap_ ? cap_ * 2 : 256;
    while (cap - size_ < n) cap *= 2;
    auto bigger = std::make_unique_for_overwrite<uint8_t[]>(cap);
    if (size_ != 0) std::memcpy(bigger.get(), buf_.get(), size_);
    buf_ = std::move(bigger);
    cap_ = cap;
  }

  std::unique_ptr<uint8_t[]> buf_;
  size_t size_ = 0;
  size_t cap_ = 0;
  size_t openAt_ = 0;
};

}  // namespace standin
