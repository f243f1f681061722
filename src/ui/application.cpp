#include <filesystem>

#include "base/exceptions.h"
#include "base/utf8_path.h"
#include "elements.h"

namespace {

// Code of the last character of UTF-8 text; 0 for empty text.
unsigned LastCharCode(const std::string& s) {
  if (s.empty()) return 0;
  std::size_t i = s.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead < 0x80) return lead;
  unsigned code = lead & (lead >= 0xF0 ? 0x07 : lead >= 0xE0 ? 0x0F : 0x1F);
  for (std::size_t j = i + 1; j < s.size(); ++j)
    code = (code << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
  return code;
}

// The message of the innermost exception of a chain built with std::throw_with_nested.
std::optional<std::string> InnermostMessage(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    return std::nullopt;
  } catch (const std::exception& e) {
    if (const auto* nested = dynamic_cast<const std::nested_exception*>(&e);
        nested && nested->nested_ptr())
      return InnermostMessage(nested->nested_ptr());
    return std::string(e.what());
  } catch (...) {
    return std::string("Unknown error");
  }
}

}  // namespace

std::string WithFullStop(const std::string& message) {
  return LastCharCode(message) > '.' ? message + "." : message;
}

std::optional<std::string> ErrorReportText(const std::exception_ptr& error) {
  if (!error) return std::nullopt;
  auto message = InnermostMessage(error);
  if (!message) return std::nullopt;
  return WithFullStop(*message);
}

void TApplication::ShowException(const std::exception_ptr& error) {
  if (auto text = ErrorReportText(error)) ShowErrorBox(*text);
}

void TApplication::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    ShowException(std::current_exception());
  }
}

std::string TSaveDialog::FilterExt(int index) const {
  // Entries alternate description and pattern: the pattern of entry n is part 2n - 1.
  std::size_t start = 0;
  for (int part = 0; part < 2 * index - 1; ++part) {
    start = filter_.find('|', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  const std::string pattern = filter_.substr(start, filter_.find('|', start) - start);
  if (pattern.rfind("*.", 0) != 0 || pattern.find_first_of("*?;", 2) != std::string::npos)
    return {};
  return pattern.substr(2);
}

std::string TSaveDialog::WithDefaultExt(const std::string& path) const {
  const std::string chosen = FilterExt(filter_index_);
  const std::string& ext = chosen.empty() ? default_ext_ : chosen;
  if (ext.empty() || path.empty()) return path;
  if (Utf8Path(path).filename().has_extension()) return path;
  return path + "." + ext;
}
