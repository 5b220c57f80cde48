// The stored form of a package's sound members: the source's 44-byte RIFF/WAVE header, loop
// points from its cue chunk, and the samples as PCM or 4-bit IMA ADPCM blocks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "codec/zlib_codec.h"

namespace zq {

inline constexpr std::size_t kWaveHeaderSize = 44;
inline constexpr std::size_t kWaveContainerHead = 58;
inline constexpr std::uint32_t kAdpcmInputBlock = 2048;

struct AdpcmState {
  std::int16_t Predicted = 0;
  std::uint8_t StepIndex = 0;
};

// Encodes one sample into a 4-bit code, advancing the state.
std::uint8_t EncodeAdpcmSample(AdpcmState& state, std::int16_t sample);
// The inverse: the sample a code stands for, advancing the state the same way.
std::int16_t DecodeAdpcmSample(AdpcmState& state, std::uint8_t code);

// The stored bytes of a ".WAV" member named `name`; nullopt when the source is not the
// canonical 44-byte layout (the member is then skipped).
std::optional<Bytes> BuildWaveContainer(const std::string& name, const Bytes& source);

// A stored wave container decoded back to a PCM WAV file. nullopt when it is inconsistent;
// `problem` then says why.
std::optional<Bytes> DecodeWaveContainer(const Bytes& stored, std::string& problem);

}  // namespace zq
