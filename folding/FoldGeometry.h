// Where the fold margin's bars and signs stand, shared by painting and
// hit-testing so that a click always lands on the sign that is drawn.
//
// Columns are W + 1 pixels apart (W = the bar pen's width); level index j
// (block level j + 1) uses column min(j, MaxLevels - 1). A sign is a square
// of s = min(W, LineHeight) pixels, centred in its column and in the line.
#pragma once

#include <algorithm>
#include <cstdint>

namespace zarv {

struct TFoldGeometry {
  int32_t W = 7;          // bar width, >= 1
  int32_t MaxLevels = 4;  // columns, >= 1
  int32_t LineHeight = 1; // >= 1

  int32_t Pitch() const { return W + 1; }
  int32_t SignSize() const { return std::max(1, std::min(W, LineHeight)); }
  int32_t Column(int32_t j) const { return std::clamp(j, 0, MaxLevels - 1); }
  int32_t ColumnLeft(int32_t column) const { return column * Pitch(); }
  int32_t SignLeft(int32_t j) const { return ColumnLeft(Column(j)) + (W - SignSize()) / 2; }
  int32_t SignTop() const { return (LineHeight - SignSize()) / 2; }
  int32_t SignBottom() const { return SignTop() + SignSize(); }
  // Pixels the margin needs to show every column.
  int32_t Width() const { return MaxLevels * Pitch(); }
  // The column under content x / y inside the line, or -1 when the point is
  // not on a sign's row or lies right of the last column.
  int32_t HitColumn(int32_t x, int32_t yInLine) const {
    if (x < 0 || yInLine < SignTop() || yInLine >= SignBottom())
      return -1;
    const int32_t c = x / Pitch();
    return c < MaxLevels ? c : -1;
  }
};

} // namespace zarv
