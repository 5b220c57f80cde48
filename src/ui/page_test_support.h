// A package of page files in memory, a shared context with two language tables, and a view
// that records what it is told, for the tests of this folder.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/setup_context.h"
#include "ui/control_parser.h"
#include "ui/test_tables.h"
#include "engine/wizard_view.h"

namespace zq::test {

inline const char16_t kEnglishTable[] =
    u"English\r\n0409;\r\n1 Welcome to <%SETUPTITLE%>\r\n7 Space available <%SPACEAVA%>\r\n12 < Back\r\n"
    u"13 Next >\r\n14 Cancel\r\n15 Install\r\n16 Finish\r\n26 Uninstallation\r\n"
    u"27 Are you sure you want to quit the installation?\r\n28 Quit\r\n";
inline const char16_t kGermanTable[] =
    u"Deutsch\r\n0407;\r\n1 Willkommen bei <%SETUPTITLE%>\r\n7 Frei: <%SPACEAVA%>\r\n12 < Zur\u00fcck\r\n"
    u"13 Weiter >\r\n14 Abbrechen\r\n15 Installieren\r\n16 Fertigstellen\r\n";

class RecordingBoxes : public MessageBoxes {
 public:
  int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) override {
    shown.emplace_back(text, caption, flags);
    return answer;
  }
  int answer = kIdYes;
  std::vector<std::tuple<std::u16string, std::u16string, unsigned>> shown;
};

class RecordingView : public WizardView {
 public:
  void ControlAdded(Control& c) override { added.push_back(&c); }
  void ControlChanged(const Control& c) override { changed.push_back(&c); }
  void ZOrderChanged() override { ++zorder_changes; }
  void ButtonsChanged(const WizardButtons& b) override { buttons = b; }
  void PageShown(int index) override { shown_pages.push_back(index); }
  void TitleChanged(const std::u16string& t, const std::u16string& c) override { title = t, caption = c; }
  void LanguageMenuChanged(const std::vector<LanguageMenuItem>& items) override { menu = items; }
  void SelectTreeFolder(const Control&, const std::string& folder, bool expand) override {
    tree_folders.emplace_back(folder, expand);
  }
  void WorkingChanged(bool w) override { working.push_back(w); }
  void CloseRequested() override { ++close_requests; }
  void RunOnWindowThread(const std::function<void()>& update) override {
    ++handed_over;
    update();
  }

  std::vector<Control*> added;
  std::vector<const Control*> changed;
  int zorder_changes = 0;
  WizardButtons buttons;
  std::vector<int> shown_pages;
  std::u16string title, caption;
  std::vector<LanguageMenuItem> menu;
  std::vector<std::pair<std::string, bool>> tree_folders;
  std::vector<bool> working;
  int close_requests = 0;
  int handed_over = 0;
};

struct PageFiles {
  PageFiles() {
    ctx.Services.Messages = &boxes;
    AddLanguage(kEnglishTable);
    ctx.SetupToLoad().Languages.Current = 0;
    ctx.SetupToLoad().SetupInfo.SetupName = "Demo Game";
    ctx.SetupToLoad().SetupInfo.ShortName = "Demo";
  }
  void AddLanguage(std::u16string_view table) {
    const std::string bytes = TableBytes(table);
    ctx.SetupToLoad().Languages.AddLanguage(bytes.data(), bytes.size());
  }
  // Entry names compare without regard to case, as in a package.
  EntryFetcher Fetch() {
    return [this](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
      for (const auto& [key, value] : entries) {
        if (key.size() == name.size() && std::equal(key.begin(), key.end(), name.begin(),
                                                    [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
          return std::vector<std::uint8_t>(value.begin(), value.end());
      }
      return std::nullopt;
    };
  }
  PageEnvironment Environment(PageView* view = nullptr) {
    return PageEnvironment{&ctx.SetupToLoad().Languages, &ctx.LanguageStrings, Fetch(),
                           [this](const std::u16string& t, const std::u16string& c, unsigned f) {
                             return ctx.Services.ShowMessageBox(t, c, f);
                           },
                           view};
  }

  std::map<std::string, std::string> entries;
  RecordingBoxes boxes;
  SetupContext ctx;
};

}  // namespace zq::test
