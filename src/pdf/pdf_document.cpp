#include "pdf/pdf_document.h"

#include <hpdf.h>

#include <cerrno>
#include <cstdio>

#include "base/exceptions.h"
#include "base/utf8_path.h"
#include "pdf/pdf_page_deflate.h"
#include "platform/files/atomic_file.h"
#include "platform/files/narrow_folder.h"
#include "text/string_table.h"

struct TPdfDocument::TState {
  HPDF_Doc doc = nullptr;
  HPDF_Font font = nullptr;
  HPDF_Page page = nullptr;
  bool text = false;
  float size = 0;
  HPDF_STATUS error = HPDF_OK;
  HPDF_STATUS detail = 0;
  // Here rather than in the document's destructor: a constructor that throws runs only this one.
  ~TState() {
    if (doc) HPDF_Free(doc);
  }
};

namespace {

// The library goes on after an error and answers with failures; the first one is kept and
// raised by the next check, since an exception must not cross the library's C frames.
void OnError(HPDF_STATUS error, HPDF_STATUS detail, void* data) {
  auto* s = static_cast<TPdfDocument::TState*>(data);
  if (s->error != HPDF_OK) return;
  s->error = error;
  s->detail = detail;
}

std::string Hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

HPDF_Date PdfDate(TDateTime t) {
  const TDateParts p = DecodeDateTime(t);
  HPDF_Date d{};
  d.year = p.Year;
  d.month = p.Month;
  d.day = p.Day;
  d.hour = p.Hour;
  d.minutes = p.Minute;
  d.seconds = p.Second;
  d.ind = ' ';
  return d;
}

}  // namespace

TPdfDocument::TPdfDocument(const std::filesystem::path& fontFile) : s_(std::make_unique<TState>()) {
  s_->doc = HPDF_New(&OnError, s_.get());
  if (!s_->doc) throw Exception(Str(TS::PdfLibraryError, {Hex(HPDF_FAILD_TO_ALLOC_MEM)}));
  HPDF_SetCompressionMode(s_->doc, HPDF_COMP_ALL);
  HPDF_UseUTFEncodings(s_->doc);
  const char* name = nullptr;
  {
    // The library opens the font by a narrow name and keeps it open while the document lives.
    const TNarrowFolder folder(fontFile.parent_path());
    name = HPDF_LoadTTFontFromFile(s_->doc, folder.Name(PathUtf8(fontFile.filename())).c_str(),
                                   HPDF_TRUE);
  }
  if (!name) throw Exception(Str(TS::PdfFontMissing, {PathUtf8(fontFile)}));
  s_->font = HPDF_GetFont(s_->doc, name, "UTF-8");
  Check();
}

TPdfDocument::~TPdfDocument() = default;

void TPdfDocument::Check() const {
  if (s_->error != HPDF_OK)
    throw Exception(Str(TS::PdfLibraryError, {Hex(static_cast<unsigned>(s_->error))}));
}

void TPdfDocument::SetInfo(const std::string& title, const std::string& creator,
                           TDateTime created) {
  // The document's texts as Unicode, read from UTF-8.
  HPDF_SetCurrentEncoder(s_->doc, "UTF-8");
  HPDF_SetInfoAttr(s_->doc, HPDF_INFO_TITLE, title.c_str());
  HPDF_SetInfoAttr(s_->doc, HPDF_INFO_CREATOR, creator.c_str());
  HPDF_SetInfoAttr(s_->doc, HPDF_INFO_PRODUCER, creator.c_str());
  HPDF_SetInfoDateAttr(s_->doc, HPDF_INFO_CREATION_DATE, PdfDate(created));
  Check();
}

void TPdfDocument::TextMode(bool on) {
  if (s_->text == on) return;
  if (on)
    HPDF_Page_BeginText(s_->page);
  else
    HPDF_Page_EndText(s_->page);
  s_->text = on;
}

void TPdfDocument::AddPage(float width, float height) {
  if (s_->page) {
    TextMode(false);
    if (!DeflatePageContent(s_->page))
      throw Exception(Str(TS::PdfLibraryError, {Hex(HPDF_FAILD_TO_ALLOC_MEM)}));
  }
  s_->page = HPDF_AddPage(s_->doc);
  Check();
  HPDF_Page_SetWidth(s_->page, width);
  HPDF_Page_SetHeight(s_->page, height);
  s_->size = 0;
  Check();
}

float TPdfDocument::TextWidth(const std::string& text, float size) const {
  const HPDF_TextWidth w =
      HPDF_Font_TextWidth(s_->font, reinterpret_cast<const HPDF_BYTE*>(text.data()),
                          static_cast<HPDF_UINT>(text.size()));
  return static_cast<float>(w.width) * size / 1000.0f;
}

void TPdfDocument::Text(float x, float y, float size, const std::string& text, float gray) {
  if (text.empty()) return;
  TextMode(true);
  if (size != s_->size) {
    HPDF_Page_SetFontAndSize(s_->page, s_->font, size);
    s_->size = size;
  }
  if (HPDF_Page_GetGrayFill(s_->page) != gray) HPDF_Page_SetGrayFill(s_->page, gray);
  HPDF_Page_TextOut(s_->page, x, y, text.c_str());
}

void TPdfDocument::Line(float x1, float y1, float x2, float y2, float width, float gray) {
  TextMode(false);
  HPDF_Page_SetLineWidth(s_->page, width);
  if (HPDF_Page_GetGrayStroke(s_->page) != gray) HPDF_Page_SetGrayStroke(s_->page, gray);
  HPDF_Page_MoveTo(s_->page, x1, y1);
  HPDF_Page_LineTo(s_->page, x2, y2);
  HPDF_Page_Stroke(s_->page);
}

void TPdfDocument::FillRect(float x, float y, float w, float h, float gray) {
  TextMode(false);
  if (HPDF_Page_GetGrayFill(s_->page) != gray) HPDF_Page_SetGrayFill(s_->page, gray);
  HPDF_Page_Rectangle(s_->page, x, y, w, h);
  HPDF_Page_Fill(s_->page);
}

// The library opens its output by name through the C library's narrow calls: it writes a
// temporary file with an ASCII name beside the target, which then replaces the target as a
// whole. It ignores failed writes and the result of closing, so errno tells of lost bytes.
void TPdfDocument::Save(const std::string& path) {
  if (s_->page) TextMode(false);
  Check();
  TFileReplacement file(Utf8Path(path));
  file.Close();
  {
    const TNarrowFolder folder(file.Folder());
    errno = 0;
    const HPDF_STATUS e =
        HPDF_SaveToFile(s_->doc, folder.Name(file.Temp().filename().string()).c_str());
    if (IsLostWriteErrno(errno)) file.FailErrno(errno);
    if (e != HPDF_OK) {
      if (errno != 0) file.FailErrno(errno);
      throw EOSError(CannotWriteFileText(Utf8Path(path), Str(TS::PdfLibraryError, {Hex(e)})), 0);
    }
  }
  file.Commit();
}
