#include "tools/tool_support.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq::tool {

Args::Args(const std::vector<std::string>& argv, const std::vector<std::string>& with_value) {
  bool only_positionals = false;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (only_positionals || a.size() < 2 || a[0] != '-') {
      positionals_.push_back(a);
      continue;
    }
    if (a == "--") {
      only_positionals = true;
      continue;
    }
    std::string name = a;
    std::string value;
    bool has_inline = false;
    if (auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      has_inline = true;
    }
    if (std::find(with_value.begin(), with_value.end(), name) != with_value.end()) {
      if (!has_inline) {
        if (i + 1 >= argv.size()) {
          error_ = "option " + name + " needs a value";
          continue;
        }
        value = argv[++i];
      }
    }
    options_.emplace_back(name, value);
  }
}

bool Args::Has(const std::string& flag) const {
  return std::any_of(options_.begin(), options_.end(), [&](const auto& o) { return o.first == flag; });
}

std::optional<std::string> Args::Value(const std::string& flag) const {
  for (auto it = options_.rbegin(); it != options_.rend(); ++it) {
    if (it->first == flag) return it->second;
  }
  return std::nullopt;
}

std::vector<std::string> Args::Values(const std::string& flag) const {
  std::vector<std::string> out;
  for (const auto& o : options_) {
    if (o.first == flag) out.push_back(o.second);
  }
  return out;
}

std::vector<std::string> Args::Unknown(const std::vector<std::string>& known) const {
  std::vector<std::string> out;
  for (const auto& o : options_) {
    if (std::find(known.begin(), known.end(), o.first) == known.end()) out.push_back(o.first);
  }
  return out;
}

std::optional<Args> ParseCommand(const CommandSpec& spec, const std::vector<std::string>& argv, std::ostream& out,
                                 std::ostream& err, int& exit_code) {
  Args args(argv, spec.value_options);
  if (args.Has("--help") || args.Has("-h")) {
    out << "usage: " << spec.usage << "\n\n" << spec.help;
    exit_code = kExitOk;
    return std::nullopt;
  }
  std::string problem = args.Error();
  if (problem.empty()) {
    auto unknown = args.Unknown(spec.options);
    if (!unknown.empty()) problem = "unknown option " + unknown.front();
  }
  const auto& pos = args.Positionals();
  if (problem.empty() && pos.size() < spec.min_positionals) problem = "missing argument";
  if (problem.empty() && pos.size() > spec.max_positionals)
    problem = "unexpected argument " + pos[spec.max_positionals];
  if (problem.empty()) return args;
  err << "zq: " << problem << "\nusage: " << spec.usage << "\n";
  exit_code = kExitUsage;
  return std::nullopt;
}

std::string OutputUtf8(const std::string& text) { return platform::IsUtf8(text) ? text : platform::LegacyToUtf8(text); }

std::string TerminalText(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string utf8 = OutputUtf8(text);
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto code = static_cast<unsigned char>(utf8[i]);
    // C1 controls are U+0080..U+009F, two bytes in UTF-8: C2 80..C2 9F.
    const bool c1 = code == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0;
    if (c1) code = static_cast<unsigned char>(utf8[++i]);
    if (code < 0x20 || code == 0x7F || c1) {
      out += "\\x";
      out += kHex[code >> 4];
      out += kHex[code & 15];
    } else {
      out += utf8[i];
    }
  }
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Hex8(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(v));
  return buf;
}

std::string JoinPath(const std::string& dir, const std::string& relative) {
#ifdef _WIN32
  const char sep = '\\';
  std::string rel = relative;
#else
  const char sep = '/';
  std::string rel = relative;
  std::replace(rel.begin(), rel.end(), '\\', '/');
#endif
  if (dir.empty()) return rel;
  if (dir.back() == '/' || dir.back() == '\\') return dir + rel;
  return dir + sep + rel;
}

bool MakeDirs(const std::string& dir) {
  if (dir.empty() || platform::DirectoryExists(dir)) return true;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = dir.find_first_of("/\\", pos + 1);
    std::string prefix = dir.substr(0, pos);
    if (prefix.empty() || (prefix.size() == 2 && prefix[1] == ':')) continue;
    if (!platform::DirectoryExists(prefix)) platform::CreateDir(prefix);
  }
  return platform::DirectoryExists(dir);
}

std::optional<std::string> LinkBelow(const std::string& dir, const std::string& relative) {
  std::size_t end = relative.find_first_of("/\\");
  for (;;) {
    const std::string path = JoinPath(dir, relative.substr(0, end));
    if (platform::IsLink(path)) return path;
    // Nothing exists below a missing component, so neither does a link.
    if (end == std::string::npos || !platform::DirectoryExists(path)) return std::nullopt;
    end = relative.find_first_of("/\\", end + 1);
  }
}

ProgressBar::ProgressBar(std::string label, std::uint64_t total)
    : label_(std::move(label)), total_(total), active_(platform::StderrIsTerminal() && total > 0) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(std::uint64_t done) {
  if (!active_) return;
  int percent = static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total_));
  if (percent == last_percent_) return;
  last_percent_ = percent;
  int width = std::max(10, std::min(50, platform::TerminalColumns() - static_cast<int>(label_.size()) - 10));
  int filled = width * percent / 100;
  std::cerr << "\r" << label_ << " [" << std::string(filled, '#') << std::string(width - filled, '.') << "] " << percent
            << "%" << std::flush;
}

void ProgressBar::Finish() {
  if (!active_) return;
  active_ = false;
  std::cerr << "\r" << std::string(label_.size() + 60, ' ') << "\r" << std::flush;
}

}  // namespace zq::tool
