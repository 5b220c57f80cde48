#include "engine/wizard.h"

#include "engine/command_line.h"

#include <span>

#include "container/entry_names.h"
#include "container/pak.h"
#include "engine/front_end.h"
#include "engine/macros.h"
#include "engine/removal_guard.h"
#include "engine/selection.h"
#include "base/path_text.h"
#include "base/size_text.h"
#include "engine/setup_context.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/text.h"
#include "engine/uninstaller.h"

namespace zq {

namespace {

bool EqualNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (x != b[i]) return false;
  }
  return i == a.size() && b[i] == '\0';
}

}  // namespace

// The registered controls as the shared context's report targets. Updates made on the
// worker reach the model and the view on the window's thread, in order.
class Wizard::ControlText : public TextTarget {
 public:
  ControlText(Control& control, WizardView* view) : control_(control), view_(view) {}
  void SetCaption(const std::u16string& text) override {
    auto update = [&] {
      if (control_.Caption == text) return;
      control_.Caption = text;
      if (view_ != nullptr) view_->ControlChanged(control_);
    };
    if (view_ != nullptr) view_->RunOnWindowThread(update);
    else update();
  }
  void RepaintParent() override {
    if (view_ != nullptr) view_->RunOnWindowThread([&] { view_->RepaintNow(control_); });
  }

 private:
  Control& control_;
  WizardView* view_;
};

class Wizard::ControlGauge : public GaugeTarget {
 public:
  ControlGauge(Control& control, WizardView* view) : control_(control), view_(view) {}
  void SetPosition(std::int32_t position) override {
    auto update = [&] {
      if (control_.Gauge.SetProgress(position) && view_ != nullptr) view_->ControlChanged(control_);
    };
    if (view_ != nullptr) view_->RunOnWindowThread(update);
    else update();
  }

 private:
  Control& control_;
  WizardView* view_;
};

EntryFetcher PakEntryFetcher(TPak& pak) {
  return [&pak](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    auto data = pak.ExtractByName(name, 0);
    if (!data) return std::nullopt;
    return std::vector<std::uint8_t>(data->begin(), data->end());
  };
}

std::optional<std::string> NearestExistingFolder(const std::string& path,
                                                 const std::function<bool(const std::string&)>& exists) {
  std::string p = path;
  if (!p.empty() && p.back() == '\\') p.pop_back();
  if (!exists(p)) {
    do {
      const std::size_t cut = p.rfind('\\');
      p = cut == std::string::npos ? std::string() : p.substr(0, cut);
    } while (!p.empty() && p.size() > 2 && !exists(p));
  }
  if (p.empty() || !exists(p)) return std::nullopt;
  return p + "\\";
}

bool IsUnusableDrive(const std::string& path) {
  using platform::DriveType;
  const DriveType type = platform::GetDriveType(path.substr(0, 3));
  return type == DriveType::Unknown || type == DriveType::NoRootDir || type == DriveType::CdRom ||
         type == DriveType::RamDisk;
}

Wizard::Wizard(SetupContext& ctx, WizardView* view)
    : ctx_(ctx), view_(view),
      pages_(PageEnvironment{&ctx.Setup.Languages,
                             &ctx.LanguageStrings,
                             {},
                             [&ctx](const std::u16string& text, const std::u16string& caption, unsigned flags) {
                               return ctx.Services.ShowMessageBox(text, caption, flags);
                             },
                             view,
                             &ctx.Choices.Language}) {}

Wizard::~Wizard() {
  // The context outlives the wizard; it must not keep targets into a freed model.
  if (ctx_.Services.StatusLabel == status_target_.get()) ctx_.Services.StatusLabel = nullptr;
  if (ctx_.Services.DetailLabel == detail_target_.get()) ctx_.Services.DetailLabel = nullptr;
  if (ctx_.Services.Gauge == gauge_target_.get()) ctx_.Services.Gauge = nullptr;
}

void Wizard::SetPagesUp(EntryFetcher fetch, bool list_optional) {
  const TSetupInfoFile& info = ctx_.Setup.SetupInfo;
  title_ = ctx_.Setup.IsUninstaller() ? platform::Utf8ToWide(info.ShortName) + u" " + ctx_.Text(TextId::UninstallTitle)
                                      : platform::Utf8ToWide(info.SetupName);
  if (view_ != nullptr) view_->TitleChanged(title_, title_);

  if (!fetch && ctx_.Setup.Pak) fetch = PakEntryFetcher(*ctx_.Setup.Pak);
  const bool listed = !list_optional || (fetch && fetch(kPageListEntry));
  fetch_ = fetch;  // the licence is read again when the language changes
  pages_.Environment().Fetch = std::move(fetch);
  pages_.Environment().LegacyText = ctx_.Setup.Pak && !ctx_.Setup.Pak->TextIsUtf8();
  if (listed) pages_.LoadPages(kPageListEntry);
  if (view_ != nullptr) view_->PageAreaColourChanged(pages_.BackColour);

  RegisterNamedControls();
  BuildComponentBoxes();
  SetUpRunBox();
  ReloadLicenseTexts();
  pages_.Environment().Fetch = {};
  ctx_.Choices.InstallDir = ExpandMacrosAnsi(ctx_, ctx_.Choices.InstallDir);
  // Start-up could measure only the directory it found, often still "$PROGRAMFILES\..."; a
  // page set without an install-directory edit measures nowhere else before its confirmation.
  if (!ctx_.Setup.IsUninstaller()) MeasureSpace(ctx_.Setup, ctx_.Choices);
  if (folder_tree_ != nullptr) SelectTreeFolder(ctx_.Choices.InstallDir, false);
  if (install_dir_edit_ != nullptr) {
    SetEditText(platform::Utf8ToWide(ExpandMacrosAnsi(ctx_, ctx_.Choices.InstallDir)));
    edit_hooked_ = true;
  }
  SetButtonTexts();
  UpdateLicenseNext();  // a set may start on its licence
  pages_.ButtonsChanged();
  ShowLanguages();
}

void Wizard::RegisterNamedControls() {
  status_label_ = gauge_ = detail_label_ = install_dir_edit_ = folder_tree_ = space_label_ = nullptr;
  license_accept_ = run_box_ = nullptr;
  for (int i = 0; i < pages_.PageCount(); ++i) {
    for (Control* c : pages_.Page(i).Controls()) {
      if (EqualNoCase(c->Name, "patching_statuslabel")) status_label_ = c;
      else if (EqualNoCase(c->Name, "patching_progressbar")) gauge_ = c;
      else if (EqualNoCase(c->Name, "finishtext")) detail_label_ = c;
      else if (EqualNoCase(c->Name, "installdir_edit")) install_dir_edit_ = c;
      else if (EqualNoCase(c->Name, "installdir_shelltreeview")) folder_tree_ = c;
      else if (EqualNoCase(c->Name, "spaceavalible")) space_label_ = c;
      else if (EqualNoCase(c->Name, "license_accept") && c->Type == ControlType::RadioButton) license_accept_ = c;
      else if (EqualNoCase(c->Name, "finish_run") && c->Type == ControlType::CheckBox) run_box_ = c;
    }
  }
  AttachReportTargets();
}

// One box per component, in the rectangle the page's "components_list" control gives (or
// below the page's head), with its size and, under it, its description.
void Wizard::BuildComponentBoxes() {
  component_boxes_.clear();
  const auto& components = ctx_.Setup.Components;
  for (int i = 0; i < pages_.PageCount() && component_boxes_.empty() && !components.empty(); ++i) {
    TControlParser& page = pages_.Page(i);
    if (page.PageType != ptComponents) continue;
    std::int32_t left = 24, top = 72, width = 530;
    for (Control* c : page.Controls()) {
      if (!EqualNoCase(c->Name, "components_list")) continue;
      left = c->Left;
      top = c->Top;
      width = c->Width;
      c->Suppressed = true;
      c->Visible = false;
      if (view_ != nullptr) view_->ControlChanged(*c);
    }
    for (std::size_t k = 0; k < components.size(); ++k) {
      const ComponentInfo& info = components[k];
      Control& box = page.AddControl(ControlType::CheckBox, "");
      box.Left = left;
      box.Top = top;
      box.Width = width;
      box.CaptionSource = platform::Utf8ToWide(info.Caption + " (" + SizeToText(info.Size) + ")");
      box.Caption = pages_.Environment().ExpandCaption(box.CaptionSource);
      box.Checked = ComponentChosen(ctx_.Choices, static_cast<int>(k));
      box.Enabled = info.State != ComponentState::Fixed;
      box.Visible = pages_.Current() == i;
      page.ControlReady(box);
      component_boxes_.push_back(&box);
      top += box.Height + 4;
      if (!info.Description.empty()) {
        Control& text = page.AddControl(ControlType::Label, "");
        text.Left = left + 18;
        text.Top = top;
        text.Width = width - 18;
        text.Height = 28;
        text.AutoSize = false;
        text.WordWrap = true;
        text.Transparent = true;
        text.CaptionSource = platform::Utf8ToWide(info.Description);
        text.Caption = pages_.Environment().ExpandCaption(text.CaptionSource);
        text.Visible = box.Visible;
        page.ControlReady(text);
        top += text.Height + 4;
      }
      top += 4;
    }
  }
}

void Wizard::SetUpRunBox() {
  if (run_box_ == nullptr) return;
  run_box_->Suppressed = ctx_.Setup.IsUninstaller() || ctx_.Setup.RunAfterProgram.empty();
  if (run_box_->Suppressed && run_box_->Visible) {
    run_box_->Visible = false;
    if (view_ != nullptr) view_->ControlChanged(*run_box_);
  }
}

bool Wizard::LicenseAccepted() const { return license_accept_ != nullptr && license_accept_->Checked; }

void Wizard::UpdateLicenseNext() {
  if (!OnPage(ptLicense)) return;
  ButtonState& next = pages_.Buttons().Next;
  if (next.Enabled == LicenseAccepted()) return;
  next.Enabled = LicenseAccepted();
  pages_.ButtonsChanged();
}

void Wizard::AcceptLicense() {
  if (license_accept_ == nullptr) return;
  pages_.Page(license_accept_->Page).SetChecked(*license_accept_, true);
  UpdateLicenseNext();
}

// The licence's rich edits show the text for the language in use.
void Wizard::ReloadLicenseTexts() {
  if (ctx_.Setup.Licenses.empty()) return;
  ctx_.Choices.LicenseEntry = LicenseEntryFor(ctx_.Setup, ctx_.Choices.Language);
  for (int i = 0; i < pages_.PageCount(); ++i) {
    TControlParser& page = pages_.Page(i);
    if (page.PageType != ptLicense) continue;
    for (Control* c : page.Controls()) {
      if (c->Type == ControlType::RichEdit && c->File != ctx_.Choices.LicenseEntry)
        page.ReloadFile(*c, ctx_.Choices.LicenseEntry);
    }
  }
}

void Wizard::ToggleClicked(Control& control, bool checked) {
  if (!control.IsToggle() || control.Page < 0 || control.Page >= pages_.PageCount() || working_) return;
  pages_.Page(control.Page).SetChecked(control, checked);
  for (std::size_t k = 0; k < component_boxes_.size(); ++k) {
    if (component_boxes_[k] != &control) continue;
    if (ctx_.Choices.ComponentChosen.size() <= k) ctx_.Choices.ComponentChosen.resize(k + 1, true);
    ctx_.Choices.ComponentChosen[k] = control.Checked;
    UpdateSpaceRequired(ctx_.Setup, ctx_.Choices);
    pages_.Page(control.Page).RefreshCaptions();  // the space required follows
  }
  UpdateLicenseNext();
}

bool Wizard::ShouldRunAfter() const {
  return !ctx_.Setup.IsUninstaller() && !ctx_.Setup.RunAfterProgram.empty() && OnPage(ptFinish) && finished_ &&
         !ctx_.Run.SetupAborted && !ctx_.Run.Cancelled && run_box_ != nullptr && !run_box_->Suppressed &&
         run_box_->Checked;
}

// The boxes and buttons as the run finds them, for "ifchecked", and the edits that give the
// script's variables their text.
void Wizard::NoteCheckedControls() {
  ctx_.Choices.Checked.clear();
  for (const auto& c : pages_.Area().Controls) {
    if (c->IsToggle() && !c->Name.empty()) ctx_.Choices.Checked[AsciiLowerCase(c->Name)] = c->Checked;
    if (c->Type == ControlType::Edit && !c->Variable.empty()) {
      ctx_.Run.Variables.Set(platform::UpperCase(c->Variable), platform::WideToUtf8(c->Caption));
    }
  }
}

void Wizard::AttachReportTargets() {
  status_target_ = status_label_ ? std::make_unique<ControlText>(*status_label_, view_) : nullptr;
  detail_target_ = detail_label_ ? std::make_unique<ControlText>(*detail_label_, view_) : nullptr;
  // Only a gauge control can show progress; a control of another type under that name is passed over.
  const bool gauge_ok = gauge_ != nullptr && gauge_->Type == ControlType::ProgressBar;
  gauge_target_ = gauge_ok ? std::make_unique<ControlGauge>(*gauge_, view_) : nullptr;
  ctx_.Services.StatusLabel = status_target_.get();
  ctx_.Services.DetailLabel = detail_target_.get();
  ctx_.Services.Gauge = gauge_target_.get();
}

void Wizard::ShowLanguages() {
  const TLanguages& langs = ctx_.Setup.Languages;
  ButtonState& button = pages_.Buttons().Language;
  const std::int32_t current = ctx_.Choices.Language;
  const bool valid = current >= 0 && static_cast<std::size_t>(current) < langs.Items.size();
  if (valid) button.Caption = langs.Items[static_cast<std::size_t>(current)].LangName;
  if (langs.Items.size() <= 1) button.Visible = false;
  menu_.clear();
  for (std::size_t i = 0; i < langs.Items.size(); ++i) {
    menu_.push_back({langs.Items[i].LangName, static_cast<int>(i), static_cast<int>(i) == current});
  }
  pages_.ButtonsChanged();
  if (view_ != nullptr) view_->LanguageMenuChanged(menu_);
}

void Wizard::CheckChosenLanguage() {
  for (LanguageMenuItem& item : menu_) item.Checked = item.Tag == ctx_.Choices.Language;
  if (view_ != nullptr) view_->LanguageMenuChanged(menu_);
}

void Wizard::ChooseLanguage(int tag) {
  const TLanguages& langs = ctx_.Setup.Languages;
  if (tag < 0 || static_cast<std::size_t>(tag) >= langs.Items.size()) return;
  ctx_.Choices.Language = tag;
  pages_.Buttons().Language.Caption = langs.Items[static_cast<std::size_t>(tag)].LangName;
  CheckChosenLanguage();
  SetButtonTexts();
  pages_.ButtonsChanged();
  if (!ctx_.Setup.Licenses.empty()) {
    pages_.Environment().Fetch = fetch_;
    ReloadLicenseTexts();
    pages_.Environment().Fetch = {};
  }
  ShowPage(pages_.Current());
  RecheckNext();
  pages_.RefreshCaptions();
}

void Wizard::SetButtonTexts() {
  WizardButtons& b = pages_.Buttons();
  b.Back.Caption = ctx_.Text(TextId::BackButton);
  b.Next.Caption = ctx_.Text(TextId::NextButton);
  b.Cancel.Caption = ctx_.Text(TextId::CancelButton);
}

void Wizard::RecheckNext() {
  // Showing a page again enables Next by its type alone; an unusable drive on the
  // installation-directory page or too little space on the confirmation page must keep it off.
  ButtonState& next = pages_.Buttons().Next;
  const bool unusable_drive = OnPage(ptInstallDir) && install_dir_edit_ != nullptr &&
                              CannotTake(platform::WideToUtf8(install_dir_edit_->Caption));
  const bool short_space = OnPage(ptPatch) && SpaceShort();
  if (next.Enabled && (unusable_drive || short_space)) {
    next.Enabled = false;
    pages_.ButtonsChanged();
  }
}

bool Wizard::SpaceShort() const { return ctx_.Choices.SpaceAvailable < ctx_.Choices.SpaceRequired; }

namespace {

// The folder is `dir` (with its trailing "\\") or lies below it, letters compared without regard to case.
bool InFolder(const std::string& path, const std::string& dir) {
  if (dir.size() <= 1) return false;
  const std::string p = platform::LowerCase(path) + "\\", d = platform::LowerCase(dir);
  return p.rfind(d, 0) == 0;
}

}  // namespace

std::string Wizard::FolderRefusal(const std::string& path) const {
  if (IsUnusableDrive(path)) return "it is not on a drive that can take an installation";
  // A per-user setup runs without elevation and writes nothing machine-wide, a folder typed or
  // given with /D= included.
  const LoadedSetup& setup = ctx_.Setup;
  if (setup.Options.Scope == InstallScope::User &&
      (InFolder(path, setup.ProgramFiles32Dir) || InFolder(path, setup.ProgramFiles64Dir) ||
       InFolder(path, setup.ProgramFilesDir))) {
    return "a per-user setup installs nothing in the program files folder";
  }
  if (std::string problem = FolderNameProblem(path); !problem.empty()) return problem;
  // What the uninstaller would refuse to remove must not be installed into: nothing could
  // remove it again.
  return RemovalRefusal(ctx_.Setup, path, true);
}

void Wizard::ShowPage(int index) {
  pages_.ShowPage(index);
  if (OnPage(ptFinish)) finished_ = true;
  UpdateLicenseNext();
}

std::optional<PageKind> Wizard::CurrentType() const {
  return pages_.PageCount() > 0 ? pages_.CurrentType() : implicit_page_;
}

void Wizard::Next() {
  ShowPage(pages_.Current() + 1);
  const auto type = pages_.CurrentType();
  if (!type) return;
  switch (*type) {
    case ptInstallDir:
      if (!install_dir_visited_) {
        install_dir_visited_ = true;
        SetEditText(platform::Utf8ToWide(ctx_.Choices.InstallDir));
      }
      InstallDirChanged();
      break;
    case ptPatch:
      if (SpaceShort()) {
        pages_.Buttons().Next.Enabled = false;
        pages_.ButtonsChanged();
      }
      // Its texts may name the folder (<%INSTALLDIR%>) chosen since the page was built.
      pages_.Page(pages_.Current()).RefreshCaptions();
      if (space_label_ != nullptr)
        SetCaption(space_label_, pages_.Environment().ExpandCaption(LangTag(TextId::SpaceAvailable)));
      break;
    case ptPatching: Run(); break;
    case ptFinish:
      if (view_ != nullptr) view_->CloseRequested();
      break;
    case ptUninstall: DoUninstall(); break;
    default: break;
  }
}

void Wizard::Back() {
  ShowPage(pages_.Current() - 1);
  RecheckNext();
}

void Wizard::Cancel() {
  if (view_ != nullptr) view_->CloseRequested();
}

bool Wizard::MayClose() {
  if (working_) {
    // An installation may be cancelled while it runs: it stops at its next file and is undone.
    if (!ctx_.Setup.IsUninstaller() && !ctx_.Run.Cancelled &&
        ctx_.Services.ShowMessageBox(ctx_.Text(TextId::QuitQuestion), ctx_.Text(TextId::QuitCaption),
                                     kMbYesNo | kMbIconQuestion) == kIdYes) {
      ctx_.Run.Cancelled = true;
      ctx_.Services.LogLine("cancelled by the user");
    }
    return false;
  }
  if (pages_.PageCount() > 0 && !OnPage(ptFinish)) {
    const int answer = ctx_.Services.ShowMessageBox(ctx_.Text(TextId::QuitQuestion), ctx_.Text(TextId::QuitCaption),
                                                    kMbYesNo | kMbIconQuestion);
    if (answer == kIdNo) return false;
  }
  return true;
}

// An uninstall that left files keeps its program for the next try.
bool Wizard::ShouldStartFinaliser() const {
  return OnPage(ptFinish) && ctx_.Setup.IsUninstaller() && !ctx_.Run.SetupAborted;
}

int Wizard::ExitCode() const {
  if (ctx_.Run.Cancelled) return kExitCancelled;
  if (ctx_.Run.SetupAborted) return kExitScriptFailed;
  if (ctx_.Run.RestartNeeded && (finished_ || OnPage(ptFinish))) return kExitRestartNeeded;
  return finished_ || OnPage(ptFinish) ? kExitInstalled : kExitCancelled;
}

Wizard::WalkEnd Wizard::WalkUnattended() {
  if (pages_.PageCount() == 0) return WalkImplicitPages();
  // Every page is visited at most once on the way forward; the bound only guards a page set
  // whose Next never moves on.
  for (int step = 0; step <= pages_.PageCount(); ++step) {
    const auto type = CurrentType();
    if (type == ptFinish) break;
    if (type == ptLicense) AcceptLicense();
    const ButtonState& next = pages_.Buttons().Next;
    if (!next.Enabled || !next.Visible) {
      return type == ptInstallDir ? WalkEnd::UnusableDrive : type == ptPatch ? WalkEnd::ShortSpace : WalkEnd::Stuck;
    }
    const int before = pages_.Current();
    Next();
    if (pages_.Current() == before && CurrentType() != ptFinish) break;  // the last page
  }
  // Nobody is there to close the window early: passing every page is finishing.
  finished_ = true;
  return WalkEnd::Finished;
}

Wizard::WalkEnd Wizard::WalkImplicitPages() {
  AddImplicitReportControls();
  static constexpr PageKind kInstall[] = {ptInstallDir, ptPatch, ptPatching, ptFinish};
  static constexpr PageKind kUninstall[] = {ptUninstall, ptFinish};
  const auto sequence = ctx_.Setup.IsUninstaller() ? std::span<const PageKind>(kUninstall)
                                                   : std::span<const PageKind>(kInstall);
  for (const PageKind type : sequence) {
    implicit_page_ = type;
    switch (type) {
      case ptInstallDir:  // as a page whose edit holds the directory
        if (CannotTake(ctx_.Choices.InstallDir)) return WalkEnd::UnusableDrive;
        StoreInstallDir(ctx_.Choices.InstallDir);
        break;
      case ptPatch:
        if (SpaceShort()) return WalkEnd::ShortSpace;
        break;
      case ptPatching: Run(); break;
      case ptUninstall: DoUninstall(); break;
      default: break;
    }
  }
  finished_ = true;
  return WalkEnd::Finished;
}

// The report controls of the implicit progress and finish pages, so that a run without pages
// reports as one with them.
void Wizard::AddImplicitReportControls() {
  PageArea& area = pages_.Area();
  status_label_ = &area.Create(ControlType::Label);
  gauge_ = &area.Create(ControlType::ProgressBar);
  detail_label_ = &area.Create(ControlType::Label);
  AttachReportTargets();
}

void Wizard::SetEditText(const std::u16string& text) {
  if (install_dir_edit_ == nullptr || install_dir_edit_->Caption == text) return;
  install_dir_edit_->Caption = text;
  if (view_ != nullptr) view_->ControlChanged(*install_dir_edit_);
  if (edit_hooked_) InstallDirChanged();
}

void Wizard::EditTyped(Control& control, const std::u16string& text) {
  if (&control == install_dir_edit_) InstallDirTyped(text);
  else control.Caption = text;
}

void Wizard::InstallDirTyped(const std::u16string& text) {
  if (install_dir_edit_ == nullptr || install_dir_edit_->Caption == text) return;
  install_dir_edit_->Caption = text;
  if (edit_hooked_) InstallDirChanged();
}

void Wizard::InstallDirChanged() {
  if (install_dir_edit_ == nullptr) return;
  const std::string text = platform::WideToUtf8(install_dir_edit_->Caption);
  ButtonState& next = pages_.Buttons().Next;
  if (OnPage(ptInstallDir) && CannotTake(text)) {
    next.Enabled = false;
    pages_.ButtonsChanged();
    return;
  }
  next.Enabled = true;
  pages_.ButtonsChanged();
  if (install_dir_visited_) StoreInstallDir(text);
  MeasureSpace(ctx_.Setup, ctx_.Choices);
  if (folder_tree_ != nullptr) SelectTreeFolder(text, true);
}

void Wizard::StoreInstallDir(const std::string& text) {
  // Kept without a trailing backslash (a drive root keeps its own): the run adds one to
  // every path it builds, and a doubled separator would end up in recorded paths and in
  // registry values such as the uninstall command.
  std::string dir = text;
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  ctx_.Choices.InstallDir = dir;
}

void Wizard::TreeFolderChosen(const std::string& path) {
  if (install_dir_edit_ == nullptr || !OnPage(ptInstallDir)) return;
  if (!IsUnusableDrive(path)) SetEditText(platform::Utf8ToWide(path));
}

void Wizard::SelectTreeFolder(const std::string& path, bool expand) {
  if (folder_tree_ == nullptr) return;
  const auto folder = NearestExistingFolder(path, [](const std::string& p) {
    // "C:" alone names the drive's current folder; the drive's root stands for it.
    return platform::DirectoryExists(p.size() == 2 && p[1] == ':' ? p + "\\" : p);
  });
  if (folder && view_ != nullptr) view_->SelectTreeFolder(*folder_tree_, *folder, expand);
}

void Wizard::SetWorkingState(bool working) {
  working_ = working;
  if (view_ != nullptr) view_->WorkingChanged(working);
}

void Wizard::SetCaption(Control* control, const std::u16string& text) {
  if (control == nullptr || control->Caption == text) return;
  control->Caption = text;
  if (view_ != nullptr) view_->ControlChanged(*control);
}

void Wizard::StartGauge(std::int32_t max) {
  ctx_.Run.ProgressPosition = 0;
  if (gauge_target_ == nullptr) return;
  bool changed = gauge_->Gauge.SetProgress(0);
  changed = gauge_->Gauge.SetMax(max) || changed;
  if (changed && view_ != nullptr) view_->ControlChanged(*gauge_);
}

void Wizard::Run() {
  try {
    SetWorkingState(true);
    const std::size_t n = ChosenGroupedEntries(ctx_.Setup, ctx_.Choices);
    SetCaption(status_label_, u"Status: 0 of " +
                                  platform::Utf8ToWide(CountText(static_cast<std::int64_t>(n), "file", "files")) +
                                  u" extracted");
    StartGauge(static_cast<std::int32_t>(n));
    ctx_.Run.UninstallList.AddDir(ctx_.Choices.InstallDir);
    NoteCheckedControls();
    ctx_.Run.CurrentLine = -1;
    if (RunScript) RunScript();
    if (ctx_.Run.Cancelled) SetCaption(detail_label_, ctx_.Text(TextId::SetupFailed));
    if (run_box_ != nullptr && (ctx_.Run.Cancelled || ctx_.Run.SetupAborted)) run_box_->Suppressed = true;
    ShowPage(pages_.Current() + 1);
    SetWorkingState(false);
  } catch (...) {
    // The front end writes the error report and ends the program.
    SetWorkingState(false);
    throw;
  }
}

void Wizard::DoUninstall() {
  SetWorkingState(true);
  const TUninstallList& log = ctx_.Run.UninstallList;
  const std::int64_t total = static_cast<std::int64_t>(log.Files.size() + log.Dirs.size() + log.RegValues.size());
  SetCaption(status_label_, u"Status: 0 of " + platform::Utf8ToWide(CountText(total, "item", "items")) + u" remaining");
  StartGauge(static_cast<std::int32_t>(total));
  if (RunUninstall) RunUninstall();
  else Uninstall(ctx_);
  // The finish page's text says the product was removed; an uninstall that stopped says it was not.
  if (ctx_.Run.SetupAborted) {
    std::u16string failed = ctx_.Text(TextId::SetupFailed);
    if (failed.rfind(u"NOT FOUND ", 0) == 0) {
      failed = platform::Utf8ToWide(ctx_.Setup.SetupInfo.ShortName) +
               u" could not be removed completely. Run the uninstaller again once the reason given is put right.";
    }
    SetCaption(detail_label_, failed);
  }
  SetWorkingState(false);
  ShowPage(pages_.Current() + 1);
}

}  // namespace zq
