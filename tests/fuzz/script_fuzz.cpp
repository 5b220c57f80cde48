// The script source: `zq build`'s front half (lines, labels, definitions, groups, language
// tables and page sets), compiled from memory in an empty folder of its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "builder/script_compiler.h"
#include "builder/script_printer.h"
#include "fuzz_support.h"

namespace {

// Separators, drive colons and ".." become "_", so no argument can name a path outside the
// empty script folder: the compiler walks the folders a script names, and a fuzzed script
// naming "/" or "Z:\" would walk the whole disk. A ":" first on a line stays (a label).
std::string Confined(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
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

// The stock page sets with their pictures cut to a few bytes: the compiler checks that they are
// there and reads every layout, and reading 150 KB pictures would be most of each run.
std::string StockPages() {
  namespace fs = std::filesystem;
  const std::string stock = zq::fuzz::ScratchFolder() + "/stock";
  for (const char* set : {"install", "uninstall"}) {
    fs::create_directories(stock + "/" + set);
    for (const auto& file : fs::directory_iterator(std::string(ZQ_SOURCE_DIR "/pages/") + set)) {
      const fs::path target = stock + "/" + set + "/" + file.path().filename().string();
      if (file.path().extension() == ".bmp") std::ofstream(target, std::ios::binary) << "BM";
      else fs::copy_file(file.path(), target, fs::copy_options::overwrite_existing);
    }
  }
  return stock;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string stock_pages = StockPages();
  static const std::string script = [] {
    std::filesystem::create_directories(zq::fuzz::ScratchFolder() + "/script");
    return zq::fuzz::ScratchFolder() + "/script/setup.zqs";
  }();
  zq::builder::CompileOptions options;
  options.stock_language_dirs = {ZQ_SOURCE_DIR "/languages"};
  options.stock_page_dirs = {stock_pages};
  const auto result = zq::builder::CompileSource(Confined(data, size), script, options);
  if (result.diagnostics.HasErrors()) return 0;
  // A script that compiles is printed back; the printed text compiles to the same lines. Bytes
  // above ASCII may read differently the second time (8-bit text that happens to be valid
  // UTF-8 is taken for UTF-8), so with those only the shape of the lines must hold.
  const std::string printed = zq::builder::PrintScript(result.lines, result.info);
  const auto again = zq::builder::CompileSource(printed, script, options);
  if (again.diagnostics.HasErrors() || again.lines.Lines.size() != result.lines.Lines.size()) std::abort();
  for (std::size_t i = 0; i < again.lines.Lines.size(); ++i) {
    const auto &a = again.lines.Lines[i], &b = result.lines.Lines[i];
    if (a.CommandIndex != b.CommandIndex || a.Args.size() != b.Args.size()) std::abort();
  }
  const bool ascii = std::all_of(printed.begin(), printed.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii &&
      (again.lines.Serialize() != result.lines.Serialize() || again.info.Serialize() != result.info.Serialize())) {
    std::abort();
  }
  return 0;
}
