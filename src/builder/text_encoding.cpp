#include "builder/text_encoding.h"

#include "container/entry_names.h"
#include "platform/text.h"

namespace zq::builder {

namespace {

std::string AsString(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

bool LinesAreAscii(const TCompLines& lines) {
  for (const TCompLine& line : lines.Lines) {
    for (const std::string& arg : line.Args)
      if (!platform::IsAscii(arg)) return false;
  }
  return true;
}

bool InfoIsAscii(TSetupInfoFile info) {
  bool ascii = true;
  info.MapText([&ascii](const std::string& text) {
    ascii = ascii && platform::IsAscii(text);
    return text;
  });
  return ascii;
}

}  // namespace

void SettleTextEncoding(CompileResult& result) {
  bool ascii = LinesAreAscii(result.lines) && InfoIsAscii(result.info);
  for (const PlannedEntry& e : result.entries) {
    ascii = ascii && platform::IsAscii(e.name) && (!e.text || platform::IsAscii(AsString(e.data)));
  }
  if (ascii) return;
  const auto utf8 = [](const std::string& text) {
    return platform::IsUtf8(text) ? text : platform::LegacyToUtf8(text);
  };
  for (PlannedEntry& e : result.entries) {
    if (e.text) {
      const std::string text = utf8(AsString(e.data));
      e.data.assign(text.begin(), text.end());
    }
  }
  const std::string marker = kTextEncodingUtf8;
  PlannedEntry entry;
  entry.name = kTextEncodingEntry;
  entry.data.assign(marker.begin(), marker.end());
  // Beside the other control entries, ahead of the payload groups.
  std::size_t at = 0;
  while (at < result.entries.size() && result.entries[at].group == 0) ++at;
  result.entries.insert(result.entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

}  // namespace zq::builder
