#include "sheetexport/a1_address.h"

std::optional<TCellPos> ParseA1(const std::string& name) {
  std::size_t i = 0;
  long column = 0, row = 0;
  for (; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z') break;
    column = column * 26 + (c - 'A' + 1);
    if (column > 1'000'000) return std::nullopt;
  }
  if (i == 0 || i == name.size()) return std::nullopt;
  for (; i < name.size(); ++i) {
    const char c = name[i];
    if (c < '0' || c > '9') return std::nullopt;
    row = row * 10 + (c - '0');
    if (row > 100'000'000) return std::nullopt;
  }
  if (row < 1) return std::nullopt;
  return TCellPos{static_cast<int>(column), static_cast<int>(row)};
}

std::string ColumnLetters(int column) {
  std::string letters;
  while (column > 0) {
    letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    column = (column - 1) / 26;
  }
  return letters;
}

std::string A1Name(TCellPos pos) {
  return ColumnLetters(pos.Column) + std::to_string(pos.Row);
}
