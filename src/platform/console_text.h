// The program's UTF-8 text on its standard error: a console shows it in its own characters,
// whatever its code page; a file or a pipe receives the UTF-8 bytes.
#pragma once

#include <string_view>

void WriteStderr(std::string_view utf8);
