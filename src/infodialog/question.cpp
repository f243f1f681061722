#include "question.h"

#include "info_layout.h"
#include "text/string_table.h"

namespace {

// The two buttons share the place of the information dialog's "Ok", side by side.
constexpr int kYesShift = -48, kNoShift = 47;

}  // namespace

TForm_Question::TForm_Question(TElementFactory& factory, TForm* owner) {
  Form = factory.CreateForm({.Name = "Form_Question",
                             .Caption = Str(TS::Caption),
                             .ClientWidth = 346,
                             .ClientHeight = 109,
                             .BorderStyle = bsDialog,
                             .Position = poOwnerFormCenter},
                            owner);
  L_Question = factory.CreateLabel(*Form, nullptr,
                                   {.Name = "L_Question",
                                    .Bounds = {0, 0, 346, 53},
                                    .Align = alTop,
                                    .Alignment = taCenter,
                                    .Layout = tlCenter,
                                    .WordWrap = true});
  B_Yes = factory.CreateButton(*Form, nullptr,
                               {.Name = "B_Yes",
                                .Bounds = {133 + kYesShift, 66, 85, 30},
                                .Anchors = akBottom,
                                .Caption = Str(TS::Yes)});
  B_No = factory.CreateButton(*Form, nullptr,
                              {.Name = "B_No",
                               .Bounds = {133 + kNoShift, 66, 85, 30},
                               .Anchors = akBottom,
                               .Caption = Str(TS::No),
                               .Default = true,
                               .Cancel = true});
  Form->OnShow = [this](TObject*) { FormShow(); };
  B_Yes->OnClick = [this](TObject*) { Form->SetModalResult(mrYes); };
  B_No->OnClick = [this](TObject*) { Form->SetModalResult(mrNo); };
}

bool TForm_Question::Ask(const std::string& text, const std::string& caption) {
  text_ = text;
  Form->SetCaption(caption);
  return Form->ShowModal() == mrYes;
}

void TForm_Question::FormShow() {
  const TInfoLayout layout = LayoutInfo(
      text_, [this](const std::string& line) { return L_Question->TextWidth(line); },
      L_Question->LineHeight(), Form->MaxClientSize());
  Form->SetClientSize(layout.ClientWidth, layout.ClientHeight);
  L_Question->SetBounds(layout.Label);
  TBounds yes = layout.Button, no = layout.Button;
  yes.Left += kYesShift;
  no.Left += kNoShift;
  B_Yes->SetBounds(yes);
  B_No->SetBounds(no);
  L_Question->SetCaption(layout.Text);
  B_No->SetFocus();
}
