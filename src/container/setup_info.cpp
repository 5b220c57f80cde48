#include "container/setup_info.h"

#include "container/pak_string.h"
#include "base/buffer_manager.h"
#include "platform/files.h"

namespace zq {

bool TSetupInfoFile::LoadFromBuffer(const void* data, std::size_t size, std::string* problem) {
  if (size > 0xFFFFFFFFu) {
    if (problem != nullptr) *problem = "the setup record is larger than 4 GiB";
    return false;
  }
  TBufferManager in(static_cast<const std::uint8_t*>(data), data == nullptr ? 0 : static_cast<std::uint32_t>(size));
  TSetupInfoFile loaded;
  const char* cut = nullptr;  // the first field that runs past the end
  auto str = [&](std::string& field, const char* name) {
    auto v = in.ReadString();
    if (v) field = std::move(*v);
    else if (cut == nullptr) cut = name;
  };
  auto byte = [&](std::uint8_t& field, const char* name) {
    auto v = in.ReadByte();
    if (v) field = *v;
    else if (cut == nullptr) cut = name;
  };
  str(loaded.SetupName, "SetupName");
  str(loaded.ShortName, "ShortName");
  str(loaded.SetupExeName, "SetupExeName");
  str(loaded.UninstallExeName, "UninstallExeName");
  str(loaded.LogPrefix, "LogPrefix");
  str(loaded.InstallDir, "InstallDir");
  str(loaded.Changelog, "Changelog");
  byte(loaded.InstallDirRegKey.HKEY, "InstallDirRegKey.HKEY");
  str(loaded.InstallDirRegKey.Path, "InstallDirRegKey.Path");
  str(loaded.InstallDirRegKey.Key, "InstallDirRegKey.Key");
  str(loaded.Pages, "Pages");
  str(loaded.UninstallPages, "UninstallPages");
  std::uint8_t mode = 0;
  byte(mode, "Mode");
  loaded.Mode = static_cast<SetupMode>(mode);
  byte(loaded.HasUninstaller, "HasUninstaller");
  if (cut != nullptr) {
    if (problem != nullptr) *problem = std::string("the setup record ends inside its field ") + cut;
    return false;
  }
  *this = std::move(loaded);
  return true;
}

std::vector<std::uint8_t> TSetupInfoFile::Serialize() const {
  std::vector<std::uint8_t> out;
  for (const std::string* s :
       {&SetupName, &ShortName, &SetupExeName, &UninstallExeName, &LogPrefix, &InstallDir, &Changelog}) {
    AppendPakString(out, *s);
  }
  PutU8(out, InstallDirRegKey.HKEY);
  for (const std::string* s : {&InstallDirRegKey.Path, &InstallDirRegKey.Key, &Pages, &UninstallPages}) {
    AppendPakString(out, *s);
  }
  PutU8(out, static_cast<std::uint8_t>(Mode));
  PutU8(out, HasUninstaller);
  return out;
}

bool TSetupInfoFile::SaveToFile(const std::string& path) const {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Create)) return false;
  auto bytes = Serialize();
  return f.Write(bytes.data(), bytes.size()) == bytes.size();
}

void TSetupInfoFile::MapText(const std::function<std::string(const std::string&)>& convert) {
  for (std::string* field : {&SetupName, &ShortName, &SetupExeName, &UninstallExeName, &LogPrefix, &InstallDir,
                             &Changelog, &InstallDirRegKey.Path, &InstallDirRegKey.Key, &Pages, &UninstallPages}) {
    *field = convert(*field);
  }
}

}  // namespace zq
