// The source form of setup scripts: one command per line, a keyword and its arguments
// separated by blanks, double quotes around an argument holding blanks ("" inside quotes is
// one literal quote), ";" or "#" lines and ";" trailing comments, and ":name" label lines.
// A keyword, argument or label holding a control character other than a tab is an error.
#pragma once

#include <string>
#include <vector>

namespace zq::builder {

struct SourceLine {
  enum class Kind { Blank, Label, Command };
  Kind kind = Kind::Blank;
  std::string keyword;            // Command: as written
  std::string label;              // Label: the name as written
  std::vector<std::string> args;  // Command: the arguments, quotes removed
  std::string error;              // not empty: the line could not be read
};

SourceLine ParseSourceLine(const std::string& text);

// An argument as the reader gives it back: bare when it can be, else quoted.
std::string QuoteArgument(const std::string& arg);

// Splits a whole script into lines at LF, CR LF or a lone CR.
std::vector<std::string> SplitScriptLines(const std::string& text);

}  // namespace zq::builder
