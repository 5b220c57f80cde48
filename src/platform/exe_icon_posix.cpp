#include "platform/exe_icon.h"

namespace zq::platform {

bool SetExeIcon(const std::string&, const std::string&) { return false; }

}  // namespace zq::platform
