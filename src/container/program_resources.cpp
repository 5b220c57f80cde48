#include "container/program_resources.h"

#include <algorithm>
#include <functional>

#include "base/byte_io.h"
#include "container/version_text.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kNeutral = 0;
constexpr std::uint16_t kEnglishUs = 0x0409;
constexpr std::uint16_t kUnicodeCodePage = 1200;
constexpr std::size_t kIcoHeader = 6, kIcoEntry = 16, kGroupEntry = 14;

const char* ManifestLevel(ExecutionLevel level) {
  switch (level) {
    case ExecutionLevel::Highest: return "highestAvailable";
    case ExecutionLevel::User: return "asInvoker";
    case ExecutionLevel::Admin: break;
  }
  return "requireAdministrator";
}

void Align4(Bytes& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

void PutWide(Bytes& out, const std::u16string& text) {
  for (char16_t c : text) PutU16(out, c);
  PutU16(out, 0);
}

// One node of a version resource: its length, its value's length, its type (1: text), its
// key, its value and its children, each 4-aligned.
void VersionNode(Bytes& out, const std::u16string& key, std::uint16_t type, const Bytes& value,
                 std::uint16_t value_length, const std::function<void(Bytes&)>& children = {}) {
  Align4(out);
  const std::size_t start = out.size();
  PutU16(out, 0);
  PutU16(out, value_length);
  PutU16(out, type);
  PutWide(out, key);
  Align4(out);
  out.insert(out.end(), value.begin(), value.end());
  if (children) children(out);
  const auto length = static_cast<std::uint16_t>(out.size() - start);
  out[start] = static_cast<std::uint8_t>(length);
  out[start + 1] = static_cast<std::uint8_t>(length >> 8);
}

// "1.2.3.4" as the two 32-bit halves of a fixed version.
std::pair<std::uint32_t, std::uint32_t> VersionNumbers(const std::string& version) {
  const auto parts = VersionParts(version);
  return {std::uint32_t{parts[0]} << 16 | parts[1], std::uint32_t{parts[2]} << 16 | parts[3]};
}

Bytes VersionResource(const ProgramFacts& facts) {
  const auto [high, low] = VersionNumbers(facts.version);
  Bytes fixed;
  for (std::uint32_t v : {0xFEEF04BDu, 0x00010000u, high, low, high, low, 0x3Fu, 0u, 0x00040004u /* NT, Win32 */,
                          1u /* an application */, 0u, 0u, 0u}) {
    PutU32(fixed, v);
  }
  std::vector<std::pair<std::u16string, std::string>> strings;
  if (!facts.publisher.empty()) strings.emplace_back(u"CompanyName", facts.publisher);
  if (!facts.name.empty()) strings.emplace_back(u"FileDescription", facts.name + " Setup");
  if (!facts.version.empty()) strings.emplace_back(u"FileVersion", facts.version);
  if (!facts.name.empty()) strings.emplace_back(u"ProductName", facts.name);
  if (!facts.version.empty()) strings.emplace_back(u"ProductVersion", facts.version);
  Bytes out;
  VersionNode(out, u"VS_VERSION_INFO", 0, fixed, static_cast<std::uint16_t>(fixed.size()), [&](Bytes& o) {
    VersionNode(o, u"StringFileInfo", 1, {}, 0, [&](Bytes& o2) {
      VersionNode(o2, u"040904B0", 1, {}, 0, [&](Bytes& o3) {
        for (const auto& [key, text] : strings) {
          const std::u16string wide = platform::Utf8ToWide(text);
          Bytes value;
          PutWide(value, wide);
          VersionNode(o3, key, 1, value, static_cast<std::uint16_t>(wide.size() + 1));
        }
      });
    });
    Bytes translation;
    PutU16(translation, kEnglishUs);
    PutU16(translation, kUnicodeCodePage);
    VersionNode(o, u"VarFileInfo", 1, {}, 0, [&](Bytes& o2) { VersionNode(o2, u"Translation", 0, translation, 4); });
  });
  return out;
}

// The strings of a version resource's first string table.
std::vector<std::pair<std::u16string, std::u16string>> VersionStrings(const Bytes& data) {
  std::vector<std::pair<std::u16string, std::u16string>> out;
  struct Node {
    std::size_t start = 0, end = 0, value = 0, children = 0;
    std::uint16_t value_length = 0, type = 0;
    std::u16string key;
  };
  auto read = [&data](std::size_t at, std::size_t limit) -> std::optional<Node> {
    if (at + 6 > limit) return std::nullopt;
    Node n;
    n.start = at;
    const std::uint16_t length = GetU16(&data[at]);
    n.value_length = GetU16(&data[at + 2]);
    n.type = GetU16(&data[at + 4]);
    if (length < 6 || at + length > limit) return std::nullopt;
    n.end = at + length;
    std::size_t p = at + 6;
    for (; p + 2 <= n.end && GetU16(&data[p]) != 0; p += 2) n.key.push_back(static_cast<char16_t>(GetU16(&data[p])));
    p = (p + 2 + 3) / 4 * 4;
    n.value = p;
    const std::size_t value_bytes = n.type == 1 ? std::size_t{n.value_length} * 2 : n.value_length;
    n.children = std::min(n.end, (p + value_bytes + 3) / 4 * 4);
    return n;
  };
  auto children = [&](const Node& parent, const std::function<void(const Node&)>& each) {
    for (std::size_t at = parent.children; at < parent.end;) {
      auto child = read(at, parent.end);
      if (!child) return;
      each(*child);
      at = (child->end + 3) / 4 * 4;
    }
  };
  auto root = read(0, data.size());
  if (!root) return out;
  bool done = false;
  children(*root, [&](const Node& file_info) {
    if (file_info.key != u"StringFileInfo" || done) return;
    children(file_info, [&](const Node& table) {
      if (done) return;
      done = true;
      children(table, [&](const Node& s) {
        std::u16string text;
        for (std::size_t p = s.value; p + 2 <= s.end && GetU16(&data[p]) != 0; p += 2) {
          text.push_back(static_cast<char16_t>(GetU16(&data[p])));
        }
        out.emplace_back(s.key, text);
      });
    });
  });
  return out;
}

}  // namespace

std::optional<ExecutionLevel> ParseExecutionLevel(const std::string& word) {
  std::string lower = word;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (lower == "admin") return ExecutionLevel::Admin;
  if (lower == "highest") return ExecutionLevel::Highest;
  if (lower == "user") return ExecutionLevel::User;
  return std::nullopt;
}

const char* ExecutionLevelName(ExecutionLevel level) {
  switch (level) {
    case ExecutionLevel::Highest: return "highest";
    case ExecutionLevel::User: return "user";
    case ExecutionLevel::Admin: break;
  }
  return "admin";
}

std::string ProgramManifest(ExecutionLevel level, PeMachine machine) {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
             "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
             "  <assemblyIdentity type=\"win32\" name=\"zqsetup.Setup\" version=\"1.0.0.0\" "
             "processorArchitecture=\"") +
         (machine == PeMachine::X64 ? "amd64" : "x86") +
         "\"/>\r\n"
         "  <dependency>\r\n"
         "    <dependentAssembly>\r\n"
         "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
         "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\r\n"
         "    </dependentAssembly>\r\n"
         "  </dependency>\r\n"
         "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
         "    <security>\r\n"
         "      <requestedPrivileges>\r\n"
         "        <requestedExecutionLevel level=\"" +
         ManifestLevel(level) +
         "\" uiAccess=\"false\"/>\r\n"
         "      </requestedPrivileges>\r\n"
         "    </security>\r\n"
         "  </trustInfo>\r\n"
         "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\r\n"
         "    <application>\r\n"
         "      <supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>\r\n"  // Vista
         "      <supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>\r\n"  // 7
         "      <supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>\r\n"  // 8
         "      <supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>\r\n"  // 8.1
         "      <supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>\r\n"  // 10 and 11
         "    </application>\r\n"
         "  </compatibility>\r\n"
         "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
         "    <windowsSettings>\r\n"
         // Per-monitor: the window scales itself and follows WM_DPICHANGED; "true/pm" for 8.1.
         "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>\r\n"
         "      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, "
         "PerMonitor</dpiAwareness>\r\n"
         "    </windowsSettings>\r\n"
         "  </application>\r\n"
         "</assembly>\r\n";
}

std::string IconFileProblem(const Bytes& ico) {
  if (ico.size() < kIcoHeader || GetU16(&ico[0]) != 0 || GetU16(&ico[2]) != 1) return "not an icon file";
  const std::uint16_t count = GetU16(&ico[4]);
  if (count == 0) return "the icon file holds no image";
  if (ico.size() < kIcoHeader + std::size_t{count} * kIcoEntry) return "the icon file ends inside its directory";
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &ico[kIcoHeader + i * kIcoEntry];
    const std::uint64_t size = GetU32(e + 8), offset = GetU32(e + 12);
    if (size == 0 || offset + size > ico.size()) {
      return "image " + std::to_string(i + 1) + " of the icon file lies outside it";
    }
  }
  return {};
}

namespace {

// Replaces the manifest and version resource when `facts` is given, and the icon group and
// its images when `icon` is not empty; everything else stays.
bool Rewrite(Bytes& image, const ProgramFacts* facts, const Bytes& icon, std::string* problem) {
  auto existing = ReadPeResources(image.data(), image.size(), problem);
  if (!existing) return false;
  if (!icon.empty()) {
    if (std::string why = IconFileProblem(icon); !why.empty()) {
      if (problem) *problem = why;
      return false;
    }
  }
  ResourceName group_name{1, {}};
  for (const PeResource& r : *existing) {
    if (r.type.id == kRtGroupIcon && r.type.text.empty()) {
      group_name = r.name;
      break;
    }
  }
  auto replaced = [&](const PeResource& r) {
    if (!r.type.text.empty()) return false;
    if (r.type.id == kRtManifest || r.type.id == kRtVersion) return facts && r.name == ResourceName{1, {}};
    return !icon.empty() && (r.type.id == kRtIcon || r.type.id == kRtGroupIcon);
  };
  std::vector<PeResource> out;
  for (PeResource& r : *existing) {
    if (!replaced(r)) out.push_back(std::move(r));
  }
  if (facts) {
    const std::string manifest =
        ProgramManifest(facts->level, ReadPeMachine(image.data(), image.size()).value_or(PeMachine::X86));
    out.push_back({{kRtManifest, {}}, {1, {}}, kEnglishUs, 0, Bytes(manifest.begin(), manifest.end())});
    out.push_back({{kRtVersion, {}}, {1, {}}, kEnglishUs, 0, VersionResource(*facts)});
  }
  if (!icon.empty()) {
    const std::uint16_t count = GetU16(&icon[4]);
    Bytes group;
    PutU16(group, 0);
    PutU16(group, 1);
    PutU16(group, count);
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::uint8_t* e = &icon[kIcoHeader + i * kIcoEntry];
      const std::uint32_t size = GetU32(e + 8), offset = GetU32(e + 12);
      group.insert(group.end(), e, e + 12);  // width, height, colours, planes, bits, size
      PutU16(group, static_cast<std::uint16_t>(i + 1));
      out.push_back({{kRtIcon, {}},
                     {static_cast<std::uint16_t>(i + 1), {}},
                     kNeutral,
                     0,
                     Bytes(icon.begin() + offset, icon.begin() + offset + size)});
    }
    out.push_back({{kRtGroupIcon, {}}, group_name, kNeutral, 0, std::move(group)});
  }
  return WritePeResources(image, out, problem);
}

}  // namespace

bool WriteProgramResources(Bytes& image, const ProgramFacts& facts, std::string* problem) {
  return Rewrite(image, &facts, facts.icon, problem);
}

bool WriteProgramIcon(Bytes& image, const Bytes& ico, std::string* problem) {
  if (ico.empty()) {
    if (problem) *problem = "not an icon file";
    return false;
  }
  return Rewrite(image, nullptr, ico, problem);
}

ProgramDescription DescribeProgram(const std::vector<PeResource>& resources) {
  ProgramDescription d;
  for (const PeResource& r : resources) {
    if (!r.type.text.empty()) continue;
    if (r.type.id == kRtGroupIcon && r.data.size() >= kIcoHeader + kGroupEntry) d.has_icon = true;
    if (r.type.id == kRtManifest && !d.level) {
      const std::string xml(r.data.begin(), r.data.end());
      for (ExecutionLevel level : {ExecutionLevel::Admin, ExecutionLevel::Highest, ExecutionLevel::User}) {
        if (xml.find(std::string("level=\"") + ManifestLevel(level) + "\"") != std::string::npos) d.level = level;
      }
    }
    if (r.type.id == kRtVersion && r.name == ResourceName{1, {}}) {
      // The fixed part follows the header and its key, aligned: found by its signature.
      const auto u32 = [&r](std::size_t at) {
        return static_cast<std::uint32_t>(r.data[at] | r.data[at + 1] << 8 | r.data[at + 2] << 16 |
                                          static_cast<std::uint32_t>(r.data[at + 3]) << 24);
      };
      for (std::size_t at = 0; at + 16 <= r.data.size() && at <= 96; at += 4) {
        if (u32(at) != 0xFEEF04BDu) continue;
        const std::uint32_t ms = u32(at + 8), ls = u32(at + 12);
        d.file_version = std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) +
                         "." + std::to_string(ls & 0xFFFF);
        break;
      }
      for (const auto& [key, text] : VersionStrings(r.data)) {
        const std::string value = platform::WideToUtf8(text);
        if (key == u"ProductName") d.product_name = value;
        if (key == u"ProductVersion") d.version = value;
        if (key == u"CompanyName") d.publisher = value;
        if (key == u"FileDescription") d.description = value;
      }
    }
  }
  return d;
}

ProgramDescription DescribeProgramFile(const std::string& path) {
  auto resources = ReadPeResourcesOfFile(path);
  return resources ? DescribeProgram(*resources) : ProgramDescription{};
}

std::optional<PeMachine> ReadProgramMachine(const std::string& path) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::ReadShared)) return std::nullopt;
  Bytes head(kPeHeadBytes);
  head.resize(file.Read(head.data(), head.size()));
  return ReadPeMachine(head.data(), head.size());
}

}  // namespace zq
