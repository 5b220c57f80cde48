// Wave members: the 44-byte RIFF source read into a container (PCM, or 4-bit ADPCM blocks with
// their states) and a stored container decoded back to PCM.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archives/wave_container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zq::Bytes input(data, data + size);
  std::string problem;
  zq::DecodeWaveContainer(input, problem);
  // Packed (ADPCM) and, under "\Effects\", stored as PCM; a container built always decodes.
  for (const char* name : {"sounds\\theme.wav", "sounds\\Effects\\hit.wav"}) {
    const auto stored = zq::BuildWaveContainer(name, input);
    if (!stored) continue;
    std::string why;
    if (!zq::DecodeWaveContainer(*stored, why)) std::abort();
  }
  return 0;
}
