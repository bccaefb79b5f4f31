// A thin drawing and measuring surface over QPainter and QFontMetrics.
//
// Formatting, hit-testing and painting must agree on every pixel, so all of
// them measure through this class. Fonts prepared with PrepareFont are drawn
// without shaping and with full hinting: every glyph advance is a whole
// number of pixels and a run is exactly as wide as the sum of its
// characters. That lets the canvas keep a width table per font for the
// scripts that need no shaping (everything below U+0590) and measure any run
// by table lookups; characters of other scripts are measured through
// QFontMetrics in runs, cut into pieces short enough that Qt's fixed-point
// layout cannot wrap around even for huge glyphs. A canvas without a painter
// measures only; with a painter it also draws.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPoint>
#include <QRawFont>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QPainter;
class QPaintDevice;

namespace zarv {

// The widest a measured width, an x position on a line or a tab distance
// gets: sums of pixel widths saturate here instead of overflowing. It is a
// quarter of the 32-bit range so that a few such values (a line width, a
// scroll offset, margins, the client width) add up without overflow in the
// places that combine them.
inline constexpr int32_t kMaxPixelWidth = INT32_MAX / 4; // 536 870 911

// A pixel sum brought into [-kMaxPixelWidth, kMaxPixelWidth].
constexpr int32_t SaturatedWidth(int64_t w) {
  return static_cast<int32_t>(std::clamp<int64_t>(w, -kMaxPixelWidth, kMaxPixelWidth));
}

class TZarvCanvas {
public:
  explicit TZarvCanvas(const QFont& font = QFont(), QPainter* painter = nullptr);
  // Refers to a painter it does not own; copying would share it silently.
  TZarvCanvas(const TZarvCanvas&) = delete;
  TZarvCanvas& operator=(const TZarvCanvas&) = delete;

  // The font with the rendering options that make widths additive.
  static QFont PrepareFont(const QFont& font);

  // Selects a font; nothing happens when it equals the selected one.
  void SetFont(const QFont& font);
  const QFont& Font() const { return fFont; }
  const QFontMetrics& Metrics() const { return *fMetrics; }
  QPainter* Painter() const { return fPainter; }
  void SetPainter(QPainter* painter);
  // The device whose resolution the metrics follow (a printer, an image);
  // nullptr measures for the screen. Not owned; changing it forgets every
  // width measured so far.
  QPaintDevice* Device() const { return fDevice; }
  void SetDevice(QPaintDevice* device);
  // The selected font as drawn on the measuring device.
  QFont DeviceFont() const;
  // The glyph source of the selected font on the measuring device (made
  // once per font).
  const QRawFont& RawFont() const;

  // Width in pixels of len characters of the selected font, measured in
  // chunks of at most maxChunk characters (one more where a chunk of one
  // would split a surrogate pair; pairs are never split); 0 when len < 1.
  // Saturates at kMaxPixelWidth.
  int32_t GetTextWidth(const char16_t* text, int32_t len, int32_t maxChunk) const;
  // Width of one character in the selected font.
  int32_t CharWidth(char16_t c) const;

  // Draws len characters at pt (pt.y is the baseline) in the chunks
  // GetTextWidth measures, and advances pt.x (saturating at the 32-bit
  // range). Text at or left of -16 384 is only measured; drawing stops at
  // clipRight.
  // With showSpaces each space is drawn as a middle dot spaceWidth wide.
  // With upperCase the letters a..z are drawn as A..Z.
  void PutText(QPoint& pt, const char16_t* text, int32_t len, int32_t maxChunk, int32_t clipRight, bool showSpaces,
               int32_t spaceWidth, bool upperCase);

  // A zigzag under text from x1 to x2 (clamped to 16-bit coordinates, as are
  // y and the amplitude).
  void WavyLine(int32_t x1, int32_t x2, int32_t y, int32_t amplitude);

  // Number of platform measuring calls made so far (for tests and benchmarks).
  int64_t MeasureCalls() const { return fMeasureCalls; }

  // Characters below this code are measured from the width table.
  static constexpr char16_t kTableLimit = 0x0590;

private:
  // What is kept per font: its width table (-1 = not measured yet), the
  // longest run measured in one platform call (0 = not known yet) and its
  // glyph source.
  struct TFontEntry {
    std::vector<int16_t> Widths = std::vector<int16_t>(kTableLimit, int16_t(-1));
    int32_t RunLimit = 0;
    std::optional<QRawFont> Raw;
  };
  int32_t tableWidth(char16_t c) const;
  int32_t runLimit() const;
  int64_t measureRun(const char16_t* text, int32_t len) const;
  int32_t measurePiece(const char16_t* text, int32_t len) const;
  // Makes `prepared` the selected font, with its entry.
  void select(const QFont& prepared);

  QFont fFont;
  std::optional<QFontMetrics> fMetrics;
  TFontEntry* fEntry = nullptr;
  // Entries by font key. A font's key is costly to compute (it formats
  // the font as text), so the fonts selected lately are found by
  // comparison first.
  std::unordered_map<QString, std::unique_ptr<TFontEntry>> fEntries;
  std::vector<std::pair<QFont, TFontEntry*>> fRecent;
  QPainter* fPainter = nullptr;
  QPaintDevice* fDevice = nullptr;
  mutable int64_t fMeasureCalls = 0;
};

} // namespace zarv
