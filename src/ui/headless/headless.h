// The headless binding: every element is plain state that code can read, and every user action
// (click, selection, title-bar close, dialog answer) and every timer tick can be played from code.
// Tests drive it with a manual clock; the command-line reader runs it on real time.
//
// The application is the main-thread dispatcher: Post and Synchronize are thread-safe, all else
// belongs to the thread that created the application.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "platform/process/main_thread.h"
#include "ui/elements.h"

namespace headless {

class TApp;
class TForm;

// A clock that moves only when told to.
class TManualClock : public TClock {
 public:
  std::uint64_t NowMs() const override { return now_; }
  void Set(std::uint64_t ms) { now_ = ms; }

 private:
  std::uint64_t now_ = 0;
};

class TSteadyClock : public TClock {
 public:
  std::uint64_t NowMs() const override;
};

template <class Base>
class TControlOf : public Base {
 public:
  TControlOf(TForm& form, ::TPanel* parent, const TElementSpec& design)
      : form_(form),
        parent_(parent),
        spec_(design),
        bounds_(design.Bounds),
        visible_(design.Visible),
        enabled_(design.Enabled) {}
  void SetVisible(bool value) override { visible_ = value; }
  bool Visible() const override { return visible_; }
  void SetEnabled(bool value) override { enabled_ = value; }
  bool Enabled() const override { return enabled_; }
  TBounds Bounds() const override { return bounds_; }
  void SetBounds(const TBounds& bounds) override { bounds_ = bounds; }
  void Repaint() override { ++repaints_; }

  const std::string& Name() const { return spec_.Name; }
  const TElementSpec& Design() const { return spec_; }
  ::TPanel* Parent() const { return parent_; }
  int Repaints() const { return repaints_; }
  // Whether a user could act on it: shown and enabled, and so is every panel it lies on.
  bool Reachable() const;

 protected:
  TForm& form_;

 private:
  ::TPanel* parent_;
  TElementSpec spec_;
  TBounds bounds_;
  bool visible_, enabled_;
  int repaints_ = 0;
};

class TPanel : public TControlOf<::TPanel> {
 public:
  using TControlOf::TControlOf;
  bool Click();  // fires OnClick when reachable; returns whether it did
};

class TLabel : public TControlOf<::TLabel> {
 public:
  TLabel(TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design), caption_(design.Caption) {}
  void SetCaption(const std::string& text) override {
    const bool changed = text != caption_;
    caption_ = text;
    if (changed && OnCaptionChange) OnCaptionChange(caption_);
  }
  std::string Caption() const override { return caption_; }
  // A fixed measure, so that layouts come out the same everywhere: every UTF-16 code unit
  // kCharWidth wide, lines kLineHeight apart (about Tahoma's at 16 pixels).
  static constexpr int kCharWidth = 8, kLineHeight = 19;
  int TextWidth(const std::string& line) const override;
  int LineHeight() const override { return kLineHeight; }
  // Sees every new text as it is set (the command-line reader echoes the status line).
  std::function<void(const std::string& text)> OnCaptionChange;

 private:
  std::string caption_;
};

class TButton : public TControlOf<::TButton> {
 public:
  TButton(TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design), caption_(design.Caption) {}
  void SetCaption(const std::string& text) override { caption_ = text; }
  std::string Caption() const override { return caption_; }
  void SetFocus() override;
  bool Focused() const;
  bool Click();  // fires OnClick when reachable; returns whether it did

 private:
  std::string caption_;
};

// The keys a form answers by itself.
enum class TKey { Return, Escape };

class TCheckBox : public TControlOf<::TCheckBox> {
 public:
  TCheckBox(TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design), checked_(design.Checked) {}
  void SetChecked(bool value) override { checked_ = value; }
  bool Checked() const override { return checked_; }
  std::string Caption() const override { return Design().Caption; }
  bool Click();  // toggles and fires OnClick when reachable; returns whether it did

 private:
  bool checked_;
};

class TComboBox : public TControlOf<::TComboBox> {
 public:
  TComboBox(TForm& form, ::TPanel* parent, const TElementSpec& design);
  std::vector<std::string> Items() const override { return Design().Items; }
  void SetItemIndex(int index) override;
  int ItemIndex() const override { return index_; }
  std::string Text() const override;
  bool Select(int index);  // the user picks an item: fires OnChange when reachable

 private:
  int index_ = -1;
};

class TListView : public TControlOf<::TListView> {
 public:
  using TControlOf::TControlOf;
  void SetRows(std::vector<std::vector<std::string>> rows) override;
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::vector<std::string> Row(int index) const override { return rows_.at(index); }
  void SetItemIndex(int index) override;
  int ItemIndex() const override { return index_; }
  void SetFocus() override;             // takes the focus from the buttons
  bool Select(int index);               // the user picks a row: fires OnChange when reachable
  bool DblClick(int index);             // the user double-clicks a row: picks it, then OnDblClick
  int Fills() const { return fills_; }  // how often the rows were replaced

 private:
  std::vector<std::vector<std::string>> rows_;
  int index_ = -1;
  int fills_ = 0;
};

class TProgressBar : public TControlOf<::TProgressBar> {
 public:
  TProgressBar(TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design),
        min_(design.Min),
        max_(design.Max),
        pos_(design.Position) {}
  void SetMin(int value) override { min_ = value; }
  void SetMax(int value) override { max_ = value; }
  void SetPosition(int value) override { pos_ = value; }
  int Min() const override { return min_; }
  int Max() const override { return max_; }
  int Position() const override { return pos_; }

 private:
  int min_, max_, pos_;
};

class TTimer : public ::TTimer {
 public:
  TTimer(TApp& app, const TTimerSpec& design);
  ~TTimer() override;
  const std::string& Name() const { return name_; }
  bool Running() const { return running_; }
  std::uint64_t Due() const { return due_; }

 private:
  friend class TApp;
  void StartClock(unsigned ms) override;
  void StopClock() override;
  void Fire();
  TApp& app_;
  std::string name_;
  bool running_ = false;
  unsigned period_ = 0;
  std::uint64_t due_ = 0;
};

class TSaveDialog : public ::TSaveDialog {
 public:
  // The test's (or reader's) answer: the chosen path, or none for Cancel. As a real dialog does,
  // one that requires an existing folder refuses a file elsewhere with a message and asks again.
  using TAnswer = std::function<std::optional<std::string>(TSaveDialog& dialog)>;
  explicit TSaveDialog(const TSaveDialogSpec& design);
  bool Execute() override;
  const std::string& Name() const { return name_; }
  TAnswer Answer;  // unset: Cancel
  int Shown() const { return shown_; }
  // The folders refused so far, oldest first.
  const std::vector<std::string>& Refused() const { return refused_; }

 private:
  std::string name_;
  int shown_ = 0;
  std::vector<std::string> refused_;
};

class TForm : public ::TForm {
 public:
  // Called once the form is shown modally (after OnShow), inside the nested loop: plays the
  // user's answer (click a button, Close() for the title bar), at once or through posted work.
  // Unset: Close(). A form left open keeps the nested loop running until Terminate.
  using TModalAnswer = std::function<void(TForm& form)>;

  TForm(TApp& app, const TFormSpec& design, ::TForm* owner);
  ~TForm() override;
  void SetCaption(const std::string& text) override { caption_ = text; }
  std::string Caption() const override { return caption_; }
  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  void SetClientSize(int width, int height) override {
    width_ = width;
    height_ = height;
  }
  // A screen of 1024 x 768 less a frame, unless a test sets another.
  TSize MaxClientSize() const override { return max_client_; }
  void SetMaxClientSize(TSize size) { max_client_ = size; }
  // The user presses the key: Return clicks the focused button where it is reachable, else the
  // Default button; Escape the Cancel button. Returns whether a button was clicked.
  bool Press(TKey key);
  void Show() override;
  TModalResult ShowModal() override;
  void Close() override;
  bool Visible() const override { return visible_; }
  void BringToFront() override { ++raised_; }
  int Raised() const { return raised_; }  // how often it was brought to the front
  void SetModalResult(TModalResult value) override { modal_result_ = value; }
  TModalResult ModalResult() const override { return modal_result_; }
  void Repaint() override { ++repaints_; }

  const TFormSpec& Design() const { return spec_; }
  ::TForm* Owner() const { return owner_; }
  int Repaints() const { return repaints_; }
  bool Modal() const { return modal_; }
  TModalAnswer ModalAnswer;

  // The element of that name and kind, or nullptr.
  template <class T>
  T* Find(const std::string& name) const {
    for (const auto& e : elements_)
      if (auto* t = dynamic_cast<T*>(e.get()); t && t->Name() == name) return t;
    return nullptr;
  }
  template <class T>
  T* Adopt(std::unique_ptr<T> element) {
    T* raw = element.get();
    elements_.push_back(std::move(element));
    return raw;
  }
  TApp& App() const { return app_; }
  ::TButton* FocusedButton() const { return focused_; }
  void SetFocusedButton(::TButton* button) { focused_ = button; }

 private:
  bool RunCloseSteps();  // OnClose; false when it keeps the form open
  TApp& app_;
  TFormSpec spec_;
  ::TForm* owner_;
  std::string caption_;
  int width_, height_;
  TSize max_client_{1016, 706};
  std::vector<std::unique_ptr<TObject>> elements_;
  bool visible_ = false;
  bool modal_ = false;
  TModalResult modal_result_ = mrNone;
  int repaints_ = 0;
  int raised_ = 0;
  ::TButton* focused_ = nullptr;
};

// The application, its message loop and the main-thread dispatcher.
class TApp : public TApplication, public TMainThread {
 public:
  // clock: a TManualClock for tests (timers fire only in Advance), else real time.
  explicit TApp(TClock& clock);
  ~TApp() override;

  // TApplication
  void SetTitle(const std::string& title) override { title_ = title; }
  std::string Title() const override { return title_; }
  void Run() override;
  void ProcessMessages() override;
  void Terminate() override;
  bool Terminated() const override;
  void PushBusyCursor() override { ++busy_; }
  void PopBusyCursor() override {
    if (busy_ > 0) --busy_;
  }

  // TMainThread
  bool IsMainThread() const override { return std::this_thread::get_id() == main_id_; }
  void Post(std::function<void()> fn) override;
  bool Synchronize(std::function<void()> fn) override;

  // The answer to every form shown modally that has no ModalAnswer of its own (a dialog that a
  // handler creates as it goes); unset: Close().
  std::function<void(TForm& form)> ModalAnswer;
  // Manual clock: moves time on by ms, firing the timers that fall due in order and the
  // posted work between them.
  void Advance(std::uint64_t ms);
  TClock& Clock() const { return clock_; }
  int BusyDepth() const { return busy_; }
  // The texts the general error report showed, oldest first; OnError sees each as it comes.
  const std::vector<std::string>& Errors() const { return errors_; }
  std::function<void(const std::string& title, const std::string& text)> OnError;
  int Beeps() const { return beeps_; }
  void Beep() { ++beeps_; }
  // One round of the loop: the posted work queued now and the timers due now. Returns whether
  // anything ran. WaitForWork blocks until posted work, the next timer (real clock) or Terminate.
  bool DispatchPending();
  void WaitForWork();

 protected:
  void ShowErrorBox(const std::string& text) override;

 private:
  friend class TTimer;
  bool RunPosted();      // the posted work queued now; returns whether there was any
  bool FireDueTimers();  // returns whether one fired
  void Schedule(TTimer* t) { timers_.insert(t); }
  void Unschedule(TTimer* t) { timers_.erase(t); }
  TTimer* NextTimer() const;

  TClock& clock_;
  bool manual_;
  std::thread::id main_id_;
  std::string title_;
  int busy_ = 0, beeps_ = 0;
  std::vector<std::string> errors_;
  std::set<TTimer*> timers_;

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> posted_;
  bool terminated_ = false;
  bool ended_ = false;  // Synchronize refuses from here on
};

class TFactory : public TElementFactory {
 public:
  explicit TFactory(TApp& app) : app_(app) {}
  TApplication& Application() override { return app_; }
  std::unique_ptr<::TForm> CreateForm(const TFormSpec& design, ::TForm* owner) override;
  ::TPanel* CreatePanel(::TForm& form, ::TPanel* parent, const TElementSpec& design) override;
  ::TLabel* CreateLabel(::TForm& form, ::TPanel* parent, const TElementSpec& design) override;
  ::TButton* CreateButton(::TForm& form, ::TPanel* parent, const TElementSpec& design) override;
  ::TCheckBox* CreateCheckBox(::TForm& form, ::TPanel* parent, const TElementSpec& design) override;
  ::TComboBox* CreateComboBox(::TForm& form, ::TPanel* parent, const TElementSpec& design) override;
  ::TProgressBar* CreateProgressBar(::TForm& form, ::TPanel* parent,
                                    const TElementSpec& design) override;
  ::TListView* CreateListView(::TForm& form, ::TPanel* parent, const TElementSpec& design) override;
  ::TTimer* CreateTimer(::TForm& form, const TTimerSpec& design) override;
  ::TSaveDialog* CreateSaveDialog(::TForm& form, const TSaveDialogSpec& design) override;
  void Beep() override { app_.Beep(); }

 private:
  TApp& app_;
};

template <class Base>
bool TControlOf<Base>::Reachable() const {
  if (!visible_ || !enabled_) return false;
  if (auto* panel = dynamic_cast<const TControlOf<::TPanel>*>(parent_)) return panel->Reachable();
  return parent_ == nullptr || (parent_->Visible() && parent_->Enabled());
}

}  // namespace headless
