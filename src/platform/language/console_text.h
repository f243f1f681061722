// Writes the program's UTF-8 text to standard output or standard error so that a terminal shows
// its letters: a Windows console takes it as wide characters, whatever its code page; a file or a
// pipe gets the UTF-8 bytes unchanged.
//   PrintText(TStream::Error, "Получено записей: 25.\n");
#pragma once

#include <string_view>

enum class TStream { Output, Error };

void PrintText(TStream stream, std::string_view utf8);
