#include "ui/page_control.h"

#include "base/path_text.h"
#include "base/ui_targets.h"
#include "platform/text.h"
#include "ui/page_error.h"

namespace zq {

TSEPageControl::TSEPageControl(PageEnvironment env) : env_(std::move(env)) {}

std::optional<PageKind> TSEPageControl::CurrentType() const {
  if (current_ < 0 || current_ >= PageCount()) return std::nullopt;
  return pages_[static_cast<std::size_t>(current_)]->PageType;
}

void TSEPageControl::LoadPages(const std::string& entry_name) {
  auto data = env_.Fetch ? env_.Fetch(entry_name) : std::nullopt;
  if (!data) {
    env_.Show(u"Error File Missing: " + platform::Utf8ToWide(entry_name), u"Missing File", kMbOk);
    return;
  }
  const std::string text = env_.Utf8Text(*data);
  ForEachPageListLine(text, [&](const PageListLine& line) { ActOnLine(line, entry_name); });
}

void TSEPageControl::ActOnLine(const PageListLine& line, const std::string& file) {
  const std::string& text = line.Text;
  if (line.Section == "pages") {
    AddPage(text);
  } else if (line.Section == "pagetypes") {
    if (line.Index > pages_.size()) return;
    TControlParser& page = *pages_[line.Index - 1];
    const auto type = PageTypeFromWord(text);
    if (!type) return;
    page.PageType = *type;
    if (*type == ptMainLayout) {
      page.ShowAll();
      page.SendAllToBack();
    }
  } else if (line.Section == "settings") {
    const std::string lower = AsciiLowerCase(text);
    auto colour = [&](std::size_t skip) {
      const auto v = ParsePageInt(text.size() > skip ? std::string_view(text).substr(skip) : std::string_view());
      if (!v) throw PageError(file, line.Number, "\"" + text + "\" does not give a colour");
      return static_cast<std::uint32_t>(*v);
    };
    if (lower.compare(0, 6, "colour") == 0) BackColour = colour(7);
    else if (lower.compare(0, 10, "fontcolour") == 0) FontColour = colour(11);
  }
}

void TSEPageControl::AddPage(const std::string& layout_entry) {
  const int index = PageCount();
  auto page = std::make_unique<TControlParser>(area_, env_, index);
  page->LoadLayout(layout_entry);
  page->HideAll();
  pages_.push_back(std::move(page));
  if (index == 0) ShowPage(0);
}

void TSEPageControl::ShowPage(int index) {
  if (index < 0 || index >= PageCount()) return;
  current_ = index;
  const TLanguages* lang = env_.Languages;
  const std::int32_t table = env_.LanguageIndex();
  auto text = [lang, table](TextId id) {
    return lang != nullptr ? lang->GetText(id, table)
                           : u"NOT FOUND " + platform::Utf8ToWide(std::to_string(Number(id)));
  };
  buttons_.Back.Visible = true;
  buttons_.Next.Enabled = true;
  buttons_.Cancel.Enabled = true;
  if (index == 0) buttons_.Back.Visible = false;
  buttons_.Next.Caption = text(TextId::NextButton);
  switch (pages_[static_cast<std::size_t>(index)]->PageType) {
    case ptPatch: buttons_.Next.Caption = text(TextId::InstallButton); break;
    case ptPatching:
    case ptUninstall:
      buttons_.Back.Visible = false;
      buttons_.Next.Enabled = false;
      // An installation can be cancelled while it runs (it is undone); an uninstall cannot.
      buttons_.Cancel.Enabled = pages_[static_cast<std::size_t>(index)]->PageType == ptPatching;
      buttons_.Language.Visible = false;
      break;
    case ptFinish:
      buttons_.Cancel.Caption = text(TextId::FinishButton);
      buttons_.Back.Visible = false;
      buttons_.Next.Visible = false;
      break;
    default: break;
  }
  ButtonsChanged();
  for (int i = 0; i < PageCount(); ++i) {
    TControlParser& page = *pages_[static_cast<std::size_t>(i)];
    if (i == index || page.PageType == ptMainLayout) page.ShowAll();
    else page.HideAll();
  }
  if (env_.View != nullptr) env_.View->PageShown(index);
}

void TSEPageControl::RefreshCaptions() {
  for (auto& page : pages_) page->RefreshCaptions();
}

void TSEPageControl::ButtonsChanged() {
  if (env_.View != nullptr) env_.View->ButtonsChanged(buttons_);
}

}  // namespace zq
