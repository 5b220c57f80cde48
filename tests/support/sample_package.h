// Writes setup packages for tests and the demo: a stand-in program part, then entries
// written through PakWriter exactly as the engine's own writer stores them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zq::test {

struct SampleEntry {
  std::string name;
  std::uint16_t group = 0;
  std::string data;
};

// The program part: `size` bytes starting "MZ".
std::string FakeProgram(std::size_t size);
// A program part with the headers of a PE32 image (e_lfanew 0x80, no sections, 16 data
// directories, all empty) and pseudo-random bytes after them: `size` bytes, at least 512.
std::string PeProgram(std::size_t size);
// Does to the file at `path` what a signing tool does to a PE image: pads it with zeros to a
// multiple of 8, appends a certificate table of `table_size` bytes and names that table in the
// security directory, and sets a checksum. The header must be PeProgram's.
void AppendSignature(const std::string& path, std::size_t table_size = 1024);
// Program part followed by the package; returns false when it could not be written.
bool WritePackage(const std::string& path, const std::string& program, const std::vector<SampleEntry>& entries);
// Makes a package whose blocks were changed consistent again, as a forger would: every record's
// CRC recomputed from its stored block, then the digest. False when it has no readable directory.
bool ResealPackage(const std::string& path);
// A language table file: BOM, name, identifiers, numbered texts, CR LF line breaks.
std::string LanguageTable(const std::u16string& name, const std::string& ids,
                          const std::vector<std::pair<int, std::u16string>>& texts);
// Bytes that deflate to more than their size.
std::string Incompressible(std::size_t size, unsigned seed);

}  // namespace zq::test
