#include "diagnostics/os_info.h"

#include <cstdio>

#include "platform/registry.h"
#include "platform/text.h"

namespace zq {

namespace {

bool IsNT(const OSFacts& f) { return f.Version.PlatformId == platform::kPlatformNT; }

bool EqualsUpperCase(const std::string& text, const char* expected) { return platform::UpperCase(text) == expected; }

bool StartsWithUpper(const std::string& text, char letter) {
  return !text.empty() && platform::UpperCase(text.substr(0, 1))[0] == letter;
}

std::string ServerEdition(int product, std::uint16_t suite) {
  switch (product) {
    case kOSWinNT4: return (suite & 0x0002) ? "Server 4.0, Enterprise Edition" : "Server 4.0";
    case kOSWin2000:
      if (suite & 0x0080) return "Datacenter Server";
      if (suite & 0x0002) return "Advanced Server";
      return "Standard Edition";
    case kOSWinServer2003:
      if (suite & 0x0080) return "DataCenter Edition";
      if (suite & 0x0002) return "Enterprise Edition";
      if (suite & 0x0400) return "Web Edition";
      return "Standard Edition";
    default: return {};
  }
}

std::string WorkstationEdition(int product, const platform::OSVersionData& v) {
  switch (product) {
    case kOSWinNT4: return "Workstation 4.0";
    case kOSWin2000: return "Professional";
    case kOSWinXP:
      if (v.MediaCenter) return "Media Center Edition";
      if (v.TabletPC) return "Tablet PC Edition";
      if (v.SuiteMask & 0x0200) return "Home Edition";
      return "Professional";
    default: return {};
  }
}

}  // namespace

OSFacts QueryOSFacts() { return OSFactsFor(platform::QueryOSVersion()); }

OSFacts OSFactsFor(const platform::OSVersionData& version) {
  OSFacts facts;
  facts.Version = version;
  if (!IsNT(facts)) return facts;
  const bool need_product_options = !facts.Version.ExtendedInfo;
  const bool need_hotfix = OSProduct(facts) == kOSWinNT4 &&
                           EqualsUpperCase(facts.Version.ServicePackText, "SERVICE PACK 6");
  if (!need_product_options && !need_hotfix) return facts;
  platform::Registry registry;
  registry.SetRoot(platform::kHkeyLocalMachine);
  if (need_product_options && registry.OpenKey("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", false)) {
    facts.ProductOptionsType = registry.ReadString("ProductType");
    registry.CloseKey();
  }
  if (need_hotfix)
    facts.HasHotfixQ246009 = registry.KeyExists("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009");
  return facts;
}

int OSProduct(const OSFacts& facts) {
  const auto& v = facts.Version;
  if (v.PlatformId == platform::kPlatformWindows9x && v.Major == 4) {
    if (v.Minor == 0) return kOSWin95;
    if (v.Minor == 10) return kOSWin98;
    if (v.Minor == 90) return kOSWinMe;
  }
  if (v.PlatformId == platform::kPlatformNT) {
    if (v.Major == 4 && v.Minor == 0) return kOSWinNT4;
    if (v.Major == 5 && v.Minor == 0) return kOSWin2000;
    if (v.Major == 5 && v.Minor == 1) return kOSWinXP;
    if (v.Major == 5 && v.Minor == 2) return kOSWinServer2003;
    if (v.Major == 6) return kOSWinVista;
  }
  return kOSUnknown;
}

const char* OSProductName(int product) {
  static const char* const kNames[] = {"Unknown OS", "Windows 95",         "Windows 98",
                                       "Windows Me", "Windows NT4",        "Windows 2000",
                                       "Windows XP", "Windows Server2003", "Windows Vista"};
  return product >= 0 && product <= kOSWinVista ? kNames[product] : kNames[0];
}

int OSProductType(const OSFacts& facts) {
  if (!IsNT(facts)) return kPTNotApplicable;
  if (facts.Version.ExtendedInfo) {
    switch (facts.Version.ProductType) {
      case 1: return kPTWorkstation;
      case 2: return kPTDomainController;
      case 3: return kPTServer;
      default: return kPTUnknown;
    }
  }
  if (!facts.ProductOptionsType) return kPTUnknown;
  if (EqualsUpperCase(*facts.ProductOptionsType, "WINNT")) return kPTWorkstation;
  if (EqualsUpperCase(*facts.ProductOptionsType, "LANMANNT")) return kPTServer;
  if (EqualsUpperCase(*facts.ProductOptionsType, "SERVERNT")) return kPTAdvancedServer;
  return kPTUnknown;
}

const char* OSProductTypeName(int product_type) {
  static const char* const kNames[] = {
      "NA", "Unknown", "NT Workstation", "NTServer", "NT Domain Controller", "NT Advanced Server"};
  return product_type >= 0 && product_type <= kPTAdvancedServer ? kNames[product_type] : kNames[1];
}

bool IsServerProductType(int product_type) { return product_type >= kPTServer && product_type <= kPTAdvancedServer; }

std::string OSEdition(const OSFacts& facts) {
  if (!IsNT(facts)) return {};
  const auto& v = facts.Version;
  const int type = OSProductType(facts);
  if (!v.ExtendedInfo) {
    const char* name = type == kPTWorkstation      ? "WorkStation"
                       : type == kPTServer         ? "Server"
                       : type == kPTAdvancedServer ? "Advanced Server"
                                                   : nullptr;
    if (name == nullptr) return {};
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, " %d.%d", static_cast<int>(v.Major), static_cast<int>(v.Minor));
    return std::string(name) + numbers;
  }
  const int product = OSProduct(facts);
  return IsServerProductType(type) ? ServerEdition(product, v.SuiteMask) : WorkstationEdition(product, v);
}

std::string OSServicePack(const OSFacts& facts) {
  const auto& v = facts.Version;
  const int product = OSProduct(facts);
  if (v.PlatformId == platform::kPlatformWindows9x) {
    if (v.ServicePackText.empty()) return {};
    if (product == kOSWin95 && (StartsWithUpper(v.ServicePackText, 'B') || StartsWithUpper(v.ServicePackText, 'C')))
      return "OSR2";
    if (product == kOSWin98 && StartsWithUpper(v.ServicePackText, 'A')) return "SE";
    return {};
  }
  if (IsNT(facts)) {
    if (product == kOSWinNT4 && EqualsUpperCase(v.ServicePackText, "SERVICE PACK 6") && facts.HasHotfixQ246009)
      return "Service Pack 6a";
    return v.ServicePackText;
  }
  return {};
}

const OSFacts& TOSInfo::Facts() {
  static const OSFacts facts = QueryOSFacts();
  return facts;
}

int TOSInfo::Product() { return OSProduct(Facts()); }
int TOSInfo::ProductType() { return OSProductType(Facts()); }
bool TOSInfo::IsServer() { return IsServerProductType(ProductType()); }
std::string TOSInfo::Edition() { return OSEdition(Facts()); }
std::string TOSInfo::ServicePack() { return OSServicePack(Facts()); }
std::uint16_t TOSInfo::ServicePackMajor() { return Facts().Version.ServicePackMajor; }
std::uint16_t TOSInfo::ServicePackMinor() { return Facts().Version.ServicePackMinor; }
std::uint32_t TOSInfo::BuildNumber() { return Facts().Version.Build; }

}  // namespace zq
