// Which file "Save as text" writes: the extension typed decides, else the type chosen in the
// save dialog's filter.
#pragma once

#include <string>

enum class TSaveFormat { Text, Pdf, Csv };

// The save dialog's filter entries, 1-based as the dialog counts them; the last is all files.
constexpr int FilterText = 1, FilterPdf = 2, FilterCsv = 3, FilterAll = 4;

// ".txt", ".pdf" or ".csv" (any case) decide; any other name takes the filter's type, and all
// files is the text report.
TSaveFormat SaveFormatOf(const std::string& fileName, int filterIndex);
// The filter entry of a format; any index outside the filter is the text's.
int FilterOf(TSaveFormat format);
int NormalizeFilterIndex(int filterIndex);
