// The engine's own folder on the machine, which nothing but the engine (run by an administrator,
// or by the user for a per-user product) can write, and the secret kept in it: journals of runs
// and the keyed checks of uninstall logs are only believed when they come from there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zq::platform {

enum class TrustScope { Machine, User };

struct TrustedFolder {
  std::string path;     // Windows path, without a trailing backslash
  std::string problem;  // empty when the folder may be used; else why not, naming it
  bool ok() const { return problem.empty(); }
};

// "<ProgramData>\zqsetup" for the machine, "<LocalAppData>\zqsetup" for the user: made at first
// use with rights for SYSTEM and Administrators only (and, for the user's, the user), checked
// before every use. A folder (or a link) another account made or can read or write is refused.
TrustedFolder OpenTrustedFolder(TrustScope scope);
// The same for a folder given (tests; the parent must exist).
TrustedFolder OpenTrustedFolderAt(const std::string& path, TrustScope scope);

using SecretKey = std::array<std::uint8_t, 32>;
// The folder's secret, made from the system's random source at first use ("key" in the folder,
// with the folder's rights). Nothing, with `problem`, when it cannot be made or read whole.
std::optional<SecretKey> TrustKey(const TrustedFolder& folder, std::string* problem);

// Bytes from the system's cryptographic random source; false when it gives none.
bool RandomBytes(void* out, std::size_t size);

}  // namespace zq::platform
