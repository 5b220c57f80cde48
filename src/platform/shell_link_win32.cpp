#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/shell_link.h"
#include "platform/win32_strings.h"

namespace zq::platform {

namespace {

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
};

std::string Narrow(const wchar_t* text) { return win32::Narrow(text, wcslen(text)); }

}  // namespace

bool CreateShellLink(const ShellLink& link, const std::string& link_file) {
  ComApartment::EnterDeferred();
  ComPtr<IShellLinkW> shell;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shell.p)))) {
    return false;
  }
  shell.p->SetPath(win32::Wide(link.target).c_str());
  shell.p->SetArguments(win32::Wide(link.arguments).c_str());
  shell.p->SetWorkingDirectory(win32::Wide(link.working_directory).c_str());
  shell.p->SetShowCmd(link.show_command);
  if (!link.icon_file.empty()) shell.p->SetIconLocation(win32::Wide(link.icon_file).c_str(), link.icon_index);
  ComPtr<IPersistFile> file;
  if (FAILED(shell.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p)))) return false;
  return SUCCEEDED(file.p->Save(win32::Wide(link_file).c_str(), FALSE));
}

std::optional<ShellLink> ReadShellLink(const std::string& link_file) {
  ComApartment::EnterDeferred();
  ComPtr<IShellLinkW> shell;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shell.p)))) {
    return std::nullopt;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(shell.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) ||
      FAILED(file.p->Load(win32::Wide(link_file).c_str(), STGM_READ))) {
    return std::nullopt;
  }
  ShellLink link;
  wchar_t buf[MAX_PATH * 2] = {};
  if (SUCCEEDED(shell.p->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH))) link.target = Narrow(buf);
  buf[0] = 0;
  if (SUCCEEDED(shell.p->GetArguments(buf, MAX_PATH * 2))) link.arguments = Narrow(buf);
  buf[0] = 0;
  if (SUCCEEDED(shell.p->GetWorkingDirectory(buf, MAX_PATH * 2))) link.working_directory = Narrow(buf);
  shell.p->GetShowCmd(&link.show_command);
  buf[0] = 0;
  int index = 0;
  if (SUCCEEDED(shell.p->GetIconLocation(buf, MAX_PATH * 2, &index))) {
    link.icon_file = Narrow(buf);
    link.icon_index = index;
  }
  return link;
}

namespace {
// A plain pointer: a thread_local object with a destructor is not safe under the mingw runtime.
thread_local ComApartment* deferred_apartment = nullptr;
}  // namespace

ComApartment::ComApartment(When when) {
  if (when == When::FirstUse) {
    outer_ = deferred_apartment;
    deferred_apartment = this;
    return;
  }
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  initialised_ = SUCCEEDED(hr);
}

ComApartment::~ComApartment() {
  if (deferred_apartment == this) deferred_apartment = outer_;
  if (initialised_) CoUninitialize();
}

void ComApartment::EnterDeferred() {
  ComApartment* a = deferred_apartment;
  if (a == nullptr || a->initialised_) return;
  a->initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  // Entered or refused, it is not asked again.
  deferred_apartment = a->outer_;
  a->outer_ = nullptr;
}

}  // namespace zq::platform
