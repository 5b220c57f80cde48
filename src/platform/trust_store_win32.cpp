#include "platform/trust_store.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32_strings.h"

// RtlGenRandom, by its exported name: declared here, for its header brings much else.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG size);

namespace zq::platform {
namespace {

// What the security functions hand out, given back with the scope.
struct LocalMemory {
  HLOCAL memory = nullptr;
  ~LocalMemory() { LocalFree(memory); }
};

std::string ErrorText(DWORD error) { return "(Windows error " + std::to_string(error) + ")"; }

std::wstring SidText(PSID sid) {
  LocalMemory text;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(&text.memory))) return {};
  return static_cast<const wchar_t*>(text.memory);
}

std::wstring UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info;
  DWORD size = 0;
  const bool read = GetTokenInformation(token, TokenUser, &info, sizeof info, &size);
  CloseHandle(token);
  return read ? SidText(info.user.User.Sid) : std::wstring();
}

// Wine keeps no rights of a file: it turns those given into Unix mode bits and reads back SYSTEM,
// the Unix owner as the running user, and Everyone for the bits of others; the administrators'
// are lost. There the running user stands for them, as the owner does on the host.
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// SYSTEM and the administrators, and for the user's folder the user.
std::vector<std::wstring> TrustedSids(TrustScope scope) {
  std::vector<std::wstring> sids = {L"S-1-5-18", L"S-1-5-32-544"};
  if (scope == TrustScope::User || UnderWine()) sids.push_back(UserSid());
  return sids;
}

constexpr DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                               FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Why the folder may not be trusted; "" when it may.
std::string Distrust(const std::wstring& path, TrustScope scope) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return "the folder cannot be read " + ErrorText(GetLastError());
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "it is a link";
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return "it is not a folder";
  PSID owner = nullptr;
  PACL dacl = nullptr;
  LocalMemory descriptor;
  const DWORD rc = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl,
                                         nullptr, &descriptor.memory);
  if (rc != ERROR_SUCCESS) return "its rights cannot be read " + ErrorText(rc);
  const auto trusted = TrustedSids(scope);
  auto is_trusted = [&](PSID sid) {
    const std::wstring text = SidText(sid);
    return !text.empty() && std::find(trusted.begin(), trusted.end(), text) != trusted.end();
  };
  if (!is_trusted(owner)) return "another account owns it";
  if (dacl == nullptr) return "it has no access list, so every account may write it";
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return "its access list cannot be read";
    switch (ace->AceType) {
      // What is denied to anyone takes nothing from the trusted accounts' sole access.
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE: continue;
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
        const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (is_trusted(const_cast<DWORD*>(&allowed->SidStart))) continue;
        return (allowed->Mask & kWriteRights) != 0 ? "other accounts may write it" : "other accounts may read it";
      }
      // Rights given in a form not read here are taken to be given to others.
      default: return "its access list gives rights this program cannot check";
    }
  }
  return "";
}

std::optional<SecretKey> ReadKey(const std::wstring& path, DWORD* error) {
  // Not through a link: only the folder's trusted accounts can have put one there, but it may lead anywhere.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return std::nullopt;
  }
  SecretKey key;
  BYTE extra;
  DWORD got = 0, more = 0;
  const bool whole = ReadFile(file, key.data(), key.size(), &got, nullptr) && got == key.size() &&
                     ReadFile(file, &extra, 1, &more, nullptr) && more == 0;
  CloseHandle(file);
  *error = whole ? ERROR_SUCCESS : ERROR_INVALID_DATA;
  return whole ? std::optional(key) : std::nullopt;
}

// Written whole under a name of its own, where it takes the folder's rights, then moved to "key",
// which never replaces one: of two runs at once, the second keeps the first's key.
DWORD MakeKey(const std::wstring& folder, const std::wstring& key) {
  SecretKey secret;
  if (!RandomBytes(secret.data(), secret.size())) return ERROR_GEN_FAILURE;
  wchar_t temp[MAX_PATH];
  if (GetTempFileNameW(folder.c_str(), L"key", 0, temp) == 0) return GetLastError();
  HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0, error = ERROR_SUCCESS;
  if (file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
  } else {
    if (!WriteFile(file, secret.data(), secret.size(), &written, nullptr) || written != secret.size() ||
        !FlushFileBuffers(file)) {
      error = GetLastError();
    }
    CloseHandle(file);
  }
  if (error == ERROR_SUCCESS && !MoveFileExW(temp, key.c_str(), MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) error = ERROR_SUCCESS;
  }
  DeleteFileW(temp);
  return error;
}

}  // namespace

TrustedFolder OpenTrustedFolderAt(const std::string& path, TrustScope scope) {
  const std::wstring wide = win32::Wide(path);
  std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  if (scope == TrustScope::Machine) {
    sddl = L"O:BA" + sddl;
  } else {
    const std::wstring user = UserSid();
    if (user.empty()) return {path, path + ": the current account cannot be told " + ErrorText(GetLastError())};
    sddl = L"O:" + user + sddl + L"(A;OICI;FA;;;" + user + L")";
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  LocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor.memory,
                                                            nullptr)) {
    return {path, path + ": its rights cannot be written " + ErrorText(GetLastError())};
  }
  attributes.lpSecurityDescriptor = descriptor.memory;
  if (!CreateDirectoryW(wide.c_str(), &attributes) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return {path, path + ": the folder cannot be made " + ErrorText(GetLastError())};
  }
  const std::string why = Distrust(wide, scope);
  return {path, why.empty() ? "" : path + ": " + why};
}

std::optional<SecretKey> TrustKey(const TrustedFolder& folder, std::string* problem) {
  auto fail = [&](const std::string& why) {
    if (problem != nullptr) *problem = why;
    return std::nullopt;
  };
  if (!folder.ok()) return fail(folder.problem);
  const std::wstring wide_folder = win32::Wide(folder.path);
  const std::wstring path = wide_folder + L"\\key";
  const std::string name = folder.path + "\\key: ";
  DWORD error = ERROR_SUCCESS;
  auto key = ReadKey(path, &error);
  if (!key && error == ERROR_FILE_NOT_FOUND) {
    if (const DWORD made = MakeKey(wide_folder, path); made != ERROR_SUCCESS) {
      return fail(name + "the key cannot be made " + ErrorText(made));
    }
    key = ReadKey(path, &error);
  }
  if (key) return key;
  return fail(name + (error == ERROR_INVALID_DATA ? "it does not hold a key of 32 bytes"
                                                  : "it cannot be read " + ErrorText(error)));
}

bool RandomBytes(void* out, std::size_t size) {
  return size <= MAXDWORD && SystemFunction036(out, static_cast<ULONG>(size));
}

}  // namespace zq::platform
