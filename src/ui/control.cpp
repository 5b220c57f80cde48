#include "ui/control.h"

#include <algorithm>
#include <cstring>

namespace zq {

namespace {

struct TypeWord {
  const char* word;
  ControlType type;
};
constexpr TypeWord kTypeWords[] = {
    {"tlabel", ControlType::Label},
    {"tedit", ControlType::Edit},
    {"tshelltreeview", ControlType::ShellTreeView},
    {"tbutton", ControlType::Button},
    {"timage", ControlType::Image},
    {"tpanel", ControlType::Panel},
    {"tbevel", ControlType::Bevel},
    {"tmemo", ControlType::Memo},
    {"trichedit", ControlType::RichEdit},
    {"tprogressbar", ControlType::ProgressBar},
    {"tcheckbox", ControlType::CheckBox},
    {"tradiobutton", ControlType::RadioButton},
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

std::optional<ControlType> ControlTypeFromWord(std::string_view word) {
  for (const TypeWord& t : kTypeWords) {
    if (EqualNoCase(word, t.word)) return t.type;
  }
  return std::nullopt;
}

const char* ControlTypeWord(ControlType type) {
  for (const TypeWord& t : kTypeWords) {
    if (t.type == type) return t.word;
  }
  return "";
}

bool LooksLikeRichText(const std::vector<std::uint8_t>& bytes) {
  static const char kMark[] = "{\\rtf";
  return bytes.size() >= 5 && std::memcmp(bytes.data(), kMark, 5) == 0;
}

Control& PageArea::Create(ControlType type) {
  auto control = std::make_unique<Control>();
  control->Type = type;
  ApplyDefaultSize(*control);
  Control& ref = *control;
  Controls.push_back(std::move(control));
  ZOrder.push_back(&ref);
  return ref;
}

Control* PageArea::FindByName(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const auto& c : Controls) {
    if (EqualNoCase(c->Name, name)) return c.get();
  }
  return nullptr;
}

void PageArea::SendToBack(const std::vector<Control*>& controls) {
  // The last is sent back first, so the first ends up rearmost.
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    auto pos = std::find(ZOrder.begin(), ZOrder.end(), *it);
    if (pos == ZOrder.end()) continue;
    ZOrder.erase(pos);
    ZOrder.insert(ZOrder.begin(), *it);
  }
}

void ApplyDefaultSize(Control& c) {
  switch (c.Type) {
    case ControlType::Label:
      c.Width = 65;
      c.Height = 13;
      c.AutoSize = true;
      break;
    case ControlType::Edit:
      c.Width = 121;
      c.Height = 21;
      c.AutoSize = true;
      break;
    case ControlType::ShellTreeView:
      c.Width = 121;
      c.Height = 97;
      break;
    case ControlType::Button:
      c.Width = 75;
      c.Height = 25;
      break;
    case ControlType::Image:
      c.Width = 105;
      c.Height = 105;
      break;
    case ControlType::Panel:
      c.Width = 185;
      c.Height = 41;
      break;
    case ControlType::Bevel:
      c.Width = 50;
      c.Height = 50;
      break;
    case ControlType::Memo:
    case ControlType::RichEdit:
      c.Width = 185;
      c.Height = 89;
      c.Border = true;
      break;
    case ControlType::ProgressBar:
      c.Width = TGradGauge::kInitialWidth;
      c.Height = TGradGauge::kInitialHeight;
      break;
    case ControlType::CheckBox:
    case ControlType::RadioButton:
      c.Width = 97;
      c.Height = 17;
      break;
  }
}

bool IsValidControlName(std::string_view name) {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!letter(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

}  // namespace zq
