// What both programs, the window and the command-line reader, give the main window from the
// system, and the port list of a single named port. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "mainwindow/main_form.h"

constexpr const char* kProgramTitle = "Quarrow VORNEX";

// The system's settings store, port list, serial line, locale and spreadsheet application (the
// built-in workbook on Linux, Excel on Windows); tellUser hears where a handed-over workbook went.
TMainServices SystemServices(std::function<void(const std::string&)> tellUser);

// The window program on a binding: the main window with the system's services, watching the
// ports, until the application's loop ends. wire: what the binding adds to the window before it
// shows. Returns the exit code.
int RunWindow(TApplication& app, TElementFactory& factory,
              const std::function<void(TForm_Main&)>& wire = {});

// A port list holding just the port at path, as an adapter of the tester's kind, so that the
// search walks only that port at both baud rates.
std::shared_ptr<TsrDeviceDatabase> SinglePortDevices(const std::string& path);
