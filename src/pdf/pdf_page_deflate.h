// libharu keeps every page's drawing uncompressed in memory until the document is written. This
// compresses a finished page's drawing in place and marks it so, which the library then writes
// as it is. Relies on libharu 2.3's page and dictionary records (the versions both systems use).
#pragma once

#include <hpdf.h>

// The page must not be drawn on afterwards. False when the library's memory ran out.
bool DeflatePageContent(HPDF_Page page);
