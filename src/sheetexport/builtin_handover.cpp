#include "sheetexport/builtin_handover.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/utf8_path.h"
#include "platform/files/atomic_file.h"
#include "sheetexport/builtin_files.h"
#include "text/string_table.h"

namespace builtin {
namespace {

std::string SavedNotOpenedText(const std::string& file) {
  return Str(TS::WorkbookSavedNotOpened, {file});
}
std::string NotSavedText(const std::string& reason) {
  return Str(TS::WorkbookNotSaved, {reason});
}

}  // namespace

std::string HandOverFileName(const std::string& sheetName, TDateTime time, int attempt) {
  std::string name = sheetName.empty() ? "Book" : sheetName;
  // Characters that some file system refuses.
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c)) c = '_';
  const TDateParts p = DecodeDateTime(time);
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, " %04d-%02d-%02d %02d-%02d", p.Year, p.Month, p.Day, p.Hour,
                p.Minute);
  name += stamp;
  if (attempt > 1) name += " (" + std::to_string(attempt) + ")";
  return name + ".xlsx";
}

bool HandOver(const TBook& book, const THandOver& to) {
  if (!to.Desktop) return false;
  const auto tell = [&to](const std::string& text) {
    if (to.TellUser) to.TellUser(text);
  };
  std::string file;
  std::error_code ec;
  bool inTemp = false;
  try {
    std::string folder = to.Desktop->DocumentsFolder();
    if (folder.empty()) {
      // Shared and emptied at the next start: the user must know the file is there.
      folder = PathUtf8(std::filesystem::temp_directory_path());
      inTemp = true;
    }
    const std::string sheet = book.Sheets.empty() ? "" : book.Sheets[book.Active]->Name;
    const TDateTime now = to.Now ? to.Now() : Now();
    for (int attempt = 1; file.empty(); ++attempt) {
      if (attempt > 1000) throw ESheetAppError(Str(TS::NoFreeFileName, {folder}));
      const auto candidate = Utf8Path(folder) / Utf8Path(HandOverFileName(sheet, now, attempt));
      // Created here and now, so an existing file is never taken over.
      if (CreateNewFile(candidate)) file = PathUtf8(candidate);
    }
    WriteXlsx(book, file);
  } catch (const std::exception& e) {
    if (!file.empty()) std::filesystem::remove(Utf8Path(file), ec);
    tell(NotSavedText(e.what()));
    return false;
  }
  if (inTemp) tell(Str(TS::WorkbookInTempFolder, {file}));
  const auto notOpened = [tellUser = to.TellUser, file] {
    if (tellUser) tellUser(SavedNotOpenedText(file));
  };
  if (!to.Desktop->OpenFile(file, notOpened)) notOpened();
  return true;
}

}  // namespace builtin
