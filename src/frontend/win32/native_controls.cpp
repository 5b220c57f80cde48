#include "frontend/win32/native_controls.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "frontend/win32/gauge_paint.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/system_dlls.h"
#include "platform/text.h"

namespace zq {

struct NativeControls::Native {
  Control* control = nullptr;
  HWND window = nullptr;
  std::unique_ptr<Picture> picture;
  std::string picture_file;
  std::u16string shown;       // what the window shows, to skip needless updates
  bool cut_reported = false;  // a label that cuts its text is reported once (a status line changes often)
};

namespace {

const wchar_t kPictureClass[] = L"ZqPicture";
const wchar_t kGaugeClass[] = L"ZqGauge";

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::wstring W(const std::string& s) { return W(platform::Utf8ToWide(s)); }

// Controls break lines at CR LF; captions carry a lone CR for "<BR>".
std::wstring WithLineBreaks(const std::u16string& text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += static_cast<wchar_t>(text[i]);
    if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n')) out += L'\n';
  }
  return out;
}

Control* ControlOf(HWND wnd) { return reinterpret_cast<Control*>(GetWindowLongPtrW(wnd, GWLP_USERDATA)); }

LRESULT CALLBACK GaugeProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    if (const Control* c = ControlOf(wnd)) {
      RECT r;
      GetClientRect(wnd, &r);
      HFONT font = reinterpret_cast<HFONT>(SendMessageW(wnd, WM_GETFONT, 0, 0));
      PaintGauge(dc, r.right, r.bottom, c->Gauge, font, static_cast<COLORREF>(c->Font.Colour));
    }
    EndPaint(wnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  if (msg == WM_SETFONT) {
    SetPropW(wnd, L"font", reinterpret_cast<HANDLE>(wp));
    return 0;
  }
  if (msg == WM_GETFONT) return reinterpret_cast<LRESULT>(GetPropW(wnd, L"font"));
  return DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT CALLBACK PictureProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    const Control* c = ControlOf(wnd);
    const auto* pic = reinterpret_cast<const Picture*>(GetPropW(wnd, L"picture"));
    if (c != nullptr && pic != nullptr) {
      RECT r;
      GetClientRect(wnd, &r);
      const int dpi = static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(wnd, L"dpi")));
      pic->Paint(dc, r.right, r.bottom, c->Stretch, c->Center, c->Tile, c->Transparent, dpi > 0 ? dpi : 96);
    }
    EndPaint(wnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) {
    const Control* c = ControlOf(wnd);
    if (c != nullptr && c->Transparent) return 1;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

void RegisterOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  InitCommonControlClasses(ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES);
  platform::LoadSystemDll(L"Msftedit.dll");
  WNDCLASSW wc{};
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpfnWndProc = GaugeProc;
  wc.lpszClassName = kGaugeClass;
  RegisterClassW(&wc);
  wc.lpfnWndProc = PictureProc;
  wc.lpszClassName = kPictureClass;
  wc.hbrBackground = nullptr;
  RegisterClassW(&wc);
}

struct StreamState {
  const std::vector<std::uint8_t>* bytes;
  std::size_t pos;
};

DWORD CALLBACK ReadRtf(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
  auto* s = reinterpret_cast<StreamState*>(cookie);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), s->bytes->size() - s->pos);
  std::memcpy(buffer, s->bytes->data() + s->pos, n);
  s->pos += n;
  *read = static_cast<LONG>(n);
  return 0;
}

std::string TreePath(HWND tree, HTREEITEM item) {
  std::string path;
  while (item != nullptr) {
    wchar_t buf[MAX_PATH] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_PARAM;
    tv.hItem = item;
    tv.pszText = buf;
    tv.cchTextMax = MAX_PATH;
    TreeView_GetItem(tree, &tv);
    std::u16string name;
    for (const wchar_t* p = buf; *p; ++p) name += static_cast<char16_t>(*p);
    std::string part = platform::WideToUtf8(name);
    path = path.empty() ? part : part + "\\" + path;
    item = TreeView_GetParent(tree, item);
  }
  // Roots are shown as "C:"; a path below one reads "C:\folder".
  return path;
}

HTREEITEM AddNode(HWND tree, HTREEITEM parent, const std::string& name, bool children) {
  std::wstring text = W(name);
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
  ins.item.pszText = text.data();
  ins.item.cChildren = children ? 1 : 0;
  return TreeView_InsertItem(tree, &ins);
}

}  // namespace

void InitCommonControlClasses(DWORD classes) {
  static const auto init =
      platform::SystemFunction<decltype(InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
  INITCOMMONCONTROLSEX icc{sizeof icc, classes};
  if (init != nullptr) init(&icc);
}

NativeControls::NativeControls(HWND page_area, Events events) : area_(page_area), events_(std::move(events)) {
  RegisterOnce();
  back_brush_ = CreateSolidBrush(back_);
}

NativeControls::~NativeControls() {
  for (auto& [c, n] : natives_) {
    if (n->window) DestroyWindow(n->window);
  }
  for (auto& [k, f] : fonts_) DeleteObject(f);
  if (back_brush_) DeleteObject(back_brush_);
}

void NativeControls::SetDpi(int dpi) {
  if (dpi == dpi_) return;
  dpi_ = dpi;
  // The old fonts stay selected until every control has its new one.
  std::map<std::string, HFONT> old;
  old.swap(fonts_);
  for (auto& [control, native] : natives_) {
    if (native->window == nullptr) continue;
    SetPropW(native->window, L"dpi", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(dpi_)));
    Update(*native->control);
  }
  for (auto& [key, font] : old) DeleteObject(font);
}

HFONT NativeControls::FontFor(const ControlFont& font) {
  const std::string key = font.Face + "|" + std::to_string(font.Size) + "|" + (font.Bold ? "b" : "");
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  const int height = -MulDiv(font.Size, dpi_, 72);
  HFONT f = CreateFontW(height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                        W(font.Face).c_str());
  fonts_[key] = f;
  return f;
}

void NativeControls::Add(Control& c) {
  auto n = std::make_unique<Native>();
  n->control = &c;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex = 0;
  const wchar_t* cls = L"STATIC";
  switch (c.Type) {
    case ControlType::Label: style |= SS_NOPREFIX | SS_NOTIFY | (c.WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP); break;
    case ControlType::Edit:
      cls = L"EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL;
      ex = WS_EX_CLIENTEDGE;
      break;
    case ControlType::Button:
      cls = L"BUTTON";
      style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case ControlType::Panel: style |= SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX; break;
    case ControlType::Bevel: style |= SS_ETCHEDFRAME; break;
    case ControlType::Memo:
      cls = L"EDIT";
      style |= ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL;
      break;
    case ControlType::RichEdit:
      cls = L"RICHEDIT50W";
      style |= ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL;
      break;
    case ControlType::Image: cls = kPictureClass; break;
    case ControlType::ProgressBar: cls = kGaugeClass; break;
    case ControlType::ShellTreeView:
      cls = WC_TREEVIEWW;
      style |= WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
      ex = WS_EX_CLIENTEDGE;
      break;
    case ControlType::CheckBox:
      cls = L"BUTTON";
      style |= WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE;
      break;
    case ControlType::RadioButton: {
      cls = L"BUTTON";
      style |= BS_AUTORADIOBUTTON | BS_MULTILINE;
      // The dialog keys move within a group of radio buttons (the arrows) and between groups
      // (Tab): a group starts at its first button and ends at the next control that is not one.
      const bool continues = last_added_ != nullptr && last_added_->Type == ControlType::RadioButton &&
                             last_added_->Page == c.Page && last_added_->Group == c.Group;
      if (!continues) style |= WS_TABSTOP;
      break;
    }
  }
  const bool continues_group = c.Type == ControlType::RadioButton && (style & WS_TABSTOP) == 0;
  if (!continues_group) style |= WS_GROUP;
  last_added_ = &c;
  if ((c.Type == ControlType::Memo || c.Type == ControlType::RichEdit) && c.Border) ex |= WS_EX_CLIENTEDGE;
  n->window = CreateWindowExW(ex, cls, L"", style, Scaled(c.Left), Scaled(c.Top), Scaled(c.Width), Scaled(c.Height),
                              area_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (n->window == nullptr) return;
  SetWindowLongPtrW(n->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&c));
  SetPropW(n->window, L"dpi", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(dpi_)));
  SendMessageW(n->window, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c.Font)), FALSE);
  if (c.Type == ControlType::ShellTreeView) FillRoots(n->window);
  by_window_[n->window] = n.get();
  Native& ref = *n;
  natives_[&c] = std::move(n);
  Update(*ref.control);
}

void NativeControls::ApplyText(Native& n, const Control& c) {
  if (c.Type == ControlType::RichEdit) {
    if (c.RichText && !c.FileData.empty()) {
      if (n.picture_file == c.File) return;
      n.picture_file = c.File;
      StreamState state{&c.FileData, 0};
      EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&state), 0, ReadRtf};
      SendMessageW(n.window, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
      return;
    }
  }
  if (c.Type == ControlType::Image) {
    if (c.PictureLoaded() && n.picture_file != c.File) {
      n.picture = Picture::Load(c.File, c.FileData);
      n.picture_file = c.File;
      SetPropW(n.window, L"picture", n.picture.get());
    }
    return;
  }
  if (c.Type == ControlType::ProgressBar || c.Type == ControlType::Bevel || c.Type == ControlType::ShellTreeView) {
    return;
  }
  if (c.IsToggle()) {
    const WPARAM state = c.Checked ? BST_CHECKED : BST_UNCHECKED;
    if (static_cast<WPARAM>(SendMessageW(n.window, BM_GETCHECK, 0, 0)) != state) {
      SendMessageW(n.window, BM_SETCHECK, state, 0);
    }
  }
  if (n.shown == c.Caption) return;
  n.shown = c.Caption;
  updating_ = true;
  SetWindowTextW(n.window, WithLineBreaks(c.Caption).c_str());
  updating_ = false;
}

void NativeControls::Update(const Control& c) {
  auto it = natives_.find(&c);
  if (it == natives_.end() || it->second->window == nullptr) return;
  Native& n = *it->second;
  ApplyText(n, c);
  const HFONT font = FontFor(c.Font);
  SendMessageW(n.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetWindowPos(n.window, nullptr, Scaled(c.Left), Scaled(c.Top), Scaled(c.Width), Scaled(c.Height),
               SWP_NOZORDER | SWP_NOACTIVATE);
  EnableWindow(n.window, c.Enabled);
  ShowWindow(n.window, c.Visible ? SW_SHOWNA : SW_HIDE);
  InvalidateRect(n.window, nullptr, TRUE);
  if (c.Type == ControlType::ProgressBar) UpdateWindow(n.window);  // the gauge paints at once
  CheckTextFits(n, c, font);
}

// A label that clips its text (a title too wide for its box at this DPI) says so, for the log.
void NativeControls::CheckTextFits(Native& n, const Control& c, HFONT font) {
  if (!events_.TextCut || n.cut_reported || c.Type != ControlType::Label || !c.Visible || c.Caption.empty()) return;
  const std::wstring text = WithLineBreaks(c.Caption);
  RECT have;
  GetClientRect(n.window, &have);
  RECT need{0, 0, have.right, 0};
  HDC dc = GetDC(n.window);
  const HGDIOBJ old = SelectObject(dc, font);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (c.WordWrap ? DT_WORDBREAK : 0));
  SelectObject(dc, old);
  ReleaseDC(n.window, dc);
  if ((need.right > have.right || need.bottom > have.bottom) && !n.cut_reported) {
    n.cut_reported = true;
    events_.TextCut(c, c.Caption);
  }
}

void NativeControls::Restack(const PageArea& area) {
  // Back to front: each control goes to the bottom in turn, so the last one ends on top.
  for (auto it = area.ZOrder.rbegin(); it != area.ZOrder.rend(); ++it) {
    if (HWND w = WindowOf(**it)) SetWindowPos(w, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

HWND NativeControls::WindowOf(const Control& control) const {
  auto it = natives_.find(&control);
  return it == natives_.end() ? nullptr : it->second->window;
}

void NativeControls::SetBackColour(COLORREF colour) {
  back_ = colour;
  if (back_brush_) DeleteObject(back_brush_);
  back_brush_ = CreateSolidBrush(colour);
  InvalidateRect(area_, nullptr, TRUE);
}

bool NativeControls::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      auto it = by_window_.find(reinterpret_cast<HWND>(lp));
      if (it == by_window_.end()) return false;
      const Control& c = *it->second->control;
      HDC dc = reinterpret_cast<HDC>(wp);
      if (!c.Font.ParentFont) SetTextColor(dc, static_cast<COLORREF>(c.Font.Colour));
      if (msg == WM_CTLCOLOREDIT && c.Type == ControlType::Edit) return false;
      // The page area is one colour, so a "transparent" label is painted in it: a hollow brush
      // would leave whatever was there before (old text, or nothing at all) behind the text.
      SetBkMode(dc, TRANSPARENT);
      SetBkColor(dc, back_);
      result = reinterpret_cast<LRESULT>(back_brush_);
      return true;
    }
    case WM_COMMAND: {
      auto it = by_window_.find(reinterpret_cast<HWND>(lp));
      if (it != by_window_.end() && it->second->control->IsToggle() && HIWORD(wp) == BN_CLICKED) {
        const bool checked = SendMessageW(it->second->window, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (events_.ToggleClicked) events_.ToggleClicked(*it->second->control, checked);
        result = 0;
        return true;
      }
      if (it == by_window_.end() || HIWORD(wp) != EN_CHANGE || updating_) return false;
      Control& c = *it->second->control;
      wchar_t buf[1024] = {};
      GetWindowTextW(it->second->window, buf, 1024);
      std::u16string text;
      for (const wchar_t* p = buf; *p; ++p) text += static_cast<char16_t>(*p);
      // The model takes the text through the wizard; what the window shows is noted so that
      // the model's echo does not set it again.
      it->second->shown = text;
      if (events_.EditChanged) events_.EditChanged(c, text);
      result = 0;
      return true;
    }
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      auto it = by_window_.find(hdr->hwndFrom);
      if (it == by_window_.end()) return false;
      if (hdr->code == TVN_ITEMEXPANDINGW) {
        auto* tv = reinterpret_cast<NMTREEVIEWW*>(lp);
        if (tv->action == TVE_EXPAND) ExpandNode(hdr->hwndFrom, tv->itemNew.hItem);
        result = 0;
        return true;
      }
      if (hdr->code == TVN_SELCHANGEDW && !updating_) {
        auto* tv = reinterpret_cast<NMTREEVIEWW*>(lp);
        std::string path = TreePath(hdr->hwndFrom, tv->itemNew.hItem);
        if (path.size() == 2) path += "\\";
        if (events_.FolderSelected) events_.FolderSelected(*it->second->control, path);
        result = 0;
        return true;
      }
      return false;
    }
    default: return false;
  }
}

void NativeControls::FillRoots(HWND tree) {
  for (const std::string& root : platform::LogicalDriveRoots()) {
    AddNode(tree, TVI_ROOT, root.substr(0, 2), true);
  }
}

void NativeControls::ExpandNode(HWND tree, HTREEITEM item) {
  if (TreeView_GetChild(tree, item) != nullptr) return;  // listed before
  const std::string path = TreePath(tree, item);
  auto entries = platform::ListDir(path.size() == 2 ? path + "\\" : path);
  if (!entries) return;
  std::vector<std::string> names;
  for (const auto& e : *entries) {
    if (e.is_directory) names.push_back(e.name);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return platform::LowerCase(a) < platform::LowerCase(b); });
  for (const auto& name : names) AddNode(tree, item, name, true);
  if (names.empty()) {
    TVITEMW tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    tv.cChildren = 0;
    TreeView_SetItem(tree, &tv);
  }
}

void NativeControls::SelectFolder(const Control& control, const std::string& path, bool expand) {
  HWND tree = WindowOf(control);
  if (tree == nullptr || path.size() < 2) return;
  // Walks the path component by component from its drive, listing folders as it goes.
  std::string rest = path;
  while (!rest.empty() && rest.back() == '\\') rest.pop_back();
  HTREEITEM item = nullptr;
  HTREEITEM level = TreeView_GetRoot(tree);
  std::size_t pos = 0;
  bool first = true;
  while (pos <= rest.size()) {
    std::size_t end = rest.find('\\', pos);
    if (end == std::string::npos) end = rest.size();
    const std::string part = platform::LowerCase(rest.substr(pos, end - pos));
    HTREEITEM found = nullptr;
    for (HTREEITEM it = level; it != nullptr; it = TreeView_GetNextSibling(tree, it)) {
      std::string text = TreePath(tree, it);
      auto slash = text.find_last_of('\\');
      std::string name = platform::LowerCase(slash == std::string::npos ? text : text.substr(slash + 1));
      if (name == part) {
        found = it;
        break;
      }
    }
    if (found == nullptr) break;
    item = found;
    if (end >= rest.size()) break;
    ExpandNode(tree, item);
    if (expand || !first) TreeView_Expand(tree, item, TVE_EXPAND);
    first = false;
    level = TreeView_GetChild(tree, item);
    pos = end + 1;
  }
  if (item != nullptr) {
    updating_ = true;
    TreeView_SelectItem(tree, item);
    TreeView_EnsureVisible(tree, item);
    updating_ = false;
  }
}

}  // namespace zq
