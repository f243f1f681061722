// The window elements that the forms declare, free of any toolkit. A binding (Qt, headless for
// tests and the command-line reader, later Win32) implements them; a form creates its elements
// through the binding's TElementFactory with their design-time values.
//
// Programmatic writes (SetChecked, SetItemIndex, ...) never fire events; only the user's actions,
// played by the binding, fire OnClick and OnChange. All elements live on the main thread.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/object.h"

struct TBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

class TControl : public TObject {
 public:
  virtual void SetVisible(bool value) = 0;
  virtual bool Visible() const = 0;
  virtual void SetEnabled(bool value) = 0;
  virtual bool Enabled() const = 0;
  virtual TBounds Bounds() const = 0;
  // Moves the element (design-time pixels at 96 dpi, scaled like its design place).
  virtual void SetBounds(const TBounds& bounds) = 0;
  virtual void Repaint() = 0;
};

class TLabel : public TControl {
 public:
  virtual void SetCaption(const std::string& text) = 0;
  virtual std::string Caption() const = 0;
  // How wide one line of text is, and how far apart its lines are, in the label's font: design
  // pixels (96 dpi), rounded up, so that a text laid out by them is never cut.
  virtual int TextWidth(const std::string& line) const = 0;
  virtual int LineHeight() const = 0;
};

class TButton : public TControl {
 public:
  virtual void SetCaption(const std::string& text) = 0;
  virtual std::string Caption() const = 0;
  virtual void SetFocus() = 0;
  TNotifyEvent OnClick;
};

class TCheckBox : public TControl {
 public:
  virtual void SetChecked(bool value) = 0;
  virtual bool Checked() const = 0;
  virtual std::string Caption() const = 0;
  TNotifyEvent OnClick;
};

class TComboBox : public TControl {
 public:
  virtual std::vector<std::string> Items() const = 0;
  virtual void SetItemIndex(int index) = 0;  // -1 or an index outside the items: no selection
  virtual int ItemIndex() const = 0;
  virtual std::string Text() const = 0;  // the selected item's text, empty without selection
  TNotifyEvent OnChange;
};

class TProgressBar : public TControl {
 public:
  virtual void SetMin(int value) = 0;
  virtual void SetMax(int value) = 0;
  virtual void SetPosition(int value) = 0;
  virtual int Min() const = 0;
  virtual int Max() const = 0;
  virtual int Position() const = 0;
};

// A list of rows in columns, one row chosen at most. SetRows replaces every row in one go, so
// that thousands show without a pause.
class TListView : public TControl {
 public:
  virtual void SetRows(std::vector<std::vector<std::string>> rows) = 0;
  virtual int RowCount() const = 0;
  virtual std::vector<std::string> Row(int index) const = 0;
  virtual void SetItemIndex(int index) = 0;  // -1: none; the row is scrolled into view
  virtual int ItemIndex() const = 0;
  virtual void SetFocus() = 0;
  TNotifyEvent OnChange;    // the user chose another row
  TNotifyEvent OnDblClick;  // the user double-clicked a row
};

class TPanel : public TControl {
 public:
  TNotifyEvent OnClick;
};

// A window timer ticking on the main thread. Writing the interval it already has, or enabling a
// running timer, does not restart its count; a different interval on a running timer restarts it.
// The logic lives here; bindings only start and stop their clock.
class TTimer : public TObject {
 public:
  bool Enabled() const { return enabled_; }
  unsigned Interval() const { return interval_; }
  void SetEnabled(bool value);
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;

 protected:
  TTimer(bool enabled, unsigned interval) : enabled_(enabled), interval_(interval) {}
  // Called by the constructor of the binding's timer once it can run.
  void Arm() { Restart(); }
  // The binding's clock: start (or restart) counting ms, or stop.
  virtual void StartClock(unsigned ms) = 0;
  virtual void StopClock() = 0;
  // The binding calls this at each tick of its clock.
  void Tick();

 private:
  void Restart();
  bool enabled_;
  unsigned interval_;
};

// ---- Forms, dialogs, the application and the factory ----------------------------------------

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
enum TAlignment { taLeftJustify, taCenter, taRightJustify };  // horizontal text placement
enum TTextLayout { tlTop, tlCenter, tlBottom };               // vertical text placement

struct TListColumn {
  std::string Title;
  int Width = 0;  // design pixels
  TAlignment Alignment = taLeftJustify;
};

// The design-time values of one element; each kind reads the fields that concern it.
struct TElementSpec {
  std::string Name;
  TBounds Bounds;
  TAlign Align = alNone;
  unsigned Anchors = akLeft | akTop;
  std::string Caption;
  bool Visible = true;
  bool Enabled = true;
  TAlignment Alignment = taLeftJustify;  // label text
  TTextLayout Layout = tlTop;            // label text
  bool WordWrap = false;                 // label text
  bool AutoSize = false;                 // label: widens to fit its text when the font is wider
  std::vector<std::string> Items;        // combo box
  int ItemIndex = -1;                    // combo box
  int ItemHeight = 0;                    // combo box items drawn this high; 0: the toolkit's
  bool Checked = false;                  // check box
  bool Default = false;                  // button: Return presses it where no button has focus
  bool Cancel = false;                   // button: Escape presses it
  int Min = 0, Max = 100, Position = 0;  // progress bar
  std::vector<TListColumn> Columns;      // list view
};

struct TTimerSpec {
  std::string Name;
  bool Enabled = false;
  unsigned Interval = 1000;
};

enum TBorderStyle { bsSingle, bsDialog };
enum TFormPosition { poDesigned, poScreenCenter, poOwnerFormCenter };

struct TFormSpec {
  std::string Name;
  std::string Caption;
  int ClientWidth = 0, ClientHeight = 0;  // at 96 dpi
  TBorderStyle BorderStyle = bsSingle;    // both: fixed size, not resizable
  TFormPosition Position = poScreenCenter;
  std::string FontName = "Tahoma";
  int FontHeight = 16;  // pixels at 96 dpi
};

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7;

struct TSize {
  int Width = 0, Height = 0;
};

// A top-level window. Close() is what the title-bar button, the system menu and Alt+F4 do:
// OnClose runs with the action caHide (the action caNone keeps the window open); a modal form
// then ends its ShowModal (with mrCancel unless a result was set), the main form ends the
// application. Setting a modal result other than mrNone ends ShowModal the same way.
// Keys: Return presses the focused button, or else the form's Default button; Escape presses
// its Cancel button.
class TForm : public TObject {
 public:
  virtual void SetCaption(const std::string& text) = 0;
  virtual std::string Caption() const = 0;
  virtual int ClientWidth() const = 0;   // at 96 dpi
  virtual int ClientHeight() const = 0;  // at 96 dpi
  // Resizes the client area (at 96 dpi); the window stays centred where its position says.
  virtual void SetClientSize(int width, int height) = 0;
  // The largest client area (at 96 dpi) whose window still fits the screen's work area.
  virtual TSize MaxClientSize() const = 0;
  virtual void Show() = 0;
  // Shows the form and runs a nested message loop until it closes; returns its modal result.
  virtual TModalResult ShowModal() = 0;
  virtual void Close() = 0;
  virtual bool Visible() const = 0;
  // Brings the shown window in front of the others, restored where it was minimized.
  virtual void BringToFront() = 0;
  virtual void SetModalResult(TModalResult value) = 0;
  virtual TModalResult ModalResult() const = 0;
  virtual void Repaint() = 0;
  TNotifyEvent OnShow;
  TCloseEvent OnClose;
};

enum TSaveOption : unsigned {
  ofOverwritePrompt = 1,  // ask before replacing an existing file
  ofPathMustExist = 2,    // the chosen folder must exist
  ofHideReadOnly = 4,     // no read-only check box
  ofEnableSizing = 8,     // the dialog can be resized
};

// The file-save dialog. Execute shows it modally; on confirmation FileName holds the chosen
// path (with DefaultExt appended when the name has no extension) and it returns true.
class TSaveDialog : public TObject {
 public:
  std::string DefaultExt() const { return default_ext_; }
  void SetDefaultExt(const std::string& v) { default_ext_ = v; }
  // Pairs of description and pattern, all separated by '|': "Text files (*.txt)|*.txt|...".
  std::string Filter() const { return filter_; }
  void SetFilter(const std::string& v) { filter_ = v; }
  std::string InitialDir() const { return initial_dir_; }
  void SetInitialDir(const std::string& v) { initial_dir_ = v; }
  std::string FileName() const { return file_name_; }
  void SetFileName(const std::string& v) { file_name_ = v; }
  unsigned Options() const { return options_; }
  void SetOptions(unsigned v) { options_ = v; }
  // The filter entry shown first and, after Execute, the one the user chose; 1-based.
  int FilterIndex() const { return filter_index_; }
  void SetFilterIndex(int v) { filter_index_ = v; }
  virtual bool Execute() = 0;

  // The extension of a filter entry whose pattern names one ("*.pdf": "pdf"); empty otherwise.
  std::string FilterExt(int index) const;
  // The name with "." + the chosen entry's extension (else DefaultExt) appended when its file
  // part has no extension.
  std::string WithDefaultExt(const std::string& path) const;

 private:
  std::string default_ext_, filter_, initial_dir_, file_name_;
  unsigned options_ = 0;
  int filter_index_ = 1;
};

struct TSaveDialogSpec {
  std::string Name;
  std::string DefaultExt;
  std::string Filter;
  unsigned Options = 0;
};

// Milliseconds on a monotonic scale; the timers of a binding count on it.
class TClock {
 public:
  virtual ~TClock() = default;
  virtual std::uint64_t NowMs() const = 0;
};

// The text the general error report shows for an exception: the innermost nested exception's
// message, with "." appended when the code of its last character is above 46 ('.'). None for
// EAbort, the silent exception.
std::optional<std::string> ErrorReportText(const std::exception_ptr& error);
std::string WithFullStop(const std::string& message);

// The program's application object: its main-thread message loop, the busy cursor and the
// general error report. Main thread only.
class TApplication : public TObject {
 public:
  virtual void SetTitle(const std::string& title) = 0;
  virtual std::string Title() const = 0;
  // Runs the message loop until Terminate.
  virtual void Run() = 0;
  // Dispatches the messages waiting now (posted work, due timers, input), then returns.
  virtual void ProcessMessages() = 0;
  // Asks the loop to end; Run returns after the current message.
  virtual void Terminate() = 0;
  virtual bool Terminated() const = 0;
  // The busy cursor shows while at least one push is not popped.
  virtual void PushBusyCursor() = 0;
  virtual void PopBusyCursor() = 0;
  // The general error report for an exception that escaped an event handler.
  void ShowException(const std::exception_ptr& error);
  // Runs an event handler; what escapes it goes to the general error report.
  void Guard(const std::function<void()>& handler);
  // The main form: closing it ends the application.
  void SetMainForm(TForm* form) { main_form_ = form; }
  TForm* MainForm() const { return main_form_; }

 protected:
  // A modal error box titled with the application title.
  virtual void ShowErrorBox(const std::string& text) = 0;

 private:
  TForm* main_form_ = nullptr;
};

// Shows the busy cursor for its lifetime.
class TBusyCursor {
 public:
  explicit TBusyCursor(TApplication& app) : app_(app) { app_.PushBusyCursor(); }
  ~TBusyCursor() { app_.PopBusyCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  TApplication& app_;
};

// Creates a binding's forms and their elements. Elements belong to their form and live as long
// as it; a null parent puts an element on the form's client area, a panel parent on the panel.
// Main thread only.
class TElementFactory {
 public:
  virtual ~TElementFactory() = default;
  virtual TApplication& Application() = 0;
  // owner: the form a poOwnerFormCenter form centres on (may be null).
  virtual std::unique_ptr<TForm> CreateForm(const TFormSpec& design, TForm* owner) = 0;
  virtual TPanel* CreatePanel(TForm& form, TPanel* parent, const TElementSpec& design) = 0;
  virtual TLabel* CreateLabel(TForm& form, TPanel* parent, const TElementSpec& design) = 0;
  virtual TButton* CreateButton(TForm& form, TPanel* parent, const TElementSpec& design) = 0;
  virtual TCheckBox* CreateCheckBox(TForm& form, TPanel* parent, const TElementSpec& design) = 0;
  virtual TComboBox* CreateComboBox(TForm& form, TPanel* parent, const TElementSpec& design) = 0;
  virtual TProgressBar* CreateProgressBar(TForm& form, TPanel* parent,
                                          const TElementSpec& design) = 0;
  virtual TListView* CreateListView(TForm& form, TPanel* parent, const TElementSpec& design) = 0;
  virtual TTimer* CreateTimer(TForm& form, const TTimerSpec& design) = 0;
  virtual TSaveDialog* CreateSaveDialog(TForm& form, const TSaveDialogSpec& design) = 0;
  // A short warning sound of the toolkit, for when no system sound can play.
  virtual void Beep() = 0;
};
