// SHA-256 against the FIPS 180-4 example messages, fed whole and in uneven pieces.
#include "runtime/text/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace hostrt {
namespace {

TEST(Sha256Test, StandardMessages) {
  EXPECT_EQ(Sha256::Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256::Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256::Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256::Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnop"
                        "jklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
            "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
}

TEST(Sha256Test, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
  // One million 'a', in pieces of 1 to 97 bytes crossing every block boundary.
  const std::string million(1000000, 'a');
  Sha256 hash;
  size_t at = 0;
  for (size_t piece = 1; at < million.size(); piece = piece % 97 + 1) {
    const size_t take = std::min(piece, million.size() - at);
    hash.Update(million.data() + at, take);
    at += take;
  }
  EXPECT_EQ(hash.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // Lengths around the padding boundary (55, 56, 63, 64 bytes) agree with one-call hashing.
  for (size_t n : {55u, 56u, 63u, 64u, 65u}) {
    const std::string text(n, 'x');
    Sha256 split;
    split.Update(text.substr(0, n / 2));
    split.Update(text.substr(n / 2));
    EXPECT_EQ(split.HexDigest(), Sha256::Hex(text)) << n;
  }
}

// The processor's SHA instructions (where present) and the portable code give the same digests,
// whatever the lengths and the pieces the bytes come in.
TEST(Sha256Test, BothEnginesAgree) {
  Sha256 portable(Sha256::Engine::Portable);
  portable.Update("abc");
  EXPECT_EQ(portable.HexDigest(),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  std::string bytes(70000, '\0');
  uint32_t state = 12345;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  for (size_t length : {0u, 1u, 63u, 64u, 65u, 127u, 128u, 1000u, 4096u, 65536u, 70000u}) {
    Sha256 fastest, slow(Sha256::Engine::Portable);
    const size_t half = length / 3;
    fastest.Update(bytes.data(), half);
    fastest.Update(bytes.data() + half, length - half);
    slow.Update(bytes.data(), length);
    EXPECT_EQ(fastest.HexDigest(), slow.HexDigest()) << length;
  }
  if (!Sha256::HardwareAvailable()) GTEST_LOG_(INFO) << "no SHA instructions: portable only";
}

}  // namespace
}  // namespace hostrt
