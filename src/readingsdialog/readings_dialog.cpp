#include "readings_dialog.h"

#include "text/string_table.h"

TForm_Readings::TForm_Readings(TElementFactory& factory, TForm* owner, TReadingStore& store,
                               std::function<std::string(TDateTime)> whenText)
    : Form(factory.CreateForm({.Name = "Form_Readings",
                               .Caption = Str(TS::EarlierReadings),
                               .ClientWidth = 600,
                               .ClientHeight = 384,
                               .BorderStyle = bsDialog,
                               .Position = owner ? poOwnerFormCenter : poScreenCenter},
                              owner)),
      Question(factory, Form.get()),
      store_(store),
      whenText_(std::move(whenText)) {
  TForm& f = *Form;
  LV_Readings =
      factory.CreateListView(f, nullptr,
                             {.Name = "LV_Readings",
                              .Bounds = {8, 8, 584, 330},
                              .Columns = {{Str(TS::ColumnReadAt), 160},
                                          {Str(TS::ColumnTester), 214},
                                          {Str(TS::ColumnRecords), 110, taRightJustify},
                                          {Str(TS::ColumnNewRecords), 80, taRightJustify}}});
  B_Delete = factory.CreateButton(
      f, nullptr,
      {.Name = "B_Delete", .Bounds = {8, 346, 110, 30}, .Caption = Str(TS::DeleteReading)});
  B_Open = factory.CreateButton(f, nullptr,
                                {.Name = "B_Open",
                                 .Bounds = {364, 346, 110, 30},
                                 .Caption = Str(TS::OpenReading),
                                 .Default = true});
  B_Close = factory.CreateButton(f, nullptr,
                                 {.Name = "B_Close",
                                  .Bounds = {482, 346, 110, 30},
                                  .Caption = Str(TS::CloseDialog),
                                  .Cancel = true});
  LV_Readings->OnChange = [this](TObject*) { UpdateButtons(); };
  LV_Readings->OnDblClick = [this](TObject*) { B_OpenClick(); };
  B_Open->OnClick = [this](TObject*) { B_OpenClick(); };
  B_Delete->OnClick = [this](TObject*) { B_DeleteClick(); };
  B_Close->OnClick = [this](TObject*) { Form->SetModalResult(mrCancel); };
}

std::string TForm_Readings::TesterText(const TReadingInfo& info) {
  std::string adapter;
  for (const std::string* part : {&info.Vendor, &info.Product, &info.UsbSerial})
    if (!part->empty()) adapter += (adapter.empty() ? "" : " ") + *part;
  return adapter.empty() ? info.Port : Str(TS::AdapterOnPort, {adapter, info.Port});
}

void TForm_Readings::Fill(int select) {
  std::vector<std::vector<std::string>> lines;
  lines.reserve(rows_.size());
  for (const TReadingRow& r : rows_)
    lines.push_back({whenText_(r.Info.ReadAt), TesterText(r.Info), std::to_string(r.Records),
                     std::to_string(r.NewRecords)});
  LV_Readings->SetRows(std::move(lines));
  const int count = static_cast<int>(rows_.size());
  LV_Readings->SetItemIndex(count == 0 ? -1 : std::min(select, count - 1));
  UpdateButtons();
}

void TForm_Readings::UpdateButtons() {
  const bool chosen = LV_Readings->ItemIndex() >= 0;
  B_Open->SetEnabled(chosen);
  B_Delete->SetEnabled(chosen);
}

std::optional<std::int64_t> TForm_Readings::Execute() {
  rows_ = store_.List();
  chosen_.reset();
  Fill(0);
  LV_Readings->SetFocus();
  Form->ShowModal();
  return chosen_;
}

void TForm_Readings::B_OpenClick() {
  const int i = LV_Readings->ItemIndex();
  if (i < 0) return;
  chosen_ = rows_[static_cast<std::size_t>(i)].Id;
  Form->SetModalResult(mrOk);
}

void TForm_Readings::B_DeleteClick() {
  const int i = LV_Readings->ItemIndex();
  if (i < 0) return;
  const TReadingRow row = rows_[static_cast<std::size_t>(i)];
  if (!Question.Ask(Str(TS::DeleteReadingQuestion, {whenText_(row.Info.ReadAt)}),
                    Str(TS::DeleteReadingCaption)))
    return;
  store_.Delete(row.Id);
  rows_.erase(rows_.begin() + i);
  if (OnDeleted) OnDeleted(row.Id);
  Fill(i);
  LV_Readings->SetFocus();
}
