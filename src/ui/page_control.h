// The page set: the page list read into pages, one page shown at a time, and the wizard's
// buttons set by the type of the page shown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/control_parser.h"
#include "ui/page_view.h"

namespace zq {

class TSEPageControl {
 public:
  // The environment must outlive the page set; its Fetch is used while pages are loaded.
  explicit TSEPageControl(PageEnvironment env);
  TSEPageControl(const TSEPageControl&) = delete;
  TSEPageControl& operator=(const TSEPageControl&) = delete;

  // Reads the page list ("Pages.txt") and every layout it names. A missing list shows
  // "Missing File" and leaves no pages. Throws PageError for damaged layouts and settings.
  void LoadPages(const std::string& entry_name);
  // Builds the page from its layout, hidden; the first page added is shown.
  void AddPage(const std::string& layout_entry);

  // Ignored outside 0..last page. Sets Current, the buttons by the page's type, and shows
  // the page with every main layout; hides the rest.
  void ShowPage(int index);
  void RefreshCaptions();

  int Current() const { return current_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TControlParser& Page(int index) { return *pages_.at(static_cast<std::size_t>(index)); }
  const TControlParser& Page(int index) const { return *pages_.at(static_cast<std::size_t>(index)); }
  // The type of the current page; nothing without pages.
  std::optional<PageKind> CurrentType() const;

  std::uint32_t BackColour = 0xFFFFFF;
  std::uint32_t FontColour = 0x000000;  // read from the list; no control takes it

  PageArea& Area() { return area_; }
  const PageArea& Area() const { return area_; }
  WizardButtons& Buttons() { return buttons_; }
  const WizardButtons& Buttons() const { return buttons_; }
  // Tells the view after the buttons were changed directly.
  void ButtonsChanged();
  PageEnvironment& Environment() { return env_; }

 private:
  void ActOnLine(const PageListLine& line, const std::string& file);

  PageEnvironment env_;
  PageArea area_;
  std::vector<std::unique_ptr<TControlParser>> pages_;
  WizardButtons buttons_;
  int current_ = 0;
};

}  // namespace zq
