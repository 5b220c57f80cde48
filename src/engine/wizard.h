// The main window's logic without its widgets: the page state machine, the language menu,
// the install directory and its free space, the run and the uninstall hand-over, closing.
// The window drives it with its buttons; a silent run drives the same logic with
// WalkUnattended, so every rule of the pages lives here once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ui_targets.h"
#include "ui/control_parser.h"
#include "ui/page_control.h"
#include "engine/wizard_view.h"

namespace zq {

class SetupContext;
class TPak;

// Entries of the package, group 0.
EntryFetcher PakEntryFetcher(TPak& pak);

// The folder the tree should select for `path`: the path itself or its nearest existing
// ancestor, with a trailing backslash; nothing when not even the drive exists.
std::optional<std::string> NearestExistingFolder(const std::string& path,
                                                 const std::function<bool(const std::string&)>& exists);

// A drive that cannot take an installation: unknown, no root directory, CD-ROM, RAM disk.
bool IsUnusableDrive(const std::string& path);

class Wizard {
 public:
  // How an unattended walk ended: at the end, or on a page that keeps Next off.
  enum class WalkEnd { Finished, UnusableDrive, ShortSpace, Stuck };

  // The view may be null (nothing is shown); it must outlive the wizard.
  Wizard(SetupContext& ctx, WizardView* view);
  ~Wizard();
  Wizard(const Wizard&) = delete;
  Wizard& operator=(const Wizard&) = delete;

  // The window's side of a run: raise RunRequested on the worker and keep the window alive
  // until the worker lowers it. Set by the front end; unset, the run does nothing.
  std::function<void()> RunScript;
  // The uninstall's removal work, on the window's thread; unset: zq::Uninstall.
  std::function<void()> RunUninstall;

  // Title, pages ("Pages.txt"), registered controls, install directory and its free space,
  // button texts, language menu. `fetch` unset: entries of ctx.Setup.Pak. With `list_optional`
  // (an unattended run) a missing page list is no error: the setup walks its implicit pages.
  // Throws PageError for damaged pages.
  void SetPagesUp(EntryFetcher fetch = {}, bool list_optional = false);

  // Next after Next, as a user who accepts every page would, to the finish page or the last
  // page; a page that keeps Next off ends the walk, and its type tells why. A setup without
  // pages walks those its mode implies: installdir, patch, patching, finish; or uninstall,
  // finish.
  WalkEnd WalkUnattended();
  // Once the wizard is left: 2 when the script failed; 0 when the finish page was reached or
  // an unattended walk passed every page; otherwise 1, closed early.
  int ExitCode() const;

  void ShowLanguages();
  void CheckChosenLanguage();
  // Any language menu item was chosen (its tag is the table index; the name is the first
  // item's): captions follow, typed texts stay.
  void ChooseLanguage(int tag);

  void Next();
  void Back();
  void Cancel();
  // False refuses the close: while working, or when the quit question (texts 27, 28) is
  // answered No on a page that is not a finish page.
  bool MayClose();
  // What FormClose does after stopping the worker: the uninstaller on its finish page
  // starts the finaliser.
  bool ShouldStartFinaliser() const;

  // The user clicked a check box or radio button (or pressed Space on it); `checked` is what
  // the native control shows now. Components follow their boxes, the licence page's Next its
  // accept button.
  void ToggleClicked(Control& control, bool checked);
  // The licence is accepted (a silent run accepts, as it accepts every page).
  bool LicenseAccepted() const;
  // Once the window closed on the finish page of an installation that succeeded, with the run
  // box ("finish_run") shown and checked: "runafter"'s program should start.
  bool ShouldRunAfter() const;

  // The user typed in the install-directory edit (an echo of the model's own text is
  // ignored, so a view may mirror the text back without a loop).
  void InstallDirTyped(const std::u16string& text);
  // The user typed into an edit: the folder's goes to InstallDirTyped, another keeps its text.
  void EditTyped(Control& control, const std::u16string& text);
  void InstallDirChanged();
  // The folder tree's selection moved to `path`.
  void TreeFolderChosen(const std::string& path);
  void SelectTreeFolder(const std::string& path, bool expand);
  void SetWorkingState(bool working);

  // Why the folder cannot take the installation (an unusable drive, or a folder the uninstaller
  // would refuse to remove from), empty when it can.
  std::string FolderRefusal(const std::string& path) const;
  bool CannotTake(const std::string& path) const { return !FolderRefusal(path).empty(); }

  bool Working() const { return working_; }
  bool InstallDirVisited() const { return install_dir_visited_; }
  const std::u16string& Title() const { return title_; }
  const std::vector<LanguageMenuItem>& LanguageMenu() const { return menu_; }
  TSEPageControl& Pages() { return pages_; }
  const TSEPageControl& Pages() const { return pages_; }

  // The registered named controls (null when the layouts lack them).
  Control* StatusLabel() const { return status_label_; }
  Control* Gauge() const { return gauge_; }
  Control* DetailLabel() const { return detail_label_; }
  Control* InstallDirEdit() const { return install_dir_edit_; }
  Control* FolderTree() const { return folder_tree_; }
  Control* SpaceLabel() const { return space_label_; }
  Control* RunBox() const { return run_box_; }
  // The components page's boxes, one per component of the setup (empty without that page).
  const std::vector<Control*>& ComponentBoxes() const { return component_boxes_; }

 private:
  class ControlText;
  class ControlGauge;

  void SetButtonTexts();
  void BuildComponentBoxes();
  void SetUpRunBox();
  void UpdateLicenseNext();
  void ReloadLicenseTexts();
  void AcceptLicense();
  void NoteCheckedControls();
  void RegisterNamedControls();
  void AttachReportTargets();
  void AddImplicitReportControls();
  WalkEnd WalkImplicitPages();
  void ShowPage(int index);
  void RecheckNext();
  bool SpaceShort() const;
  void StoreInstallDir(const std::string& text);
  void SetEditText(const std::u16string& text);
  void SetCaption(Control* control, const std::u16string& text);
  void StartGauge(std::int32_t max);
  void Run();
  void DoUninstall();
  std::optional<PageKind> CurrentType() const;
  bool OnPage(PageKind type) const { return CurrentType() == type; }

  SetupContext& ctx_;
  WizardView* view_;
  TSEPageControl pages_;
  std::u16string title_;
  std::vector<LanguageMenuItem> menu_;
  bool install_dir_visited_ = false;
  bool working_ = false;
  bool finished_ = false;                  // see ExitCode
  std::optional<PageKind> implicit_page_;  // a walk without pages: the page it is on
  bool edit_hooked_ = false;               // the edit's change event, set after its first text
  Control* status_label_ = nullptr;
  Control* gauge_ = nullptr;
  Control* detail_label_ = nullptr;
  Control* install_dir_edit_ = nullptr;
  Control* folder_tree_ = nullptr;
  Control* space_label_ = nullptr;
  Control* license_accept_ = nullptr;
  Control* run_box_ = nullptr;
  std::vector<Control*> component_boxes_;
  EntryFetcher fetch_;
  std::unique_ptr<ControlText> status_target_;
  std::unique_ptr<ControlText> detail_target_;
  std::unique_ptr<ControlGauge> gauge_target_;
};

}  // namespace zq
