#include "diagnostics/os_info.h"

#include <gtest/gtest.h>

#include "platform/registry.h"

namespace zq {
namespace {

using platform::kPlatformNT;
using platform::kPlatformWin32s;
using platform::kPlatformWindows9x;

OSFacts Make(std::uint32_t platform_id, std::uint32_t major, std::uint32_t minor, std::string csd = {}) {
  OSFacts f;
  f.Version.PlatformId = platform_id;
  f.Version.Major = major;
  f.Version.Minor = minor;
  f.Version.ServicePackText = std::move(csd);
  return f;
}

// NT with the extended query answered.
OSFacts NT(std::uint32_t major, std::uint32_t minor, std::uint8_t raw_type, std::uint16_t suite = 0) {
  OSFacts f = Make(kPlatformNT, major, minor);
  f.Version.ExtendedInfo = true;
  f.Version.ProductType = raw_type;
  f.Version.SuiteMask = suite;
  return f;
}

OSFacts OldNT(std::uint32_t major, std::uint32_t minor, std::optional<std::string> product_options) {
  OSFacts f = Make(kPlatformNT, major, minor);
  f.ProductOptionsType = std::move(product_options);
  return f;
}

TEST(OSInfo, ProductFromPlatformAndVersion) {
  struct Row {
    std::uint32_t platform, major, minor;
    int product;
    const char* name;
  };
  const Row rows[] = {
      {kPlatformWindows9x, 4, 0, kOSWin95, "Windows 95"},
      {kPlatformWindows9x, 4, 10, kOSWin98, "Windows 98"},
      {kPlatformWindows9x, 4, 90, kOSWinMe, "Windows Me"},
      {kPlatformNT, 4, 0, kOSWinNT4, "Windows NT4"},
      {kPlatformNT, 5, 0, kOSWin2000, "Windows 2000"},
      {kPlatformNT, 5, 1, kOSWinXP, "Windows XP"},
      {kPlatformNT, 5, 2, kOSWinServer2003, "Windows Server2003"},
      {kPlatformNT, 6, 0, kOSWinVista, "Windows Vista"},
      {kPlatformNT, 6, 1, kOSWinVista, "Windows Vista"},
      {kPlatformNT, 6, 3, kOSWinVista, "Windows Vista"},
      // The version numbers belong to their platform.
      {kPlatformNT, 4, 10, kOSUnknown, "Unknown OS"},
      {kPlatformWindows9x, 5, 0, kOSUnknown, "Unknown OS"},
      {kPlatformWindows9x, 6, 0, kOSUnknown, "Unknown OS"},
      {kPlatformWin32s, 4, 0, kOSUnknown, "Unknown OS"},
      {kPlatformNT, 3, 51, kOSUnknown, "Unknown OS"},
      {kPlatformNT, 5, 3, kOSUnknown, "Unknown OS"},
      {kPlatformNT, 10, 0, kOSUnknown, "Unknown OS"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.platform << " " << row.major << "." << row.minor);
    const int product = OSProduct(Make(row.platform, row.major, row.minor));
    EXPECT_EQ(product, row.product);
    EXPECT_STREQ(OSProductName(product), row.name);
  }
}

TEST(OSInfo, ProductTypeFromExtendedQuery) {
  EXPECT_EQ(OSProductType(NT(5, 1, 1)), kPTWorkstation);
  EXPECT_EQ(OSProductType(NT(5, 2, 2)), kPTDomainController);
  EXPECT_EQ(OSProductType(NT(5, 2, 3)), kPTServer);
  EXPECT_EQ(OSProductType(NT(5, 1, 0)), kPTUnknown);
  EXPECT_EQ(OSProductType(NT(5, 1, 4)), kPTUnknown);
  // The registry is not asked when the extended query answered.
  OSFacts f = NT(5, 1, 1);
  f.ProductOptionsType = "LANMANNT";
  EXPECT_EQ(OSProductType(f), kPTWorkstation);
}

TEST(OSInfo, ProductTypeFromRegistryWithoutExtendedQuery) {
  EXPECT_EQ(OSProductType(OldNT(4, 0, "WINNT")), kPTWorkstation);
  EXPECT_EQ(OSProductType(OldNT(4, 0, "winnt")), kPTWorkstation);
  EXPECT_EQ(OSProductType(OldNT(4, 0, "LanmanNT")), kPTServer);
  EXPECT_EQ(OSProductType(OldNT(4, 0, "ServerNT")), kPTAdvancedServer);
  EXPECT_EQ(OSProductType(OldNT(4, 0, "Other")), kPTUnknown);
  EXPECT_EQ(OSProductType(OldNT(4, 0, "")), kPTUnknown);
  EXPECT_EQ(OSProductType(OldNT(4, 0, std::nullopt)), kPTUnknown);
}

TEST(OSInfo, ProductTypeIsNotApplicableOutsideNT) {
  OSFacts f = Make(kPlatformWindows9x, 4, 10);
  f.Version.ExtendedInfo = true;
  f.Version.ProductType = 3;
  f.ProductOptionsType = "LANMANNT";
  EXPECT_EQ(OSProductType(f), kPTNotApplicable);
  EXPECT_EQ(OSProductType(Make(kPlatformWin32s, 4, 0)), kPTNotApplicable);
}

TEST(OSInfo, ProductTypeNamesAndServers) {
  const char* names[] = {"NA", "Unknown", "NT Workstation", "NTServer", "NT Domain Controller", "NT Advanced Server"};
  const bool servers[] = {false, false, false, true, true, true};
  for (int code = 0; code <= 5; ++code) {
    EXPECT_STREQ(OSProductTypeName(code), names[code]) << code;
    EXPECT_EQ(IsServerProductType(code), servers[code]) << code;
  }
}

TEST(OSInfo, EditionWithoutExtendedQueryNamesTypeAndVersion) {
  EXPECT_EQ(OSEdition(OldNT(4, 0, "WINNT")), "WorkStation 4.0");
  EXPECT_EQ(OSEdition(OldNT(4, 0, "LANMANNT")), "Server 4.0");
  EXPECT_EQ(OSEdition(OldNT(3, 51, "SERVERNT")), "Advanced Server 3.51");
  EXPECT_EQ(OSEdition(OldNT(4, 0, "Other")), "");
  EXPECT_EQ(OSEdition(OldNT(4, 0, std::nullopt)), "");
}

TEST(OSInfo, ServerEditions) {
  struct Row {
    std::uint32_t major, minor;
    std::uint8_t raw_type;
    std::uint16_t suite;
    const char* edition;
  };
  const Row rows[] = {
      {4, 0, 3, 0x0002, "Server 4.0, Enterprise Edition"},
      {4, 0, 3, 0x0000, "Server 4.0"},
      {4, 0, 2, 0x0000, "Server 4.0"},  // a domain controller is a server too
      {5, 0, 3, 0x0082, "Datacenter Server"},
      {5, 0, 3, 0x0002, "Advanced Server"},
      {5, 0, 3, 0x0400, "Standard Edition"},
      {5, 0, 3, 0x0000, "Standard Edition"},
      {5, 2, 3, 0x0482, "DataCenter Edition"},
      {5, 2, 3, 0x0402, "Enterprise Edition"},
      {5, 2, 3, 0x0400, "Web Edition"},
      {5, 2, 2, 0x0000, "Standard Edition"},
      {5, 1, 3, 0x0002, ""},  // no server table for XP or Vista
      {6, 0, 3, 0x0080, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.major << "." << row.minor << " suite " << row.suite);
    EXPECT_EQ(OSEdition(NT(row.major, row.minor, row.raw_type, row.suite)), row.edition);
  }
}

TEST(OSInfo, WorkstationEditions) {
  EXPECT_EQ(OSEdition(NT(4, 0, 1)), "Workstation 4.0");
  EXPECT_EQ(OSEdition(NT(5, 0, 1, 0x0200)), "Professional");
  EXPECT_EQ(OSEdition(NT(5, 1, 1)), "Professional");
  EXPECT_EQ(OSEdition(NT(5, 1, 1, 0x0200)), "Home Edition");
  EXPECT_EQ(OSEdition(NT(6, 1, 1)), "");
  EXPECT_EQ(OSEdition(NT(5, 2, 1)), "");
  // An unknown raw type is no server, so it takes the workstation table.
  EXPECT_EQ(OSEdition(NT(5, 1, 7)), "Professional");

  OSFacts media = NT(5, 1, 1, 0x0200);
  media.Version.MediaCenter = true;
  media.Version.TabletPC = true;
  EXPECT_EQ(OSEdition(media), "Media Center Edition");
  OSFacts tablet = NT(5, 1, 1, 0x0200);
  tablet.Version.TabletPC = true;
  EXPECT_EQ(OSEdition(tablet), "Tablet PC Edition");
  // The metrics matter only for XP.
  OSFacts media2000 = NT(5, 0, 1);
  media2000.Version.MediaCenter = true;
  EXPECT_EQ(OSEdition(media2000), "Professional");
}

TEST(OSInfo, EditionIsEmptyOutsideNT) {
  OSFacts f = Make(kPlatformWindows9x, 4, 10);
  f.Version.ExtendedInfo = true;
  f.Version.ProductType = 1;
  EXPECT_EQ(OSEdition(f), "");
  EXPECT_EQ(OSEdition(Make(kPlatformWindows9x, 4, 0)), "");
}

TEST(OSInfo, ServicePackOn9x) {
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 0, "")), "");
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 0, "B")), "OSR2");
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 0, "c")), "OSR2");
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 0, "A")), "");
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 10, "A")), "SE");
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 10, "a ")), "SE");
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 10, "B")), "");
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 90, "A")), "");
  EXPECT_EQ(OSServicePack(Make(kPlatformWindows9x, 4, 0, " B")), "");  // starts with the space
}

TEST(OSInfo, ServicePackOnNT) {
  OSFacts nt4 = Make(kPlatformNT, 4, 0, "service pack 6");
  EXPECT_EQ(OSServicePack(nt4), "service pack 6");
  nt4.HasHotfixQ246009 = true;
  EXPECT_EQ(OSServicePack(nt4), "Service Pack 6a");

  OSFacts sp5 = Make(kPlatformNT, 4, 0, "Service Pack 5");
  sp5.HasHotfixQ246009 = true;
  EXPECT_EQ(OSServicePack(sp5), "Service Pack 5");

  OSFacts xp = Make(kPlatformNT, 5, 1, "Service Pack 6");
  xp.HasHotfixQ246009 = true;
  EXPECT_EQ(OSServicePack(xp), "Service Pack 6");

  EXPECT_EQ(OSServicePack(Make(kPlatformNT, 6, 1, "")), "");
  EXPECT_EQ(OSServicePack(Make(kPlatformWin32s, 4, 0, "Service Pack 1")), "");
}

TEST(OSInfo, RunningSystemAgreesWithItsTables) {
  const OSFacts facts = QueryOSFacts();
  EXPECT_EQ(TOSInfo::Product(), OSProduct(facts));
  EXPECT_EQ(TOSInfo::ProductType(), OSProductType(facts));
  EXPECT_EQ(TOSInfo::IsServer(), IsServerProductType(OSProductType(facts)));
  EXPECT_EQ(TOSInfo::Edition(), OSEdition(facts));
  EXPECT_EQ(TOSInfo::ServicePack(), OSServicePack(facts));
  EXPECT_EQ(TOSInfo::BuildNumber(), facts.Version.Build);
  EXPECT_EQ(TOSInfo::ServicePackMajor(), facts.Version.ServicePackMajor);
  EXPECT_EQ(TOSInfo::ServicePackMinor(), facts.Version.ServicePackMinor);
  EXPECT_EQ(facts.Version.PlatformId, platform::kPlatformNT);
#ifndef _WIN32
  // The host stands in for a Windows 7 workstation with its first service pack.
  EXPECT_EQ(TOSInfo::Product(), kOSWinVista);
  EXPECT_EQ(TOSInfo::ProductType(), kPTWorkstation);
  EXPECT_EQ(TOSInfo::BuildNumber(), 7601u);
  EXPECT_EQ(TOSInfo::ServicePack(), "Service Pack 1");
  EXPECT_EQ(TOSInfo::ServicePackMajor(), 1);
#endif
}

TEST(OSInfo, RegistryIsAskedOnlyWhenTheTablesNeedIt) {
#ifndef _WIN32
  // The test program's own prefix: the machine's keys may be written.
  platform::Registry reg;
  reg.SetRoot(platform::kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKey("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", true));
  ASSERT_TRUE(reg.WriteString("ProductType", "LanmanNT"));
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009", true));
  reg.CloseKey();
#endif
  OSFacts old_nt4 = OSFactsFor(Make(kPlatformNT, 4, 0, "Service Pack 6").Version);
  ASSERT_TRUE(old_nt4.ProductOptionsType.has_value());
#ifndef _WIN32
  EXPECT_EQ(OSProductType(old_nt4), kPTServer);
  EXPECT_EQ(OSEdition(old_nt4), "Server 4.0");
  EXPECT_TRUE(old_nt4.HasHotfixQ246009);
  EXPECT_EQ(OSServicePack(old_nt4), "Service Pack 6a");
#endif

  const OSFacts sp5 = OSFactsFor(Make(kPlatformNT, 4, 0, "Service Pack 5").Version);
  EXPECT_FALSE(sp5.HasHotfixQ246009);
  const OSFacts extended = OSFactsFor(NT(5, 1, 1).Version);
  EXPECT_FALSE(extended.ProductOptionsType.has_value());
  const OSFacts win98 = OSFactsFor(Make(kPlatformWindows9x, 4, 10, "A").Version);
  EXPECT_FALSE(win98.ProductOptionsType.has_value());
  EXPECT_FALSE(win98.HasHotfixQ246009);
}

}  // namespace
}  // namespace zq
