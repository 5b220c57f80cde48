#include <gtest/gtest.h>

#include <string>

#include "codec/lzma_decoder.h"
#include "codec/lzma_encoder.h"

namespace zq {
namespace {

Bytes Noise(std::size_t size, std::uint32_t x) {
  Bytes out(size);
  for (auto& b : out) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return out;
}

// Incompressible 1 MiB twice: the second copy is one match reaching 1 MiB back.
Bytes Repeated() {
  Bytes data = Noise(1u << 20, 2463534242u);
  data.insert(data.end(), data.begin(), data.end());
  return data;
}

Bytes Encode(const Bytes& data, std::uint32_t window) {
  LzmaEncoder encoder(6, window);
  Bytes out;
  encoder.Feed(data.data(), data.size(), out);
  encoder.Finish(out);
  return out;
}

struct Decoded {
  LzmaDecoder::Status status = LzmaDecoder::Status::More;
  Bytes data;
};

// Feeds the stream 1000 bytes at a time into a 4 KiB output, as the reader's pieces do.
Decoded Decode(const Bytes& stream, std::uint32_t window) {
  LzmaDecoder decoder;
  decoder.Reset(window);
  Decoded d;
  std::size_t at = 0;
  Bytes out(4096);
  while (d.status == LzmaDecoder::Status::More) {
    const std::size_t end = std::min(stream.size(), at + 1000);
    std::size_t used = 0, made = 0;
    d.status = decoder.Decode(stream.data() + at, end - at, used, out.data(), out.size(), made);
    d.data.insert(d.data.end(), out.begin(), out.begin() + made);
    at += used;
    if (used == 0 && made == 0) break;  // nothing more will come
  }
  return d;
}

TEST(Lzma, BlocksComeBackOnlyWhole) {
  const Bytes text = [] {
    std::string s;
    for (int i = 0; i < 30000; ++i) s += "entry " + std::to_string(i % 977) + "\n";
    return Bytes(s.begin(), s.end());
  }();
  const Bytes stream = Encode(text, static_cast<std::uint32_t>(text.size()));
  Bytes cut(stream.begin(), stream.end() - 3);
  Bytes changed = stream;
  changed[changed.size() / 2] ^= 0x40;
  const Bytes repeated = Repeated();
  const Bytes far = Encode(repeated, static_cast<std::uint32_t>(repeated.size()));
  struct Case {
    const char* what;
    const Bytes& stream;
    const Bytes& data;  // what went in
    std::uint32_t window;
    bool whole;  // ends, with the data that went in
  } cases[] = {
      {"intact", stream, text, static_cast<std::uint32_t>(text.size()), true},
      {"cut before its end byte", cut, text, static_cast<std::uint32_t>(text.size()), false},
      {"one byte changed", changed, text, static_cast<std::uint32_t>(text.size()), false},
      {"match within the window", far, repeated, static_cast<std::uint32_t>(repeated.size()), true},
      // A reader's window is what the index allows; a stream reaching further is refused.
      {"match beyond the reader's window", far, repeated, 64u << 10, false},
  };
  for (const Case& c : cases) {
    const Decoded d = Decode(c.stream, c.window);
    const bool whole = d.status == LzmaDecoder::Status::End &&
                       d.data == (&c.stream == &stream || &c.stream == &cut || &c.stream == &changed ? text : repeated);
    EXPECT_EQ(whole, c.whole) << c.what;
  }
}

}  // namespace
}  // namespace zq
