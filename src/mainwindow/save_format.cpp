#include "mainwindow/save_format.h"

#include <cctype>

#include "base/utf8_path.h"

TSaveFormat SaveFormatOf(const std::string& fileName, int filterIndex) {
  std::string ext = PathUtf8(Utf8Path(fileName).filename().extension());
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".txt") return TSaveFormat::Text;
  if (ext == ".pdf") return TSaveFormat::Pdf;
  if (ext == ".csv") return TSaveFormat::Csv;
  switch (filterIndex) {
    case FilterPdf:
      return TSaveFormat::Pdf;
    case FilterCsv:
      return TSaveFormat::Csv;
    default:
      return TSaveFormat::Text;
  }
}

int FilterOf(TSaveFormat format) {
  switch (format) {
    case TSaveFormat::Pdf:
      return FilterPdf;
    case TSaveFormat::Csv:
      return FilterCsv;
    default:
      return FilterText;
  }
}

int NormalizeFilterIndex(int filterIndex) {
  return filterIndex >= FilterText && filterIndex <= FilterAll ? filterIndex : FilterText;
}
