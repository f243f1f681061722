#include "pdf/pdf_page_deflate.h"

#include <zlib.h>

#include <string>

namespace {

// Called while the page's content dictionary is written: names the filter its bytes already had.
HPDF_STATUS WriteFlateFilter(HPDF_Dict, HPDF_Stream stream) {
  return HPDF_Stream_WriteStr(stream, "/Filter /FlateDecode\012");
}

}  // namespace

bool DeflatePageContent(HPDF_Page page) {
  auto* attr = static_cast<HPDF_PageAttr>(page->attr);
  HPDF_Stream stream = attr->stream;
  std::string raw;
  raw.reserve(HPDF_Stream_Size(stream));
  const HPDF_UINT buffers = HPDF_MemStream_GetBufCount(stream);
  for (HPDF_UINT i = 0; i < buffers; ++i) {
    HPDF_UINT len = 0;
    const HPDF_BYTE* p = HPDF_MemStream_GetBufPtr(stream, i, &len);
    if (p) raw.append(reinterpret_cast<const char*>(p), len);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    return false;
  HPDF_MemStream_FreeData(stream);
  if (HPDF_Stream_Write(stream, reinterpret_cast<const HPDF_BYTE*>(packed.data()),
                        static_cast<HPDF_UINT>(size)) != HPDF_OK)
    return false;
  // Written as it is, with the filter named by the hook.
  attr->contents->filter = HPDF_STREAM_FILTER_NONE;
  attr->contents->write_fn = WriteFlateFilter;
  return true;
}
