#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "platform/files.h"

namespace zq::test {

namespace {
std::atomic<unsigned> g_counter{0};
}

TempDir::TempDir() {
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate =
        platform::TempDir() + "zqtest-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(g_counter++);
    if (platform::CreateDir(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary test folder under " + platform::TempDir());
}

TempDir::~TempDir() { RemoveAll(path_); }

std::string ReadAll(const std::string& path) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::ReadShared)) throw std::runtime_error("cannot open " + path);
  std::string out;
  char buf[65536];
  for (;;) {
    std::size_t n = f.Read(buf, sizeof buf);
    out.append(buf, n);
    if (n < sizeof buf) break;
  }
  return out;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Create)) throw std::runtime_error("cannot create " + path);
  if (f.Write(bytes.data(), bytes.size()) != bytes.size()) throw std::runtime_error("short write " + path);
}

void RemoveAll(const std::string& path) {
  if (auto entries = platform::ListDir(path)) {
    for (const auto& e : *entries) {
      std::string child = path + "\\" + e.name;
      if (e.is_link) {
        // Never through a link: it may lead anywhere (the host's z: drive leads to "/").
        if (!platform::DeleteFileAt(child)) platform::RemoveDir(child);
      } else if (e.is_directory) {
        RemoveAll(child);
      } else {
        platform::SetReadOnly(child, false);
        platform::DeleteFileAt(child);
      }
    }
  }
  platform::RemoveDir(path);
}

}  // namespace zq::test
