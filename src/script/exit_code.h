// A program's exit code as a script writes it in a condition.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zq {

// Decimal ("3010"), negative decimal for a code with its top bit set as programs print it as a
// signed number ("-1" is 0xFFFFFFFF), or hexadecimal after "0x" ("0x80070005"). nullopt for
// anything else, a number beyond 32 bits included.
std::optional<std::uint32_t> ParseExitCode(const std::string& text);

}  // namespace zq
