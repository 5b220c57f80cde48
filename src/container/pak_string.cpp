#include "container/pak_string.h"

#include "codec/zlib_codec.h"

namespace zq {

std::optional<std::string> ReadPakString(platform::File& handle) {
  std::uint8_t count[2];
  if (handle.Read(count, 2) != 2) return std::nullopt;
  std::string text(GetU16(count), '\0');
  if (!text.empty() && handle.Read(text.data(), text.size()) != text.size()) return std::nullopt;
  return text;
}

bool WritePakString(platform::File& handle, const std::string& text) {
  std::vector<std::uint8_t> bytes;
  AppendPakString(bytes, text);
  return handle.Write(bytes.data(), bytes.size()) != bytes.size();
}

void AppendPakString(std::vector<std::uint8_t>& out, const std::string& text) {
  // The count keeps the low 16 bits of the length and the bytes follow it; only that many are
  // written, so an over-long text cannot make the record unreadable.
  std::uint16_t n = static_cast<std::uint16_t>(text.size());
  PutU16(out, n);
  out.insert(out.end(), text.begin(), text.begin() + n);
}

bool CalcCRC32(const void* buffer, std::uint32_t size, std::uint32_t& crc) {
  if (size == 0) return true;
  if (buffer == nullptr) return false;
  crc = Crc32(static_cast<const std::uint8_t*>(buffer), size);
  return true;
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::ReadExclusive)) return std::nullopt;
  auto size = f.Size();
  if (!size || *size > 0xFFFFFFFFu) return std::nullopt;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(*size));
  if (f.Read(data.data(), data.size()) != data.size()) return std::nullopt;
  return data;
}

}  // namespace zq
