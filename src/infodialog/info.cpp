#include "info.h"

#include "info_layout.h"
#include "platform/desktop/shell.h"
#include "text/string_table.h"

TForm_Info::TForm_Info(TElementFactory& factory, TForm* owner, TSoundPlayer sound)
    : factory_(factory), sound_(sound ? std::move(sound) : TSoundPlayer(PlaySystemSound)) {
  Form = factory.CreateForm({.Name = "Form_Info",
                             .Caption = Str(TS::Information),
                             .ClientWidth = 346,
                             .ClientHeight = 109,
                             .BorderStyle = bsDialog,
                             .Position = poOwnerFormCenter},
                            owner);
  L_Info = factory.CreateLabel(*Form, nullptr,
                               {.Name = "L_Info",
                                .Bounds = {0, 0, 346, 53},
                                .Align = alTop,
                                .Alignment = taCenter,
                                .Layout = tlCenter,
                                .WordWrap = true});
  B_Ok = factory.CreateButton(*Form, nullptr,
                              {.Name = "B_Ok",
                               .Bounds = {133, 66, 85, 30},
                               .Anchors = akBottom,
                               .Caption = Str(TS::Ok),
                               .Default = true,
                               .Cancel = true});
  Form->OnShow = [this](TObject* sender) { FormShow(sender); };
  Form->OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
  B_Ok->OnClick = [this](TObject* sender) { B_OkClick(sender); };
}

void TForm_Info::FormShow(TObject*) {
  // Every message is laid out anew: a short one after a long one gets the design size back.
  const TInfoLayout layout = LayoutInfo(
      info_text, [this](const std::string& line) { return L_Info->TextWidth(line); },
      L_Info->LineHeight(), Form->MaxClientSize());
  Form->SetClientSize(layout.ClientWidth, layout.ClientHeight);
  L_Info->SetBounds(layout.Label);
  B_Ok->SetBounds(layout.Button);
  L_Info->SetCaption(layout.Text);
  Form->SetCaption(info_caption);
  B_Ok->SetFocus();
  bool played = false;
  try {
    played = sound_(info_sound);
  } catch (...) {
    // A sound that cannot play never stops the dialog.
  }
  if (!played) {
    try {
      factory_.Beep();
    } catch (...) {
    }
  }
}

void TForm_Info::B_OkClick(TObject*) {
  Form->SetModalResult(mrOk);
}

void TForm_Info::FormClose(TObject*, TCloseAction&) {
  Form->SetModalResult(mrOk);
}
