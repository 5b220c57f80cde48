#include "builder/script_syntax.h"

namespace zq::builder {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads the tokens from `pos`; a token starting with ';' outside quotes ends the line.
bool Tokenize(const std::string& text, std::size_t pos, std::vector<std::string>& tokens, std::string& error) {
  const std::size_t n = text.size();
  while (true) {
    while (pos < n && IsBlank(text[pos])) ++pos;
    if (pos >= n || text[pos] == ';') return true;
    std::string token;
    if (text[pos] == '"') {
      ++pos;
      bool closed = false;
      while (pos < n) {
        if (text[pos] == '"') {
          if (pos + 1 < n && text[pos + 1] == '"') {
            token += '"';
            pos += 2;
            continue;
          }
          ++pos;
          closed = true;
          break;
        }
        token += text[pos++];
      }
      if (!closed) {
        error = "missing closing quote";
        return false;
      }
      if (pos < n && !IsBlank(text[pos])) {
        error = "text right after a closing quote (put a blank between arguments)";
        return false;
      }
    } else {
      while (pos < n && !IsBlank(text[pos])) {
        if (text[pos] == '"') {
          error = "quote inside an unquoted argument (quote the whole argument and double the quote)";
          return false;
        }
        token += text[pos++];
      }
    }
    tokens.push_back(std::move(token));
  }
}

// A control character (a tab aside) has no place in a name, a path or a text: a NUL cuts a path
// short where the system reads it, others would reach the terminal or the registry raw.
std::string ControlCharacterProblem(const std::vector<std::string>& tokens, bool label) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    for (char c : tokens[i]) {
      const auto u = static_cast<unsigned char>(c);
      if ((u >= 0x20 && u != 0x7f) || c == '\t') continue;
      static const char kHex[] = "0123456789ABCDEF";
      const std::string code = std::string("0x") + kHex[u >> 4] + kHex[u & 15];
      const std::string what = label ? "the label" : i == 0 ? "the command name" : "argument " + std::to_string(i);
      return what + " holds the control character " + code;
    }
  }
  return {};
}

}  // namespace

SourceLine ParseSourceLine(const std::string& text) {
  SourceLine line;
  std::size_t pos = 0;
  while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == '\r')) ++pos;
  if (pos >= text.size() || text[pos] == '#' || text[pos] == ';') return line;
  std::vector<std::string> tokens;
  if (text[pos] == ':') {
    line.kind = SourceLine::Kind::Label;
    if (!Tokenize(text, pos + 1, tokens, line.error)) return line;
    if (line.error = ControlCharacterProblem(tokens, true); !line.error.empty()) return line;
    if (tokens.empty() || tokens[0].empty()) {
      line.error = "a label needs a name (\":name\")";
    } else if (tokens.size() > 1) {
      line.error = "unexpected text after the label name";
    } else {
      line.label = tokens[0];
    }
    return line;
  }
  line.kind = SourceLine::Kind::Command;
  if (!Tokenize(text, pos, tokens, line.error)) return line;
  if (line.error = ControlCharacterProblem(tokens, false); !line.error.empty()) return line;
  line.keyword = tokens[0];
  line.args.assign(tokens.begin() + 1, tokens.end());
  return line;
}

std::string QuoteArgument(const std::string& arg) {
  bool plain = !arg.empty() && arg[0] != ';' && arg[0] != '#' && arg[0] != ':';
  for (char c : arg) {
    if (IsBlank(c) || c == '"') plain = false;
  }
  if (plain) return arg;
  std::string out = "\"";
  for (char c : arg) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::vector<std::string> SplitScriptLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(current));
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

}  // namespace zq::builder
