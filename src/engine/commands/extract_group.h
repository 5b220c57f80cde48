// The "file" command's extraction: every entry of one package group written below a folder,
// each recorded for the uninstall and reported to the status line and the gauge.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

struct RunScope;
class TPak;

// Entries whose names would leave `directory` are refused and logged; the rest are written
// (large ones copied in chunks), creating and recording their folders as needed. A file that
// cannot be written ends the run (SetupAborted, an error box naming it and why) unrecorded.
void ExtractGroup(const RunScope& ctx, TPak& pak, const std::string& directory, std::uint16_t group);

}  // namespace zq
