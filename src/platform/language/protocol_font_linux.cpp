#include "platform/language/protocol_font.h"

std::filesystem::path ProtocolFontFile() {
  return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}
