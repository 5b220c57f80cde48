// Registry root codes 0..4 of scripts and records, their names and key handles.
#pragma once

#include <cstdint>
#include <string>

namespace zq {

// Short root names "HKLM", "HKCU", "HKCR", "HKU", "HKCC" (any case) -> 0..4; others 0.
std::uint8_t RootNameToCode(const std::string& name);
// 0..4 -> the predefined key handle value; others 0 (no root).
std::uint32_t RootCodeToKey(int code);
// 0..4 -> "HKEY_LOCAL_MACHINE", ...; others "!ERROR!".
std::string RootCodeToName(int code);

}  // namespace zq
