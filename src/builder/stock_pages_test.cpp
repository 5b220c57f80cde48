// Page folders: the script's own first, then the stock sets; a script without pages gets the
// stock wizard.
#include <gtest/gtest.h>

#include <algorithm>

#include "builder/script_compiler.h"
#include "platform/files.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq::builder {
namespace {

class StockPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"stock", "stock\\install", "stock\\uninstall", "own"}) platform::CreateDir(dir_ / d);
    test::WriteAll(dir_ / "English.wri", test::LanguageTable(u"English", "0409;", {{13, u"Next >"}}));
    for (const char* set : {"stock\\install", "stock\\uninstall", "own"}) {
      test::WriteAll(dir_ / (std::string(set) + "\\Pages.txt"), "[Pages]\r\npage.txt\r\n[PageTypes]\r\nWelcome\r\n");
      test::WriteAll(dir_ / (std::string(set) + "\\page.txt"),
                     std::string("[") + (set[0] == 'o' ? "own" : "stock") + "_label]\r\nType=TLabel\r\ncaption=x\r\n");
    }
  }
  CompileResult Compile(const std::string& source) {
    test::WriteAll(dir_ / "setup.zqs", "name Demo\r\nlanguage English\r\n" + source);
    CompileOptions options;
    options.stock_page_dirs = {dir_ / "stock"};
    return CompileScript(dir_ / "setup.zqs", options);
  }
  static bool Has(const CompileResult& r, const std::string& name) {
    return std::any_of(r.entries.begin(), r.entries.end(), [&](const PlannedEntry& e) { return e.name == name; });
  }
  test::TempDir dir_;
};

TEST_F(StockPagesTest, AScriptWithoutPagesGetsTheStockWizard) {
  CompileResult r = Compile("");
  EXPECT_TRUE(Has(r, "Pages.txt"));
  EXPECT_TRUE(Has(r, "page.txt"));
  EXPECT_FALSE(Has(r, "UNINSTALL_Pages.txt"));  // no uninstaller asked for
}

TEST_F(StockPagesTest, OwnFoldersComeFirstAndStockNamesAreFound) {
  CompileResult r = Compile("pages own\r\nuninstallpages uninstall\r\n");
  ASSERT_TRUE(r.diagnostics.All().empty() || !r.diagnostics.HasErrors());
  EXPECT_TRUE(Has(r, "Pages.txt"));
  EXPECT_TRUE(Has(r, "UNINSTALL_Pages.txt"));
  EXPECT_TRUE(r.info.HasUninstaller);
  CompileResult missing = Compile("uninstallpages nowhere\r\n");
  EXPECT_TRUE(missing.diagnostics.HasErrors());
}

}  // namespace
}  // namespace zq::builder
