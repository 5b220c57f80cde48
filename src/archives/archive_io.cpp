#include "archives/archive_io.h"

#include "platform/files.h"

namespace zq {

namespace {

class SystemFile : public ArchiveIO {
 public:
  explicit SystemFile(platform::File file) : file_(std::move(file)) {}
  std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t count) override {
    return file_.Seek(position) ? file_.Read(buffer, count) : 0;
  }
  std::size_t WriteAt(std::uint64_t position, const void* buffer, std::size_t count) override {
    return file_.Seek(position) ? file_.Write(buffer, count) : 0;
  }
  bool Truncate(std::uint64_t size) override { return file_.Seek(size) && file_.Truncate(); }
  std::optional<std::uint64_t> Size() override { return file_.Size(); }
  bool Flush() override { return file_.Flush(); }

 private:
  platform::File file_;
};

class SystemFiles : public ArchiveFileSystem {
 public:
  std::unique_ptr<ArchiveIO> Open(const std::string& path, bool create) override {
    platform::File file;
    if (!file.Open(path, create ? platform::OpenMode::Create : platform::OpenMode::ReadWrite)) return nullptr;
    return std::make_unique<SystemFile>(std::move(file));
  }
  std::unique_ptr<ArchiveIO> OpenForReading(const std::string& path) override {
    platform::File file;
    if (!file.Open(path, platform::OpenMode::ReadShared)) return nullptr;
    return std::make_unique<SystemFile>(std::move(file));
  }
  bool Exists(const std::string& path) override { return platform::FileExists(path); }
  bool Remove(const std::string& path) override { return platform::DeleteFileAt(path); }
  bool MakeWritable(const std::string& path) override { return platform::SetReadOnly(path, false); }
};

}  // namespace

ArchiveFileSystem& SystemFileSystem() {
  static SystemFiles files;
  return files;
}

std::optional<std::vector<std::uint8_t>> ReadAll(ArchiveFileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, false);
  if (!file) return std::nullopt;
  auto size = file->Size();
  if (!size) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(*size));
  if (file->ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  return bytes;
}

bool WriteAll(ArchiveFileSystem& fs, const std::string& path, const std::vector<std::uint8_t>& bytes) {
  auto file = fs.Open(path, true);
  return file && file->WriteAt(0, bytes.data(), bytes.size()) == bytes.size() && file->Flush();
}

}  // namespace zq
