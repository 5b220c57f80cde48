// Opening a setup for inspection, with a clear message when it holds no package.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "container/pak.h"

namespace zq::tool {

// nullptr (message written) when the file is missing or carries no readable package.
std::unique_ptr<TPak> OpenSetup(const std::string& path, std::ostream& err);

}  // namespace zq::tool
