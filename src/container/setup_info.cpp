#include "container/setup_info.h"

#include "container/pak_string.h"
#include "base/buffer_manager.h"
#include "platform/files.h"

namespace zq {

bool TSetupInfoFile::LoadFromBuffer(const std::uint8_t* buffer, std::uint32_t size) {
  TBufferManager in(buffer, buffer == nullptr ? 0 : size);
  bool ok = true;
  auto str = [&](std::string& field) {
    auto v = in.ReadString();
    if (v) field = std::move(*v); else ok = false;
  };
  auto byte = [&](std::uint8_t& field) {
    auto v = in.ReadByte();
    if (v) field = *v; else ok = false;
  };
  str(SetupName);
  str(ShortName);
  str(SetupExeName);
  str(UninstallExeName);
  str(LogPrefix);
  str(InstallDir);
  str(Changelog);
  byte(InstallDirRegKey.HKEY);
  str(InstallDirRegKey.Path);
  str(InstallDirRegKey.Key);
  str(Pages);
  str(UninstallPages);
  byte(Mode);
  byte(HasUninstaller);
  return ok;
}

std::vector<std::uint8_t> TSetupInfoFile::Serialize() const {
  std::vector<std::uint8_t> out;
  for (const std::string* s : {&SetupName, &ShortName, &SetupExeName, &UninstallExeName, &LogPrefix, &InstallDir,
                               &Changelog}) {
    AppendPakString(out, *s);
  }
  PutU8(out, InstallDirRegKey.HKEY);
  for (const std::string* s : {&InstallDirRegKey.Path, &InstallDirRegKey.Key, &Pages, &UninstallPages}) {
    AppendPakString(out, *s);
  }
  PutU8(out, Mode);
  PutU8(out, HasUninstaller);
  return out;
}

bool TSetupInfoFile::SaveToFile(const std::string& path) const {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Create)) return false;
  auto bytes = Serialize();
  return f.Write(bytes.data(), bytes.size()) == bytes.size();
}

}  // namespace zq
