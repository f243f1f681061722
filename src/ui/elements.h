// The window elements that the forms declare, free of any toolkit. A binding (Qt, headless for
// tests and the command-line reader, later Win32) implements them; a form creates its elements
// through the binding's TElementFactory with their design-time values.
//
// Programmatic writes (SetChecked, SetItemIndex, ...) never fire events; only the user's actions,
// played by the binding, fire OnClick and OnChange. All elements live on the main thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

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
  virtual void Repaint() = 0;
};

class TLabel : public TControl {
 public:
  virtual void SetCaption(const std::string& text) = 0;
  virtual std::string Caption() const = 0;
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
