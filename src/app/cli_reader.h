// One reading of the command-line reader: the window's own logic on the headless binding, on
// real time, with the settings taken from the options; then the exports the options ask for.
// Main thread only.
#pragma once

#include <functional>
#include <string>

#include "app/cli_options.h"
#include "mainwindow/main_form.h"

constexpr int kExitOk = 0, kExitUsage = 2, kExitNoArchive = 3, kExitExportFailed = 6;

// --list-readings: one line a reading to out (number, time, port, records, new records, by
// tabs), newest first; say hears why the store cannot be read. Returns the exit code.
int ListReadings(const TCliOptions& options, const std::function<void(const std::string&)>& out,
                 const std::function<void(const std::string&)>& say);

// say: every status text and message as it happens. Returns the program's exit code.
int RunCliReader(const TCliOptions& options, TMainServices services,
                 const std::function<void(const std::string&)>& say);
