#include "text_wrap.h"

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// The byte length of the UTF-8 character that starts at text[at].
std::size_t CharLength(const std::string& text, std::size_t at) {
  std::size_t n = 1;
  while (at + n < text.size() && (static_cast<unsigned char>(text[at + n]) & 0xC0) == 0x80) ++n;
  return n;
}

// The parts of a word between which a line may break: after each separator.
std::vector<std::string> Parts(const std::string& word) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : word) {
    part += c;
    if (IsSeparator(c)) {
      parts.push_back(part);
      part.clear();
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

void WrapParagraph(const std::string& paragraph, int limit, const TTextMeasure& width,
                   std::vector<std::string>& lines) {
  std::string line;
  auto flush = [&] {
    lines.push_back(line);
    line.clear();
  };
  std::size_t at = 0;
  while (at < paragraph.size()) {
    const std::size_t start = paragraph.find_first_not_of(' ', at);
    if (start == std::string::npos) break;
    std::size_t end = paragraph.find(' ', start);
    if (end == std::string::npos) end = paragraph.size();
    const std::string word = paragraph.substr(start, end - start);
    at = end;
    const std::string joined = line.empty() ? word : line + " " + word;
    if (width(joined) <= limit) {
      line = joined;
      continue;
    }
    if (!line.empty() && width(word) <= limit) {
      flush();
      line = word;
      continue;
    }
    // Too long for any line: it starts a line of its own and breaks after its separators, a
    // part still too long for a line anywhere.
    if (!line.empty()) flush();
    for (const auto& part : Parts(word)) {
      if (!line.empty() && width(line + part) > limit) flush();
      if (width(line + part) <= limit) {
        line += part;
        continue;
      }
      for (std::size_t i = 0; i < part.size();) {
        const std::string c = part.substr(i, CharLength(part, i));
        if (!line.empty() && width(line + c) > limit) flush();
        line += c;
        i += c.size();
      }
    }
  }
  flush();  // an empty paragraph is an empty line
}

}  // namespace

std::vector<std::string> WrapText(const std::string& text, int limit, const TTextMeasure& width) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (;;) {
    const std::size_t newline = text.find('\n', at);
    std::string paragraph =
        text.substr(at, newline == std::string::npos ? std::string::npos : newline - at);
    if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
    WrapParagraph(paragraph, limit, width, lines);
    if (newline == std::string::npos) break;
    at = newline + 1;
  }
  return lines;
}
