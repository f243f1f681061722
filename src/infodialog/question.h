// A yes/no question over the main window, laid out like the information dialog: the message,
// then "Yes" and "No". "No" has the focus and answers Return, Escape and the title-bar button, so
// a stray key never says yes. Built on the element factory; main thread only.
#pragma once

#include <memory>
#include <string>

#include "ui/elements.h"

class TForm_Question {
 public:
  // owner: the main window the question centres on.
  TForm_Question(TElementFactory& factory, TForm* owner);

  std::unique_ptr<TForm> Form;
  TLabel* L_Question;
  TButton* B_Yes;
  TButton* B_No;

  // Shows the question modally; true only when the user answered "Yes".
  bool Ask(const std::string& text, const std::string& caption);

 private:
  void FormShow();
  std::string text_;
};
