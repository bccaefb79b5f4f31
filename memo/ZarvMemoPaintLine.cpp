// Composing one display line in the line buffer: its elements measured as
// the navigator measures them, then painted in layers.
//
// Glyphs are placed one by one at the x the measuring canvas gives each
// character (QGlyphRun with explicit positions). Drawing whole strings would
// let the font engine advance glyphs by its own, possibly fractional, widths
// at device-pixel ratios other than 1, and text would drift away from the
// caret and from what hit-testing reports.
#include <ZarvMemo/memo/ZarvMemoPaintLine.h>

#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/folding/CollapseHandler.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QGlyphRun>
#include <QPainter>
#include <algorithm>

namespace zarv {

namespace {

bool IsColour(TColor c) { return c != clDefault && c != clNone; }

constexpr char16_t kDot = 0x00B7, kTabMark = 0x00BB, kParMark = 0x00B6;

// A keyword's style record: a level run whose key at its level is a
// keyword (bit 15 clear) rather than a range.
bool IsKeywordRun(const DynInfoRec& d) {
  return (d.DynStyle & (dsHasAttrib | dsHasLevel)) == (dsHasAttrib | dsHasLevel) && d.Level >= 0 && d.Level < 16 &&
         d.KeyIndex[d.Level] >= 0;
}

} // namespace

TLinePainter::TLinePainter(TZarvMemo& memo, QPainter& p, bool otherDevice)
    : M(memo), P(p), fOtherDevice(otherDevice), fLeft(otherDevice ? 0 : memo.fDisplayLeft) {}

void TLinePainter::PaintLine(int32_t parNb, int32_t lineIdx, int32_t y) {
  const ParInfo& par = *M.fParagraphs->Par(parNb);
  const LineInfo line = GetParLine(par, lineIdx);
  const int32_t len = GetParLength(par);
  const bool lastLine = lineIdx == GetLineCount(par) - 1;
  fLineW = fOtherDevice ? M.ClientWidth() : M.viewport()->width();
  fParBack = zvsGetParBackgnd(par);
  fParFore = zvsGetParForegnd(par);
  fFontColour = IsColour(fParFore) ? M.PaintColor(fParFore) : M.PaintColor(clWindowText);
  // A paragraph's own background covers the whole line, picture or not.
  const bool parBack = IsColour(fParBack);
  M.BackgroundFill(P, QRect(0, 0, fLineW, M.fLineHeight), !parBack, y, parBack ? fParBack : clWindow);
  fX0 = lineStartX(line, len);
  setupSelection(parNb, par, line, lastLine);
  buildElements(parNb, par, line, len);
  selectionXRange(line, lastLine);
  // The text's last paragraph ends without a break: no mark after it.
  fMarkShown = lastLine && parNb + 1 < M.fParagraphs->Count() && M.fShowNonPrintChars.testFlag(zvNPReturn);
  if (fMarkShown)
    prepareParagraphMark(par, line, len);
  paintLayers(par, line, lastLine);
  if (M.fCollpsHandler && !fOtherDevice) // fold marks belong to the window, not to a printout
    M.fCollpsHandler->PaintLine(&M, &P, fLeft, M.fLineHeight, par, line);
}

// The line's start x in the viewport, as the navigator computes it.
int32_t TLinePainter::lineStartX(const LineInfo& line, int32_t len) const {
  const bool justifiedLine = M.fJustified && line.JustifyStart < len;
  const int64_t spare = int64_t(M.ClientWidth()) - M.fLeftMargin - M.fRightMargin - line.LineWidth;
  int64_t x0 = M.fLeftMargin;
  if (!justifiedLine && M.fAlignment == taRightJustify)
    x0 = int64_t(M.ClientWidth()) - M.fRightMargin - line.LineWidth;
  else if (!justifiedLine && M.fAlignment == taCenter)
    x0 = M.fLeftMargin + spare / 2;
  return int32_t(std::clamp<int64_t>(x0 - fLeft, INT32_MIN / 2, INT32_MAX / 2));
}

// A stream selection's x range on the line, relative to fX0 (a block's
// was set with the selection).
void TLinePainter::selectionXRange(const LineInfo& line, bool lastLine) {
  if (!fHasSel || M.fBlockSelection)
    return;
  auto xAt = [&](int32_t off) {
    for (const TElement& e : fElems)
      if (e.From >= off)
        return e.X;
    return fEndX;
  };
  fSelX0 = fSelA <= line.Start ? 0 : xAt(fSelA);
  if (fSelB < line.Stop || (fSelB == line.Stop && lastLine))
    fSelX1 = xAt(fSelB);
  else if (M.fOptions.testFlag(zvoFullLineSelect))
    fSelX1 = fLineW - fX0;
  else
    fSelX1 = fEndX;
}

// The paragraph mark's style and colours (those in force at the paragraph
// end); a selection going on past the break ends after the mark.
void TLinePainter::prepareParagraphMark(const ParInfo& par, const LineInfo& line, int32_t len) {
  TZarvFontStyles st = line.StartAttrib;
  const TDynInfoArray& codes = GetDynArray(par);
  const auto after =
      std::upper_bound(codes.begin(), codes.end(), len, [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; });
  const DynInfoRec* dyn = after == codes.begin() ? GetStartDynAttrib(par) : &*(after - 1);
  if (M.fParagraphs->fStaticFormat)
    for (int32_t i = line.Start; i < len; ++i)
      if (IsStyleCode(par.ParText[i]))
        XORStyleCode(st, par.ParText[i]);
  TElement e{len, len, fEndX, 0, M.AttrToExtFontStyles(st, dyn->DynStyle), fBreakSelected, false, TKind::Text, {}, {}};
  computeColours(e, st, *dyn);
  fMark = e;
  M.SelectFont(static_cast<uint8_t>(e.Style & ~fsHighlight));
  fMark.W = M.Canvas().CharWidth(kParMark);
  if (fBreakSelected && !M.fOptions.testFlag(zvoFullLineSelect) && !M.fBlockSelection)
    fSelX1 = fEndX + fMark.W;
}

// Run backgrounds, selection fill, text, underline, marks, inversion.
void TLinePainter::paintLayers(const ParInfo& par, const LineInfo& line, bool lastLine) {
  const int32_t lh = M.fLineHeight;
  const bool showBlanks = M.fShowNonPrintChars.testFlag(zvNPSpace);
  const bool dropTrailing = !showBlanks && !lastLine;
  for (const TElement& e : fElems)
    if (e.Back.isValid())
      P.fillRect(QRect(fX0 + e.X, 0, e.W, lh), e.Back);
  if (fMarkShown && fMark.Back.isValid())
    P.fillRect(QRect(fX0 + fMark.X, 0, fMark.W, lh), fMark.Back);
  fillSelectionAndInvert(false);
  for (const TElement& e : fElems) {
    if (e.Kind == TKind::Text)
      drawText(e, par.ParText, dropTrailing && e.To == line.Stop);
    else if (e.Kind == TKind::Tab && M.fShowNonPrintChars.testFlag(zvNPTab))
      drawMark(kTabMark, e.X, e.Style, e.Text);
    else if (e.Kind == TKind::Blank && showBlanks)
      drawMark(kDot, e.X, e.Style, e.Text);
  }
  drawWavyLines();
  if (fMarkShown)
    drawMark(kParMark, fMark.X, fMark.Style, fMark.Text);
  fillSelectionAndInvert(true);
  drawEndParBox();
}

void TLinePainter::setupSelection(int32_t parNb, const ParInfo& par, const LineInfo& line, bool lastLine) {
  fWinColours = M.fOptions.testFlag(zvoWindowsSelColors);
  fSelVisible = !fOtherDevice && M.fSelLen != 0 && (M.hasFocus() || !M.fHideSelection);
  fHasSel = fBreakSelected = false;
  fSelA = fSelB = -1;
  if (!fSelVisible)
    return;
  const int32_t sp = M.fSelStart->GetParNb(), ep = M.fSelStop->GetParNb();
  if (parNb < sp || parNb > ep)
    return;
  const int32_t len = GetParLength(par);
  if (M.fBlockSelection) {
    // Block columns: the same x on every line, offsets by columns here.
    const int32_t c0 = std::min(M.fBlockStartCol, M.fBlockStopCol), c1 = std::max(M.fBlockStartCol, M.fBlockStopCol);
    fSelA = M.ColumnToOffset(parNb, c0);
    fSelB = M.ColumnToOffset(parNb, c1);
    const int64_t base = int64_t(M.fLeftMargin) - fLeft - fX0;
    fSelX0 = int32_t(std::clamp<int64_t>(int64_t(c0) * M.fSpaceWidth + base, INT32_MIN / 2, INT32_MAX / 2));
    fSelX1 = int32_t(std::clamp<int64_t>(int64_t(c1) * M.fSpaceWidth + base, INT32_MIN / 2, INT32_MAX / 2));
    fHasSel = c1 > c0;
    return;
  }
  fSelA = parNb == sp ? M.fSelStart->GetOffset() : -1;
  fSelB = parNb == ep ? M.fSelStop->GetOffset() : INT32_MAX;
  fBreakSelected = lastLine && fSelA <= len && fSelB > len;
  fHasSel = (fSelA < line.Stop && fSelB > line.Start) || fBreakSelected;
}

// Runs are cut into elements of at most this many characters, so that one
// left of the window costs no more than that to measure and to skip.
constexpr int32_t kMaxElement = 1024;

void TLinePainter::buildElements(int32_t parNb, const ParInfo& par, const LineInfo& line, int32_t len) {
  fElems.clear();
  const char16_t* t = par.ParText;
  const bool codesOn = M.fParagraphs->fStaticFormat;
  const bool justified = M.fJustified && line.JustifyStart < len && line.Spaces >= 1;
  // Each justified blank gets an equal share of the free width; the rest is
  // handed out one pixel at a time, starting half-way (as the navigator).
  int32_t share = 0, extra = 0;
  int64_t remainder = 0;
  if (line.Spaces >= 1) {
    const int32_t e = SaturatedWidth(int64_t(M.ClientWidth()) - M.fLeftMargin - M.fRightMargin - line.LineWidth);
    share = e / line.Spaces;
    extra = e % line.Spaces;
    remainder = extra / 2;
  }
  const int32_t tab = M.TabWidth();
  TZarvFontStyles style = line.StartAttrib;
  int32_t x = 0, first = line.Start;
  // A long unwrapped line is built from the last checkpoint left of the
  // window, not from its start.
  if (!fOtherDevice && len >= TLongLineIndex::kMinLength && GetLineCount(par) == 1 && fX0 < -M.fLineHeight)
    if (const TLongLineIndex::TMark* m = M.fLongLines.MarkAtX(M, parNb, par, -int64_t(fX0) - M.fLineHeight)) {
      x = m->X;
      first = m->Offset;
      style = m->Style;
    }
  const TDynInfoArray& codes = GetDynArray(par);
  size_t next = size_t(std::upper_bound(codes.begin(), codes.end(), first,
                                        [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
                       codes.begin());
  const DynInfoRec* dyn = next > 0 ? &codes[next - 1] : GetStartDynAttrib(par);
  auto selected = [&](int32_t i) { return fHasSel && i >= fSelA && i < fSelB; };
  const bool upper = M.fKeywordsUpperCase;
  auto special = [&](char16_t c, int32_t i) {
    return c == u'\t' || (codesOn && IsStyleCode(c)) || (c == u' ' && justified && i >= line.JustifyStart);
  };
  int32_t selectedFont = -1;
  for (int32_t i = first; i < line.Stop;) {
    while (next < codes.size() && codes[next].DynOffset <= i)
      dyn = &codes[next++];
    const char16_t c = t[i];
    if (codesOn && IsStyleCode(c)) {
      XORStyleCode(style, c);
      ++i;
      continue;
    }
    const uint8_t eff = M.AttrToExtFontStyles(style, dyn->DynStyle);
    if ((eff & ~fsHighlight) != selectedFont) {
      selectedFont = eff & ~fsHighlight;
      M.SelectFont(static_cast<uint8_t>(selectedFont));
    }
    TElement e{i, i + 1, x, 0, eff, selected(i), upper && IsKeywordRun(*dyn), TKind::Text, {}, {}};
    if (c == u'\t') {
      e.Kind = TKind::Tab;
      e.W = TZarvMemoHost::NextTabStop(x, tab) - x;
    } else if (c == u' ' && justified && i >= line.JustifyStart) {
      e.Kind = TKind::Blank;
      remainder += extra;
      int32_t s = share;
      if (remainder >= line.Spaces) {
        remainder -= line.Spaces;
        ++s;
      }
      e.W = M.Canvas().CharWidth(u' ') + s;
    } else {
      int32_t limit = std::min(line.Stop, i + kMaxElement);
      if (limit < line.Stop && QChar::isHighSurrogate(t[limit - 1]))
        ++limit;
      if (next < codes.size())
        limit = std::min(limit, codes[next].DynOffset);
      if (fSelA > i)
        limit = std::min(limit, fSelA);
      if (fSelB > i)
        limit = std::min(limit, fSelB);
      int32_t j = i + 1;
      while (j < limit && !special(t[j], j))
        ++j;
      e.To = j;
      e.W = M.Canvas().GetTextWidth(t + i, j - i, M.fMaxOneShotChars);
    }
    computeColours(e, style, *dyn);
    x = SaturatedWidth(int64_t(x) + e.W);
    i = e.To;
    fElems.push_back(e);
    // What lies beyond the window's right edge (and the ink overhang drawn
    // past it) is never seen: a line of a megabyte stops here. The end x
    // is then off screen too, where the mark and a selection's end clip.
    if (int64_t(fX0) + x > int64_t(fLineW) + 2 * M.fLineHeight)
      break;
  }
  fEndX = x;
}

void TLinePainter::computeColours(TElement& e, TZarvFontStyles staticStyle, const DynInfoRec& dyn) const {
  e.Text = fFontColour;
  e.Back = QColor();
  if (staticStyle & fsHighlight) {
    e.Text = M.PaintColor(M.fHTColor);
    e.Back = M.PaintColor(M.fHBColor);
  }
  if (dyn.DynStyle & dsHasAttrib) {
    if (IsColour(dyn.Foregnd) && !IsColour(fParFore))
      e.Text = M.PaintColor(dyn.Foregnd);
    if (IsColour(dyn.Backgnd) && !(M.fOptions.testFlag(zvoKeepParBackgnd) && IsColour(fParBack)))
      e.Back = M.PaintColor(dyn.Backgnd);
  }
  if (e.Selected && fWinColours) {
    e.Text = M.PaintColor(M.fSelTextColor);
    e.Back = QColor();
  }
}

void TLinePainter::drawText(const TElement& e, const char16_t* text, bool dropTrailingBlanks) {
  int32_t to = e.To;
  if (dropTrailingBlanks)
    while (to > e.From && text[to - 1] == u' ')
      --to;
  // Glyph ink may overhang the advance (italics): glyphs up to a line
  // height beyond either edge are drawn, so that a scrolled window and a
  // fresh paint agree.
  const int32_t slack = M.fLineHeight;
  const int32_t start = fX0 + e.X;
  if (to <= e.From || start >= fLineW + slack || start + int64_t(e.W) + slack <= 0)
    return;
  const uint8_t fontStyles = e.Style & ~fsHighlight;
  M.SelectFont(fontStyles);
  const TZarvCanvas& cv = M.Canvas();
  const QRawFont& raw = cv.RawFont();
  const bool dots = M.fShowNonPrintChars.testFlag(zvNPSpace);
  const int32_t base = M.fLineBase;
  const int32_t maxChunk = std::max(1, M.fMaxOneShotChars);
  P.setPen(e.Text);
  P.setFont(cv.Font());

  QList<quint32> glyphs;
  QList<QPointF> positions;
  double origin = 0;
  auto flush = [&]() {
    if (glyphs.isEmpty())
      return;
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setUnderline(cv.Font().underline());
    run.setStrikeOut(cv.Font().strikeOut());
    // Underline and strike-out run from the origin on: it is the first glyph.
    P.drawGlyphRun(QPointF(origin, base), run);
    glyphs.clear();
    positions.clear();
  };
  int64_t x = start;
  for (int32_t i = e.From; i < to && x < fLineW + slack;) {
    char16_t c = text[i];
    if (c >= TZarvCanvas::kTableLimit) {
      // Characters that may need shaping are drawn as one string, at the
      // width the canvas measured for them as a whole.
      int32_t j = i + 1;
      while (j < to && j - i < maxChunk && text[j] >= TZarvCanvas::kTableLimit)
        ++j;
      flush();
      const QString s = QString::fromRawData(reinterpret_cast<const QChar*>(text + i), j - i);
      P.drawText(QPointF(double(x), base), s);
      x += cv.GetTextWidth(text + i, j - i, maxChunk);
      i = j;
      continue;
    }
    const int32_t w = cv.CharWidth(c);
    if (c == u' ' && dots)
      c = kDot;
    else if (e.Upper && c >= u'a' && c <= u'z')
      c = char16_t(c - 32); // drawn in capitals where the letter was measured
    if (c != u' ' && x + w + slack > 0) {
      quint32 g = 0;
      int n = 1;
      const QChar qc(c);
      raw.glyphIndexesForChars(&qc, 1, &g, &n);
      if (g == 0) {
        flush(); // not in this font: let the font engine fall back
        P.drawText(QPointF(double(x), base), QString(qc));
      } else {
        if (glyphs.isEmpty())
          origin = double(x);
        glyphs.append(g);
        positions.append(QPointF(double(x) - origin, 0));
        if (glyphs.size() >= maxChunk)
          flush();
      }
    }
    x += w;
    ++i;
  }
  flush();
}

void TLinePainter::drawMark(char16_t mark, int32_t x, uint8_t style, const QColor& colour) {
  M.SelectFont(static_cast<uint8_t>(style & ~fsHighlight));
  P.setFont(M.Canvas().Font());
  P.setPen(colour);
  P.drawText(QPointF(double(fX0 + x), M.fLineBase), QString(QChar(mark)));
}

void TLinePainter::fillSelectionAndInvert(bool after) {
  if (!fHasSel || fSelX1 <= fSelX0 || after == fWinColours)
    return;
  const QRect r(fX0 + fSelX0, 0, fSelX1 - fSelX0, M.fLineHeight);
  if (fWinColours) {
    P.fillRect(r, M.PaintColor(M.fSelBackColor));
    return;
  }
  P.setCompositionMode(QPainter::CompositionMode_Difference);
  P.fillRect(r, Qt::white);
  P.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TLinePainter::drawEndParBox() {
  if (!fBreakSelected || !M.fShowEndParSelected || M.fOptions.testFlag(zvoFullLineSelect) || M.fBlockSelection ||
      M.fShowNonPrintChars.testFlag(zvNPReturn))
    return;
  const int32_t lh = M.fLineHeight;
  const QRect r(fX0 + fSelX1, lh / 3, M.fSpaceWidth / 2 + 1, 2 * (lh / 3) - lh / 3);
  if (fWinColours) {
    P.fillRect(r, M.PaintColor(M.fSelBackColor));
    return;
  }
  P.setCompositionMode(QPainter::CompositionMode_Difference);
  P.fillRect(r, Qt::white);
  P.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TLinePainter::drawWavyLines() {
  const TZarvPen& pen = M.fSpecUnderlinePen;
  size_t k = 0;
  while (k < fElems.size()) {
    if (!(fElems[k].Style & 0x80)) {
      ++k;
      continue;
    }
    const int32_t from = fElems[k].X;
    while (k < fElems.size() && (fElems[k].Style & 0x80))
      ++k;
    const int32_t to = k < fElems.size() ? fElems[k].X : fEndX;
    TZarvCanvas wave(M.font(), &P);
    P.setPen(QPen(M.PaintColor(pen.Color), std::max(1, pen.Width), pen.Style));
    wave.WavyLine(fX0 + from, fX0 + to, M.fWavyLinePos, M.fWavyLineAmplitude);
  }
}

} // namespace zarv
