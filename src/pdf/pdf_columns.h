// Table columns across a page: each as wide as its weight's share of all the weights, so a table
// keeps its proportions in whatever width it is given.
//   SpreadColumns(kWidths, kMargin, kUsableW, x_, w_);
#pragma once

#include <cstddef>
#include <span>

// Left edges into x, from left, and widths into w; weights, x and w have one length.
inline void SpreadColumns(std::span<const float> weights, float left, float width,
                          std::span<float> x, std::span<float> w) {
  float sum = 0;
  for (const float weight : weights) sum += weight;
  for (std::size_t c = 0; c < weights.size(); ++c) {
    x[c] = left;
    w[c] = weights[c] * width / sum;
    left += w[c];
  }
}
