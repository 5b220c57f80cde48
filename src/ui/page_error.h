// Errors in page lists and layouts that end start-up through the error report.
#pragma once

#include <cstddef>
#include <string>

#include "base/error.h"

namespace zq {

class PageError : public Error {
 public:
  // "<file>, line <n>: <what>"; line 0 leaves the line out.
  PageError(const std::string& file, std::size_t line, const std::string& what);
  const std::string& File() const { return file_; }
  std::size_t Line() const { return line_; }

 private:
  std::string file_;
  std::size_t line_;
};

}  // namespace zq
