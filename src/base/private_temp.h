// A fresh folder of our own under the temporary folder, so that temporary files never share
// fixed names with another setup running at the same time.
#pragma once

#include <string>

namespace zq {

class PrivateTempFolder {
 public:
  // With keep, the folder outlives the object (its user removes it).
  explicit PrivateTempFolder(bool keep = false);
  ~PrivateTempFolder();
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }  // no trailing backslash

 private:
  std::string path_;
  bool keep_;
};

}  // namespace zq
