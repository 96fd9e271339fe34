// hostrt::Sha256: the SHA-256 digest (FIPS 180-4), fed in pieces of any size. Used to prove
// that a data file is the one an export wrote. Pure computation; never fails, never throws.
// On x86-64 processors with the SHA extensions the blocks are hashed by those instructions
// (several times faster, the same digest); elsewhere by portable code.
//
//   hostrt::Sha256 hash;
//   hash.Update(bytes);
//   std::string hex = hash.HexDigest();   // 64 lower-case hex digits; the object is then spent
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hostrt {

class Sha256 {
 public:
  // Which code hashes the blocks: the fastest this processor offers, or the portable code.
  enum class Engine { Fastest, Portable };
  explicit Sha256(Engine engine = Engine::Fastest);
  void Update(const void* data, std::size_t size);
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  // Pads and finishes the digest; call once, after the last Update.
  std::array<std::uint8_t, 32> Digest();
  std::string HexDigest();

  // The hex digest of `bytes` in one call.
  static std::string Hex(std::string_view bytes);
  // True when Engine::Fastest uses the processor's SHA instructions.
  static bool HardwareAvailable();

 private:
  void Blocks(const std::uint8_t* data, std::size_t count);
  void Block(const std::uint8_t* block);

  std::uint32_t state_[8];
  std::uint8_t pending_[64];
  std::size_t pendingSize_ = 0;
  std::uint64_t totalBytes_ = 0;
  bool hardware_ = false;
};

}  // namespace hostrt
