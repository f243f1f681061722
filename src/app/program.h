// What both programs, the window and the command-line reader, give the main window from the
// system, and the port list of a single named port. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mainwindow/main_form.h"
#include "platform/desktop/desktop_instance.h"

// The name the window program claims the desktop under.
constexpr const char* kWindowProgram = "quarrow2excel";

// Whether the program hands workbooks to the desktop: the window does; the command-line reader
// writes only the files it is told to, always with the built-in workbook.
enum class TDesktopUse { HandOver, FilesOnly };

// The system's settings store, port list, serial line, locale and spreadsheet application (Excel
// where Windows has it, else the built-in workbook); tellUser hears where a handed-over workbook
// went when nothing opened it.
TMainServices SystemServices(std::function<void(const std::string&)> tellUser, TDesktopUse use);

// What a binding gives the window program.
struct TWindowProgram {
  // This start's hold on the desktop (ClaimDesktop); a later start brings the window forward.
  std::unique_ptr<TDesktopInstance> Claim;
  // The form's system handle, where the claim needs it.
  std::function<void*(TForm&)> SystemHandle;
  // What the binding adds to the window before it shows.
  std::function<void(TForm_Main&)> Wire;
};

// The window program on a binding: the main window with the system's services, watching the
// ports, until the application's loop ends. Returns the exit code.
int RunWindow(TApplication& app, TElementFactory& factory, TWindowProgram program = {});

// The window program's own options, answered before any display is needed: --help and
// --version print their text and give the exit code; none for a start that shows the window.
std::optional<int> AnswerWindowOptions(const std::vector<std::string>& args);

// A later start of the window program: tells on stderr that the running one was brought
// forward (or is running but did not answer) and returns the exit code, 0.
int ReportRunningWindow(bool raised);

// Chooses the language the program speaks: requested (a code such as "de" or "ru_RU.UTF-8"),
// or else the user's as the system states it. Called once at start, before any text is shown.
void UseUserLanguage(const std::string& requested = {});

// A port list holding just the port at path, as an adapter of the tester's kind, so that the
// search walks only that port at both baud rates.
std::shared_ptr<TsrDeviceDatabase> SinglePortDevices(const std::string& path);
