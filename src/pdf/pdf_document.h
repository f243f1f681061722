// A PDF document drawn page by page with libharu, in one embedded TrueType font that takes UTF-8
// text. A finished page's drawing is compressed at once (pdf_page_deflate.h), so a document of
// thousands of pages holds about its file size in memory. Coordinates are points from the page's
// lower left corner. Main thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "base/datetime.h"

class TPdfDocument {
 public:
  // Embeds the TrueType font fontFile (a file with an ASCII name). Throws Exception when it
  // cannot be loaded.
  explicit TPdfDocument(const std::filesystem::path& fontFile);
  ~TPdfDocument();
  TPdfDocument(const TPdfDocument&) = delete;
  TPdfDocument& operator=(const TPdfDocument&) = delete;

  void SetInfo(const std::string& title, const std::string& creator, TDateTime created);
  // Starts a new page; the one before is finished.
  void AddPage(float width, float height);

  // Width of text at the font size.
  float TextWidth(const std::string& text, float size) const;
  // Text with its baseline starting at (x, y); gray 0 is black, 1 white.
  void Text(float x, float y, float size, const std::string& text, float gray = 0);
  void Line(float x1, float y1, float x2, float y2, float width, float gray = 0);
  void FillRect(float x, float y, float w, float h, float gray);

  // Writes the document to path (UTF-8), replacing it as a whole; EOSError as TAtomicFile's.
  void Save(const std::string& path);

  struct TState;  // the library's document and what drawing keeps track of

 private:
  void Check() const;
  void TextMode(bool on);
  std::unique_ptr<TState> s_;
};
