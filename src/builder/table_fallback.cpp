#include "builder/table_fallback.h"

#include <set>
#include <string>

namespace zq::builder {

namespace {

void PutUnits(std::vector<std::uint8_t>& out, const std::u16string& text) {
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

}  // namespace

std::vector<std::uint8_t> CompleteFromStock(const std::vector<std::uint8_t>& table, const TLanguage& loaded,
                                            const TLanguage& stock, std::vector<std::int32_t>* added) {
  std::set<std::uint16_t> present;  // looked up by the low 16 bits, as the engine does
  for (const TLID& s : loaded.Strings) present.insert(static_cast<std::uint16_t>(s.Number));
  std::vector<std::uint8_t> out = table;
  if (added != nullptr) added->clear();
  bool broken = false;
  for (const TLID& s : stock.Strings) {
    if (!present.insert(static_cast<std::uint16_t>(s.Number)).second) continue;
    if (!broken) {
      // A final odd byte is not read; the last line must end before a new one starts.
      if (out.size() % 2 != 0) out.pop_back();
      const std::size_t n = out.size();
      const char16_t last = n >= 4 ? static_cast<char16_t>(out[n - 2] | out[n - 1] << 8) : u'\r';
      if (last != u'\r' && last != u'\n') PutUnits(out, u"\r\n");
      broken = true;
    }
    std::u16string line;
    for (char c : std::to_string(s.Number)) line += static_cast<char16_t>(c);
    line += u' ';
    line += s.Text;
    PutUnits(out, line + u"\r\n");
    if (added != nullptr) added->push_back(s.Number);
  }
  return out;
}

}  // namespace zq::builder
