// Where the information dialog's elements go for a message: the design size at least, grown to
// show the whole message, wrapped, within the screen. Portable; the binding measures the text.
#pragma once

#include <string>

#include "ui/elements.h"
#include "ui/text_wrap.h"

struct TInfoLayout {
  int ClientWidth = 0, ClientHeight = 0;
  TBounds Label, Button;
  std::string Text;  // the message with the line breaks the label shows it with
};

// The design: client area 346 x 109, the label across the top 53 high, "Ok" at 133, 66, 85 x 30.
TInfoLayout LayoutInfo(const std::string& text, const TTextMeasure& width, int line_height,
                       TSize max_client);
