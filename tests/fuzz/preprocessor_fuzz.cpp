// The script's preprocessor: a script and the files it may include, each line of the output
// told at a line of one of them, a script without "!" and "${" passed on line for line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/preprocessor.h"
#include "builder/script_syntax.h"
#include "fuzz_support.h"
#include "platform/text.h"

namespace {

// As the script target does: no separator, drive colon or ".." survives, so an !include names
// only the files written here. A ":" first on a line stays (a label).
std::string Confined(std::string text) {
  bool line_start = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char& c = text[i];
    if (c == '\r' || c == '\n') {
      line_start = true;
      continue;
    }
    if (c == '/' || c == '\\' || (c == ':' && !line_start) || (c == '.' && i > 0 && text[i - 1] == '.')) c = '_';
    if (c != ' ' && c != '\t') line_start = false;
  }
  return text;
}

std::vector<std::string> Lines(std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  return zq::builder::SplitScriptLines(text);
}

}  // namespace

// Parts cut at NUL: the script, then a.zqs, b.zqs and c.zqs beside it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    std::filesystem::create_directories(zq::fuzz::ScratchFolder() + "/pre");
    return zq::fuzz::ScratchFolder() + "/pre/";
  }();
  const char* const names[] = {"setup.zqs", "a.zqs", "b.zqs", "c.zqs"};
  auto parts = zq::fuzz::Split(data, size, '\0', 4);
  parts.resize(4);
  std::vector<std::size_t> line_counts;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    parts[i] = Confined(parts[i]);
    zq::fuzz::ScratchFile("pre/" + std::string(names[i]), parts[i].data(), parts[i].size());
    line_counts.push_back(Lines(parts[i]).size());
  }
  const auto result = zq::builder::PreprocessSource(parts[0], folder + names[0], {{"PRO", ""}});
  // The compiler's line N must be the line origins[N - 1] tells.
  if (Lines(result.text).size() != result.origins.size()) std::abort();
  for (const auto& origin : result.origins) {
    std::size_t file = 0;
    while (file < 4 && origin.file != folder + names[file]) ++file;
    if (file == 4 || origin.line == 0 || origin.line > line_counts[file]) std::abort();
  }
  const bool plain = parts[0].find('!') == std::string::npos && parts[0].find("${") == std::string::npos;
  if (plain && zq::platform::IsUtf8(parts[0]) && Lines(result.text) != Lines(parts[0])) std::abort();
  return 0;
}
