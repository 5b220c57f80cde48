// The controls of the wizard's pages as plain data: what a layout file describes and what
// the wizard changes afterwards. Front ends mirror it with native controls (or none).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/grad_gauge.h"

namespace zq {

enum class ControlType {
  Label,
  Edit,
  ShellTreeView,
  Button,
  Image,
  Panel,
  Bevel,
  Memo,
  RichEdit,
  ProgressBar,
  CheckBox,
  RadioButton,
};

// "tlabel" ... "tprogressbar", "tcheckbox", "tradiobutton", any case; nothing for another word.
std::optional<ControlType> ControlTypeFromWord(std::string_view word);
const char* ControlTypeWord(ControlType type);

// The window's font; a control keeps it (ParentFont) until a layout gives it a font colour.
struct ControlFont {
  std::string Face = "MS Shell Dlg 2";
  std::int32_t Size = 8;     // points
  std::uint32_t Colour = 0;  // 0x00BBGGRR
  bool Bold = false;
  bool ParentFont = true;
};

struct Control {
  ControlType Type = ControlType::Label;
  std::string Name;      // as the layout wrote it; may be empty
  std::string Variable;  // an edit's "var": the script's $NAME takes its text when the run starts
  int Page = -1;         // index of the page it belongs to
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  ControlFont Font;
  bool AutoSize = false;  // labels and edits start with it on
  bool WordWrap = false;
  bool Transparent = false;
  bool Border = false;  // memos and rich edits start with it on
  bool Stretch = false;
  bool Tile = false;  // only set while a picture is loaded
  bool Center = false;
  bool Enabled = true;
  bool Visible = true;
  // Kept hidden whatever page is shown (a box the setup has no use for, such as the run box
  // of a setup without "runafter").
  bool Suppressed = false;
  // Check boxes and radio buttons. Radio buttons of one page with the same group exclude each
  // other.
  bool Checked = false;
  std::int32_t Group = 0;
  // The layout's unexpanded caption (label, panel) or text (edit), empty when it gave none;
  // language switches expand it again for labels and panels.
  std::u16string CaptionSource;
  // What the control shows: caption, edit text, memo or plain rich-edit text. Labels, edits,
  // panels and buttons start with their name.
  std::u16string Caption;
  // Picture or rich edit: the container entry loaded ("file") and its bytes. Pictures are
  // decoded by the front end by the name's extension; a rich edit's bytes are set only for
  // rich text (RichText), plain text goes to Caption.
  std::string File;
  std::vector<std::uint8_t> FileData;
  bool RichText = false;
  TGradGauge Gauge;  // progress bars only

  bool IsLabel() const { return Type == ControlType::Label; }
  bool IsToggle() const { return Type == ControlType::CheckBox || Type == ControlType::RadioButton; }
  // Captions the language switch expands again from CaptionSource.
  bool HasCaption() const { return Type == ControlType::Label || Type == ControlType::Panel || IsToggle(); }
  bool PictureLoaded() const { return Type == ControlType::Image && !FileData.empty(); }
};

// Rich text by its opening "{\rtf".
bool LooksLikeRichText(const std::vector<std::uint8_t>& bytes);

// The page area: owner and parent of every control of every page, with the stacking order.
struct PageArea {
  std::vector<std::unique_ptr<Control>> Controls;  // creation order; never removed
  std::vector<Control*> ZOrder;                    // back to front

  Control& Create(ControlType type);
  // Without regard to case; the first found, or null. Empty names are never found.
  Control* FindByName(std::string_view name) const;
  // Moves the controls behind all others, keeping their order among themselves.
  void SendToBack(const std::vector<Control*>& controls);
};

// Common sizes the framework gives a control before the layout sets any.
void ApplyDefaultSize(Control& control);

// Letters, digits and "_", not starting with a digit (ASCII letters).
bool IsValidControlName(std::string_view name);

}  // namespace zq
