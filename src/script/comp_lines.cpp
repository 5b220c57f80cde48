#include "script/comp_lines.h"

#include "container/pak_string.h"
#include "base/buffer_manager.h"
#include "script/command_table.h"

namespace zq {

bool TCompLines::LoadFromBuffer(const void* data, std::size_t size, std::string* problem) {
  auto fail = [&](const std::string& why) {
    if (problem != nullptr) *problem = why;
    return false;
  };
  if (size > 0xFFFFFFFFu) return fail("the compiled script is larger than 4 GiB");
  TBufferManager in(static_cast<const std::uint8_t*>(data), data == nullptr ? 0 : static_cast<std::uint32_t>(size));
  auto count = in.ReadInt16();
  if (!count) return fail("the compiled script ends before its line count");
  const std::uint16_t lines = static_cast<std::uint16_t>(*count);
  std::vector<TCompLine> loaded;
  loaded.reserve(lines);
  for (std::uint32_t i = 0; i < lines; ++i) {
    const std::string where = "line " + std::to_string(i) + ": ";
    auto index = in.ReadInt32();
    auto number = in.ReadInt32();
    auto args = in.ReadInt32();
    if (!index || !number || !args) return fail(where + "the compiled script ends inside the line");
    if (*index < kDefinitionOnlyIndex || *index > kCommandCount) {
      return fail(where + "command index " + std::to_string(*index) + " is outside -1.." +
                  std::to_string(kCommandCount));
    }
    if (*args < 0) return fail(where + "negative argument count " + std::to_string(*args));
    TCompLine line;
    line.CommandIndex = *index;
    line.LineNumber = static_cast<std::uint32_t>(*number);
    line.ArgCount = *args;
    if (line.CommandIndex > 0 && line.LineNumber != i) {
      return fail(where + "a command line carries the number " + std::to_string(line.LineNumber));
    }
    // Each argument takes at least its two count bytes, so a count beyond what is left is
    // damage; checking first keeps a damaged count from reserving memory.
    if (static_cast<std::uint64_t>(*args) * 2 > in.Size - in.Position) {
      return fail(where + "argument count " + std::to_string(*args) + " runs past the end");
    }
    line.Args.reserve(static_cast<std::size_t>(*args));
    for (std::int32_t a = 0; a < *args; ++a) {
      auto text = in.ReadString();
      if (!text) return fail(where + "argument " + std::to_string(a + 1) + " runs past the end");
      line.Args.push_back(std::move(*text));
    }
    loaded.push_back(std::move(line));
  }
  if (in.Position != in.Size) return fail("the compiled script has bytes after its last line");
  Lines = std::move(loaded);
  return true;
}

std::vector<std::uint8_t> TCompLines::Serialize() const {
  std::vector<std::uint8_t> out;
  PutU16(out, static_cast<std::uint16_t>(Lines.size()));
  for (const TCompLine& line : Lines) {
    PutU32(out, static_cast<std::uint32_t>(line.CommandIndex));
    PutU32(out, line.LineNumber);
    PutU32(out, static_cast<std::uint32_t>(line.Args.size()));
    for (const auto& arg : line.Args) AppendPakString(out, arg);
  }
  return out;
}

bool TCompLines::HasParamCount(std::size_t position, int n) const {
  return position < Lines.size() && Lines[position].ArgCount >= n;
}

void TCompLines::MapText(const std::function<std::string(const std::string&)>& convert) {
  for (TCompLine& line : Lines) {
    for (std::string& arg : line.Args) arg = convert(arg);
  }
}

}  // namespace zq
