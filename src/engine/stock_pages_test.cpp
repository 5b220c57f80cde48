// The stock page sets of the source tree (pages/) with the stock language tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/setup_context.h"
#include "platform/text.h"
#include "ui/page_test_support.h"
#include "engine/wizard.h"

namespace zq {
namespace {

const std::filesystem::path kRoot = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();

std::optional<std::string> Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Walks a stock set to its finish page; every text shown must come from the tables.
void WalkStockPages(const std::string& folder, const std::string& table, std::uint8_t mode) {
  const std::filesystem::path dir = kRoot / "pages" / folder;
  if (!Slurp(dir / "Pages.txt")) GTEST_SKIP() << "no source tree at " << dir.string();
  SetupContext ctx;
  test::RecordingBoxes boxes;
  ctx.Messages = &boxes;
  const std::string bytes = *Slurp(kRoot / "languages" / table);
  ctx.Languages.AddLanguage(bytes.data(), bytes.size());
  ctx.Languages.Current = 0;
  ctx.SetupInfo.SetupName = "Demo Game 1.0";
  ctx.SetupInfo.ShortName = "Demo Game";
  ctx.SetupInfo.Changelog = "changes.rtf";
  ctx.SetupInfo.Mode = mode;
  ctx.SetupInfo.InstallDir = "C:\\Program Files\\Demo Game";
  TWizard wizard(ctx, nullptr);
  wizard.SetPagesUp([&](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    if (name == "changes.rtf") return std::vector<std::uint8_t>{'{', '\\', 'r', 't', 'f', '1', '}'};
    auto text = Slurp(dir / name);
    if (!text) return std::nullopt;
    return std::vector<std::uint8_t>(text->begin(), text->end());
  });
  EXPECT_TRUE(boxes.shown.empty());
  ASSERT_NE(wizard.StatusLabel(), nullptr);
  ASSERT_NE(wizard.Gauge(), nullptr);
  ASSERT_NE(wizard.DetailLabel(), nullptr);
  if (mode == 0) {
    EXPECT_NE(wizard.InstallDirEdit(), nullptr);
    EXPECT_NE(wizard.FolderTree(), nullptr);
    EXPECT_NE(wizard.SpaceLabel(), nullptr);
  }
  ctx.SpaceAvailable = 1 << 30;
  for (int step = 0; step < 8 && wizard.Pages().CurrentType() != ptFinish; ++step) wizard.NextButtonClick();
  EXPECT_EQ(wizard.Pages().CurrentType(), ptFinish);
  for (const auto& control : wizard.Pages().Area().Controls) {
    const std::string caption = platform::WideToAnsi(control->Caption);
    EXPECT_EQ(caption.find("NOT FOUND"), std::string::npos) << control->Name << ": " << caption;
    EXPECT_EQ(caption.find("<%"), std::string::npos) << control->Name << ": " << caption;
    EXPECT_LE(control->Left + control->Width, 578) << control->Name;
    EXPECT_LE(control->Top + control->Height, 375) << control->Name;
    if (control->Type == TControlType::Image) EXPECT_TRUE(control->PictureLoaded()) << control->Name;
  }
}

TEST(StockPages, InstallSetWalksToItsFinishPage) { WalkStockPages("install", "English.wri", 0); }
TEST(StockPages, UninstallSetWalksToItsFinishPage) { WalkStockPages("uninstall", "uninstall/English.wri", 1); }

}  // namespace
}  // namespace zq
