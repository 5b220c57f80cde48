// The script's preprocessor: the "!" lines (!define, !undef, !ifdef, !ifndef, !else, !endif,
// !include, !error, !warning) and "${NAME}", worked out before the compiler reads a line, so
// that one script can build several editions and scripts can share their common lines.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "builder/diagnostics.h"

namespace zq::builder {

struct PreprocessedScript {
  // What the compiler reads, UTF-8, each line ended by "\n": the lines taken, "${NAME}"
  // replaced, and a blank line for every other line read, so that a script without !include
  // keeps its line numbers. A line without "${" is passed on as written.
  std::string text;
  std::vector<LineOrigin> origins;  // line N of `text` was written at origins[N - 1]
  Diagnostics diagnostics;          // !warning, !error and the preprocessor's own errors
};

using Defines = std::map<std::string, std::string>;

// `defines` are the command line's (-D NAME=VALUE): a !define of the script does not change
// them. Included files are read from disk, relative to the folder of the file that names them.
PreprocessedScript PreprocessScript(const std::string& script, const Defines& defines);
// The same for a script already in memory, read as the file `script`.
PreprocessedScript PreprocessSource(const std::string& text, const std::string& script, const Defines& defines);

// A name !define and -D accept: letters, digits and "_".
bool IsDefineName(const std::string& name);

}  // namespace zq::builder
