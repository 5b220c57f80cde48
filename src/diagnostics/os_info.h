// The Windows description of the error report: version code, product type, edition and
// service pack, decided by tables over the system's version data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/system_info.h"

namespace zq {

// Version codes (`Product`).
enum : int {
  kOSUnknown = 0,
  kOSWin95 = 1,
  kOSWin98 = 2,
  kOSWinMe = 3,
  kOSWinNT4 = 4,
  kOSWin2000 = 5,
  kOSWinXP = 6,
  kOSWinServer2003 = 7,
  kOSWinVista = 8,
};

// Product type codes (`ProductType`); 3 to 5 are servers.
enum : int {
  kPTNotApplicable = 0,
  kPTUnknown = 1,
  kPTWorkstation = 2,
  kPTServer = 3,
  kPTDomainController = 4,
  kPTAdvancedServer = 5,
};

// Everything the tables look at: the system's answers and the two registry facts that
// decide when the extended query is missing or for NT 4.0's service pack.
struct OSFacts {
  platform::OSVersionData Version;
  // "ProductType" of HKLM "SYSTEM\CurrentControlSet\Control\ProductOptions"; nullopt when unreadable.
  std::optional<std::string> ProductOptionsType;
  bool HasHotfixQ246009 = false;
};

// Asks the system, and the registry only for what the tables will need.
OSFacts QueryOSFacts();
// The registry's part for given version data.
OSFacts OSFactsFor(const platform::OSVersionData& version);

int OSProduct(const OSFacts& facts);
const char* OSProductName(int product);
int OSProductType(const OSFacts& facts);
const char* OSProductTypeName(int product_type);
bool IsServerProductType(int product_type);
std::string OSEdition(const OSFacts& facts);
std::string OSServicePack(const OSFacts& facts);

// The running system's description, queried once on first use.
class TOSInfo {
 public:
  TOSInfo() = delete;

  static int Product();
  static int ProductType();
  static bool IsServer();
  static std::string Edition();
  static std::string ServicePack();
  static std::uint16_t ServicePackMajor();
  static std::uint16_t ServicePackMinor();
  static std::uint32_t BuildNumber();

 private:
  static const OSFacts& Facts();
};

}  // namespace zq
