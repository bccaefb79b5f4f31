// Measuring and drawing text runs with one selected font.
#include <ZarvMemo/platform/Canvas.h>

#include <QFontInfo>
#include <QPainter>
#include <QString>
#include <algorithm>

namespace zarv {

QFont TZarvCanvas::PrepareFont(const QFont& font) {
  QFont f = font;
  f.setStyleStrategy(QFont::PreferNoShaping);
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setKerning(false);
  return f;
}

TZarvCanvas::TZarvCanvas(const QFont& font, QPainter* painter) : fPainter(painter) { select(PrepareFont(font)); }

void TZarvCanvas::select(const QFont& prepared) {
  fFont = prepared;
  fMetrics.emplace(fFont, fDevice);
  fEntry = nullptr;
  for (auto& [f, e] : fRecent)
    if (f == prepared) {
      fEntry = e;
      break;
    }
  if (!fEntry) {
    auto& entry = fEntries[fFont.key()];
    if (!entry)
      entry = std::make_unique<TFontEntry>();
    fEntry = entry.get();
    // A few fonts per control: its font and alternative font in their
    // style combinations.
    if (fRecent.size() >= 16)
      fRecent.erase(fRecent.begin());
    fRecent.emplace_back(fFont, fEntry);
  }
  if (fPainter)
    fPainter->setFont(fFont);
}

void TZarvCanvas::SetFont(const QFont& font) {
  const QFont prepared = PrepareFont(font);
  if (prepared == fFont && fEntry)
    return;
  select(prepared);
}

int32_t TZarvCanvas::tableWidth(char16_t c) const {
  int16_t& w = fEntry->Widths[c];
  if (w < 0) {
    ++fMeasureCalls;
    w = static_cast<int16_t>(std::clamp(fMetrics->horizontalAdvance(QChar(c)), 0, 32767));
  }
  return w;
}

// Qt lays out a run in 26.6 fixed point: a run 2^25 pixels wide or wider
// wraps around, to a negative width or to a wrong positive one. A run is
// therefore measured in pieces short enough that even glyphs kWidestGlyph
// ems wide (wide ligatures, fallback glyphs of another font) stay below that.
namespace {
constexpr int64_t kQtLayoutLimit = int64_t(1) << 25;
constexpr int64_t kWidestGlyph = 16;

// The end of the chunk [start, end) of text[0, len) moved off the middle
// of a surrogate pair, whose halves measured or drawn apart would show as
// two broken glyphs: before the pair, or after it when the pair is all the
// chunk would hold.
int32_t pairSafeEnd(const char16_t* text, int32_t start, int32_t end, int32_t len) {
  if (end <= start || end >= len || !QChar::isHighSurrogate(text[end - 1]) || !QChar::isLowSurrogate(text[end]))
    return end;
  return end - 1 > start ? end - 1 : end + 1;
}
} // namespace

int32_t TZarvCanvas::runLimit() const {
  if (fEntry->RunLimit == 0) {
    const int64_t em = std::max(1, QFontInfo(DeviceFont()).pixelSize());
    fEntry->RunLimit =
        static_cast<int32_t>(std::clamp<int64_t>((kQtLayoutLimit - 1) / (em * kWidestGlyph), 1, INT32_MAX));
  }
  return fEntry->RunLimit;
}

int64_t TZarvCanvas::measureRun(const char16_t* text, int32_t len) const {
  const int32_t limit = runLimit();
  int64_t w = 0;
  for (int32_t i = 0; i < len && w < kMaxPixelWidth;) {
    const int32_t j = pairSafeEnd(text, i, i + std::min(limit, len - i), len);
    w += measurePiece(text + i, j - i);
    i = j;
  }
  return w;
}

int32_t TZarvCanvas::measurePiece(const char16_t* text, int32_t len) const {
  ++fMeasureCalls;
  const int w = fMetrics->horizontalAdvance(QString::fromRawData(reinterpret_cast<const QChar*>(text), len));
  if (w >= 0 || len < 2)
    return std::max(0, w);
  // Wrapped all the same (glyphs wider than kWidestGlyph ems): halve.
  const int32_t half = pairSafeEnd(text, 0, len / 2, len);
  if (half >= len) // one character passing the range on its own
    return 0;
  return SaturatedWidth(int64_t(measurePiece(text, half)) + measurePiece(text + half, len - half));
}

void TZarvCanvas::SetDevice(QPaintDevice* device) {
  if (device == fDevice)
    return;
  fDevice = device;
  // Widths and glyphs depend on the device's resolution: start afresh.
  fRecent.clear();
  fEntries.clear();
  select(fFont);
}

QFont TZarvCanvas::DeviceFont() const { return fDevice ? QFont(fFont, fDevice) : fFont; }

const QRawFont& TZarvCanvas::RawFont() const {
  if (!fEntry->Raw)
    fEntry->Raw = QRawFont::fromFont(DeviceFont());
  return *fEntry->Raw;
}

void TZarvCanvas::SetPainter(QPainter* painter) {
  fPainter = painter;
  if (fPainter)
    fPainter->setFont(fFont);
}

int32_t TZarvCanvas::GetTextWidth(const char16_t* text, int32_t len, int32_t maxChunk) const {
  if (len < 1 || !text)
    return 0;
  if (maxChunk < 1)
    maxChunk = len;
  // A long run of wide glyphs passes 32 bits: sum in 64 and saturate.
  int64_t w = 0;
  int32_t i = 0;
  while (i < len && w < kMaxPixelWidth) {
    if (text[i] < kTableLimit) {
      w += tableWidth(text[i]);
      ++i;
      continue;
    }
    // A run of characters that may need shaping, measured as a whole.
    int32_t j = i + 1;
    while (j < len && j - i < maxChunk && text[j] >= kTableLimit)
      ++j;
    j = pairSafeEnd(text, i, j, len);
    w += measureRun(text + i, j - i);
    i = j;
  }
  return SaturatedWidth(w);
}

int32_t TZarvCanvas::CharWidth(char16_t c) const { return c < kTableLimit ? tableWidth(c) : measurePiece(&c, 1); }

void TZarvCanvas::PutText(QPoint& pt, const char16_t* text, int32_t len, int32_t maxChunk, int32_t clipRight,
                          bool showSpaces, int32_t spaceWidth, bool upperCase) {
  if (len < 1 || !text)
    return;
  if (maxChunk < 1)
    maxChunk = len;
  QString upper;
  if (upperCase) {
    upper = QString::fromUtf16(text, len);
    for (QChar& c : upper)
      if (c >= u'a' && c <= u'z')
        c = QChar(c.unicode() - 32);
    text = reinterpret_cast<const char16_t*>(upper.constData());
  }
  // The pen position may start anywhere in the 32-bit range.
  const auto advance = [&pt](int64_t w) {
    pt.rx() = static_cast<int>(std::clamp<int64_t>(pt.x() + w, INT32_MIN, INT32_MAX));
  };
  int32_t i = 0;
  while (i < len && pt.x() <= -16384) {
    const int32_t n = pairSafeEnd(text, i, i + std::min(maxChunk, len - i), len) - i;
    advance(GetTextWidth(text + i, n, maxChunk));
    i += n;
  }
  while (i < len && pt.x() < clipRight) {
    int32_t n = pairSafeEnd(text, i, i + std::min(maxChunk, len - i), len) - i;
    if (showSpaces) {
      const char16_t* sp = std::find(text + i, text + i + n, u' ');
      n = static_cast<int32_t>(sp - (text + i));
    }
    if (n > 0) {
      const QString chunk = QString::fromRawData(reinterpret_cast<const QChar*>(text + i), n);
      if (fPainter)
        fPainter->drawText(pt, chunk);
      advance(GetTextWidth(text + i, n, maxChunk));
      i += n;
    }
    if (showSpaces && i < len && text[i] == u' ') {
      if (fPainter)
        fPainter->drawText(pt, QString(QChar(0x00B7)));
      advance(spaceWidth);
      ++i;
    }
  }
}

void TZarvCanvas::WavyLine(int32_t x1, int32_t x2, int32_t y, int32_t amplitude) {
  if (!fPainter || amplitude < 1)
    return;
  x1 = std::max(x1, -32768);
  x2 = std::min(x2, 32767);
  y = std::clamp(y, -32768, 32767);
  amplitude = std::min(amplitude, 32767);
  if (x2 <= x1)
    return;
  QPoint prev(x1, y + amplitude);
  bool low = true;
  for (int32_t x = x1 + amplitude;; x += amplitude) {
    low = !low;
    if (x >= x2) {
      // The last segment ends exactly at x2, at the interpolated height.
      const int32_t dx = x2 - (x - amplitude);
      const int32_t yNext = low ? y + amplitude : y;
      const int32_t yEnd = prev.y() + (yNext - prev.y()) * dx / amplitude;
      fPainter->drawLine(prev, QPoint(x2, yEnd));
      break;
    }
    const QPoint next(x, low ? y + amplitude : y);
    fPainter->drawLine(prev, next);
    prev = next;
  }
}

} // namespace zarv
