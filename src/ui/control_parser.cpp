#include "ui/control_parser.h"

#include "base/path_text.h"
#include "base/ui_targets.h"
#include "platform/text.h"
#include "ui/expand_caption.h"
#include "ui/language_error.h"
#include "ui/page_error.h"

namespace zq {

namespace {

std::string Quoted(const std::string& s) { return "\"" + (s.size() > 60 ? s.substr(0, 60) + "..." : s) + "\""; }

bool IsFontKey(const std::string& key) {
  return key == "fontface" || key == "fontsize" || key == "fontcolour" || key == "fontbold";
}

}  // namespace

std::int32_t PageEnvironment::LanguageIndex() const {
  if (Language != nullptr) return *Language;
  return Languages != nullptr ? Languages->Current : -1;
}

std::string PageEnvironment::Utf8Text(const std::vector<std::uint8_t>& data) const {
  std::string text(data.begin(), data.end());
  return LegacyText ? platform::LegacyToUtf8(text) : text;
}

std::u16string PageEnvironment::ExpandCaption(const std::u16string& text) const {
  static const TLanguages kNoLanguages;
  static const TLanguageStrings kNoStrings;
  return zq::ExpandCaption(Languages != nullptr ? *Languages : kNoLanguages, LanguageIndex(),
                           Strings != nullptr ? *Strings : kNoStrings, text);
}

int PageEnvironment::Show(const std::u16string& text, const std::u16string& caption, unsigned flags) const {
  return Ask ? Ask(text, caption, flags) : DefaultMessageBoxAnswer(flags);
}

std::optional<std::int32_t> ParsePageInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  if (!hex && value > (negative ? 0x80000000u : 0x7FFFFFFFu)) return std::nullopt;
  const auto bits = static_cast<std::uint32_t>(value);
  return static_cast<std::int32_t>(negative ? 0u - bits : bits);
}

bool ParsePageBool(std::string_view text) { return AsciiLowerCase(std::string(text)) == "true"; }

TControlParser::TControlParser(PageArea& parent, const PageEnvironment& env, int page_index)
    : parent_(parent), env_(env), page_index_(page_index) {}

void TControlParser::LoadLayout(const std::string& entry_name) {
  file_ = entry_name;
  auto data = env_.Fetch ? env_.Fetch(entry_name) : std::nullopt;
  if (!data) {
    env_.Show(u"Error File Missing: |" + platform::Utf8ToWide(entry_name) + u"|", u"Missing File", kMbOk);
    return;
  }
  const std::string text = env_.Utf8Text(*data);
  ForEachLayoutBlock(text, [this](const LayoutBlock& block) { BuildControl(block); });
}

void TControlParser::BuildControl(const LayoutBlock& block) {
  const std::string& name = block.Name;
  if (!name.empty()) {
    if (!IsValidControlName(name)) throw PageError(file_, block.Number, "invalid control name " + Quoted(name));
    if (parent_.FindByName(name) != nullptr)
      throw PageError(file_, block.Number, "a control named " + Quoted(name) + " already exists");
  }
  Control& control = parent_.Create(block.Type);
  control.Name = name;
  control.Page = page_index_;
  switch (control.Type) {
    case ControlType::Label:
    case ControlType::Edit:
    case ControlType::Panel:
    case ControlType::Button:
    case ControlType::CheckBox:
    case ControlType::RadioButton: control.Caption = platform::Utf8ToWide(name); break;
    default: break;
  }
  RegisterControl(control);
  for (const LayoutProperty& property : block.Properties) {
    line_ = property.Number;
    SetProperty(property.Key, property.Value, control);
  }
  line_ = 0;
  if (control.Type == ControlType::RadioButton && control.Checked) UncheckOthers(control);
  if (env_.View != nullptr) env_.View->ControlAdded(control);
}

Control& TControlParser::AddControl(ControlType type, const std::string& name) {
  Control& control = parent_.Create(type);
  control.Name = name;
  control.Page = page_index_;
  RegisterControl(control);
  return control;
}

void TControlParser::ControlReady(Control& control) {
  if (env_.View != nullptr) env_.View->ControlAdded(control);
}

void TControlParser::UncheckOthers(const Control& control) {
  for (Control* c : controls_) {
    if (c == &control || c->Type != ControlType::RadioButton || c->Group != control.Group || !c->Checked) continue;
    c->Checked = false;
    if (env_.View != nullptr) env_.View->ControlChanged(*c);
  }
}

void TControlParser::SetChecked(Control& control, bool checked) {
  if (!control.IsToggle()) return;
  // A radio button is cleared only by checking another of its group.
  if (control.Type == ControlType::RadioButton) checked = true;
  if (control.Checked != checked) {
    control.Checked = checked;
    if (env_.View != nullptr) env_.View->ControlChanged(control);
  }
  if (control.Type == ControlType::RadioButton) UncheckOthers(control);
}

void TControlParser::ReloadFile(Control& control, const std::string& value) {
  if (control.Type != ControlType::RichEdit) return;
  LoadRichEdit(control, value);
  if (env_.View != nullptr) env_.View->ControlChanged(control);
}

void TControlParser::SetProperty(const std::string& raw_key, const std::string& value, Control& control) {
  const std::string key = AsciiLowerCase(raw_key);
  auto integer = [&]() {
    auto v = ParsePageInt(value);
    if (!v) throw PageError(file_, line_, Quoted(value) + " is not an integer (" + raw_key + ")");
    return *v;
  };
  auto caption = [&](const std::string& v) {
    const std::u16string raw = platform::Utf8ToWide(v);
    try {
      return env_.ExpandCaption(raw);
    } catch (const LanguageError& e) {
      throw PageError(file_, line_, std::string("bad language tag: ") + e.what());
    }
  };

  if (key == "left") control.Left = integer();
  else if (key == "top") control.Top = integer();
  else if (key == "width") control.Width = integer();
  else if (key == "height") control.Height = integer();
  else if (key == "enabled") control.Enabled = ParsePageBool(value);

  const ControlType type = control.Type;
  const bool has_font = type == ControlType::Label || type == ControlType::Edit || type == ControlType::Panel ||
                        type == ControlType::Memo || type == ControlType::RichEdit || control.IsToggle();
  if (has_font && IsFontKey(key)) {
    if (key == "fontface") control.Font.Face = value;
    else if (key == "fontsize") control.Font.Size = integer();
    else if (key == "fontcolour") {
      control.Font.Colour = static_cast<std::uint32_t>(integer());
      control.Font.ParentFont = false;
    } else control.Font.Bold = ParsePageBool(value);
    return;
  }
  switch (type) {
    case ControlType::Label:
      if (key == "caption") {
        control.CaptionSource = platform::Utf8ToWide(value);
        control.Caption = caption(value);
      } else if (key == "autosize") control.AutoSize = ParsePageBool(value);
      else if (key == "wordwrap") control.WordWrap = ParsePageBool(value);
      else if (key == "transparent") control.Transparent = ParsePageBool(value);
      break;
    case ControlType::Edit:
      if (key == "text") {
        control.CaptionSource = platform::Utf8ToWide(value);
        control.Caption = caption(value);
      } else if (key == "autosize") control.AutoSize = ParsePageBool(value);
      else if (key == "var") control.Variable = value;
      break;
    case ControlType::Panel:
      if (key == "caption") {
        control.CaptionSource = platform::Utf8ToWide(value);
        control.Caption = platform::Utf8ToWide(platform::WideToUtf8(caption(value)));
      }
      break;
    case ControlType::CheckBox:
    case ControlType::RadioButton:
      if (key == "caption") {
        control.CaptionSource = platform::Utf8ToWide(value);
        control.Caption = caption(value);
      } else if (key == "checked") {
        control.Checked = ParsePageBool(value);
      } else if (key == "group" && type == ControlType::RadioButton) {
        control.Group = integer();
      }
      break;
    case ControlType::Memo:
    case ControlType::RichEdit:
      if (key == "text") {
        control.Caption = TLanguages::ReplaceText(platform::Utf8ToWide(value), u"<BR>", u"\r");
        control.FileData.clear();
        control.RichText = false;
      } else if (key == "border") control.Border = ParsePageBool(value);
      else if (key == "file" && type == ControlType::RichEdit) LoadRichEdit(control, value);
      break;
    case ControlType::Image:
      if (key == "file") LoadPicture(control, value);
      else if (key == "stretch") control.Stretch = ParsePageBool(value);
      else if (key == "center") control.Center = ParsePageBool(value);
      else if (key == "transparent") control.Transparent = ParsePageBool(value);
      else if (key == "tile" && ParsePageBool(value) && control.PictureLoaded()) control.Tile = true;
      break;
    case ControlType::ProgressBar:
      if (key == "forecolour") {
        const auto colour = static_cast<std::uint32_t>(integer());
        control.Gauge.SetColor1(colour);
        control.Gauge.SetColor2(colour);
      } else if (key == "backcolour") control.Gauge.Backcolor = static_cast<std::uint32_t>(integer());
      break;
    default: break;
  }
}

void TControlParser::LoadRichEdit(Control& control, const std::string& value) {
  static const TLanguageStrings kNoStrings;
  const TLanguageStrings& strings = env_.Strings != nullptr ? *env_.Strings : kNoStrings;
  const std::string name = platform::WideToUtf8(strings.ExpandVariables(platform::Utf8ToWide(value)));
  auto data = env_.Fetch ? env_.Fetch(name) : std::nullopt;
  if (!data) {
    env_.Show(u"Error: File \"" + platform::Utf8ToWide(name) + u"\" Missing", u"Rich Edit Error", kMbOk);
    return;
  }
  control.File = name;
  control.RichText = LooksLikeRichText(*data);
  if (control.RichText) {
    control.FileData = std::move(*data);
    control.Caption.clear();
  } else {
    control.FileData.clear();
    control.Caption = platform::Utf8ToWide(env_.Utf8Text(*data));
  }
}

void TControlParser::LoadPicture(Control& control, const std::string& value) {
  auto data = env_.Fetch ? env_.Fetch(value) : std::nullopt;
  if (!data) return;
  control.File = value;
  control.FileData = std::move(*data);
  control.Tile = false;  // a new picture replaces a tiled one
}

void TControlParser::RegisterControl(Control& control) { controls_.push_back(&control); }

void TControlParser::SetVisible(bool visible) {
  for (Control* c : controls_) {
    const bool shown = visible && !c->Suppressed;
    if (c->Visible == shown) continue;
    c->Visible = shown;
    if (env_.View != nullptr) env_.View->ControlChanged(*c);
  }
}

void TControlParser::ShowAll() { SetVisible(true); }
void TControlParser::HideAll() { SetVisible(false); }

void TControlParser::SendAllToBack() {
  parent_.SendToBack(controls_);
  if (env_.View != nullptr) env_.View->ZOrderChanged();
}

void TControlParser::RefreshCaptions() {
  for (Control* c : controls_) {
    if (!c->HasCaption()) continue;
    std::u16string text = env_.ExpandCaption(c->CaptionSource);
    if (c->Type == ControlType::Panel) text = platform::Utf8ToWide(platform::WideToUtf8(text));
    if (text == c->Caption) continue;
    c->Caption = std::move(text);
    if (env_.View != nullptr) env_.View->ControlChanged(*c);
  }
}

}  // namespace zq
