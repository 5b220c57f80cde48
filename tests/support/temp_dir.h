// A fresh folder for one test, addressed by a Windows path, removed with everything in it.
#pragma once

#include <string>

namespace zq::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Windows path, no trailing backslash.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Whole-file helpers for tests.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
void RemoveAll(const std::string& path);

}  // namespace zq::test
