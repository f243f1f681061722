// A question with two answers, shown modally: the first answer ends it with mrOk, the second
// (also Return and Escape, the careful choice) with mrCancel. On the element factory.
#pragma once

#include <memory>
#include <string>

#include "ui/elements.h"

class TForm_Question {
 public:
  TForm_Question(TElementFactory& factory, TForm* owner, const std::string& caption,
                 const std::string& yes, const std::string& no);
  // Whether the first answer was chosen.
  bool Ask(const std::string& text);

  std::unique_ptr<TForm> Form;
  TLabel* L_Question;
  TButton *B_Yes, *B_No;
};
