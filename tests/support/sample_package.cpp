#include "support/sample_package.h"

#include <cstring>

#include "base/byte_io.h"
#include "container/package_digest.h"
#include "container/pak_writer.h"
#include "support/temp_dir.h"

namespace zq::test {

std::string FakeProgram(std::size_t size) {
  std::string p(size, '\0');
  if (size >= 2) p[0] = 'M', p[1] = 'Z';
  for (std::size_t i = 2; i < size; ++i) p[i] = static_cast<char>(i * 31 % 256);
  return p;
}

namespace {
constexpr std::size_t kPeAt = 0x80;
constexpr std::size_t kOptionalAt = kPeAt + 24;
constexpr std::size_t kSecurityEntryAt = kOptionalAt + 96 + 4 * 8;
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}
}  // namespace

std::string PeProgram(std::size_t size) {
  std::string p = FakeProgram(size);
  std::memset(p.data() + 2, 0, kOptionalAt + 224 - 2);
  Put32(p, 0x3C, kPeAt);
  p.replace(kPeAt, 4, std::string("PE\0\0", 4));
  Put32(p, kPeAt + 4, 0x014C);       // i386, no sections
  Put32(p, kPeAt + 20, 0x010200E0);  // optional header of 224 bytes; executable, 32-bit
  Put32(p, kOptionalAt, 0x010B);     // PE32
  Put32(p, kOptionalAt + 92, 16);    // data directories
  return p;
}

void AppendSignature(const std::string& path, std::size_t table_size) {
  std::string file = ReadAll(path);
  file.resize((file.size() + 7) / 8 * 8, '\0');
  const auto table_offset = static_cast<std::uint32_t>(file.size());
  std::string table(table_size, '\xA5');
  Put32(table, 0, static_cast<std::uint32_t>(table_size));  // WIN_CERTIFICATE length
  file += table;
  Put32(file, kSecurityEntryAt, table_offset);
  Put32(file, kSecurityEntryAt + 4, static_cast<std::uint32_t>(table_size));
  Put32(file, kOptionalAt + 64, 0x0003F2A1);  // a checksum over the signed file
  WriteAll(path, file);
}

bool WritePackage(const std::string& path, const std::string& program, const std::vector<SampleEntry>& entries) {
  WriteAll(path, program);
  PakWriter pak(path, PakWriter::Mode::Append);
  if (!pak.IsOpen()) return false;
  for (const auto& e : entries) {
    std::size_t i = pak.AddEntry(e.name, "", e.group);
    if (!pak.StoreBuffer(i, reinterpret_cast<const std::uint8_t*>(e.data.data()),
                         static_cast<std::uint32_t>(e.data.size()))) {
      return false;
    }
  }
  return pak.WriteDirectory();
}

std::string LanguageTable(const std::u16string& name, const std::string& ids,
                          const std::vector<std::pair<int, std::u16string>>& texts) {
  std::u16string body = name + u"\r\n";
  for (char c : ids) body += static_cast<char16_t>(c);
  body += u"\r\n";
  for (const auto& [number, text] : texts) {
    for (char c : std::to_string(number)) body += static_cast<char16_t>(c);
    body += u" " + text + u"\r\n";
  }
  std::string out = "\xFF\xFE";
  for (char16_t u : body) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

std::string Incompressible(std::size_t size, unsigned seed) {
  std::string out(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x >> 24);
  }
  return out;
}

bool ResealPackage(const std::string& path) {
  std::string file = ReadAll(path);
  if (file.size() < 16) return false;
  auto* bytes = reinterpret_cast<std::uint8_t*>(file.data());
  std::uint8_t* header = bytes + file.size() - 16;
  const std::uint32_t dir_offset = GetU32(header + 12);
  const std::uint16_t count = GetU16(header + 6);
  std::size_t pos = dir_offset;
  std::vector<std::size_t> crc_fields;
  for (std::uint16_t i = 0; i < count; ++i) {
    if (pos + 22 > file.size() - 16) return false;
    pos += 2 + GetU16(bytes + pos);
    std::uint8_t* f = bytes + pos;
    const std::uint32_t offset = GetU32(f + 4), comp = GetU32(f + 8), orig = GetU32(f + 12);
    const std::uint32_t stored = comp == 0 ? orig : comp;
    if (std::uint64_t{offset} + stored > file.size()) return false;
    SetU32(f, Crc32(bytes + offset, stored));
    crc_fields.push_back(pos);
    pos += 18;
  }
  if (crc_fields.empty()) return false;
  // The digest is taken with its own record's CRC at 0, then that CRC is the digest block's.
  SetU32(bytes + crc_fields.back(), 0);
  const auto digest = MakePackageDigest(bytes + dir_offset, pos - dir_offset, header);
  if (!digest) return false;
  std::memcpy(bytes + dir_offset - kPackageDigestBlockSize, digest->data(), digest->size());
  SetU32(bytes + crc_fields.back(), Crc32(digest->data(), digest->size()));
  WriteAll(path, file);
  return true;
}

}  // namespace zq::test
