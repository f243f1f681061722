// The texts the component formats and the boxes its errors are shown in.
#include <cstdio>
#include <iostream>
#include <mutex>

#include "platform/process/main_thread.h"
#include "serial/srclasses.h"

namespace {
std::mutex g_boxMutex;
std::function<void(const std::string&)> g_errorBox;
std::function<void(const std::string&, const std::string&)> g_messageBox;
}  // namespace

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(s.data(), s.size(), format, args);
  s.resize(static_cast<std::size_t>(n));
  return s;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatV(format, args);
  va_end(args);
  return s;
}

void SetSerialErrorBox(std::function<void(const std::string&)> box) {
  std::lock_guard lock(g_boxMutex);
  g_errorBox = std::move(box);
}

void SetSerialMessageBox(std::function<void(const std::string&, const std::string&)> box) {
  std::lock_guard lock(g_boxMutex);
  g_messageBox = std::move(box);
}

void ShowSerialMessageBox(const std::string& Text, const std::string& Caption) {
  std::function<void(const std::string&, const std::string&)> box;
  {
    std::lock_guard lock(g_boxMutex);
    box = g_messageBox;
  }
  if (box)
    box(Text, Caption);
  else
    std::cerr << Caption << ": " << Text << '\n';
}
void ShowSerialError(const std::string& msg) {
  std::function<void(const std::string&)> box;
  {
    std::lock_guard lock(g_boxMutex);
    box = g_errorBox;
  }
  if (!box) {
    std::cerr << msg << '\n';
    return;
  }
  // The error box belongs to the main thread; a port's own thread hands it over.
  TMainThread* main = TMainThread::Current();
  if (main && !main->IsMainThread())
    main->Post([box, msg] { box(msg); });
  else
    box(msg);
}
