#include "ui/control.h"

#include <algorithm>
#include <cstring>


namespace zq {

namespace {

struct TypeWord {
  const char* word;
  TControlType type;
};
constexpr TypeWord kTypeWords[] = {
    {"tlabel", TControlType::Label},       {"tedit", TControlType::Edit},
    {"tshelltreeview", TControlType::ShellTreeView}, {"tbutton", TControlType::Button},
    {"timage", TControlType::Image},       {"tpanel", TControlType::Panel},
    {"tbevel", TControlType::Bevel},       {"tmemo", TControlType::Memo},
    {"trichedit", TControlType::RichEdit}, {"tprogressbar", TControlType::ProgressBar},
};

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::optional<TControlType> ControlTypeFromWord(std::string_view word) {
  for (const TypeWord& t : kTypeWords) {
    if (EqualNoCase(word, t.word)) return t.type;
  }
  return std::nullopt;
}

const char* ControlTypeWord(TControlType type) {
  for (const TypeWord& t : kTypeWords) {
    if (t.type == type) return t.word;
  }
  return "";
}

bool LooksLikeRichText(const std::vector<std::uint8_t>& bytes) {
  static const char kMark[] = "{\\rtf";
  return bytes.size() >= 5 && std::memcmp(bytes.data(), kMark, 5) == 0;
}

TControl& TPageArea::Create(TControlType type) {
  auto control = std::make_unique<TControl>();
  control->Type = type;
  ApplyDefaultSize(*control);
  TControl& ref = *control;
  Controls.push_back(std::move(control));
  ZOrder.push_back(&ref);
  return ref;
}

TControl* TPageArea::FindByName(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const auto& c : Controls) {
    if (EqualNoCase(c->Name, name)) return c.get();
  }
  return nullptr;
}

void TPageArea::SendToBack(const std::vector<TControl*>& controls) {
  // The last is sent back first, so the first ends up rearmost.
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    auto pos = std::find(ZOrder.begin(), ZOrder.end(), *it);
    if (pos == ZOrder.end()) continue;
    ZOrder.erase(pos);
    ZOrder.insert(ZOrder.begin(), *it);
  }
}

void ApplyDefaultSize(TControl& c) {
  switch (c.Type) {
    case TControlType::Label: c.Width = 65; c.Height = 13; c.AutoSize = true; break;
    case TControlType::Edit: c.Width = 121; c.Height = 21; c.AutoSize = true; break;
    case TControlType::ShellTreeView: c.Width = 121; c.Height = 97; break;
    case TControlType::Button: c.Width = 75; c.Height = 25; break;
    case TControlType::Image: c.Width = 105; c.Height = 105; break;
    case TControlType::Panel: c.Width = 185; c.Height = 41; break;
    case TControlType::Bevel: c.Width = 50; c.Height = 50; break;
    case TControlType::Memo:
    case TControlType::RichEdit: c.Width = 185; c.Height = 89; c.Border = true; break;
    case TControlType::ProgressBar: c.Width = TGradGauge::kInitialWidth; c.Height = TGradGauge::kInitialHeight; break;
  }
}

bool IsValidControlName(std::string_view name) {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!letter(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

}  // namespace zq
