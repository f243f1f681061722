// The information dialog: a message, a caption and a system sound, shown modally with one "Ok"
// button that Return and Escape press too. It grows from its design size to show a long message
// whole. Built on the element factory, so it runs with every binding. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/elements.h"

class TForm_Info {
 public:
  // Plays a system sound alias asynchronously; false when it cannot be played.
  using TSoundPlayer = std::function<bool(const std::string& alias)>;

  // owner: the main window the dialog centres on. sound: PlaySystemSound unless given.
  TForm_Info(TElementFactory& factory, TForm* owner, TSoundPlayer sound = {});

  std::unique_ptr<TForm> Form;
  TLabel* L_Info;
  TButton* B_Ok;

  std::string info_text;
  std::string info_caption;
  std::string info_sound;

  void FormShow(TObject* Sender);
  void B_OkClick(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);

 private:
  TElementFactory& factory_;
  TSoundPlayer sound_;
};
