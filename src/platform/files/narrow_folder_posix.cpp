#include "platform/files/narrow_folder.h"

TNarrowFolder::TNarrowFolder(const std::filesystem::path& folder)
    : spelling_(folder.empty() ? std::string(".") : folder.string()) {}

TNarrowFolder::~TNarrowFolder() = default;

std::string TNarrowFolder::Name(const std::string& asciiName) const {
  return spelling_ + "/" + asciiName;
}
