#include <filesystem>

#include "base/utf16.h"
#include "base/utf8_path.h"
#include "headless.h"

namespace headless {

bool TPanel::Click() {
  if (!Reachable()) return false;
  if (OnClick) form_.App().Guard([this] { OnClick(this); });
  return true;
}

int TLabel::TextWidth(const std::string& line) const {
  return kCharWidth * static_cast<int>(Utf16Length(line));
}

void TButton::SetFocus() {
  form_.SetFocusedButton(this);
}
bool TButton::Focused() const {
  return form_.FocusedButton() == this;
}

bool TButton::Click() {
  if (!Reachable()) return false;
  if (OnClick) form_.App().Guard([this] { OnClick(this); });
  return true;
}

bool TCheckBox::Click() {
  if (!Reachable()) return false;
  checked_ = !checked_;
  if (OnClick) form_.App().Guard([this] { OnClick(this); });
  return true;
}

TComboBox::TComboBox(TForm& form, ::TPanel* parent, const TElementSpec& design)
    : TControlOf(form, parent, design) {
  SetItemIndex(design.ItemIndex);
}

void TComboBox::SetItemIndex(int index) {
  index_ = (index >= 0 && index < static_cast<int>(Design().Items.size())) ? index : -1;
}

std::string TComboBox::Text() const {
  return index_ < 0 ? std::string() : Design().Items[index_];
}

bool TComboBox::Select(int index) {
  if (!Reachable()) return false;
  SetItemIndex(index);
  if (OnChange) form_.App().Guard([this] { OnChange(this); });
  return true;
}

void TListView::SetRows(std::vector<std::vector<std::string>> rows) {
  rows_ = std::move(rows);
  index_ = -1;
  ++fills_;
}

void TListView::SetItemIndex(int index) {
  index_ = index >= 0 && index < RowCount() ? index : -1;
}

void TListView::SetFocus() {
  form_.SetFocusedButton(nullptr);
}

bool TListView::Select(int index) {
  if (!Reachable()) return false;
  SetItemIndex(index);
  if (OnChange) form_.App().Guard([this] { OnChange(this); });
  return true;
}

bool TListView::DblClick(int index) {
  if (!Select(index)) return false;
  if (OnDblClick) form_.App().Guard([this] { OnDblClick(this); });
  return true;
}

TSaveDialog::TSaveDialog(const TSaveDialogSpec& design) : name_(design.Name) {
  SetDefaultExt(design.DefaultExt);
  SetFilter(design.Filter);
  SetOptions(design.Options);
}

bool TSaveDialog::Execute() {
  ++shown_;
  if (!Answer) return false;
  for (;;) {
    const auto chosen = Answer(*this);
    if (!chosen) return false;
    const auto folder = Utf8Path(*chosen).parent_path();
    if ((Options() & ofPathMustExist) && !folder.empty() &&
        !std::filesystem::is_directory(folder)) {
      refused_.push_back(PathUtf8(folder));
      continue;
    }
    SetFileName(WithDefaultExt(*chosen));
    return true;
  }
}

TForm::TForm(TApp& app, const TFormSpec& design, ::TForm* owner)
    : app_(app),
      spec_(design),
      owner_(owner),
      caption_(design.Caption),
      width_(design.ClientWidth),
      height_(design.ClientHeight) {}

bool TForm::Press(TKey key) {
  std::vector<TButton*> buttons;
  for (const auto& e : elements_)
    if (auto* b = dynamic_cast<TButton*>(e.get())) buttons.push_back(b);
  if (key == TKey::Return)
    for (TButton* b : buttons)
      if (b == focused_ && b->Reachable()) return b->Click();
  for (TButton* b : buttons)
    if ((key == TKey::Return ? b->Design().Default : b->Design().Cancel) && b->Reachable())
      return b->Click();
  return false;
}

TForm::~TForm() {
  if (app_.MainForm() == this) app_.SetMainForm(nullptr);
}

void TForm::Show() {
  if (visible_) return;
  visible_ = true;
  if (OnShow) app_.Guard([this] { OnShow(this); });
}

bool TForm::RunCloseSteps() {
  TCloseAction action = caHide;
  if (OnClose) app_.Guard([&] { OnClose(this, action); });
  return action != caNone;
}

void TForm::Close() {
  if (modal_) {
    modal_result_ = mrCancel;  // the nested loop runs the close steps
    return;
  }
  if (!RunCloseSteps()) return;
  visible_ = false;
  if (app_.MainForm() == this) app_.Terminate();
}

TModalResult TForm::ShowModal() {
  modal_ = true;
  modal_result_ = mrNone;
  visible_ = false;
  Show();
  if (ModalAnswer)
    app_.Guard([this] { ModalAnswer(*this); });
  else if (app_.ModalAnswer)
    app_.Guard([this] { app_.ModalAnswer(*this); });
  else
    Close();
  for (;;) {
    if (modal_result_ != mrNone) {
      if (RunCloseSteps()) break;
      modal_result_ = mrNone;
    }
    if (app_.Terminated()) {
      modal_result_ = mrCancel;
      break;
    }
    if (!app_.DispatchPending()) app_.WaitForWork();
  }
  modal_ = false;
  visible_ = false;
  return modal_result_;
}

std::unique_ptr<::TForm> TFactory::CreateForm(const TFormSpec& design, ::TForm* owner) {
  return std::make_unique<TForm>(app_, design, owner);
}

namespace {
template <class T>
T* Add(::TForm& form, ::TPanel* parent, const TElementSpec& design) {
  auto& f = dynamic_cast<TForm&>(form);
  return f.Adopt(std::make_unique<T>(f, parent, design));
}
}  // namespace

::TPanel* TFactory::CreatePanel(::TForm& form, ::TPanel* parent, const TElementSpec& design) {
  return Add<TPanel>(form, parent, design);
}
::TLabel* TFactory::CreateLabel(::TForm& form, ::TPanel* parent, const TElementSpec& design) {
  return Add<TLabel>(form, parent, design);
}
::TButton* TFactory::CreateButton(::TForm& form, ::TPanel* parent, const TElementSpec& design) {
  return Add<TButton>(form, parent, design);
}
::TCheckBox* TFactory::CreateCheckBox(::TForm& form, ::TPanel* parent, const TElementSpec& design) {
  return Add<TCheckBox>(form, parent, design);
}
::TComboBox* TFactory::CreateComboBox(::TForm& form, ::TPanel* parent, const TElementSpec& design) {
  return Add<TComboBox>(form, parent, design);
}
::TProgressBar* TFactory::CreateProgressBar(::TForm& form, ::TPanel* parent,
                                            const TElementSpec& design) {
  return Add<TProgressBar>(form, parent, design);
}
::TListView* TFactory::CreateListView(::TForm& form, ::TPanel* parent, const TElementSpec& design) {
  return Add<TListView>(form, parent, design);
}
::TTimer* TFactory::CreateTimer(::TForm& form, const TTimerSpec& design) {
  return dynamic_cast<TForm&>(form).Adopt(std::make_unique<TTimer>(app_, design));
}
::TSaveDialog* TFactory::CreateSaveDialog(::TForm& form, const TSaveDialogSpec& design) {
  return dynamic_cast<TForm&>(form).Adopt(std::make_unique<TSaveDialog>(design));
}

}  // namespace headless
