#include "info_layout.h"

#include <algorithm>

namespace {

constexpr int kDesignWidth = 346, kDesignHeight = 109, kDesignLabelHeight = 53;
constexpr int kButtonLeft = 133, kButtonWidth = 85, kButtonHeight = 30;
constexpr int kGap = 13;          // between the label and the button, and below the button
constexpr int kMargin = 12;       // the text keeps this far from the sides
constexpr int kLabelPadding = 8;  // above and below the lines
constexpr int kWrapWidth = 560;   // a message wider than this wraps, as far as the screen allows

}  // namespace

TInfoLayout LayoutInfo(const std::string& text, const TTextMeasure& width, int line_height,
                       TSize max_client) {
  const int below_label = kGap + kButtonHeight + kGap;
  const int widest = std::max(kDesignWidth, max_client.Width) - 2 * kMargin;
  auto lines_for = [&](int limit) { return WrapText(text, limit, width); };
  auto height_for = [&](std::size_t lines) {
    return std::max(kDesignLabelHeight, static_cast<int>(lines) * line_height + 2 * kLabelPadding);
  };
  std::vector<std::string> lines = lines_for(std::min(kWrapWidth, widest));
  // Too tall for the screen: use its whole width before anything is cut.
  if (height_for(lines.size()) + below_label > max_client.Height && widest > kWrapWidth)
    lines = lines_for(widest);

  TInfoLayout layout;
  int text_width = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text_width = std::max(text_width, width(lines[i]));
    layout.Text += (i == 0 ? "" : "\r\n") + lines[i];
  }
  // A message that needed no break of its own stays as it was given.
  if (lines.size() == static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1)
    layout.Text = text;
  int label_height = height_for(lines.size());
  layout.ClientWidth = std::max(kDesignWidth, std::min(text_width, widest) + 2 * kMargin);
  layout.ClientHeight = std::max(kDesignHeight, label_height + below_label);
  if (layout.ClientHeight > max_client.Height) {
    layout.ClientHeight = std::max(kDesignHeight, max_client.Height);
    label_height = layout.ClientHeight - below_label;
  }
  layout.Label = {0, 0, layout.ClientWidth, label_height};
  layout.Button = {kButtonLeft + (layout.ClientWidth - kDesignWidth) / 2, label_height + kGap,
                   kButtonWidth, kButtonHeight};
  return layout;
}
