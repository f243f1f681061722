#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <chrono>
#include <cmath>

#include "list_view.h"
#include "qt_binding.h"
#include "qt_text.h"

namespace qtui {
namespace {

class TQtForm;

// Paints at once at most once a frame; in between the paint is left to the loop. A loop that
// repaints after every record would otherwise spend its time painting.
class TRepaintPacer {
 public:
  void Repaint(QWidget* w) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(16)) {
      w->update();
      return;
    }
    last_ = now;
    w->repaint();
  }

 private:
  std::chrono::steady_clock::time_point last_{};
};

// The form's window. Closing it by the title bar or Alt+F4 runs the form's close steps.
class TFormWidget : public QDialog {
 public:
  TFormWidget(TQtForm& form, Qt::WindowFlags flags) : QDialog(nullptr, flags), form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Escape presses the form's Cancel button, if it has one, and closes nothing else.
  void reject() override {}

 private:
  TQtForm& form_;
};

class TQtForm : public TForm {
 public:
  TQtForm(TApp& app, const TFormSpec& design, TForm* owner)
      : app_(app), spec_(design), owner_(owner) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (design.BorderStyle == bsSingle) flags |= Qt::WindowMinimizeButtonHint;
    if (design.BorderStyle == bsDialog) flags = (flags & ~Qt::Window) | Qt::Dialog;
    widget_ = std::make_unique<TFormWidget>(*this, flags);
    widget_->setObjectName(Q(design.Name));
    widget_->setWindowTitle(Q(design.Caption));
    widget_->setFixedSize(app.Scaled(design.ClientWidth), app.Scaled(design.ClientHeight));
    widget_->setSizeGripEnabled(false);
    QFont font(Q(app.FontFamily()));
    font.setPixelSize(app.Scaled(design.FontHeight));
    widget_->setFont(font);
  }

  ~TQtForm() override {
    if (app_.MainForm() == this) app_.SetMainForm(nullptr);
  }

  void SetCaption(const std::string& text) override { widget_->setWindowTitle(Q(text)); }
  std::string Caption() const override { return widget_->windowTitle().toStdString(); }
  int ClientWidth() const override { return spec_.ClientWidth; }
  int ClientHeight() const override { return spec_.ClientHeight; }
  void SetClientSize(int width, int height) override {
    spec_.ClientWidth = width;
    spec_.ClientHeight = height;
    widget_->setFixedSize(app_.Scaled(width), app_.Scaled(height));
    Centre();
  }
  TSize MaxClientSize() const override {
    const QScreen* screen =
        widget_->screen() ? widget_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return {spec_.ClientWidth, spec_.ClientHeight};
    QSize frame = widget_->frameGeometry().size() - widget_->geometry().size();
    if (frame.isEmpty()) frame = QSize(16, 38);  // not framed yet: a usual title bar and border
    const QSize room = screen->availableGeometry().size() - frame;
    return {app_.Unscaled(room.width()), app_.Unscaled(room.height())};
  }
  void Show() override {
    Centre();
    widget_->show();
  }
  TModalResult ShowModal() override {
    modal_ = true;
    modal_result_ = mrNone;
    Centre();
    widget_->setModal(true);
    widget_->exec();
    widget_->setModal(false);
    modal_ = false;
    if (modal_result_ == mrNone) modal_result_ = mrCancel;  // the loop ended under it
    return modal_result_;
  }
  void Close() override { widget_->close(); }
  bool Visible() const override { return widget_->isVisible(); }
  void BringToFront() override {
    if (widget_->isMinimized()) widget_->showNormal();
    // A modal dialog of the program, where one is open, is what takes the input.
    QWidget* front =
        QApplication::activeModalWidget() ? QApplication::activeModalWidget() : widget_.get();
    front->raise();
    front->activateWindow();
  }
  void SetModalResult(TModalResult value) override {
    modal_result_ = value;
    if (modal_ && value != mrNone) widget_->close();
  }
  TModalResult ModalResult() const override { return modal_result_; }
  void Repaint() override { pacer_.Repaint(widget_.get()); }

  QWidget* Widget() const { return widget_.get(); }
  TApp& App() const { return app_; }
  // The buttons that Return and Escape press where no button has the focus.
  void SetDefaultButton(QPushButton* button) { default_ = button; }
  void SetCancelButton(QPushButton* button) { cancel_ = button; }
  // Return presses the focused button, else the Default one; Escape the Cancel one.
  bool Key(int key) {
    QPushButton* target = nullptr;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      target = qobject_cast<QPushButton*>(widget_->focusWidget());
      if (!Pressable(target)) target = default_;
    } else if (key == Qt::Key_Escape) {
      target = cancel_;
    }
    if (!Pressable(target)) return false;
    target->click();
    return true;
  }

  // Whether the window may close.
  bool CloseSteps() {
    if (modal_ && modal_result_ == mrNone) modal_result_ = mrCancel;
    TCloseAction action = caHide;
    if (OnClose) app_.Guard([&] { OnClose(this, action); });
    if (action == caNone) {
      if (modal_) modal_result_ = mrNone;
      return false;
    }
    if (modal_)
      widget_->done(modal_result_);
    else if (app_.MainForm() == this)
      app_.Terminate();
    return true;
  }
  void Shown() {
    if (OnShow) app_.Guard([this] { OnShow(this); });
  }

  template <class T>
  T* Adopt(std::unique_ptr<T> element) {
    T* raw = element.get();
    elements_.push_back(std::move(element));
    return raw;
  }

 private:
  bool Pressable(QPushButton* button) const {
    return button && button->window() == widget_.get() && button->isVisible() &&
           button->isEnabled();
  }
  void Centre() {
    QRect area;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (spec_.Position == poOwnerFormCenter && owner_)
      area = TFactory::Widget(*owner_)->frameGeometry();
    else if (screen)
      area = screen->availableGeometry();
    if (spec_.Position != poDesigned && area.isValid()) {
      QRect frame = widget_->frameGeometry();
      frame.moveCenter(area.center());
      // Never off the screen, where the title bar could not be reached.
      if (screen) {
        const QRect work = screen->availableGeometry();
        if (frame.right() > work.right()) frame.moveRight(work.right());
        if (frame.bottom() > work.bottom()) frame.moveBottom(work.bottom());
        if (frame.left() < work.left()) frame.moveLeft(work.left());
        if (frame.top() < work.top()) frame.moveTop(work.top());
      }
      widget_->move(frame.topLeft());
    }
  }
  TApp& app_;
  TFormSpec spec_;
  TForm* owner_;
  std::unique_ptr<TFormWidget> widget_;
  std::vector<std::unique_ptr<TObject>> elements_;  // go before the widgets they drive
  bool modal_ = false;
  TModalResult modal_result_ = mrNone;
  TRepaintPacer pacer_;
  QPushButton* default_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

void TFormWidget::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const bool ours = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
  if (!ours || (event->modifiers() & ~Qt::KeypadModifier)) {
    QDialog::keyPressEvent(event);
    return;
  }
  if (!form_.Key(key)) event->ignore();
}

void TFormWidget::closeEvent(QCloseEvent* event) {
  if (form_.CloseSteps())
    event->accept();
  else
    event->ignore();
}

void TFormWidget::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  form_.Shown();
}

QWidget* ParentWidget(TForm& form, TPanel* parent);

template <class Base, class W>
class TControlOf : public Base {
 public:
  TControlOf(TForm& form, TPanel* parent, const TElementSpec& design)
      : app_(dynamic_cast<TQtForm&>(form).App()),
        bounds_(design.Bounds),
        widget_(new W(ParentWidget(form, parent))) {
    widget_->setObjectName(Q(design.Name));
    widget_->setGeometry(app_.Scaled(design.Bounds.Left), app_.Scaled(design.Bounds.Top),
                         app_.Scaled(design.Bounds.Width), app_.Scaled(design.Bounds.Height));
    widget_->setVisible(design.Visible);
    widget_->setEnabled(design.Enabled);
  }
  void SetVisible(bool value) override { widget_->setVisible(value); }
  bool Visible() const override { return !widget_->isHidden(); }
  void SetEnabled(bool value) override { widget_->setEnabled(value); }
  bool Enabled() const override { return widget_->isEnabled(); }
  TBounds Bounds() const override { return bounds_; }
  void SetBounds(const TBounds& b) override {
    bounds_ = b;
    widget_->setGeometry(app_.Scaled(b.Left), app_.Scaled(b.Top), app_.Scaled(b.Width),
                         app_.Scaled(b.Height));
  }
  void Repaint() override { pacer_.Repaint(widget_); }
  W* Widget() const { return widget_; }

 protected:
  TApp& app_;

 private:
  TBounds bounds_;
  W* widget_;  // owned by its parent widget
  TRepaintPacer pacer_;
};

class TPanelFrame : public QFrame {
 public:
  using QFrame::QFrame;
  std::function<void()> clicked;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    QFrame::mousePressEvent(event);
    if (clicked) clicked();
  }
};

class TQtPanel : public TControlOf<TPanel, TPanelFrame> {
 public:
  TQtPanel(TForm& form, TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design) {
    Widget()->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Widget()->clicked = [this] {
      if (OnClick) app_.Guard([this] { OnClick(this); });
    };
  }
};

Qt::Alignment TextAlignment(const TElementSpec& design) {
  Qt::Alignment a = design.Alignment == taCenter         ? Qt::AlignHCenter
                    : design.Alignment == taRightJustify ? Qt::AlignRight
                                                         : Qt::AlignLeft;
  a |= design.Layout == tlCenter   ? Qt::AlignVCenter
       : design.Layout == tlBottom ? Qt::AlignBottom
                                   : Qt::AlignTop;
  return a;
}

class TQtLabel : public TControlOf<TLabel, QLabel> {
 public:
  TQtLabel(TForm& form, TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design), auto_size_(design.AutoSize && !design.WordWrap) {
    Widget()->setAlignment(TextAlignment(design));
    Widget()->setWordWrap(design.WordWrap);
    Widget()->setTextFormat(Qt::PlainText);
    SetCaption(design.Caption);
  }
  void SetCaption(const std::string& text) override {
    caption_ = text;
    Widget()->setText(Q(text).replace("\r\n", "\n"));
    // Where Tahoma is missing the desktop's font runs wider; the text must not be cut.
    if (auto_size_ && Widget()->sizeHint().width() > Widget()->width()) {
      TBounds b = Bounds();
      b.Width = app_.Unscaled(Widget()->sizeHint().width(), true);
      SetBounds(b);
    }
  }
  std::string Caption() const override { return caption_; }
  int TextWidth(const std::string& line) const override {
    return app_.Unscaled(Widget()->fontMetrics().horizontalAdvance(Q(line)), true);
  }
  int LineHeight() const override {
    return app_.Unscaled(Widget()->fontMetrics().lineSpacing(), true);
  }

 private:
  bool auto_size_;
  std::string caption_;
};

class TQtButton : public TControlOf<TButton, QPushButton> {
 public:
  TQtButton(TForm& form, TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design) {
    Widget()->setText(Q(design.Caption));
    Widget()->setAutoDefault(false);
    auto& owner = dynamic_cast<TQtForm&>(form);
    if (design.Default) {
      Widget()->setDefault(true);
      owner.SetDefaultButton(Widget());
    }
    if (design.Cancel) owner.SetCancelButton(Widget());
    QObject::connect(Widget(), &QPushButton::clicked, [this] {
      if (OnClick) app_.Guard([this] { OnClick(this); });
    });
  }
  void SetCaption(const std::string& text) override { Widget()->setText(Q(text)); }
  std::string Caption() const override { return Widget()->text().toStdString(); }
  void SetFocus() override { Widget()->setFocus(Qt::OtherFocusReason); }
};

class TQtCheckBox : public TControlOf<TCheckBox, QCheckBox> {
 public:
  TQtCheckBox(TForm& form, TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design) {
    Widget()->setText(Q(design.Caption));
    Widget()->setChecked(design.Checked);
    // clicked comes from the user only, never from setChecked
    QObject::connect(Widget(), &QCheckBox::clicked, [this] {
      if (OnClick) app_.Guard([this] { OnClick(this); });
    });
  }
  void SetChecked(bool value) override { Widget()->setChecked(value); }
  bool Checked() const override { return Widget()->isChecked(); }
  std::string Caption() const override { return Widget()->text().toStdString(); }
};

class TItemHeightDelegate : public QStyledItemDelegate {
 public:
  TItemHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(height_);
    return size;
  }

 private:
  int height_;
};

class TQtComboBox : public TControlOf<TComboBox, QComboBox> {
 public:
  TQtComboBox(TForm& form, TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design) {
    for (const auto& item : design.Items) Widget()->addItem(Q(item));
    if (design.ItemHeight > 0)
      Widget()->setItemDelegate(new TItemHeightDelegate(app_.Scaled(design.ItemHeight), Widget()));
    SetItemIndex(design.ItemIndex);
    // activated comes from the user only, never from setCurrentIndex
    QObject::connect(Widget(), &QComboBox::activated, [this] {
      if (OnChange) app_.Guard([this] { OnChange(this); });
    });
  }
  std::vector<std::string> Items() const override {
    std::vector<std::string> items;
    for (int i = 0; i < Widget()->count(); ++i)
      items.push_back(Widget()->itemText(i).toStdString());
    return items;
  }
  void SetItemIndex(int index) override {
    Widget()->setCurrentIndex(index >= 0 && index < Widget()->count() ? index : -1);
  }
  int ItemIndex() const override { return Widget()->currentIndex(); }
  std::string Text() const override {
    return ItemIndex() < 0 ? std::string() : Widget()->currentText().toStdString();
  }
};

class TQtProgressBar : public TControlOf<TProgressBar, QProgressBar> {
 public:
  TQtProgressBar(TForm& form, TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design) {
    Widget()->setTextVisible(false);
    Widget()->setRange(design.Min, design.Max);
    Widget()->setValue(design.Position);
  }
  void SetMin(int value) override { Widget()->setMinimum(value); }
  void SetMax(int value) override { Widget()->setMaximum(value); }
  void SetPosition(int value) override { Widget()->setValue(value); }
  int Min() const override { return Widget()->minimum(); }
  int Max() const override { return Widget()->maximum(); }
  int Position() const override { return Widget()->value(); }
};

class TQtTimer : public TTimer {
 public:
  TQtTimer(TApp& app, const TTimerSpec& design) : TTimer(design.Enabled, design.Interval) {
    QObject::connect(&timer_, &QTimer::timeout, [this, &app] { app.Guard([this] { Tick(); }); });
    Arm();
  }

 private:
  void StartClock(unsigned ms) override { timer_.start(static_cast<int>(ms)); }
  void StopClock() override { timer_.stop(); }
  QTimer timer_;
};

// The toolkit's file dialog, which would accept a file in a folder that does not exist: where
// the folder must exist it says so, as for a folder it cannot open, and stays.
class TFileDialog : public QFileDialog {
 public:
  TFileDialog(QWidget* parent, bool path_must_exist)
      : QFileDialog(parent), path_must_exist_(path_must_exist) {}

  void accept() override {
    const QStringList files = selectedFiles();
    if (path_must_exist_ && !files.isEmpty()) {
      const QFileInfo chosen(files.front());
      if (!chosen.isDir() && !QFileInfo(chosen.path()).isDir()) {
        QMessageBox::warning(this, windowTitle(),
                             QFileDialog::tr("%1\nDirectory not found.\nPlease verify the "
                                             "correct directory name was given.")
                                 .arg(chosen.path()));
        return;
      }
    }
    QFileDialog::accept();
  }

 private:
  bool path_must_exist_;
};

class TQtSaveDialog : public TSaveDialog {
 public:
  TQtSaveDialog(TQtForm& form, const TSaveDialogSpec& design) : form_(form), name_(design.Name) {
    SetDefaultExt(design.DefaultExt);
    SetFilter(design.Filter);
    SetOptions(design.Options);
  }
  bool Execute() override {
    TFileDialog dialog(form_.Widget(), Options() & ofPathMustExist);
    dialog.setObjectName(Q(name_));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = Q(QtNameFilters(Filter())).split('\n', Qt::SkipEmptyParts);
    dialog.setNameFilters(filters);
    // A name typed without an extension takes the chosen type's.
    const auto suffix = [&](int index) {
      const std::string ext = FilterExt(index);
      dialog.setDefaultSuffix(Q(ext.empty() ? DefaultExt() : ext));
    };
    if (FilterIndex() >= 1 && FilterIndex() <= filters.size())
      dialog.selectNameFilter(filters[FilterIndex() - 1]);
    suffix(FilterIndex());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&](const QString& f) { suffix(static_cast<int>(filters.indexOf(f)) + 1); });
    dialog.setDirectory(Q(InitialDir()));
    if (!FileName().empty()) dialog.selectFile(Q(FileName()));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(Options() & ofOverwritePrompt));
    dialog.setSizeGripEnabled(Options() & ofEnableSizing);
    // A save dialog never offers a read-only box.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    if (const auto chosen = filters.indexOf(dialog.selectedNameFilter()); chosen >= 0)
      SetFilterIndex(static_cast<int>(chosen) + 1);
    SetFileName(WithDefaultExt(dialog.selectedFiles().front().toStdString()));
    return true;
  }

 private:
  TQtForm& form_;
  std::string name_;
};

QWidget* ParentWidget(TForm& form, TPanel* parent) {
  if (auto* panel = dynamic_cast<TQtPanel*>(parent)) return panel->Widget();
  return dynamic_cast<TQtForm&>(form).Widget();
}

template <class T>
T* Own(TForm& form, std::unique_ptr<T> element) {
  return dynamic_cast<TQtForm&>(form).Adopt(std::move(element));
}

}  // namespace

std::string QtNameFilters(const std::string& filter) {
  // "Desc|pattern|Desc|pattern": Qt shows "Desc (patterns)" and takes the patterns in brackets.
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::string out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string desc = parts[i], patterns = parts[i + 1];
    for (auto& c : patterns)
      if (c == ';') c = ' ';
    if (const auto open = desc.rfind(" ("); open != std::string::npos && desc.back() == ')')
      desc.erase(open);
    out += desc + " (" + patterns + ")\n";
  }
  return out;
}

std::unique_ptr<TForm> TFactory::CreateForm(const TFormSpec& design, TForm* owner) {
  return std::make_unique<TQtForm>(app_, design, owner);
}
TPanel* TFactory::CreatePanel(TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TQtPanel>(form, parent, design));
}
TLabel* TFactory::CreateLabel(TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TQtLabel>(form, parent, design));
}
TButton* TFactory::CreateButton(TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TQtButton>(form, parent, design));
}
TCheckBox* TFactory::CreateCheckBox(TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TQtCheckBox>(form, parent, design));
}
TComboBox* TFactory::CreateComboBox(TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TQtComboBox>(form, parent, design));
}
TProgressBar* TFactory::CreateProgressBar(TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, std::make_unique<TQtProgressBar>(form, parent, design));
}
TListView* TFactory::CreateListView(TForm& form, TPanel* parent, const TElementSpec& design) {
  return Own(form, CreateQtListView(app_, ParentWidget(form, parent), design));
}
TTimer* TFactory::CreateTimer(TForm& form, const TTimerSpec& design) {
  return Own(form, std::make_unique<TQtTimer>(app_, design));
}
TSaveDialog* TFactory::CreateSaveDialog(TForm& form, const TSaveDialogSpec& design) {
  return Own(form, std::make_unique<TQtSaveDialog>(dynamic_cast<TQtForm&>(form), design));
}
void TFactory::Beep() {
  QApplication::beep();
}

QWidget* TFactory::Widget(TForm& form) {
  return dynamic_cast<TQtForm&>(form).Widget();
}

}  // namespace qtui
