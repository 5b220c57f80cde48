#include "support/sample_package.h"

#include "container/pak.h"
#include "support/temp_dir.h"

namespace zq::test {

std::string FakeProgram(std::size_t size) {
  std::string p(size, '\0');
  if (size >= 2) p[0] = 'M', p[1] = 'Z';
  for (std::size_t i = 2; i < size; ++i) p[i] = static_cast<char>(i * 31 % 256);
  return p;
}

bool WritePackage(const std::string& path, const std::string& program, const std::vector<SampleEntry>& entries) {
  WriteAll(path, program);
  TPak pak(path, TPak::OpenFlags::Append);
  if (!pak.Handle.IsOpen()) return false;
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

}  // namespace zq::test
