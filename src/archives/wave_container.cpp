#include "archives/wave_container.h"

#include <algorithm>
#include <cstring>

#include "base/byte_io.h"
#include "base/error.h"

namespace zq {

namespace {

constexpr std::int32_t kStepTable[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr std::int32_t kIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

void Advance(AdpcmState& state, std::int32_t delta, std::uint8_t code) {
  std::int32_t p = state.Predicted;
  p = (code & 8) ? p - delta : p + delta;
  state.Predicted = static_cast<std::int16_t>(std::clamp(p, -32768, 32767));
  state.StepIndex = static_cast<std::uint8_t>(std::clamp(state.StepIndex + kIndexTable[code], 0, 88));
}

std::int16_t SampleAt(const std::uint8_t* p) { return static_cast<std::int16_t>(GetU16(p)); }

void PutI32(std::uint8_t* p, std::int32_t v) { SetU32(p, static_cast<std::uint32_t>(v)); }
std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(GetU32(p)); }

// Codes of `count` samples taken `stride` samples apart, two per byte, high nibble first.
void EncodeRun(AdpcmState& state, const std::uint8_t* samples, std::size_t count, std::size_t stride,
               std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t code = EncodeAdpcmSample(state, SampleAt(samples + 2 * stride * i));
    if (i % 2 == 0) out[i / 2] = static_cast<std::uint8_t>(code << 4);
    else out[i / 2] |= code;
  }
}

void DecodeRun(AdpcmState& state, const std::uint8_t* codes, std::size_t count, std::size_t stride, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t code = (i % 2 == 0) ? codes[i / 2] >> 4 : codes[i / 2] & 0x0F;
    std::int16_t s = DecodeAdpcmSample(state, code);
    std::uint8_t* o = out + 2 * stride * i;
    o[0] = static_cast<std::uint8_t>(s);
    o[1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8);
  }
}

void PutState(std::uint8_t* p, const AdpcmState& left, const AdpcmState& right) {
  p[0] = static_cast<std::uint8_t>(left.Predicted);
  p[1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(left.Predicted) >> 8);
  p[2] = left.StepIndex;
  p[3] = static_cast<std::uint8_t>(right.Predicted);
  p[4] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(right.Predicted) >> 8);
  p[5] = right.StepIndex;
}

bool IsCanonical(const Bytes& s) {
  if (s.size() < kWaveHeaderSize) return false;
  auto is = [&](std::size_t at, const char* tag) { return std::memcmp(s.data() + at, tag, 4) == 0; };
  if (!is(0, "RIFF") || !is(8, "WAVE") || !is(12, "fmt ") || GetU32(s.data() + 16) != 16 || !is(36, "data"))
    return false;
  std::int32_t data_size = GetI32(s.data() + 40);
  // A data size past the end of the file would copy bytes that are not there.
  return data_size > 0 && static_cast<std::uint64_t>(data_size) <= s.size() - kWaveHeaderSize;
}

}  // namespace

std::uint8_t EncodeAdpcmSample(AdpcmState& state, std::int16_t sample) {
  std::int32_t step = kStepTable[state.StepIndex];
  std::int32_t diff = sample - state.Predicted;
  std::uint8_t sign = 0;
  if (diff < 0) {
    sign = 8;
    diff = -diff;
  }
  std::uint8_t code = 0;
  std::int32_t delta = step >> 3;
  if (diff >= step) {
    code = 4;
    diff -= step;
    delta += step;
  }
  std::int32_t step2 = step >> 1;
  if (diff >= step2) {
    code |= 2;
    diff -= step2;
    delta += step2;
  }
  std::int32_t step4 = step2 >> 1;
  if (diff >= step4) {
    code |= 1;
    delta += step4;
  }
  code |= sign;
  Advance(state, delta, code);
  return code;
}

std::int16_t DecodeAdpcmSample(AdpcmState& state, std::uint8_t code) {
  std::int32_t step = kStepTable[state.StepIndex];
  std::int32_t delta = step >> 3;
  if (code & 4) delta += step;
  if (code & 2) delta += step >> 1;
  if (code & 1) delta += (step >> 1) >> 1;
  Advance(state, delta, code);
  return state.Predicted;
}

std::optional<Bytes> BuildWaveContainer(const std::string& name, const Bytes& source) {
  if (!IsCanonical(source)) return std::nullopt;
  const std::uint8_t* s = source.data();
  const std::uint16_t channels = GetU16(s + 22);
  const std::uint32_t sample_rate = GetU32(s + 24);
  const std::uint32_t byte_rate = GetU32(s + 28);
  const std::uint16_t bits = GetU16(s + 34);
  std::uint32_t data_size = GetU32(s + 40);

  // Loop points from the cue chunk; every read is checked against the end of the source.
  std::int32_t loop_start = -1, loop_end = -1;
  std::uint8_t defaulted = 0;
  const std::uint64_t end = source.size();
  std::uint64_t at = kWaveHeaderSize + std::uint64_t{data_size};
  while (at + 8 <= end) {
    if (std::memcmp(s + at, "xxxx", 4) == 0) break;
    const std::uint32_t chunk_size = GetU32(s + at + 4);
    // A sample rate of 0 gives no byte position for a cue point: its loop points are passed over.
    if (std::memcmp(s + at, "cue ", 4) == 0 && at + 12 <= end && sample_rate != 0) {
      const std::uint32_t count = GetU32(s + at + 8);
      const std::uint32_t per_sample = byte_rate / sample_rate;
      auto cue_position = [&](std::uint32_t i) -> std::optional<std::int32_t> {
        std::uint64_t rec = at + 12 + 24ull * i;
        if (i >= count || rec + 8 > end) return std::nullopt;
        return static_cast<std::int32_t>(GetU32(s + rec + 4) * per_sample);
      };
      if (auto p = cue_position(0)) loop_start = *p;
      if (auto p = cue_position(1)) loop_end = *p;
    }
    at += std::uint64_t{chunk_size} + 8;
  }
  if (loop_start != -1 && loop_end != -1 && loop_start > loop_end) std::swap(loop_start, loop_end);
  if (loop_start != -1 && loop_end == -1) {
    loop_end = static_cast<std::int32_t>(data_size);
    defaulted = 1;
  } else if (loop_start == -1 && loop_end != -1) {
    loop_end = -1;
  }

  const bool packed = bits == 16 && loop_start == -1 && loop_end == -1 && name.find("\\Effects\\") == std::string::npos;
  std::uint32_t payload_size = data_size;
  std::uint32_t blocks = 0;
  if (packed) {
    data_size -= data_size % (channels == 1 ? 4 : 8);
    blocks = (data_size + kAdpcmInputBlock - 1) / kAdpcmInputBlock;
    payload_size = data_size / 4 + 6 * blocks;
  }
  Bytes out(kWaveContainerHead + payload_size + 1);
  out.back() = 0xFF;  // guard
  std::memcpy(out.data(), s, kWaveHeaderSize);
  std::uint8_t* h = out.data();
  if (packed) SetU32(h + 40, data_size);
  h[44] = packed ? 1 : 0;
  PutI32(h + 45, loop_start);
  PutI32(h + 49, loop_end);
  h[53] = defaulted;
  PutI32(h + 54, static_cast<std::int32_t>(payload_size));
  if (!packed) {
    std::memcpy(h + kWaveContainerHead, s + kWaveHeaderSize, data_size);
  } else {
    AdpcmState left, right;
    for (std::uint32_t b = 0; b < blocks; ++b) {
      const std::uint32_t n = std::min(kAdpcmInputBlock, data_size - kAdpcmInputBlock * b);
      const std::uint8_t* in = s + kWaveHeaderSize + std::size_t{kAdpcmInputBlock} * b;
      std::uint8_t* o = h + kWaveContainerHead + std::size_t{518} * b;
      if (channels == 2) {
        if ((n / 2) % 2 != 0) throw Error("ZQ_PakSystem: odd stereo sample count");
        EncodeRun(left, in, n / 4, 2, o);
        EncodeRun(right, in + 2, n / 4, 2, o + n / 8);
      } else {
        EncodeRun(left, in, n / 2, 1, o);
      }
      PutState(o + n / 4, left, right);
    }
  }
  if (out.back() != 0xFF) throw Error("ZQ_PakSystem: wave container overrun");
  out.pop_back();
  return out;
}

std::optional<Bytes> DecodeWaveContainer(const Bytes& stored, std::string& problem) {
  if (stored.size() < kWaveContainerHead) {
    problem = "shorter than the wave container's head";
    return std::nullopt;
  }
  const std::uint8_t* h = stored.data();
  const std::uint32_t data_size = GetU32(h + 40);
  const std::uint32_t payload_size = GetU32(h + 54);
  const std::uint16_t channels = GetU16(h + 22);
  if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 36, "data", 4) != 0 || h[44] > 1) {
    problem = "not a wave container";
    return std::nullopt;
  }
  if (stored.size() != kWaveContainerHead + std::uint64_t{payload_size}) {
    problem = "payload size " + std::to_string(payload_size) + " does not match the stored size";
    return std::nullopt;
  }
  Bytes out(h, h + kWaveHeaderSize);
  SetU32(out.data() + 4, 36 + data_size);
  if (h[44] == 0) {
    if (payload_size != data_size) {
      problem = "PCM payload size differs from the data size";
      return std::nullopt;
    }
    out.insert(out.end(), h + kWaveContainerHead, h + kWaveContainerHead + payload_size);
    return out;
  }
  const std::uint32_t blocks = (data_size + kAdpcmInputBlock - 1) / kAdpcmInputBlock;
  if (data_size % (channels == 1 ? 4 : 8) != 0 || std::uint64_t{data_size} / 4 + 6ull * blocks != payload_size) {
    problem = "ADPCM payload size does not match the data size";
    return std::nullopt;
  }
  out.resize(kWaveHeaderSize + data_size);
  AdpcmState left, right;
  for (std::uint32_t b = 0; b < blocks; ++b) {
    const std::uint32_t n = std::min(kAdpcmInputBlock, data_size - kAdpcmInputBlock * b);
    const std::uint8_t* codes = h + kWaveContainerHead + std::size_t{518} * b;
    std::uint8_t* o = out.data() + kWaveHeaderSize + std::size_t{kAdpcmInputBlock} * b;
    if (channels == 2) {
      DecodeRun(left, codes, n / 4, 2, o);
      DecodeRun(right, codes + n / 8, n / 4, 2, o + 2);
    } else {
      DecodeRun(left, codes, n / 2, 1, o);
    }
    std::uint8_t state[6];
    PutState(state, left, right);
    if (std::memcmp(state, codes + n / 4, 6) != 0) {
      problem = "ADPCM block " + std::to_string(b) + " ends in a state its codes do not give";
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace zq
