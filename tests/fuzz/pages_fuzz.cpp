// The page list ("Pages.txt") and the page layouts it names, built into controls as the wizard
// builds them. The input's first part (up to a NUL byte) is the list; every further part is a
// file named by its first line (a layout, a picture, a rich text); a name no part carries
// fetches one chosen by the name's hash, so fuzzed names reach layouts too.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "ui/language_error.h"
#include "ui/language_strings.h"
#include "ui/languages.h"
#include "ui/layout_blocks.h"
#include "ui/page_control.h"
#include "ui/page_error.h"
#include "ui/page_list.h"

namespace {

const char16_t kTable[] =
    u"\uFEFFEnglish\r\n0409;\r\n1 Welcome to <%SETUPTITLE%><br>\r\n13 Next >\r\n15 Install\r\n16 Finish\r\n";

const zq::TLanguages& Languages() {
  static const zq::TLanguages languages = [] {
    zq::TLanguages l;
    std::string bytes;
    for (const char16_t* p = kTable; *p != 0; ++p) {
      bytes += static_cast<char>(*p & 0xFF);
      bytes += static_cast<char>(*p >> 8);
    }
    l.AddLanguage(bytes.data(), bytes.size());
    l.Current = 0;
    return l;
  }();
  return languages;
}

std::string Lower(const std::string& text) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = zq::fuzz::Split(data, size, '\0');
  zq::ForEachPageListLine(parts[0], [](const zq::PageListLine&) {});
  for (const auto& part : parts) zq::ForEachLayoutBlock(part, [](const zq::LayoutBlock&) {});

  const std::string title = "Demo";
  zq::TLanguageStrings strings;
  strings.Add("<%SETUPTITLE%>", &title);
  zq::PageEnvironment env;
  env.Languages = &Languages();
  env.Strings = &strings;
  env.Fetch = [&parts](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    const std::string wanted = Lower(name);
    if (wanted == "pages.txt") return std::vector<std::uint8_t>(parts[0].begin(), parts[0].end());
    if (parts.size() < 2) return std::nullopt;
    // The part whose first line is the name; else one chosen by the name's hash.
    std::uint32_t hash = 2166136261u;  // FNV-1a: the same part on every platform
    for (char c : wanted) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    std::string_view found = parts[1 + hash % (parts.size() - 1)];
    for (std::size_t i = 1; i < parts.size(); ++i) {
      const std::size_t eol = parts[i].find('\n');
      if (eol != std::string::npos && Lower(parts[i].substr(0, eol)) == wanted) {
        found = std::string_view(parts[i]).substr(eol + 1);
        break;
      }
    }
    return std::vector<std::uint8_t>(found.begin(), found.end());
  };
  try {
    zq::TSEPageControl pages(env);
    pages.LoadPages("Pages.txt");
    for (int i = 0; i < pages.PageCount(); ++i) pages.ShowPage(i);
    pages.RefreshCaptions();
  } catch (const zq::PageError&) {
    // A damaged layout ends start-up with the error report.
  } catch (const zq::LanguageError&) {
  }
  return 0;
}
