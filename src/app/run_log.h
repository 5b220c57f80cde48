// The readable log of a run (/LOG=file): one line per thing done, handed to the system as it
// is written so that it survives a crash of the engine.
#pragma once

#include <mutex>
#include <string>

#include "platform/files.h"

namespace zq {

class RunLog {
 public:
  // Creates (or truncates) the file; false when it cannot be created.
  bool Open(const std::string& path);
  void Write(const std::string& line);

 private:
  std::mutex mutex_;
  platform::File file_;
};

}  // namespace zq
