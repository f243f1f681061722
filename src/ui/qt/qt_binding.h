// The Qt 6 Widgets binding: each element a widget at its design-time place, scaled from 96 dpi
// to the screen; forms fixed in size. Create the TApp first and destroy it last: it owns the
// QApplication that every form's widgets need.
//
// Post and Synchronize are thread-safe; everything else belongs to the main thread.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/process/main_thread.h"
#include "ui/elements.h"

class QApplication;
class QObject;
class QWidget;

class QTranslator;

namespace qtui {

class TApp : public TApplication, public TMainThread {
 public:
  TApp(int& argc, char** argv);
  ~TApp() override;

  void SetTitle(const std::string& title) override;
  std::string Title() const override;
  void Run() override;
  void ProcessMessages() override;
  void Terminate() override;
  bool Terminated() const override;
  void PushBusyCursor() override;
  void PopBusyCursor() override;

  bool IsMainThread() const override;
  void Post(std::function<void()> fn) override;
  bool Synchronize(std::function<void()> fn) override;

  // Design-time pixels (96 dpi) to screen pixels. Where Qt already scales a high-dpi screen by
  // its device pixel ratio, the logical dpi reads 96 and this leaves the size alone.
  int Scaled(int pixels) const;
  // Screen pixels back to design-time pixels; round_up where a measure must never come short.
  int Unscaled(int pixels, bool round_up = false) const;
  // The font of the forms: Tahoma where installed, else the desktop's sans font.
  std::string FontFamily() const;
  // Qt's own texts (the file dialog, its questions) in the language ("de", "ru", ...) where the
  // system has Qt's translations; English otherwise.
  void UseLanguage(const std::string& language);

 protected:
  void ShowErrorBox(const std::string& text) override;

 private:
  void End();
  std::unique_ptr<QApplication> qapp_;
  std::unique_ptr<QObject> context_;  // posted work runs in its thread, the main one
  std::unique_ptr<QTranslator> translator_;
  std::string title_;
  double scale_ = 1.0;
  int busy_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool terminated_ = false;
};

class TFactory : public TElementFactory {
 public:
  explicit TFactory(TApp& app) : app_(app) {}
  TApplication& Application() override { return app_; }
  std::unique_ptr<TForm> CreateForm(const TFormSpec& design, TForm* owner) override;
  TPanel* CreatePanel(TForm& form, TPanel* parent, const TElementSpec& design) override;
  TLabel* CreateLabel(TForm& form, TPanel* parent, const TElementSpec& design) override;
  TButton* CreateButton(TForm& form, TPanel* parent, const TElementSpec& design) override;
  TCheckBox* CreateCheckBox(TForm& form, TPanel* parent, const TElementSpec& design) override;
  TComboBox* CreateComboBox(TForm& form, TPanel* parent, const TElementSpec& design) override;
  TProgressBar* CreateProgressBar(TForm& form, TPanel* parent, const TElementSpec& design) override;
  TListView* CreateListView(TForm& form, TPanel* parent, const TElementSpec& design) override;
  TTimer* CreateTimer(TForm& form, const TTimerSpec& design) override;
  TSaveDialog* CreateSaveDialog(TForm& form, const TSaveDialogSpec& design) override;
  void Beep() override;

  // The form's window (its objectName is the form's name; each element's is its name).
  static QWidget* Widget(TForm& form);

 private:
  TApp& app_;
};

// "Text files (*.txt)|*.txt|All Files (*.*)|*.*" as a Qt name filter list, one per line pair.
std::string QtNameFilters(const std::string& filter);

}  // namespace qtui
