#include "base/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace zq {
namespace {

TEST(Sha256, KnownDigestsWhateverThePieces) {
  const struct {
    std::string input;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const bool extensions : {true, false}) {
    Sha256::AllowProcessorExtensions(extensions);
    for (const auto& c : cases) {
      EXPECT_EQ(HexText(Sha256Of(c.input.data(), c.input.size())), c.digest) << c.input.size();
      // Fed in uneven pieces, across the block boundaries.
      Sha256 pieces;
      for (std::size_t at = 0, n = 1; at < c.input.size(); at += n, n = n % 97 + 13) {
        pieces.Update(c.input.data() + at, std::min(n, c.input.size() - at));
      }
      EXPECT_EQ(HexText(pieces.Final()), c.digest) << c.input.size();
    }
  }
  Sha256::AllowProcessorExtensions(true);
}

TEST(Sha256, HmacKnownAnswers) {
  const struct {
    std::string key, data;
    const char* mac;
  } cases[] = {
      {std::string(20, '\x0b'), "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"Jefe", "what do ya want for nothing?", "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      // A key longer than a block is hashed first.
      {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
  };
  for (const auto& c : cases) {
    const Digest256 mac = HmacSha256Of(c.key.data(), c.key.size(), c.data.data(), c.data.size());
    EXPECT_EQ(HexText(mac), c.mac);
    Digest256 other = mac;
    other[31] ^= 1;
    EXPECT_TRUE(SameDigest(mac, mac));
    EXPECT_FALSE(SameDigest(mac, other));
  }
}

}  // namespace
}  // namespace zq
