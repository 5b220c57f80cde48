// Host only: a prefix of its own for one test, removed after. A prefix holds z: -> "/", so it
// is removed by a walk that never follows links (std::filesystem::remove_all).
#pragma once

#ifndef _WIN32

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/host_prefix.h"

namespace zq::test {

class ScratchPrefix {
 public:
  ScratchPrefix() : old_(platform::Prefix()) {
    if (mkdtemp(dir_) == nullptr) throw std::runtime_error("mkdtemp");
    platform::SetPrefix(path());
  }
  ~ScratchPrefix() {
    platform::SetPrefix(old_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  ScratchPrefix(const ScratchPrefix&) = delete;
  ScratchPrefix& operator=(const ScratchPrefix&) = delete;
  std::string path() const { return std::string(dir_) + "/prefix"; }

 private:
  char dir_[32] = "/tmp/zq-prefix-test-XXXXXX";
  std::string old_;
};

}  // namespace zq::test

#endif
