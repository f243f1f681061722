// Where the PDF protocol's font lives: DejaVu Sans, a TrueType font with Latin, Polish and
// Cyrillic letters (Debian's fonts-dejavu-core on Linux; beside the program on Windows, where the
// installer puts it).
#pragma once

#include <filesystem>

std::filesystem::path ProtocolFontFile();
