// Running zq in the tests of this folder: arguments in, exit code and both outputs back.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tools/commands.h"

namespace zq::tool {

struct ZqRun {
  int code;
  std::string out;
  std::string err;
};

inline ZqRun Zq(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunZq(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace zq::tool
