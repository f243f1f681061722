#include "xlsx_reader.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

namespace {

std::uint32_t Le(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// One member of a zip archive, stored or deflated; empty when missing or damaged.
std::string ZipMember(const std::string& zip, const std::string& name) {
  if (zip.size() < 22) return {};
  std::size_t end = zip.size() - 22;
  while (end > 0 && Le(zip, end, 4) != 0x06054b50) --end;
  if (Le(zip, end, 4) != 0x06054b50) return {};
  std::size_t at = Le(zip, end + 16, 4);
  for (std::uint32_t i = 0, n = Le(zip, end + 10, 2); i < n; ++i) {
    if (at + 46 > zip.size() || Le(zip, at, 4) != 0x02014b50) return {};
    const std::uint32_t method = Le(zip, at + 10, 2), packed = Le(zip, at + 20, 4),
                        size = Le(zip, at + 24, 4), nameLength = Le(zip, at + 28, 2),
                        local = Le(zip, at + 42, 4);
    const std::size_t next = at + 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
    if (zip.compare(at + 46, nameLength, name) != 0) {
      at = next;
      continue;
    }
    const std::size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
    if (data + packed > zip.size()) return {};
    if (method == 0) return zip.substr(data, packed);
    std::string out(size, '\0');
    z_stream z{};
    if (method != 8 || inflateInit2(&z, -MAX_WBITS) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
    z.avail_in = packed;
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = size;
    const int rc = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return rc == Z_STREAM_END && z.total_out == size ? out : std::string();
  }
  return {};
}

std::string Unescape(std::string s) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [from, to] : entities)
    for (std::size_t i = 0; (i = s.find(from, i)) != std::string::npos; i += std::strlen(to))
      s.replace(i, std::strlen(from), to);
  return s;
}

std::vector<std::string> Elements(const std::string& xml, const std::string& list,
                                  const std::string& tag) {
  std::vector<std::string> out;
  const std::size_t begin = xml.find("<" + list);
  const std::size_t end = xml.find("</" + list + ">");
  if (begin == std::string::npos || end == std::string::npos) return out;
  const std::string body = xml.substr(begin, end - begin);
  const std::regex element("<" + tag + "\\b([^>]*?)(/>|>([\\s\\S]*?)</" + tag + ">)");
  for (std::sregex_iterator it(body.begin(), body.end(), element), e; it != e; ++it)
    out.push_back((*it)[1].str() + "|" + (*it)[3].str());
  return out;
}

std::string Attribute(const std::string& attributes, const std::string& name) {
  const std::regex a("\\b" + name + "=\"([^\"]*)\"");
  std::smatch m;
  return std::regex_search(attributes, m, a) ? m[1].str() : std::string();
}

}  // namespace

std::string XlsxSheet::Text(const std::string& cell) const {
  const auto it = Cells.find(cell);
  return it == Cells.end() ? std::string() : it->second.Value;
}

XlsxFile::XlsxFile(const std::string& path) : path_(path) {
  ok_ = !Part("xl/workbook.xml").empty();
  for (const auto& si : Elements(Part("xl/sharedStrings.xml"), "sst", "si")) {
    std::smatch m;
    const std::string inner = si.substr(si.find('|') + 1);
    static const std::regex t("<t[^>]*>([\\s\\S]*?)</t>");
    shared_.push_back(std::regex_search(inner, m, t) ? Unescape(m[1].str()) : "");
  }
  const std::string styles = Part("xl/styles.xml");
  std::map<int, std::string> formats;
  for (const auto& f : Elements(styles, "numFmts", "numFmt"))
    formats[std::stoi(Attribute(f, "numFmtId"))] = Unescape(Attribute(f, "formatCode"));
  const auto inner = [](const std::string& e) { return e.substr(e.find('|') + 1); };
  const auto fonts = Elements(styles, "fonts", "font");
  const auto borders = Elements(styles, "borders", "border");
  const auto fills = Elements(styles, "fills", "fill");
  static const std::map<int, std::string> builtins = {{0, "General"}, {1, "0"},        {2, "0.00"},
                                                      {3, "#,##0"},   {4, "#,##0.00"}, {49, "@"}};
  for (const auto& xf : Elements(styles, "cellXfs", "xf")) {
    XlsxStyle s;
    const int id = std::stoi(Attribute(xf, "numFmtId"));
    s.NumberFormat = formats.count(id) ? formats[id] : builtins.count(id) ? builtins.at(id) : "";
    const int font = std::stoi("0" + Attribute(xf, "fontId"));
    const int border = std::stoi("0" + Attribute(xf, "borderId"));
    const int fill = std::stoi("0" + Attribute(xf, "fillId"));
    if (font < static_cast<int>(fonts.size())) s.Font = inner(fonts[font]);
    if (border < static_cast<int>(borders.size())) s.Border = inner(borders[border]);
    if (fill < static_cast<int>(fills.size())) s.Fill = inner(fills[fill]);
    std::smatch m;
    static const std::regex alignment("<alignment[^>]*/>");
    const std::string body = inner(xf);
    if (std::regex_search(body, m, alignment)) s.Alignment = m[0].str();
    styles_.push_back(s);
  }
}

std::string XlsxFile::Part(const std::string& name) const {
  std::ifstream in(std::filesystem::u8path(path_), std::ios::binary);
  const std::string zip((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ZipMember(zip, name);
}

XlsxSheet XlsxFile::Sheet(int index) const {
  XlsxSheet sheet;
  sheet.Xml = Part("xl/worksheets/sheet" + std::to_string(index) + ".xml");
  static const std::regex row("<row r=\"([0-9]+)\"([^>]*)>");
  for (std::sregex_iterator it(sheet.Xml.begin(), sheet.Xml.end(), row), e; it != e; ++it)
    sheet.RowAttributes[std::stoi((*it)[1].str())] = (*it)[2].str();
  static const std::regex cell("<c r=\"([A-Z]+[0-9]+)\"([^>]*?)(/>|>([\\s\\S]*?)</c>)");
  for (std::sregex_iterator it(sheet.Xml.begin(), sheet.Xml.end(), cell), e; it != e; ++it) {
    XlsxCell c;
    const std::string attributes = (*it)[2].str();
    const std::string body = (*it)[4].str();
    c.Style = std::stoi("0" + Attribute(attributes, "s"));
    std::smatch m;
    static const std::regex v("<v>([\\s\\S]*?)</v>"), t("<t[^>]*>([\\s\\S]*?)</t>"),
        f("<f>([\\s\\S]*?)</f>");
    const std::string type = Attribute(attributes, "t");
    if (type == "s" && std::regex_search(body, m, v))
      c.Value = shared_.at(std::stoul(m[1].str()));
    else if (std::regex_search(body, m, f))
      c.Value = "=" + Unescape(m[1].str());
    else if (std::regex_search(body, m, t))
      c.Value = Unescape(m[1].str());
    else if (std::regex_search(body, m, v))
      c.Value = m[1].str();
    sheet.Cells[(*it)[1].str()] = c;
  }
  return sheet;
}
