// The project's exception: a message behind std::exception. std::runtime_error and its kin keep
// their text in the old reference-counted string, whose library code costs the engine 40 KB.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace zq {

class Error : public std::exception {
 public:
  explicit Error(std::string what) : what_(std::move(what)) {}
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string what_;
};

}  // namespace zq
