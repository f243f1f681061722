// Reads back what a test needs of an .xlsx file (its path in UTF-8): its parts, unzipped with
// zlib, cells with their value and style, the styles' number formats and fonts, rows' outline
// attributes.
#pragma once

#include <map>
#include <string>
#include <vector>

struct XlsxCell {
  std::string Value;  // number text, or the inline / shared string
  int Style = 0;
};

struct XlsxStyle {
  std::string NumberFormat;  // format code, "General" for id 0
  std::string Font;          // the <font> element's inner XML
  std::string Border;        // the <border> element's inner XML
  std::string Fill;          // the <fill> element's inner XML
  std::string Alignment;     // the <alignment .../> element, if any
};

struct XlsxSheet {
  std::string Xml;
  std::map<std::string, XlsxCell> Cells;
  std::map<int, std::string> RowAttributes;  // by row number: the <row> tag's attributes

  std::string Text(const std::string& cell) const;
};

class XlsxFile {
 public:
  explicit XlsxFile(const std::string& path);
  std::string Part(const std::string& name) const;  // empty when missing
  XlsxSheet Sheet(int index) const;                 // from 1
  const std::vector<XlsxStyle>& Styles() const { return styles_; }
  bool Ok() const { return ok_; }

 private:
  std::string path_;
  std::vector<std::string> shared_;
  std::vector<XlsxStyle> styles_;
  bool ok_ = false;
};
