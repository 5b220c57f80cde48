// The resource section of a PE image: its tree read into a flat list, and a list written back
// as a new tree, in place when the section is the image's last, else as a section appended
// after the others (the old one stays, unreferenced).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zq {

inline constexpr std::uint16_t kRtIcon = 3;
inline constexpr std::uint16_t kRtGroupIcon = 14;
inline constexpr std::uint16_t kRtVersion = 16;
inline constexpr std::uint16_t kRtManifest = 24;

// A type or name of the tree: a number, or a text when `text` is not empty.
struct ResourceName {
  std::uint16_t id = 0;
  std::u16string text;

  bool operator==(const ResourceName&) const = default;
};

struct PeResource {
  ResourceName type;
  ResourceName name;
  std::uint16_t language = 0;
  std::uint32_t code_page = 0;
  std::vector<std::uint8_t> data;
};

// The resources of the image in `data` (the file's bytes from its start; anything after the
// image is ignored), in tree order. Empty for an image without resources; nothing, with
// `problem` saying why, when the bytes are not a PE image or its tree is damaged.
std::optional<std::vector<PeResource>> ReadPeResources(const std::uint8_t* data, std::size_t size,
                                                       std::string* problem = nullptr);

// The same from a program file, reading only its headers and resource section.
std::optional<std::vector<PeResource>> ReadPeResourcesOfFile(const std::string& path, std::string* problem = nullptr);

// Replaces the image's whole resource tree with `resources` (duplicates of type, name and
// language: the last wins). Bytes after the image (symbols, a package) move along with it.
// The headers follow: the resource directory, the section table, SizeOfImage; the checksum
// is cleared. A signed image is refused, since its signature would no longer hold. False,
// with `problem` and `image` unchanged, when it cannot be done.
bool WritePeResources(std::vector<std::uint8_t>& image, const std::vector<PeResource>& resources,
                      std::string* problem = nullptr);

}  // namespace zq
