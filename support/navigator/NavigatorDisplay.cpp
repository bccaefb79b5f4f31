// Pixel coordinates of a navigator: the x of a character boundary on its
// display line and the boundary nearest to an x, both from one walk over the
// line that measures text in runs with the font of each style run, so that
// the two are exact inverses and agree with what is drawn.
//
// Widths on a line saturate at kMaxPixelWidth like those of line formatting;
// sums with margins, the client width and the scroll offset are made in 64
// bits and the resulting coordinates saturate at the 32-bit range.
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>

namespace zarv {

namespace {

int32_t ClampToInt32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Pixels the text area leaves free beside a line (negative when the line is
// wider than the area).
int64_t FreeWidth(const TZarvMemoHost& m, const LineInfo& line) {
  return int64_t(m.ClientWidth()) - m.fLeftMargin - m.fRightMargin - line.LineWidth;
}

// Walks one display line from its start, keeping the style state, the font
// selected on the control's canvas and the justification remainder.
class TLineWalker {
public:
  TLineWalker(TZarvMemoHost& memo, const ParInfo& par, const LineInfo& line, bool staticFormat)
      : M(memo), P(par), L(line), fStatic(staticFormat), fCodes(GetDynArray(par)) {
    const int32_t len = GetParLength(par);
    fJustified = memo.fJustified && line.JustifyStart < len && line.Spaces >= 1;
    if (line.Spaces >= 1) {
      const int32_t e = SaturatedWidth(FreeWidth(memo, line));
      fShare = e / line.Spaces;
      fExtra = e % line.Spaces;
      fRemainder = fExtra / 2;
    }
    fTab = memo.TabWidth();
    fStyle = line.StartAttrib;
    // The code in force at the line start: the last one at or before it.
    fNextCode = static_cast<size_t>(std::upper_bound(fCodes.begin(), fCodes.end(), line.Start,
                                                     [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
                                    fCodes.begin());
    fDyn = fNextCode > 0 ? &fCodes[fNextCode - 1] : GetStartDynAttrib(par);
    selectFont();
  }

  // Goes on from `at` with the static style there (a checkpoint of an
  // unwrapped line, where nothing is justified).
  void Seek(int32_t at, TZarvFontStyles style) {
    fStyle = style;
    fNextCode = static_cast<size_t>(std::upper_bound(fCodes.begin(), fCodes.end(), at,
                                                     [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
                                    fCodes.begin());
    fDyn = fNextCode > 0 ? &fCodes[fNextCode - 1] : GetStartDynAttrib(P);
    selectFont();
  }

  // x of the line's text start in client pixels, before horizontal scroll.
  int64_t AlignOffset() const {
    const bool justifiedLine = M.fJustified && L.JustifyStart < GetParLength(P);
    if (justifiedLine || M.fAlignment == taLeftJustify)
      return M.fLeftMargin;
    if (M.fAlignment == taRightJustify)
      return int64_t(M.ClientWidth()) - M.fRightMargin - L.LineWidth;
    return M.fLeftMargin + FreeWidth(M, L) / 2;
  }

  // One step: the element starting at i (a run of ordinary characters, a
  // tab, a justified space or a static code) up to `limit`. Returns its end
  // and its width; ordinary runs are measured with one canvas call chain.
  struct Element {
    int32_t end;
    int32_t width;
    bool run; // an ordinary run, measured as a whole
  };

  Element Next(int32_t i, int32_t limit, int32_t x) {
    while (fNextCode < fCodes.size() && fCodes[fNextCode].DynOffset <= i) {
      fDyn = &fCodes[fNextCode++];
      selectFont();
    }
    const char16_t* t = P.ParText;
    const char16_t c = t[i];
    if (c == u'\t')
      return {i + 1, TZarvMemoHost::NextTabStop(x, fTab) - x, false};
    if (fStatic && IsStyleCode(c)) {
      XORStyleCode(fStyle, c);
      selectFont();
      return {i + 1, 0, false};
    }
    if (c == u' ' && fJustified && i >= L.JustifyStart)
      return {i + 1, M.Canvas().CharWidth(u' ') + shareOfNextSpace(), false};
    const int32_t codeStop = fNextCode < fCodes.size() ? std::min(limit, fCodes[fNextCode].DynOffset) : limit;
    int32_t j = i + 1;
    while (j < codeStop && !isSpecial(t[j], j))
      ++j;
    return {j, Width(i, j), true};
  }

  int32_t Width(int32_t from, int32_t to) const {
    return M.Canvas().GetTextWidth(P.ParText + from, to - from, M.fMaxOneShotChars);
  }

private:
  bool isSpecial(char16_t c, int32_t i) const {
    return c == u'\t' || (fStatic && IsStyleCode(c)) || (c == u' ' && fJustified && i >= L.JustifyStart);
  }

  // Each justified space gets an equal share of the free width; the
  // remainder is handed out one pixel at a time, starting half-way.
  int32_t shareOfNextSpace() {
    fRemainder += fExtra;
    if (fRemainder >= L.Spaces) {
      fRemainder -= L.Spaces;
      return fShare + 1;
    }
    return fShare;
  }

  void selectFont() {
    const int styles = M.AttrToExtFontStyles(fStyle, fDyn->DynStyle) & ~fsHighlight;
    if (styles != fSelected) {
      M.SelectFont(static_cast<uint8_t>(styles));
      fSelected = styles;
    }
  }

  TZarvMemoHost& M;
  const ParInfo& P;
  const LineInfo& L;
  bool fStatic;
  const TDynInfoArray& fCodes;
  bool fJustified = false;
  int32_t fShare = 0, fExtra = 0, fTab = 0;
  // A negative remainder only falls, by up to Spaces - 1 per blank, over as
  // many as 2^31 blanks.
  int64_t fRemainder = 0;
  TZarvFontStyles fStyle = 0;
  size_t fNextCode = 0;
  const DynInfoRec* fDyn = nullptr;
  int fSelected = -1;
};

} // namespace

int32_t TZarvNavigator::GetDisplayY() {
  const int32_t lh = fZvMemo ? fZvMemo->fLineHeight : 1;
  const int32_t top = fZvMemo ? fZvMemo->fTopOrigin : 0;
  const int32_t base = fZvMemo ? fZvMemo->fLineBase : 0;
  return ClampToInt32(int64_t(getVisibleLineNumber()) * lh - top + base);
}

void TZarvNavigator::setDisplayY(int32_t Y) {
  const int32_t lh = fZvMemo ? std::max(1, fZvMemo->fLineHeight) : 1;
  const int64_t y = static_cast<int64_t>(Y) + (fZvMemo ? fZvMemo->fTopOrigin : 0);
  if (y < static_cast<int64_t>(fList->fVisibleLineCount) * lh)
    setVisibleLineNumber(y < 0 ? 0 : static_cast<int32_t>(y / lh));
  else
    SetPos(fList->fTextLen);
}

// On a long unwrapped line: the control's checkpoint at or before offset
// `at` and x `x`, where a walk over the line may start instead of at its
// beginning; nullptr elsewhere.
const TLongLineIndex::TMark* TZarvNavigator::lineMark(int32_t at, int64_t x) {
  if (GetParLength(*fPar) < TLongLineIndex::kMinLength || GetLineCount(*fPar) != 1)
    return nullptr;
  TLongLineIndex& index = fZvMemo->fLongLines;
  const TLongLineIndex::TMark* byOffset = index.MarkAtOffset(*fZvMemo, GetParNb(), *fPar, at);
  if (!byOffset || x == INT64_MAX)
    return byOffset;
  const TLongLineIndex::TMark* byX = index.MarkAtX(*fZvMemo, GetParNb(), *fPar, x);
  return byX && byX->Offset < byOffset->Offset ? byX : byOffset;
}

int32_t TZarvNavigator::GetDisplayX() {
  if (!fZvMemo)
    return 0;
  const int32_t lineNb = GetParLine();
  const LineInfo line = lineInfo(lineNb);
  TLineWalker w(*fZvMemo, *fPar, line, fList->fStaticFormat);
  const int32_t t = std::clamp(fOffset, line.Start, line.Stop);
  int32_t x = 0, i = line.Start;
  if (const TLongLineIndex::TMark* m = lineMark(t, INT64_MAX)) {
    w.Seek(m->Offset, m->Style);
    x = m->X;
    i = m->Offset;
  }
  while (i < t) {
    const auto e = w.Next(i, t, x);
    x = SaturatedWidth(int64_t(x) + e.width);
    i = e.end;
  }
  return ClampToInt32(x - int64_t(fZvMemo->fDisplayLeft) + w.AlignOffset());
}

void TZarvNavigator::SetDisplayX(int32_t X) {
  if (!fZvMemo)
    return;
  const int32_t lineNb = GetParLine();
  const LineInfo line = lineInfo(lineNb);
  TLineWalker w(*fZvMemo, *fPar, line, fList->fStaticFormat);
  const int64_t target = int64_t(X) + fZvMemo->fDisplayLeft - w.AlignOffset();
  int32_t x = 0, i = line.Start;
  int32_t column = line.Stop - line.Start;
  if (const TLongLineIndex::TMark* m = lineMark(INT32_MAX, target)) {
    w.Seek(m->Offset, m->Style);
    x = m->X;
    i = m->Offset;
  }
  while (i < line.Stop) {
    const auto e = w.Next(i, line.Stop, x);
    if (!e.run) {
      // A character whose middle lies right of the target decides.
      if (e.width > 0 && int64_t(x) + e.width / 2 > target) {
        column = i - line.Start;
        break;
      }
    } else if (int64_t(x) + e.width > target) {
      // Inside this run: the first character whose middle passes the
      // target, found by measuring prefixes of the run.
      int32_t lo = i, hi = e.end - 1;
      auto middle = [&](int32_t k) {
        const int32_t a = w.Width(i, k), b = w.Width(i, k + 1);
        return int64_t(x) + a + (b - a) / 2;
      };
      if (middle(hi) > target) {
        while (lo < hi) {
          const int32_t mid = lo + (hi - lo) / 2;
          if (middle(mid) > target)
            hi = mid;
          else
            lo = mid + 1;
        }
        column = lo - line.Start;
        break;
      }
    }
    x = SaturatedWidth(int64_t(x) + e.width);
    i = e.end;
  }
  SetColNb(column);
}

void TZarvNavigator::SetDisplayPos(const QPoint& Pt) {
  const int32_t lh = fZvMemo ? std::max(1, fZvMemo->fLineHeight) : 1;
  const int64_t y = static_cast<int64_t>(Pt.y()) + (fZvMemo ? fZvMemo->fTopOrigin : 0);
  if (y >= static_cast<int64_t>(fList->fVisibleLineCount) * lh) {
    SetPos(fList->fTextLen); // below the last line
    return;
  }
  setDisplayY(Pt.y());
  SetDisplayX(Pt.x());
}

int32_t TZarvNavigator::getDisplayWidth() {
  GetPar();
  if (!fZvMemo || fOffset >= GetParLength(*fPar))
    return 0;
  const char16_t c = fPar->ParText[fOffset];
  if (fList->fStaticFormat && IsStyleCode(c))
    return 0;
  const auto& codes = GetDynArray(*fPar);
  const size_t n =
      static_cast<size_t>(std::upper_bound(codes.begin(), codes.end(), fOffset,
                                           [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
                          codes.begin());
  const DynInfoRec* d = n > 0 ? &codes[n - 1] : GetStartDynAttrib(*fPar);
  fZvMemo->SelectFont(static_cast<uint8_t>(fZvMemo->AttrToExtFontStyles(GetStyle(), d->DynStyle) & ~fsHighlight));
  return fZvMemo->Canvas().CharWidth(c);
}

} // namespace zarv
