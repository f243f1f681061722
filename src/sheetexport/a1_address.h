// Cell names in A1 style (column letters, then the row number), as the application takes them.
#pragma once

#include <optional>
#include <string>

struct TCellPos {
  int Column = 1;  // from 1
  int Row = 1;     // from 1
};

// Empty when the text is not a cell name.
std::optional<TCellPos> ParseA1(const std::string& name);
std::string ColumnLetters(int column);
std::string A1Name(TCellPos pos);
