#include "question.h"

TForm_Question::TForm_Question(TElementFactory& factory, TForm* owner, const std::string& caption,
                               const std::string& yes, const std::string& no) {
  Form = factory.CreateForm({.Name = "Form_Question",
                             .Caption = caption,
                             .ClientWidth = 420,
                             .ClientHeight = 136,
                             .BorderStyle = bsDialog,
                             .Position = owner ? poOwnerFormCenter : poScreenCenter},
                            owner);
  L_Question = factory.CreateLabel(*Form, nullptr,
                                   {.Name = "L_Question",
                                    .Bounds = {12, 8, 396, 80},
                                    .Alignment = taCenter,
                                    .Layout = tlCenter,
                                    .WordWrap = true});
  B_Yes = factory.CreateButton(*Form, nullptr,
                               {.Name = "B_Yes", .Bounds = {104, 96, 100, 30}, .Caption = yes});
  B_No = factory.CreateButton(*Form, nullptr,
                              {.Name = "B_No",
                               .Bounds = {216, 96, 100, 30},
                               .Caption = no,
                               .Default = true,
                               .Cancel = true});
  B_Yes->OnClick = [this](TObject*) { Form->SetModalResult(mrOk); };
  B_No->OnClick = [this](TObject*) { Form->SetModalResult(mrCancel); };
}

bool TForm_Question::Ask(const std::string& text) {
  L_Question->SetCaption(text);
  B_No->SetFocus();
  return Form->ShowModal() == mrOk;
}
