// A thin drawing and measuring surface over QPainter and QFontMetrics.
//
// Formatting, hit-testing and painting must agree on every pixel, so all of
// them measure through this class: one font is selected at a time, text is
// measured in runs (never summed per character) and the metrics object is
// rebuilt only when the selected font really changes. A canvas without a
// painter measures only; with a painter it also draws.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPoint>
#include <cstdint>
#include <optional>

class QPainter;

namespace zarv {

class TZarvCanvas {
public:
  explicit TZarvCanvas(const QFont& font = QFont(), QPainter* painter = nullptr);
  // Refers to a painter it does not own; copying would share it silently.
  TZarvCanvas(const TZarvCanvas&) = delete;
  TZarvCanvas& operator=(const TZarvCanvas&) = delete;

  // Selects a font; nothing happens when it equals the selected one.
  void SetFont(const QFont& font);
  const QFont& Font() const { return fFont; }
  const QFontMetrics& Metrics() const { return *fMetrics; }
  QPainter* Painter() const { return fPainter; }
  void SetPainter(QPainter* painter);

  // Width in pixels of len characters of the selected font, measured in
  // chunks of at most maxChunk characters; 0 when len < 1.
  int32_t GetTextWidth(const char16_t* text, int32_t len, int32_t maxChunk) const;
  // Width of one character in the selected font.
  int32_t CharWidth(char16_t c) const;

  // Draws len characters at pt (pt.y is the baseline) and advances pt.x.
  // Text at or left of -16 384 is only measured; drawing stops at clipRight.
  // With showSpaces each space is drawn as a middle dot spaceWidth wide.
  // With upperCase the letters a..z are drawn as A..Z.
  void PutText(QPoint& pt, const char16_t* text, int32_t len, int32_t maxChunk, int32_t clipRight,
               bool showSpaces, int32_t spaceWidth, bool upperCase);

  // A zigzag under text from x1 to x2 (clamped to 16-bit coordinates).
  void WavyLine(int32_t x1, int32_t x2, int32_t y, int32_t amplitude);

  // Number of platform measuring calls made so far (for tests and benchmarks).
  int64_t MeasureCalls() const { return fMeasureCalls; }

private:
  QFont fFont;
  std::optional<QFontMetrics> fMetrics;
  QPainter* fPainter = nullptr;
  mutable int64_t fMeasureCalls = 0;
};

} // namespace zarv
