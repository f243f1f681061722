// Reads the user's format settings (base/format_settings.h) from the operating system.
#pragma once

#include "base/format_settings.h"

// The settings of the user's locale (on POSIX systems: LC_NUMERIC, LC_TIME and LC_MONETARY of
// the environment). Never fails: what the system does not answer keeps the record's defaults.
FormatSettings LoadSystemFormatSettings();
