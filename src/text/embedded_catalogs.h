// The translation catalogs compiled into the program at build time (generated source).
#pragma once

#include <cstddef>
#include <span>

struct TEmbeddedCatalog {
  const char* Language;       // "de", "ru", ...
  const unsigned char* Data;  // the catalog's .mo bytes
  std::size_t Size;
};

std::span<const TEmbeddedCatalog> EmbeddedCatalogs();
