#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <chrono>
#include <map>
#include <vector>

#include "base/exceptions.h"
#include "platform/language/utf16_win32.h"
#include "ui/win32/app_icon_id.h"
#include "ui/win32/form_win32.h"
#include "ui/win32/win32_binding.h"
#include "ui/win32/win32_internal.h"

namespace win32ui {
namespace {
ATOM g_form_atom = 0;
}  // namespace

class TWin32Timer : public TTimer {
 public:
  TWin32Timer(TWin32Form& form, const TTimerSpec& design)
      : TTimer(design.Enabled, design.Interval), form_(form), id_(form.AddTimer(this)) {
    Arm();
  }
  ~TWin32Timer() override {
    KillTimer(form_.Hwnd(), id_);
    form_.RemoveTimer(id_);
  }
  void Fire() {
    form_.App().Guard([this] { Tick(); });
  }

 private:
  // Setting a timer of the same id again restarts its count.
  void StartClock(unsigned ms) override { SetTimer(form_.Hwnd(), id_, ms, nullptr); }
  void StopClock() override { KillTimer(form_.Hwnd(), id_); }
  TWin32Form& form_;
  UINT_PTR id_;
};

bool TWin32Form::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_CLOSE:  // title-bar button, system menu, Alt+F4
      app_.Guard([this] { Close(); });
      return true;
    case WM_COMMAND:
      // Return comes from the dialog manager as the click of the button that DM_GETDEFID
      // names, without its window where it lies on a panel; Escape as IDCANCEL.
      if (TNative* element = Find(LOWORD(wParam)))
        element->Command(HIWORD(wParam));
      else if (!lParam && LOWORD(wParam) == IDCANCEL && cancel_)
        cancel_->Command(BN_CLICKED);
      return true;
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      TNative* element = Find(static_cast<int>(header.idFrom));
      return element && element->Notify(header, result);
    }
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      // The same height for the items and the selection field.
      if (const auto it = item_heights_.find(static_cast<int>(item.CtlID));
          it != item_heights_.end())
        item.itemHeight = static_cast<UINT>(it->second);
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (TNative* element = Find(static_cast<int>(item.CtlID))) element->DrawItem(item);
      result = TRUE;
      return true;
    }
    case WM_TIMER:
      if (const auto it = timers_.find(wParam); it != timers_.end()) it->second->Fire();
      return true;
    case WM_SETCURSOR:
      if (app_.BusyDepth() == 0) return false;
      SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      result = TRUE;
      return true;
    case WM_DEVICECHANGE:
      if (OnDeviceChange) app_.Guard([this] { OnDeviceChange(); });
      result = TRUE;
      return true;
    case DM_GETDEFID: {
      // Enter presses the focused button, as in a dialog, or else the Default button.
      HWND focus = GetFocus();
      if (focus && IsChild(hwnd_, focus))
        if (TNative* element = Find(GetDlgCtrlID(focus)); element && element->IsPushButton())
          result = MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
      if (!result && default_) result = MAKELRESULT(GetDlgCtrlID(default_->Hwnd()), DC_HASDEFID);
      return true;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        focus_ = focus && IsChild(hwnd_, focus) ? focus : nullptr;
        return false;
      }
      if (focus_ && IsWindow(focus_) && IsChild(hwnd_, focus_)) {
        SetFocus(focus_);
        return true;
      }
      return false;
    case WM_GETFONT:
      result = reinterpret_cast<LRESULT>(font_);
      return true;
    default:
      return false;
  }
}

namespace {

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* form = static_cast<TWin32Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->Attach(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  if (auto* form = reinterpret_cast<TWin32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
    LRESULT result;
    if (form->OnMessage(msg, wParam, lParam, result)) return result;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A raised frame that hands its controls' notifications on to the form.
class TWin32Panel : public TControlOf<::TPanel> {
 public:
  TWin32Panel(::TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design,
                   {kPanelClass, WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT}) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* panel = reinterpret_cast<TWin32Panel*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
      case WM_COMMAND:
      case WM_NOTIFY:
      case WM_MEASUREITEM:
      case WM_DRAWITEM:
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
        EndPaint(hwnd, &ps);
        return 0;
      }
      case WM_LBUTTONDOWN:
        if (panel) panel->down_ = true;
        SetCapture(hwnd);
        return 0;
      case WM_LBUTTONUP: {
        if (GetCapture() == hwnd) ReleaseCapture();
        RECT rc;
        GetClientRect(hwnd, &rc);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (panel && panel->down_ && PtInRect(&rc, at)) {
          panel->down_ = false;
          panel->Fire(panel->OnClick);
        }
        if (panel) panel->down_ = false;
        return 0;
      }
      default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
  }

 private:
  bool down_ = false;
};

DWORD LabelStyle(TAlignment alignment) {
  const DWORD align = alignment == taCenter         ? SS_CENTER
                      : alignment == taRightJustify ? SS_RIGHT
                                                    : SS_LEFT;
  return SS_NOPREFIX | align;
}

// A STATIC whose text it paints itself: the system's static knows no vertical centring.
class TWin32Label : public TControlOf<::TLabel> {
 public:
  TWin32Label(::TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design, {WC_STATICW, LabelStyle(design.Alignment)}),
        alignment_(design.Alignment),
        layout_(design.Layout),
        word_wrap_(design.WordWrap),
        auto_size_(design.AutoSize && !design.WordWrap) {
    SetWindowSubclass(hwnd_, &TWin32Label::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    SetCaption(design.Caption);
  }

  void SetCaption(const std::string& text) override {
    SetWindowTextW(hwnd_, Widen(text).c_str());
    FitWidth();
  }
  std::string Caption() const override { return Narrow(WindowText(hwnd_)); }
  int TextWidth(const std::string& line) const override {
    const std::wstring text = Widen(line);
    SIZE size{0, 0};
    Measure([&](HDC dc) {
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    });
    return Unscaled(size.cx);
  }
  int LineHeight() const override {
    TEXTMETRICW metrics{};
    Measure([&](HDC dc) { GetTextMetricsW(dc, &metrics); });
    return Unscaled(metrics.tmHeight);
  }

 private:
  template <class F>
  void Measure(F&& measure) const {
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, form_.Font());
    measure(dc);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
  }
  // Screen pixels in design pixels, rounded up: a measure must never come short.
  int Unscaled(int pixels) const { return (pixels * 96 + form_.Dpi() - 1) / form_.Dpi(); }

  UINT Flags() const {
    return DT_NOPREFIX | DT_EXPANDTABS | (word_wrap_ ? DT_WORDBREAK : 0) |
           (alignment_ == taCenter         ? DT_CENTER
            : alignment_ == taRightJustify ? DT_RIGHT
                                           : DT_LEFT);
  }

  // Where the font runs wider than the design's, the text must not be cut.
  void FitWidth() {
    if (!auto_size_) return;
    const std::wstring text = WindowText(hwnd_);
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, form_.Font());
    RECT need{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, Flags() | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    RECT have;
    GetClientRect(hwnd_, &have);
    if (need.right > have.right) {
      TBounds b = Bounds();
      b.Width = Unscaled(need.right);
      SetBounds(b);
    }
  }

  void Paint(HDC dc) {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(hwnd_), WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(hwnd_)));
    FillRect(dc, &rc, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd_) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    const std::wstring text = WindowText(hwnd_);
    const int length = static_cast<int>(text.size());
    RECT need = rc;
    DrawTextW(dc, text.c_str(), length, &need, Flags() | DT_CALCRECT);
    const int height = need.bottom - need.top;
    if (layout_ == tlCenter)
      rc.top += (rc.bottom - rc.top - height) / 2;
    else if (layout_ == tlBottom)
      rc.top = rc.bottom - height;
    DrawTextW(dc, text.c_str(), length, &rc, Flags());
    SelectObject(dc, old);
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR data) {
    auto* label = reinterpret_cast<TWin32Label*>(data);
    switch (msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        label->Paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
      }
      case WM_PRINTCLIENT:
        label->Paint(reinterpret_cast<HDC>(wParam));
        return 0;
      case WM_ERASEBKGND:
        return 1;
      // The system's static would paint its own way at once: store the text and repaint later.
      case WM_SETTEXT: {
        const LRESULT stored = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return stored;
      }
      case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
      case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &TWin32Label::Proc, 1);
        break;
      default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
  }

  TAlignment alignment_;
  TTextLayout layout_;
  bool word_wrap_;
  bool auto_size_;
};

class TWin32Button : public TControlOf<::TButton> {
 public:
  TWin32Button(::TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(
            form, parent, design,
            {WC_BUTTONW,
             static_cast<DWORD>(design.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, 0,
             Widen(design.Caption)}) {
    if (design.Default) form_.SetDefaultButton(this);
    if (design.Cancel) form_.SetCancelButton(this);
  }
  void SetCaption(const std::string& text) override { SetWindowTextW(hwnd_, Widen(text).c_str()); }
  std::string Caption() const override { return Narrow(WindowText(hwnd_)); }
  void SetFocus() override { form_.FocusControl(hwnd_); }
  void Command(int code) override {
    if (code == BN_CLICKED) Fire(OnClick);
  }
  bool IsPushButton() const override { return true; }
};

class TWin32CheckBox : public TControlOf<::TCheckBox> {
 public:
  TWin32CheckBox(::TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design,
                   {WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0, Widen(design.Caption)}) {
    SetChecked(design.Checked);
  }
  // BM_SETCHECK sends no BN_CLICKED: only the user's click reaches OnClick.
  void SetChecked(bool value) override {
    SendMessageW(hwnd_, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  bool Checked() const override { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  std::string Caption() const override { return Narrow(WindowText(hwnd_)); }
  void Command(int code) override {
    if (code == BN_CLICKED) Fire(OnClick);
  }
};

TCreate ComboCreate(const TElementSpec& design, ::TForm& form) {
  auto& f = dynamic_cast<TWin32Form&>(form);
  const int item = design.ItemHeight > 0 ? f.Scaled(design.ItemHeight) : 0;
  const int rows = static_cast<int>(design.Items.size() < 8 ? design.Items.size() : 8);
  const int row = item > 0 ? item : f.Scaled(20);
  DWORD style = CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
  if (item > 0) style |= CBS_OWNERDRAWFIXED;
  return {WC_COMBOBOXW, style, 0, L"", row * (rows > 0 ? rows : 1) + f.Scaled(4), item};
}

class TWin32ComboBox : public TControlOf<::TComboBox> {
 public:
  TWin32ComboBox(::TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design, ComboCreate(design, form)), items_(design.Items) {
    // The selection field as high as the items, whatever the system derived from the font.
    if (design.ItemHeight > 0) {
      const int height = form_.Scaled(design.ItemHeight);
      SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
      SendMessageW(hwnd_, CB_SETITEMHEIGHT, 0, height);
    }
    for (const auto& item : items_)
      SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    SetItemIndex(design.ItemIndex);
  }
  std::vector<std::string> Items() const override { return items_; }
  // CB_SETCURSEL sends no CBN_SELCHANGE: only the user's choice reaches OnChange.
  void SetItemIndex(int index) override {
    const bool inside = index >= 0 && index < static_cast<int>(items_.size());
    SendMessageW(hwnd_, CB_SETCURSEL, inside ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1),
                 0);
  }
  int ItemIndex() const override {
    return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
  }
  std::string Text() const override {
    const int i = ItemIndex();
    return i >= 0 && i < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(i)]
                                                         : std::string();
  }
  void Command(int code) override {
    if (code == CBN_SELCHANGE) Fire(OnChange);
  }
  void DrawItem(const DRAWITEMSTRUCT& d) override {
    HDC dc = d.hDC;
    RECT rc = d.rcItem;
    const bool selected = (d.itemState & ODS_SELECTED) != 0;
    const bool disabled = (d.itemState & ODS_DISABLED) != 0;
    FillRect(dc, &rc, GetSysColorBrush(selected && !disabled ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (d.itemID < items_.size()) {
      HGDIOBJ old = SelectObject(dc, form_.Font());
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(disabled   ? COLOR_GRAYTEXT
                                   : selected ? COLOR_HIGHLIGHTTEXT
                                              : COLOR_WINDOWTEXT));
      RECT text = rc;
      text.left += form_.Scaled(2);
      const std::wstring w = Widen(items_[d.itemID]);
      DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
      SelectObject(dc, old);
    }
    if ((d.itemState & ODS_FOCUS) && !(d.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &rc);
  }

 private:
  std::vector<std::string> items_;
};

class TWin32ProgressBar : public TControlOf<::TProgressBar> {
 public:
  TWin32ProgressBar(::TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design, {PROGRESS_CLASSW, 0}) {
    SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(design.Min),
                 static_cast<LPARAM>(design.Max));
    SetPosition(design.Position);
  }
  void SetMin(int value) override {
    SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(value), static_cast<LPARAM>(Max()));
  }
  void SetMax(int value) override {
    SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(Min()), static_cast<LPARAM>(value));
  }
  void SetPosition(int value) override {
    SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
  }
  int Min() const override { return static_cast<int>(SendMessageW(hwnd_, PBM_GETRANGE, TRUE, 0)); }
  int Max() const override { return static_cast<int>(SendMessageW(hwnd_, PBM_GETRANGE, FALSE, 0)); }
  int Position() const override { return static_cast<int>(SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }
};

class TWin32SaveDialog : public TSaveDialog {
 public:
  TWin32SaveDialog(TWin32Form& form, const TSaveDialogSpec& design) : form_(form) {
    SetDefaultExt(design.DefaultExt);
    SetFilter(design.Filter);
    SetOptions(design.Options);
  }
  bool Execute() override {
    const std::wstring filter = DialogFilter(Filter());
    const std::wstring ext = Widen(DefaultExt());
    const std::wstring folder = Widen(InitialDir());
    std::wstring file = Widen(FileName());
    file.resize(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = form_.Hwnd();
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(FilterIndex() > 0 ? FilterIndex() : 1);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    // The program's current folder stays where it was, whatever folder the user picks.
    ofn.Flags = SaveDialogFlags(Options()) | OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn)) return false;
    SetFilterIndex(static_cast<int>(ofn.nFilterIndex));
    SetFileName(WithDefaultExt(Narrow(file.c_str())));
    return true;
  }

 private:
  TWin32Form& form_;
};

template <class T>
T* Own(::TForm& form, std::unique_ptr<T> element) {
  return dynamic_cast<TWin32Form&>(form).Adopt(std::move(element));
}

// The program's own icon at the size the system asks for, where the program carries one; else the
// system's.
HICON ProgramIcon(int width_metric, int height_metric) {
  const auto icon = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(Q2E_APP_ICON),
                                                  IMAGE_ICON, GetSystemMetrics(width_metric),
                                                  GetSystemMetrics(height_metric), LR_SHARED));
  return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace

void RegisterClasses() {
  static const bool registered = [] {
    WNDCLASSEXW form{};
    form.cbSize = sizeof(form);
    form.style = CS_DBLCLKS;
    form.lpfnWndProc = &FormProc;
    form.hInstance = Instance();
    form.hIcon = ProgramIcon(SM_CXICON, SM_CYICON);
    form.hIconSm = ProgramIcon(SM_CXSMICON, SM_CYSMICON);
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClass;
    g_form_atom = RegisterClassExW(&form);
    WNDCLASSEXW panel = form;
    panel.hIcon = nullptr;
    panel.hIconSm = nullptr;
    panel.lpfnWndProc = &TWin32Panel::Proc;
    panel.lpszClassName = kPanelClass;
    RegisterClassExW(&panel);
    return true;
  }();
  (void)registered;
}

bool IsFormWindow(HWND hwnd) {
  return g_form_atom != 0 && GetClassLongPtrW(hwnd, GCW_ATOM) == g_form_atom;
}

std::wstring DialogFilter(const std::string& filter) {
  if (filter.empty()) return {};
  std::wstring out = Widen(filter);
  for (auto& c : out)
    if (c == L'|') c = L'\0';
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

unsigned long SaveDialogFlags(unsigned options) {
  unsigned long flags = 0;
  if (options & ofOverwritePrompt) flags |= OFN_OVERWRITEPROMPT;
  if (options & ofPathMustExist) flags |= OFN_PATHMUSTEXIST;
  if (options & ofHideReadOnly) flags |= OFN_HIDEREADONLY;
  if (options & ofEnableSizing) flags |= OFN_ENABLESIZING;
  return flags;
}

std::unique_ptr<::TForm> TFactory::CreateForm(const TFormSpec& design, ::TForm* owner) {
  return std::make_unique<TWin32Form>(app_, design, owner);
}
TPanel* TFactory::CreatePanel(::TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TWin32Panel>(form, parent, design));
}
TLabel* TFactory::CreateLabel(::TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TWin32Label>(form, parent, design));
}
TButton* TFactory::CreateButton(::TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TWin32Button>(form, parent, design));
}
TCheckBox* TFactory::CreateCheckBox(::TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TWin32CheckBox>(form, parent, design));
}
TComboBox* TFactory::CreateComboBox(::TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TWin32ComboBox>(form, parent, design));
}
TProgressBar* TFactory::CreateProgressBar(::TForm& form, TPanel* parent,
                                          const TElementSpec& design) {
  return Own(form, std::make_unique<TWin32ProgressBar>(form, parent, design));
}
::TListView* TFactory::CreateListView(::TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, CreateWin32ListView(form, parent, design));
}
TTimer* TFactory::CreateTimer(::TForm& form, const TTimerSpec& design) {
  auto& f = dynamic_cast<TWin32Form&>(form);
  return f.Adopt(std::make_unique<TWin32Timer>(f, design));
}
TSaveDialog* TFactory::CreateSaveDialog(::TForm& form, const TSaveDialogSpec& design) {
  auto& f = dynamic_cast<TWin32Form&>(form);
  return f.Adopt(std::make_unique<TWin32SaveDialog>(f, design));
}
void TFactory::Beep() {
  MessageBeep(MB_OK);
}

void* TFactory::Window(::TForm& form) {
  return dynamic_cast<TForm&>(form).Handle();
}
void* TFactory::Window(TControl& control) {
  return dynamic_cast<TNative&>(control).Hwnd();
}

}  // namespace win32ui
