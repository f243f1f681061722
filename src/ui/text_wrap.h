// Breaks a text into lines no wider than a limit, as a label shows it: at spaces, and inside a
// word too long for a line (a file path) after its path separators, as a last resort anywhere
// between two characters. Portable; the binding measures.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Width of one line of text, in any unit the limit is given in.
using TTextMeasure = std::function<int(const std::string& line)>;

// The lines of text (its own line breaks, "\r\n" or "\n", kept) each at most limit wide where
// a single character allows it. Spaces at a break are dropped.
std::vector<std::string> WrapText(const std::string& text, int limit, const TTextMeasure& width);
