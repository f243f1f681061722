// The Win32 binding: each form a top-level window of its own class, each element a system
// control (STATIC, BUTTON, COMBOBOX, the common controls' progress bar) at its design-time place,
// scaled from 96 dpi to the screen. Window handles appear here as void* so that this header
// stays free of <windows.h>.
//
// Post and Synchronize are thread-safe; everything else belongs to the thread that created the
// application, whose message queue the loop runs.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "platform/process/main_thread.h"
#include "ui/elements.h"

namespace win32ui {

class TApp : public TApplication, public TMainThread {
 public:
  TApp();
  ~TApp() override;
  TApp(const TApp&) = delete;
  TApp& operator=(const TApp&) = delete;

  // TApplication
  void SetTitle(const std::string& title) override { title_ = title; }
  std::string Title() const override { return title_; }
  void Run() override;
  void ProcessMessages() override;
  void Terminate() override;
  bool Terminated() const override;
  void PushBusyCursor() override;
  void PopBusyCursor() override;

  // TMainThread
  bool IsMainThread() const override;
  void Post(std::function<void()> fn) override;
  bool Synchronize(std::function<void()> fn) override;

  // Waits for one message and dispatches it; false when the quit message came instead.
  bool HandleMessage();
  // The screen's dots per inch (LOGPIXELSY), what design-time pixels are scaled by.
  int Dpi() const { return dpi_; }
  int BusyDepth() const { return busy_; }

 protected:
  void ShowErrorBox(const std::string& text) override;

 private:
  friend struct TAppAccess;
  void RunPosted();
  void End();

  void* window_ = nullptr;  // the hidden message window that posted work reaches
  unsigned long thread_id_ = 0;
  int dpi_ = 96;
  std::string title_;
  int busy_ = 0;
  void* cursor_before_busy_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> posted_;
  bool wake_pending_ = false;  // a wake-up message is on its way to the window
  bool terminated_ = false;
};

// A form of this binding. OnDeviceChange sees the WM_DEVICECHANGE broadcast (any event type).
class TForm : public ::TForm {
 public:
  std::function<void()> OnDeviceChange;
  virtual void* Handle() const = 0;  // the HWND
  // Design-time pixels (96 dpi) in the form's screen pixels.
  virtual int Scaled(int pixels) const = 0;
};

class TFactory : public TElementFactory {
 public:
  explicit TFactory(TApp& app) : app_(app) {}
  TApplication& Application() override { return app_; }
  std::unique_ptr<::TForm> CreateForm(const TFormSpec& design, ::TForm* owner) override;
  TPanel* CreatePanel(::TForm& form, TPanel* parent, const TElementSpec& design) override;
  TLabel* CreateLabel(::TForm& form, TPanel* parent, const TElementSpec& design) override;
  TButton* CreateButton(::TForm& form, TPanel* parent, const TElementSpec& design) override;
  TCheckBox* CreateCheckBox(::TForm& form, TPanel* parent, const TElementSpec& design) override;
  TComboBox* CreateComboBox(::TForm& form, TPanel* parent, const TElementSpec& design) override;
  TProgressBar* CreateProgressBar(::TForm& form, TPanel* parent,
                                  const TElementSpec& design) override;
  ::TListView* CreateListView(::TForm& form, TPanel* parent, const TElementSpec& design) override;
  TTimer* CreateTimer(::TForm& form, const TTimerSpec& design) override;
  TSaveDialog* CreateSaveDialog(::TForm& form, const TSaveDialogSpec& design) override;
  void Beep() override;

  // The HWND of a form or an element of this binding.
  static void* Window(::TForm& form);
  static void* Window(TControl& control);

 private:
  TApp& app_;
};

// "Text files (*.txt)|*.txt|All Files (*.*)|*.*" in the common dialog's form: each part ended by
// a zero, the list by one more.
std::wstring DialogFilter(const std::string& filter);
// The OFN_ flags of a set of TSaveOption.
unsigned long SaveDialogFlags(unsigned options);

}  // namespace win32ui
