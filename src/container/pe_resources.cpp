#include "container/pe_resources.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "base/byte_io.h"
#include "container/pe_image.h"
#include "platform/files.h"

namespace zq {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kResourceIndex = 2;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint32_t kSectionFlags = 0x40000040;  // initialised data, readable
constexpr std::size_t kMaxResources = 1 << 16;

std::uint16_t GetU16At(const std::uint8_t* p, std::size_t at) { return GetU16(p + at); }
void SetU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
std::uint64_t AlignUp(std::uint64_t v, std::uint32_t a) { return a == 0 ? v : (v + a - 1) / a * a; }
bool Fail(std::string* problem, const std::string& why) {
  if (problem) *problem = why;
  return false;
}

struct Section {
  std::size_t header = 0;  // file offset of its 40-byte header
  std::uint32_t virtual_size = 0, rva = 0, raw_size = 0, raw_offset = 0;
  std::uint64_t VirtualEnd() const { return std::uint64_t{rva} + std::max(virtual_size, raw_size); }
  std::uint64_t RawEnd() const { return std::uint64_t{raw_offset} + raw_size; }
};

// What the writer and reader need of the headers.
struct Layout {
  std::size_t file_header = 0, optional = 0, section_table = 0;
  std::uint32_t section_alignment = 0, file_alignment = 0, size_of_headers = 0;
  std::size_t resource_entry = 0;  // file offset of the resource directory's entry
  std::uint32_t resource_rva = 0, resource_size = 0;
  std::optional<PeSecurityDirectory> security;
  std::vector<Section> sections;

  std::optional<std::size_t> RvaToOffset(std::uint32_t rva, std::uint32_t length) const {
    for (const Section& s : sections) {
      if (rva >= s.rva && std::uint64_t{rva} + length <= std::uint64_t{s.rva} + s.raw_size) {
        return std::size_t{s.raw_offset} + (rva - s.rva);
      }
    }
    return std::nullopt;
  }
};

std::optional<Layout> ReadLayout(const std::uint8_t* p, std::size_t size, std::string* problem) {
  auto fits = [size](std::uint64_t at, std::uint64_t n) { return at <= size && n <= size - at; };
  auto fail = [problem](const char* why) {
    Fail(problem, why);
    return std::nullopt;
  };
  if (!fits(0, 0x40) || p[0] != 'M' || p[1] != 'Z') return fail("not a Windows program (no MZ header)");
  Layout l;
  const std::uint64_t pe = GetU32(p + 0x3C);
  if (!fits(pe, 24) || p[pe] != 'P' || p[pe + 1] != 'E' || p[pe + 2] || p[pe + 3]) return fail("no PE header");
  l.file_header = static_cast<std::size_t>(pe + 4);
  const std::uint16_t count = GetU16At(p, l.file_header + 2);
  const std::uint16_t optional_size = GetU16At(p, l.file_header + 16);
  l.optional = l.file_header + 20;
  if (!fits(l.optional, optional_size) || optional_size < 2) return fail("the optional header runs past the file");
  std::size_t directories = 0;
  switch (GetU16At(p, l.optional)) {
    case 0x10B: directories = 96; break;
    case 0x20B: directories = 112; break;
    default: return fail("unknown optional header");
  }
  if (optional_size < directories) return fail("the optional header is too short");
  l.section_alignment = GetU32(p + l.optional + 32);
  l.file_alignment = GetU32(p + l.optional + 36);
  l.size_of_headers = GetU32(p + l.optional + 60);
  const std::uint32_t dir_count = GetU32(p + l.optional + directories - 4);
  if (dir_count <= kResourceIndex || optional_size < directories + (kResourceIndex + 1) * 8) {
    return fail("the image has no resource directory entry");
  }
  if (l.file_alignment == 0 || (l.file_alignment & (l.file_alignment - 1)) != 0 || l.section_alignment == 0 ||
      (l.section_alignment & (l.section_alignment - 1)) != 0) {
    return fail("the image's alignments are not powers of two");
  }
  l.resource_entry = l.optional + directories + kResourceIndex * 8;
  l.resource_rva = GetU32(p + l.resource_entry);
  l.resource_size = GetU32(p + l.resource_entry + 4);
  l.section_table = l.optional + optional_size;
  if (!fits(l.section_table, std::uint64_t{count} * kSectionHeaderSize))
    return fail("the section table runs past the file");
  for (std::uint16_t i = 0; i < count; ++i) {
    Section s;
    s.header = l.section_table + i * kSectionHeaderSize;
    s.virtual_size = GetU32(p + s.header + 8);
    s.rva = GetU32(p + s.header + 12);
    s.raw_size = GetU32(p + s.header + 16);
    s.raw_offset = GetU32(p + s.header + 20);
    l.sections.push_back(s);
  }
  l.security = ReadPeSecurityDirectory(p, std::min(size, std::size_t{kPeHeadBytes}));
  return l;
}

class TreeReader {
 public:
  TreeReader(const std::uint8_t* section, std::size_t size, const Layout& layout, const std::uint8_t* file,
             std::size_t file_size)
      : s_(section), size_(size), layout_(layout), file_(file), file_size_(file_size) {}

  bool Read(std::vector<PeResource>& out, std::string* problem) {
    PeResource path;
    if (!Directory(0, 0, path, out)) return Fail(problem, "the resource tree is damaged: " + why_);
    return true;
  }

 private:
  bool Bad(const char* why) {
    why_ = why;
    return false;
  }
  bool Fits(std::uint64_t at, std::uint64_t n) const { return at <= size_ && n <= size_ - at; }

  bool Name(std::uint32_t field, ResourceName& name) {
    name = {};
    if ((field & 0x80000000u) == 0) {
      name.id = static_cast<std::uint16_t>(field);
      return true;
    }
    const std::uint32_t at = field & 0x7FFFFFFFu;
    if (!Fits(at, 2)) return Bad("a name lies outside the section");
    const std::uint16_t length = GetU16(s_ + at);
    if (!Fits(at + 2, std::uint64_t{length} * 2)) return Bad("a name runs past the section");
    for (std::uint16_t i = 0; i < length; ++i) name.text.push_back(static_cast<char16_t>(GetU16(s_ + at + 2 + 2 * i)));
    if (name.text.empty()) return Bad("an empty name");
    return true;
  }

  bool Directory(std::uint32_t at, int level, PeResource& path, std::vector<PeResource>& out) {
    if (!Fits(at, 16)) return Bad("a directory lies outside the section");
    const std::uint32_t entries = std::uint32_t{GetU16(s_ + at + 12)} + GetU16(s_ + at + 14);
    if (!Fits(at + 16, std::uint64_t{entries} * 8)) return Bad("a directory's entries run past the section");
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::uint8_t* e = s_ + at + 16 + 8 * i;
      const std::uint32_t name_field = GetU32(e), target = GetU32(e + 4);
      const bool subdirectory = (target & 0x80000000u) != 0;
      if (subdirectory != (level < 2)) return Bad("the tree is not three levels deep");
      if (level == 0 && !Name(name_field, path.type)) return false;
      if (level == 1 && !Name(name_field, path.name)) return false;
      if (level == 2) {
        if ((name_field & 0x80000000u) != 0) return Bad("a language named by a text");
        path.language = static_cast<std::uint16_t>(name_field);
        if (!Data(target, path, out)) return false;
      } else if (!Directory(target & 0x7FFFFFFFu, level + 1, path, out)) {
        return false;
      }
    }
    return true;
  }

  bool Data(std::uint32_t at, const PeResource& path, std::vector<PeResource>& out) {
    if (!Fits(at, 16)) return Bad("a data entry lies outside the section");
    if (out.size() >= kMaxResources) return Bad("too many resources");
    const std::uint32_t rva = GetU32(s_ + at), length = GetU32(s_ + at + 4);
    auto offset = layout_.RvaToOffset(rva, length);
    if (!offset || *offset > file_size_ || length > file_size_ - *offset)
      return Bad("a resource lies outside the file");
    PeResource r = path;
    r.code_page = GetU32(s_ + at + 8);
    r.data.assign(file_ + *offset, file_ + *offset + length);
    out.push_back(std::move(r));
    return true;
  }

  const std::uint8_t* s_;
  std::size_t size_;
  const Layout& layout_;
  const std::uint8_t* file_;
  std::size_t file_size_;
  std::string why_;
};

// The section holding the resource directory, when there is one.
const Section* ResourceSection(const Layout& l) {
  if (l.resource_rva == 0) return nullptr;
  for (const Section& s : l.sections) {
    if (l.resource_rva >= s.rva && l.resource_rva < s.VirtualEnd()) return &s;
  }
  return nullptr;
}

std::optional<std::vector<PeResource>> ReadTree(const std::uint8_t* file, std::size_t size, const Layout& l,
                                                std::string* problem) {
  std::vector<PeResource> out;
  if (l.resource_rva == 0) return out;
  const Section* section = ResourceSection(l);
  if (section == nullptr) {
    Fail(problem, "the resource directory lies in no section");
    return std::nullopt;
  }
  const std::size_t start = std::size_t{section->raw_offset} + (l.resource_rva - section->rva);
  if (l.resource_rva - section->rva >= section->raw_size || start > size) {
    Fail(problem, "the resource section lies outside the file");
    return std::nullopt;
  }
  const std::size_t length = std::min<std::uint64_t>(section->RawEnd(), size) - start;
  if (!TreeReader(file + start, length, l, file, size).Read(out, problem)) return std::nullopt;
  return out;
}

// Named entries first, in the order of their upper-case texts; then numbers, ascending.
bool NameBefore(const ResourceName& a, const ResourceName& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  if (a.text.empty()) return a.id < b.id;
  auto upper = [](std::u16string t) {
    for (char16_t& c : t) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    return t;
  };
  return upper(a.text) < upper(b.text);
}

struct NameOrder {
  bool operator()(const ResourceName& a, const ResourceName& b) const { return NameBefore(a, b); }
};

// The section's bytes for the tree, its data addressed from `rva`: the three levels of
// directories, the data entries, the names, then the data, each block 8-aligned.
Bytes LayTree(const std::vector<PeResource>& resources, std::uint32_t rva) {
  using Languages = std::map<std::uint16_t, const PeResource*>;
  using Names = std::map<ResourceName, Languages, NameOrder>;
  std::map<ResourceName, Names, NameOrder> tree;
  for (const PeResource& r : resources) tree[r.type][r.name][r.language] = &r;

  std::uint32_t directories = 16 + 8 * static_cast<std::uint32_t>(tree.size()), leaves = 0, texts = 0;
  for (const auto& [type, names] : tree) {
    directories += 16 + 8 * static_cast<std::uint32_t>(names.size());
    if (!type.text.empty()) texts += 2 + 2 * static_cast<std::uint32_t>(type.text.size());
    for (const auto& [name, languages] : names) {
      directories += 16 + 8 * static_cast<std::uint32_t>(languages.size());
      leaves += static_cast<std::uint32_t>(languages.size());
      if (!name.text.empty()) texts += 2 + 2 * static_cast<std::uint32_t>(name.text.size());
    }
  }
  const std::uint32_t entries_at = directories;
  const std::uint32_t texts_at = entries_at + 16 * leaves;
  std::uint32_t data_at = static_cast<std::uint32_t>(AlignUp(texts_at + texts, 8));
  Bytes out(data_at);
  std::uint32_t next_directory = 0, next_entry = entries_at, next_text = texts_at;

  auto name_field = [&](const ResourceName& n) -> std::uint32_t {
    if (n.text.empty()) return n.id;
    const std::uint32_t at = next_text;
    SetU16(&out[at], static_cast<std::uint16_t>(n.text.size()));
    for (std::size_t i = 0; i < n.text.size(); ++i) SetU16(&out[at + 2 + 2 * i], n.text[i]);
    next_text += 2 + 2 * static_cast<std::uint32_t>(n.text.size());
    return 0x80000000u | at;
  };
  // A directory header with its entry count; answers where its first entry goes.
  auto directory = [&](std::size_t named, std::size_t numbered) {
    const std::uint32_t at = next_directory;
    SetU16(&out[at + 12], static_cast<std::uint16_t>(named));
    SetU16(&out[at + 14], static_cast<std::uint16_t>(numbered));
    next_directory += 16 + 8 * static_cast<std::uint32_t>(named + numbered);
    return at + 16;
  };
  auto count_named = [](const auto& map) {
    std::size_t n = 0;
    for (const auto& [key, value] : map) n += !key.text.empty();
    return n;
  };
  std::uint32_t type_entry = directory(count_named(tree), tree.size() - count_named(tree));
  for (const auto& [type, names] : tree) {
    SetU32(&out[type_entry], name_field(type));
    SetU32(&out[type_entry + 4], 0x80000000u | next_directory);
    type_entry += 8;
    std::uint32_t name_entry = directory(count_named(names), names.size() - count_named(names));
    for (const auto& [name, languages] : names) {
      SetU32(&out[name_entry], name_field(name));
      SetU32(&out[name_entry + 4], 0x80000000u | next_directory);
      name_entry += 8;
      std::uint32_t language_entry = directory(0, languages.size());
      for (const auto& [language, resource] : languages) {
        SetU32(&out[language_entry], language);
        SetU32(&out[language_entry + 4], next_entry);
        language_entry += 8;
        SetU32(&out[next_entry], rva + data_at);
        SetU32(&out[next_entry + 4], static_cast<std::uint32_t>(resource->data.size()));
        SetU32(&out[next_entry + 8], resource->code_page);
        next_entry += 16;
        out.insert(out.end(), resource->data.begin(), resource->data.end());
        out.resize(AlignUp(out.size(), 8));
        data_at = static_cast<std::uint32_t>(out.size());
      }
    }
  }
  return out;
}

}  // namespace

std::optional<std::vector<PeResource>> ReadPeResources(const std::uint8_t* data, std::size_t size,
                                                       std::string* problem) {
  auto layout = ReadLayout(data, size, problem);
  if (!layout) return std::nullopt;
  return ReadTree(data, size, *layout, problem);
}

std::optional<std::vector<PeResource>> ReadPeResourcesOfFile(const std::string& path, std::string* problem) {
  platform::File file;
  if (!file.Open(path, platform::OpenMode::ReadShared)) {
    Fail(problem, "cannot open " + path);
    return std::nullopt;
  }
  Bytes head(kPeHeadBytes);
  head.resize(file.Read(head.data(), head.size()));
  auto layout = ReadLayout(head.data(), head.size(), problem);
  if (!layout) return std::nullopt;
  if (layout->resource_rva == 0) return std::vector<PeResource>{};
  const Section* section = ResourceSection(*layout);
  const auto file_size = file.Size().value_or(0);
  // The section is read into a copy of the file's layout up to its end, so the tree's RVAs
  // resolve as in the whole file; the bytes in between stay zero.
  if (section == nullptr || section->RawEnd() > file_size || section->RawEnd() > (64u << 20)) {
    Fail(problem, "the resource section lies outside the file");
    return std::nullopt;
  }
  Bytes image(static_cast<std::size_t>(section->RawEnd()));
  std::copy(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(std::min(head.size(), image.size())),
            image.begin());
  if (!file.Seek(section->raw_offset) ||
      file.Read(image.data() + section->raw_offset, section->raw_size) != section->raw_size) {
    Fail(problem, "cannot read the resource section of " + path);
    return std::nullopt;
  }
  return ReadTree(image.data(), image.size(), *layout, problem);
}

bool WritePeResources(Bytes& image, const std::vector<PeResource>& resources, std::string* problem) {
  auto layout = ReadLayout(image.data(), image.size(), problem);
  if (!layout) return false;
  const Layout& l = *layout;
  if (l.security && (l.security->TableOffset != 0 || l.security->TableSize != 0)) {
    return Fail(problem, "the program is signed: its resources cannot change (sign after building)");
  }
  if (l.sections.empty()) return Fail(problem, "the image has no sections");
  // The format allows at most 64 KiB; a larger one would pad the file by that much.
  if (l.file_alignment > 0x10000) return Fail(problem, "the image's file alignment is larger than 64 KiB");
  std::uint64_t virtual_end = 0, raw_end = 0;
  for (const Section& s : l.sections) {
    virtual_end = std::max(virtual_end, s.VirtualEnd());
    if (s.raw_size != 0) raw_end = std::max(raw_end, s.RawEnd());
  }
  if (raw_end > image.size()) return Fail(problem, "a section runs past the end of the file");
  const std::uint64_t headers_end =
      std::max<std::uint64_t>(l.size_of_headers, l.section_table + l.sections.size() * kSectionHeaderSize);
  for (const Section& s : l.sections) {
    if (s.raw_size != 0 && s.raw_offset < headers_end) return Fail(problem, "a section overlaps the headers");
  }
  if (headers_end > image.size()) return Fail(problem, "the headers run past the end of the file");
  // With no section data in the file the headers end what the image holds; a new section's
  // data must never start inside them.
  raw_end = std::max(raw_end, headers_end);
  // The resource section is rewritten where it is when nothing lies after it, in memory or
  // in the file; otherwise the tree goes into a new section after all the others.
  const Section* old = ResourceSection(l);
  bool in_place = old != nullptr && old->rva == l.resource_rva && old->VirtualEnd() == virtual_end &&
                  old->RawEnd() == raw_end && old->raw_size != 0;
  for (const Section& s : l.sections) {
    if (in_place && &s != old && ((s.raw_size != 0 && s.RawEnd() > old->raw_offset) || s.VirtualEnd() > old->rva)) {
      in_place = false;
    }
  }
  Section target;
  if (in_place) {
    target = *old;
  } else {
    const std::size_t header = l.section_table + l.sections.size() * kSectionHeaderSize;
    std::uint64_t first_raw = l.size_of_headers;
    for (const Section& s : l.sections) {
      if (s.raw_size != 0) first_raw = std::min<std::uint64_t>(first_raw, s.raw_offset);
    }
    if (header + kSectionHeaderSize > first_raw) return Fail(problem, "no room for another section header");
    const std::uint64_t rva = AlignUp(virtual_end, l.section_alignment), raw = AlignUp(raw_end, l.file_alignment);
    if (rva > 0xFFFFFFFFull || raw > 0xFFFFFFFFull) return Fail(problem, "the image would be 4 GiB or larger");
    target.header = header;
    target.rva = static_cast<std::uint32_t>(rva);
    target.raw_offset = static_cast<std::uint32_t>(raw);
  }
  const Bytes tree = LayTree(resources, target.rva);
  const std::uint64_t raw_size = AlignUp(tree.size(), l.file_alignment);
  const std::uint64_t size_of_image = AlignUp(std::uint64_t{target.rva} + tree.size(), l.section_alignment);
  const std::uint64_t overlay_from = in_place ? old->RawEnd() : raw_end;
  if (target.raw_offset + raw_size + (image.size() - overlay_from) > 0xFFFFFFFFull || size_of_image > 0xFFFFFFFFull) {
    return Fail(problem, "the image would be 4 GiB or larger");
  }

  Bytes out(image.begin(),
            image.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(target.raw_offset, image.size())));
  out.resize(target.raw_offset);
  out.insert(out.end(), tree.begin(), tree.end());
  out.resize(static_cast<std::size_t>(target.raw_offset + raw_size));
  const std::int64_t shift = static_cast<std::int64_t>(out.size()) - static_cast<std::int64_t>(overlay_from);
  out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(overlay_from), image.end());

  std::uint8_t* h = out.data();
  if (!in_place) {
    std::uint8_t* s = h + target.header;
    std::fill(s, s + kSectionHeaderSize, std::uint8_t{0});
    std::copy_n(".rsrc", 5, s);
    SetU32(s + 36, kSectionFlags);
    SetU16(h + l.file_header + 2, static_cast<std::uint16_t>(l.sections.size() + 1));
  }
  SetU32(h + target.header + 8, static_cast<std::uint32_t>(tree.size()));
  SetU32(h + target.header + 12, target.rva);
  SetU32(h + target.header + 16, static_cast<std::uint32_t>(raw_size));
  SetU32(h + target.header + 20, target.raw_offset);
  SetU32(h + l.optional + 56, static_cast<std::uint32_t>(size_of_image));
  SetU32(h + l.optional + 64, 0);  // the checksum no longer matches
  SetU32(h + l.resource_entry, target.rva);
  SetU32(h + l.resource_entry + 4, static_cast<std::uint32_t>(tree.size()));
  // A symbol table behind the sections moves with the bytes after them.
  if (const std::uint32_t symbols = GetU32(h + l.file_header + 8); symbols != 0 && symbols >= overlay_from) {
    SetU32(h + l.file_header + 8, static_cast<std::uint32_t>(symbols + shift));
  }
  image = std::move(out);
  return true;
}

}  // namespace zq
