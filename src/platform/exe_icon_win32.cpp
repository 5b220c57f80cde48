#include "platform/exe_icon.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/win32_strings.h"

namespace zq::platform {

namespace {

#pragma pack(push, 2)
struct IconDirEntry {  // in an .ico file
  BYTE width, height, colors, reserved;
  WORD planes, bit_count;
  DWORD bytes_in_res, image_offset;
};
struct GroupIconEntry {  // in an RT_GROUP_ICON resource
  BYTE width, height, colors, reserved;
  WORD planes, bit_count;
  DWORD bytes_in_res;
  WORD id;
};
struct GroupIconHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

std::vector<BYTE> ReadFileBytes(const std::string& path) {
  File f;
  std::vector<BYTE> out;
  if (!f.Open(path, OpenMode::ReadShared)) return out;
  auto size = f.Size();
  if (!size || *size > (64u << 20)) return out;
  out.resize(static_cast<std::size_t>(*size));
  if (f.Read(out.data(), out.size()) != out.size()) out.clear();
  return out;
}

// The name of the program's first icon group and the icon ids it lists.
struct ExistingGroup {
  std::wstring name;  // "#n" for a numeric name
  std::vector<WORD> icon_ids;
};

BOOL CALLBACK FirstGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto* out = reinterpret_cast<ExistingGroup*>(param);
  out->name = IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name);
  return FALSE;
}

ExistingGroup FindGroup(const std::string& exe) {
  ExistingGroup group;
  HMODULE module = LoadLibraryExW(win32::Wide(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return group;
  EnumResourceNamesW(module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, FirstGroup, reinterpret_cast<LONG_PTR>(&group));
  if (!group.name.empty()) {
    HRSRC res = FindResourceW(module, group.name.c_str(), MAKEINTRESOURCEW(14));
    HGLOBAL loaded = res ? LoadResource(module, res) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    DWORD size = res ? SizeofResource(module, res) : 0;
    if (data && size >= sizeof(GroupIconHeader)) {
      GroupIconHeader header;
      std::memcpy(&header, data, sizeof header);
      for (WORD i = 0; i < header.count && sizeof header + (i + 1u) * sizeof(GroupIconEntry) <= size; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, data + sizeof header + i * sizeof entry, sizeof entry);
        group.icon_ids.push_back(entry.id);
      }
    }
  }
  FreeLibrary(module);
  return group;
}

}  // namespace

bool SetExeIcon(const std::string& icon_file, const std::string& exe_file) {
  const std::vector<BYTE> icon = ReadFileBytes(icon_file);
  if (icon.size() < sizeof(GroupIconHeader) + sizeof(IconDirEntry)) return false;
  GroupIconHeader dir;
  IconDirEntry first;
  std::memcpy(&dir, icon.data(), sizeof dir);
  std::memcpy(&first, icon.data() + sizeof dir, sizeof first);
  if (dir.type != 1 || dir.count == 0 || first.bytes_in_res == 0 ||
      std::uint64_t{first.image_offset} + first.bytes_in_res > icon.size()) {
    return false;
  }
  const ExistingGroup group = FindGroup(exe_file);
  HANDLE update = BeginUpdateResourceW(win32::Wide(exe_file).c_str(), FALSE);
  if (update == nullptr) return false;
  const WORD lang = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  bool ok = UpdateResourceW(update, MAKEINTRESOURCEW(3) /* RT_ICON */, MAKEINTRESOURCEW(1), lang,
                            const_cast<BYTE*>(icon.data() + first.image_offset), first.bytes_in_res) != 0;
  // Images the old group listed besides 1 would be left behind unreferenced.
  for (WORD id : group.icon_ids) {
    if (id != 1) UpdateResourceW(update, MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id), lang, nullptr, 0);
  }
  GroupIconHeader header{0, 1, 1};
  GroupIconEntry entry{first.width, first.height, first.colors, 0, first.planes, first.bit_count, first.bytes_in_res, 1};
  std::vector<BYTE> resource(sizeof header + sizeof entry);
  std::memcpy(resource.data(), &header, sizeof header);
  std::memcpy(resource.data() + sizeof header, &entry, sizeof entry);
  std::wstring name = group.name.empty() ? L"#1" : group.name;
  LPCWSTR res_name = name[0] == L'#' ? MAKEINTRESOURCEW(std::stoi(name.substr(1))) : name.c_str();
  ok = ok && UpdateResourceW(update, MAKEINTRESOURCEW(14), res_name, lang, resource.data(),
                             static_cast<DWORD>(resource.size())) != 0;
  return EndUpdateResourceW(update, !ok) != 0 && ok;
}

}  // namespace zq::platform
