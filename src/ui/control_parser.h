// One page: its layout file read into controls of the page area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/control.h"
#include "ui/language_strings.h"
#include "ui/languages.h"
#include "ui/layout_blocks.h"
#include "ui/page_list.h"
#include "ui/page_view.h"

namespace zq {

// A container entry by name (group 0); nothing when the package lacks it.
using EntryFetcher = std::function<std::optional<std::vector<std::uint8_t>>(const std::string& name)>;
// A modal message box (text, caption, kMb... flags) returning the answer.
using MessageBoxFn = std::function<int(const std::u16string&, const std::u16string&, unsigned)>;

// What building pages needs from the rest of the program.
struct PageEnvironment {
  const TLanguages* Languages = nullptr;
  const TLanguageStrings* Strings = nullptr;
  EntryFetcher Fetch;        // empty: every entry is missing
  MessageBoxFn Ask;          // empty: not shown (a macro renames MessageBox under <windows.h>)
  PageView* View = nullptr;  // may be null
  // The table in use, owned by whoever lets the user choose it; null: Languages->Current.
  const std::int32_t* Language = nullptr;
  bool LegacyText = false;  // the entries' text is in the legacy code page, not UTF-8

  std::int32_t LanguageIndex() const;

  std::u16string ExpandCaption(const std::u16string& text) const;
  // A text entry's bytes as UTF-8.
  std::string Utf8Text(const std::vector<std::uint8_t>& data) const;
  int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) const;
};

// Integers and colours of the page files: decimal, or hexadecimal after "$" (or "0x"), an
// optional sign first; leading blanks allowed. Nothing for anything else or outside 32 bits
// (hexadecimal up to FFFFFFFF, taken as its 32-bit pattern).
std::optional<std::int32_t> ParsePageInt(std::string_view text);
// "true" in any case; everything else is false.
bool ParsePageBool(std::string_view text);

// One page of the wizard: reads its layout file and owns the controls it creates.
class TControlParser {
 public:
  TControlParser(PageArea& parent, const PageEnvironment& env, int page_index);

  // Reads and builds one layout file. A missing entry shows "Missing File" and leaves the
  // page empty. Throws PageError for bad names, numbers and tags.
  void LoadLayout(const std::string& entry_name);
  // One block; its line numbers go into error messages.
  void BuildControl(const LayoutBlock& block);
  void SetProperty(const std::string& key, const std::string& value, Control& control);
  void RegisterControl(Control& control);
  // A control the wizard makes for the page (the components' boxes): registered, not yet
  // shown to the view; ControlReady tells the view once its fields are set.
  Control& AddControl(ControlType type, const std::string& name);
  void ControlReady(Control& control);
  // Checks or clears a check box; checks a radio button and clears the others of its group.
  void SetChecked(Control& control, bool checked);
  // A rich edit loaded again from the entry `value` names (placeholders expanded).
  void ReloadFile(Control& control, const std::string& value);

  void ShowAll();
  void HideAll();
  void SendAllToBack();
  // Labels and panels expanded again from their caption sources.
  void RefreshCaptions();

  const std::vector<Control*>& Controls() const { return controls_; }
  PageKind PageType = ptWelcome;

 private:
  void SetVisible(bool visible);
  void UncheckOthers(const Control& control);
  void LoadRichEdit(Control& control, const std::string& value);
  void LoadPicture(Control& control, const std::string& value);

  PageArea& parent_;
  const PageEnvironment& env_;
  int page_index_;
  std::string file_;      // the layout being read, for error messages
  std::size_t line_ = 0;  // the line being applied, for error messages
  std::vector<Control*> controls_;
};

}  // namespace zq
