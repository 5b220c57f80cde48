// The stock page sets of the source tree (pages/) with the stock language tables.
#include <gtest/gtest.h>

#include <array>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/setup_context.h"
#include "platform/text.h"
#include "engine/page_test_support.h"
#include "engine/uninstaller.h"
#include "engine/wizard.h"
#include "support/temp_dir.h"

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
  ctx.Services.Messages = &boxes;
  const std::string bytes = *Slurp(kRoot / "languages" / table);
  ctx.SetupToLoad().Languages.AddLanguage(bytes.data(), bytes.size());
  ctx.SetupToLoad().Languages.Current = 0;
  ctx.SetupToLoad().SetupInfo.SetupName = "Demo Game 1.0";
  ctx.SetupToLoad().SetupInfo.ShortName = "Demo Game";
  ctx.SetupToLoad().SetupInfo.Changelog = "changes.rtf";
  ctx.SetupToLoad().SetupInfo.Mode = static_cast<SetupMode>(mode);
  ctx.Choices.InstallDir = "C:\\Program Files\\Demo Game";
  // What the script offers: a licence, two components and a program to run.
  ctx.SetupToLoad().Licenses = {{"", "LICENSE"}};
  ctx.Choices.LicenseEntry = "LICENSE";
  ctx.SetupToLoad().Components = {{"game", "Game", ComponentState::Fixed, "The game.", 1 << 20, 0, 0},
                                  {"music", "Music", ComponentState::Off, "The soundtrack.", 5 << 20, 0, 0}};
  ctx.Choices.ComponentChosen = {true, false};
  ctx.SetupToLoad().RunAfterProgram = "$INSTDIR\\game.exe";
  Wizard wizard(ctx, nullptr);
  wizard.SetPagesUp([&](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    if (name == "changes.rtf" || name == "LICENSE")
      return std::vector<std::uint8_t>{'{', '\\', 'r', 't', 'f', '1', '}'};
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
  ctx.Choices.SpaceAvailable = 1 << 30;
  // The confirmation page names the folder the run acts on: in setup mode the one chosen on
  // the installation-directory page after the pages were built.
  const std::u16string install_dir = mode == 0 ? u"C:\\Games\\Demo Game" : u"C:\\Program Files\\Demo Game";
  bool folder_named = false;
  for (int step = 0; step < 12 && wizard.Pages().CurrentType() != ptFinish; ++step) {
    if (wizard.Pages().CurrentType() == ptInstallDir) wizard.InstallDirTyped(install_dir);
    if (wizard.Pages().CurrentType() == ptLicense) {
      EXPECT_FALSE(wizard.Pages().Buttons().Next.Enabled);
      for (Control* c : wizard.Pages().Page(wizard.Pages().Current()).Controls()) {
        if (c->Name == "license_accept") wizard.ToggleClicked(*c, true);
      }
      EXPECT_TRUE(wizard.Pages().Buttons().Next.Enabled);
    }
    wizard.Next();
    if (wizard.Pages().CurrentType() != ptPatch) continue;
    for (const Control* c : wizard.Pages().Page(wizard.Pages().Current()).Controls()) {
      folder_named |= c->Caption == install_dir;
    }
  }
  EXPECT_TRUE(folder_named);
  EXPECT_EQ(wizard.Pages().CurrentType(), ptFinish);
  EXPECT_EQ(wizard.ComponentBoxes().size(), mode == 0 ? 2u : 0u);
  if (mode == 0) {
    ASSERT_NE(wizard.RunBox(), nullptr);
    EXPECT_TRUE(wizard.RunBox()->Visible && wizard.RunBox()->Checked);
  }
  for (const auto& control : wizard.Pages().Area().Controls) {
    const std::string caption = platform::WideToUtf8(control->Caption);
    EXPECT_EQ(caption.find("NOT FOUND"), std::string::npos) << control->Name << ": " << caption;
    EXPECT_EQ(caption.find("<%"), std::string::npos) << control->Name << ": " << caption;
    EXPECT_LE(control->Left + control->Width, 578) << control->Name;
    EXPECT_LE(control->Top + control->Height, 375) << control->Name;
    if (control->Type != ControlType::Image) continue;
    EXPECT_TRUE(control->PictureLoaded()) << control->Name;
    // The side picture fills the page's height, and is drawn that high, so nothing is stretched.
    EXPECT_EQ(control->Top, 0) << control->Name;
    EXPECT_EQ(control->Height, 375) << control->Name;
  }
  const std::string bmp = *Slurp(dir / "side.bmp");
  ASSERT_GE(bmp.size(), 26u);
  EXPECT_EQ(static_cast<unsigned char>(bmp[22]) | static_cast<unsigned char>(bmp[23]) << 8, 375);
}

TEST(StockPages, SetsWalkToTheirFinishPagesInEveryStockLanguage) {
  for (const char* language : {"English.wri", "German.wri"}) {
    SCOPED_TRACE(language);
    WalkStockPages("install", language, 0);
    WalkStockPages("uninstall", std::string("uninstall/") + language, 1);
  }
}

// Alt and a letter presses a button: each stock button text has one "&", and the buttons shown
// together (Back, Next or the confirmation's text 15, Cancel) have different letters.
TEST(StockPages, ButtonTextsHaveOneMnemonicEachUniquePerPage) {
  for (const char* table : {"English.wri", "German.wri", "uninstall/English.wri", "uninstall/German.wri"}) {
    const auto bytes = Slurp(kRoot / "languages" / table);
    if (!bytes) GTEST_SKIP() << "no source tree";
    TLanguages langs;
    ASSERT_TRUE(langs.AddLanguage(bytes->data(), bytes->size())) << table;
    langs.Current = 0;
    auto mnemonic = [&](int number) {
      const std::u16string text = langs.GetText(number);
      const auto at = text.find(u'&');
      EXPECT_TRUE(at != std::u16string::npos && at + 1 < text.size() && text.find(u'&', at + 1) == std::u16string::npos)
          << table << " text " << number;
      return at + 1 < text.size() ? std::towlower(static_cast<wint_t>(text[at + 1])) : 0;
    };
    // The licence's buttons are shown with Back, Next and Cancel, the run box with Finish.
    const bool installer = std::string(table).find("uninstall") == std::string::npos;
    if (installer) {
      for (const int a : {42, 43}) {
        for (const int b : {12, 13, 14}) EXPECT_NE(mnemonic(a), mnemonic(b)) << table << " " << a << " " << b;
      }
      EXPECT_NE(mnemonic(42), mnemonic(43)) << table;
      EXPECT_NE(mnemonic(46), mnemonic(16)) << table;
    }
    for (const auto& buttons : {std::array{12, 13, 14}, std::array{12, 15, 14}}) {
      EXPECT_NE(mnemonic(buttons[0]), mnemonic(buttons[1])) << table;
      EXPECT_NE(mnemonic(buttons[1]), mnemonic(buttons[2])) << table;
      EXPECT_NE(mnemonic(buttons[0]), mnemonic(buttons[2])) << table;
    }
    mnemonic(16);
  }
}

// The uninstall's progress names what it removes, in both stock uninstall tables.
TEST(StockPages, UninstallProgressNamesEachKindOfItem) {
  const struct {
    const char* table;
    std::vector<std::u16string> texts;
  } cases[] = {
      {"uninstall/English.wri",
       {u"Status: 0 of 3 items remaining", u"Removing files: 1 of 1", u"Removing folders: 1 of 1",
        u"Removing registry entries: 1 of 1"}},
      {"uninstall/German.wri",
       {u"Status: 0 of 3 items remaining", u"Dateien werden entfernt: 1 von 1", u"Ordner werden entfernt: 1 von 1",
        u"Registrierungseintr\u00e4ge werden entfernt: 1 von 1"}},
  };
  for (const auto& c : cases) {
    const auto bytes = Slurp(kRoot / "languages" / c.table);
    if (!bytes) GTEST_SKIP() << "no source tree";
    test::TempDir dir;
    SetupContext ctx;
    ASSERT_TRUE(ctx.SetupToLoad().Languages.AddLanguage(bytes->data(), bytes->size()));
    ctx.SetupToLoad().Languages.Current = 0;
    ctx.Choices.InstallDir = dir.path();
    ctx.Run.UninstallList.Files = {dir / "gone.txt"};
    ctx.Run.UninstallList.Dirs = {dir / "gone"};
    ctx.Run.UninstallList.RegValues = {"\"HKCU\" \"Software\\zqsetup-test\\Gone\" \"v\" \"x\""};
    struct Recorder : TextTarget {
      void SetCaption(const std::u16string& text) override { texts.push_back(text); }
      std::vector<std::u16string> texts;
    } status;
    ctx.Services.StatusLabel = &status;
    Uninstall(ctx);
    EXPECT_EQ(status.texts, c.texts) << c.table;
  }
}

}  // namespace
}  // namespace zq
