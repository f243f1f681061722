// Keeps what the C runtime's standard error receives while it lives, for libraries that print
// their diagnostics there: none of it reaches the terminal, and Text() hands it to the caller.
// Output of other threads meanwhile is kept too, so it spans single calls into such a library.
// Where standard error cannot be redirected, the capture stays empty and nothing is hidden.
#pragma once

#include <cstdint>
#include <string>

class TStderrCapture {
 public:
  TStderrCapture();
  ~TStderrCapture();  // standard error goes where it went before
  TStderrCapture(const TStderrCapture&) = delete;
  TStderrCapture& operator=(const TStderrCapture&) = delete;

  std::string Text();  // everything printed since the capture began

 private:
  int saved_ = -1;  // the earlier standard error; -1 where there was none
  int file_ = -1;   // the file that holds the capture
  bool active_ = false;
};
