#include "ui/page_error.h"

namespace zq {

namespace {

std::string Compose(const std::string& file, std::size_t line, const std::string& what) {
  std::string text = file.empty() ? std::string("page files") : file;
  if (line > 0) text += ", line " + std::to_string(line);
  return text + ": " + what;
}

}  // namespace

PageError::PageError(const std::string& file, std::size_t line, const std::string& what)
    : Error(Compose(file, line, what)), file_(file), line_(line) {}

}  // namespace zq
