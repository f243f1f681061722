// The one crossing between the program's UTF-8 text and file-system paths. A path built from a
// plain std::string reads its bytes in the system's narrow code page (the ANSI code page on
// Windows), so every path made from or shown as text goes through these two.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The path that the UTF-8 text names.
std::filesystem::path Utf8Path(std::string_view utf8);
// The path as UTF-8 text, in the system's own separators.
std::string PathUtf8(const std::filesystem::path& path);
