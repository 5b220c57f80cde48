#include "tools/open_setup.h"

#include "platform/files.h"

namespace zq::tool {

std::unique_ptr<TPak> OpenSetup(const std::string& path, std::ostream& err) {
  if (!platform::FileExists(path)) {
    err << "zq: " << path << ": no such file\n";
    return nullptr;
  }
  auto pak = std::make_unique<TPak>(path);
  if (!pak->IsOpen()) {
    err << "zq: " << path << ": cannot be opened\n";
    return nullptr;
  }
  if (!pak->HasValidHeader()) {
    if (!pak->DirectoryProblem().empty()) {
      err << "zq: " << path << ": damaged package: " << pak->DirectoryProblem() << "\n";
    } else {
      err << "zq: " << path << ": no setup package (the file does not end with a \"ZQPF\" header)\n";
    }
    return nullptr;
  }
  return pak;
}

}  // namespace zq::tool
