// Word wrapping of one paragraph.
//
// The formatter walks the paragraph alternately over separator runs (blanks
// and tabs) and words, keeping the static style, the style run in force and
// the selected font. A word that passes the wrap width starts a new line; a
// word wider than a line is broken by characters. Lines are collected in a
// local vector and stored once at the end, so that an early stop leaves the
// unchanged old lines in place.
//
// Widths are sums of many measured pieces: a long line in a huge font passes
// 32 bits. Every sum saturates at kMaxPixelWidth (addWidth), which is far
// below the no-wrap width, so a line that long simply stops growing.
#include <ZarvMemo/support/layout/LineFormat.h>

#include <ZarvMemo/platform/Canvas.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace zarv {

namespace {

constexpr int32_t kNoWrap = std::numeric_limits<int32_t>::max();

// Widths and x positions are at most kMaxPixelWidth; their sum saturates.
int32_t addWidth(int32_t a, int32_t b) { return SaturatedWidth(static_cast<int64_t>(a) + b); }

class TParFormatter {
public:
  TParFormatter(TZarvMemoHost& memo, TZarvCanvas& canvas, ParInfo& par)
      : fMemo(memo), fCanvas(canvas), fPar(par), fLen(GetParLength(par)), fText(par.ParText), fCodes(GetDynArray(par)),
        fStatic(memo.Paragraphs().fStaticFormat) {
    fOld.reserve(static_cast<size_t>(GetLineCount(par)));
    fOld.push_back(GetFirstLine(par));
    if (par.ParState & zvpHasExtra)
      fOld.insert(fOld.end(), par.ParExtra->Lines.begin(), par.ParExtra->Lines.end());
  }

  void Run(bool initFont, int32_t width, int32_t& startLine, int32_t& stopLine, bool full, int32_t& spaceWidth,
           int32_t& overhang, int32_t& linesDelta, int32_t& newLineCount);
  void SetChange(int32_t mustReach, int32_t codeDelta) {
    fMustReach = mustReach;
    fCodeDelta = codeDelta;
  }

private:
  // ---- Style and font ----
  void applyCodesAt(int32_t at) {
    while (fNextCode < fCodes.size() && fCodes[fNextCode].DynOffset <= at) {
      fDyn = &fCodes[fNextCode++];
      updateFont();
    }
  }
  void updateFont() {
    const int styles = fMemo.AttrToExtFontStyles(fStyle, fDyn->DynStyle) & ~fsHighlight;
    if (styles == fSelected)
      return;
    fSelected = styles;
    if (fColumns)
      return;
    QFont f;
    fMemo.SetupFont(f, static_cast<uint8_t>(styles));
    fCanvas.SetFont(f);
    measureSpace();
  }
  void measureSpace() {
    const char16_t two[2] = {u' ', u' '};
    const int32_t w1 = fCanvas.GetTextWidth(two, 1, 2), w2 = fCanvas.GetTextWidth(two, 2, 2);
    fOverhang = 2 * w1 - w2;
    fSpace = w1 - fOverhang;
    if (w1 <= 0) {
      fSpace = 1;
      fOverhang = 0;
    }
  }
  int32_t codeIndexAt(int32_t at) const {
    return static_cast<int32_t>(std::lower_bound(fCodes.begin(), fCodes.end(), at,
                                                 [](const DynInfoRec& d, int32_t o) { return d.DynOffset < o; }) -
                                fCodes.begin());
  }
  int32_t tabStop(int32_t from) const {
    if (fColumns)
      return fMemo.fTabStops > 0 ? TZarvMemoHost::NextTabStop(from, fMemo.fTabStops) : addWidth(from, 1);
    // Tab stops form one grid for the whole control, measured in spaces of
    // its font, so that tabs line up whatever style the text around them
    // has; display and painting use the same grid.
    return TZarvMemoHost::NextTabStop(from, fMemo.TabWidth());
  }
  int32_t charWidth(char16_t c) const { return fColumns ? 1 : fCanvas.CharWidth(c); }
  bool isWrapChar(char16_t c) const { return !fMemo.fWWChars.isEmpty() && fMemo.fWWChars.contains(QChar(c)); }

  // ---- Steps ----
  void separatorRun();
  bool pullBack();
  int32_t measureWord(int32_t from, int32_t& end);
  void breakWord();
  void closeLine(int32_t stop, int32_t lineWidth, int32_t totalWidth, int32_t spaces, int32_t justifyStart);
  bool earlyStop();
  void beginLine(int32_t at, int32_t x);
  void store(int32_t& startLine, int32_t& stopLine, int32_t& linesDelta, int32_t& newLineCount);

  TZarvMemoHost& fMemo;
  TZarvCanvas& fCanvas;
  ParInfo& fPar;
  int32_t fLen;
  const char16_t* fText;
  const TDynInfoArray& fCodes;
  bool fStatic;
  bool fColumns = false;
  bool fFull = true;
  int32_t fWrap = kNoWrap;

  std::vector<LineInfo> fOld;
  std::vector<LineInfo> fNew;
  int32_t fFirstOld = 0;   // first old line re-wrapped
  int32_t fStopLine = 0;   // last old line replaced so far
  bool fStopped = false;   // the early stop met the old layout
  bool fMovedBack = false; // text moved onto line fFirstOld - 1
  int32_t fFirstAsked = 0; // the first line the caller asked to re-wrap
  int32_t fMustReach = 0;  // no early stop before a line ends here
  int32_t fCodeDelta = 0;  // run index shift of the old lines kept

  // Running state.
  int32_t fPos = 0;
  TZarvFontStyles fStyle = 0;
  const DynInfoRec* fDyn = nullptr;
  size_t fNextCode = 0;
  int fSelected = -1;
  int32_t fSpace = 1, fOverhang = 0;

  // The line being built.
  int32_t fLineStart = 0;
  TZarvFontStyles fLineStyle = 0;
  int32_t fLineDynNb = 0;
  int32_t fX = 0;
  int32_t fSpaces = 0;  // justifiable blanks so far
  int32_t fPending = 0; // blanks of the last separator run
  int32_t fJustifyStart = 0;
  int32_t fWordEnd = 0;            // width at the end of the last word
  int32_t fRunStart = 0;           // where the last separator run began
  std::vector<int32_t> fRunWidths; // per character of that run: blank width, 0 for codes, -1 for tabs
  bool fFirstWordOfCall = true;
};

void TParFormatter::beginLine(int32_t at, int32_t startX) {
  fLineStart = at;
  fLineStyle = fStyle;
  fLineDynNb = codeIndexAt(at);
  fX = startX;
  fSpaces = 0;
  fPending = 0;
  fJustifyStart = at;
  fWordEnd = startX;
}

// Blanks and tabs up to the next word.
void TParFormatter::separatorRun() {
  fWordEnd = fX;
  fRunStart = fPos;
  fPending = 0;
  fRunWidths.clear();
  while (fPos < fLen) {
    applyCodesAt(fPos);
    const char16_t c = fText[fPos];
    if (fStatic && IsStyleCode(c)) {
      XORStyleCode(fStyle, c);
      updateFont();
      fRunWidths.push_back(0);
    } else if (c == u'\t') {
      fX = tabStop(fX);
      fJustifyStart = fPos;
      fSpaces = 0;
      fPending = 0;
      fRunWidths.push_back(-1);
    } else if (c == u' ') {
      const int32_t w = fColumns ? 1 : fSpace;
      fX = addWidth(fX, w);
      ++fPending;
      fRunWidths.push_back(w);
    } else {
      break;
    }
    ++fPos;
  }
  fSpaces += fPending;
}

// Moves blanks or a word that start the first re-wrapped line back onto
// the line before it when they belong there.
bool TParFormatter::pullBack() {
  if (fRunStart != fLineStart)
    return false;
  const bool firstOfCall = fNew.empty();
  if (firstOfCall && fFirstOld == 0)
    return false; // the paragraph's first line
  LineInfo& prev = firstOfCall ? fOld[static_cast<size_t>(fFirstOld - 1)] : fNew.back();
  if (fPos > fLineStart) {
    // Separators at a line start end the line before instead, measured
    // where they now stand: tabs go to the stops of that line and leave only
    // the blanks after them justifiable; trailing blanks never are.
    int32_t w = prev.TotalWidth;
    for (int32_t i = fLineStart; i < fPos; ++i) {
      const int32_t bw = fRunWidths[static_cast<size_t>(i - fLineStart)];
      if (bw < 0) {
        w = tabStop(w);
        prev.JustifyStart = i;
        prev.Spaces = 0;
      } else {
        w = addWidth(w, bw);
      }
    }
    prev.Stop = fPos;
    prev.TotalWidth = w;
    beginLine(fPos, 0);
    fMovedBack |= firstOfCall;
    return true;
  }
  if (!firstOfCall || !fFirstWordOfCall || fPos >= fLen)
    return false;
  const TZarvFontStyles styleBefore = fStyle;
  const DynInfoRec* dynBefore = fDyn;
  const size_t codeBefore = fNextCode;
  int32_t end = fPos;
  const int32_t w = measureWord(fPos, end);
  if (static_cast<int64_t>(prev.TotalWidth) + w <= fWrap) {
    // The blanks ending the line before become justifiable (code characters
    // among them take no part).
    int32_t trailing = 0;
    for (int32_t i = prev.Stop - 1; i >= prev.Start; --i) {
      if (fText[i] == u' ')
        ++trailing;
      else if (!(fStatic && IsStyleCode(fText[i])))
        break;
    }
    prev.Spaces += trailing;
    prev.Stop = end;
    prev.TotalWidth = addWidth(prev.TotalWidth, w);
    prev.LineWidth = prev.TotalWidth;
    fPos = end;
    beginLine(fPos, 0);
    fMovedBack = true;
    return true;
  }
  // Not taken: it is measured again as the first word of its line.
  fStyle = styleBefore;
  fDyn = dynBefore;
  fNextCode = codeBefore;
  updateFont();
  return false;
}

// Width of the word starting at `from`; `end` receives its end. Code
// characters and style runs split it into runs measured separately.
int32_t TParFormatter::measureWord(int32_t from, int32_t& end) {
  int32_t q = from;
  int32_t w = 0;
  bool any = false;
  while (q < fLen) {
    applyCodesAt(q);
    const char16_t c = fText[q];
    if (c == u' ' || c == u'\t')
      break;
    if (fStatic && IsStyleCode(c)) {
      XORStyleCode(fStyle, c);
      updateFont();
      ++q;
      continue;
    }
    // One run: up to a blank, a code character, the next style run or just
    // after a word-wrap character.
    const int32_t runStop = fNextCode < fCodes.size() ? std::min(fLen, fCodes[fNextCode].DynOffset) : fLen;
    int32_t r = q;
    bool wrapAfter = false;
    while (r < runStop) {
      const char16_t d = fText[r];
      if (d == u' ' || d == u'\t' || (fStatic && IsStyleCode(d)))
        break;
      ++r;
      if (isWrapChar(d)) {
        wrapAfter = true;
        break;
      }
    }
    if (r == q) { // a style run starts exactly here
      applyCodesAt(q);
      continue;
    }
    w = addWidth(w, fColumns ? r - q : fCanvas.GetTextWidth(fText + q, r - q, fMemo.fMaxOneShotChars));
    any = true;
    q = r;
    if (wrapAfter)
      break;
  }
  end = q;
  if (any && !fColumns)
    w = addWidth(w, -fOverhang);
  return w;
}

void TParFormatter::closeLine(int32_t stop, int32_t lineWidth, int32_t totalWidth, int32_t spaces,
                              int32_t justifyStart) {
  LineInfo li;
  li.Start = fLineStart;
  li.Stop = stop;
  li.LineWidth = lineWidth;
  li.TotalWidth = totalWidth;
  li.TotalColumns = 0;
  li.Spaces = spaces;
  li.JustifyStart = justifyStart;
  li.StartAttrib = fLineStyle;
  li.StartDynNb = static_cast<uint32_t>(fLineDynNb);
  li.Hidden = false;
  fNew.push_back(li);
  if (lineWidth > fMemo.fMaxLineWidth) {
    fMemo.fMaxLineWidth = lineWidth;
    if (!fMemo.fWordWrap || fMemo.fColumnWrap > 0)
      fMemo.fMaxLineNumber = fPar.StartLine;
  }
}

// After a line closed: skip the old lines it covers; stop when the next old
// line starts where the new one ends, in the same style.
bool TParFormatter::earlyStop() {
  if (fFull)
    return false;
  const int32_t end = fNew.back().Stop;
  // The line asked for holds the change: never stop before it is redone.
  if (fFirstOld + static_cast<int32_t>(fNew.size()) - 1 < fFirstAsked || end < fMustReach)
    return false;
  const int32_t last = static_cast<int32_t>(fOld.size()) - 1;
  while (fStopLine < last && fOld[static_cast<size_t>(fStopLine)].Stop < end)
    ++fStopLine;
  // Lines emptied by an edit are replaced along with the line before them.
  while (fStopLine < last && fOld[static_cast<size_t>(fStopLine)].Stop == end &&
         fOld[static_cast<size_t>(fStopLine + 1)].Start == fOld[static_cast<size_t>(fStopLine + 1)].Stop)
    ++fStopLine;
  const LineInfo& old = fOld[static_cast<size_t>(fStopLine)];
  if (old.Stop == end && fStopLine < last && fOld[static_cast<size_t>(fStopLine + 1)].StartAttrib == fLineStyle) {
    fStopped = true;
    return true;
  }
  return false;
}

// A word alone wider than the line: break it between characters.
void TParFormatter::breakWord() {
  int32_t taken = 0;
  int32_t lastW = 0;
  bool lastWasCode = false;
  fX = 0;
  while (fPos < fLen) {
    applyCodesAt(fPos);
    const char16_t c = fText[fPos];
    if (c == u' ')
      break;
    int32_t w;
    lastWasCode = false;
    if (fStatic && IsStyleCode(c)) {
      XORStyleCode(fStyle, c);
      updateFont();
      w = 0;
      lastWasCode = true;
    } else if (c == u'\t') {
      w = tabStop(fX) - fX;
    } else {
      w = charWidth(c);
    }
    fX = addWidth(fX, w);
    ++fPos;
    ++taken;
    lastW = w;
    if (fX > fWrap)
      break;
  }
  // Give back the character that passed the width, unless it is all the
  // line has, is a code character, or a style run starts after it.
  const bool beforeCode = fNextCode > 0 && fCodes[fNextCode - 1].DynOffset == fPos - 1 && fPos - 1 > fLineStart;
  if (fX > fWrap && taken > 1 && !lastWasCode && !beforeCode) {
    --fPos;
    fX -= lastW;
    // Style runs applied at the returned character are applied again later.
    fNextCode = static_cast<size_t>(codeIndexAt(fPos));
    fDyn = fNextCode > 0 ? &fCodes[fNextCode - 1] : GetStartDynAttrib(fPar);
    updateFont();
  }
  closeLine(fPos, fX, fX, 0, fPos);
  beginLine(fPos, 0);
}

void TParFormatter::Run(bool initFont, int32_t width, int32_t& startLine, int32_t& stopLine, bool full,
                        int32_t& spaceWidth, int32_t& overhang, int32_t& linesDelta, int32_t& newLineCount) {
  fFull = full;
  fFirstOld = std::clamp(startLine, 0, static_cast<int32_t>(fOld.size()) - 1);
  fFirstAsked = fFirstOld;
  // The line before is wrapped again too when its end depends on the text
  // after it: a line that ends inside a word was broken by characters and
  // breaks where the next character no longer fits; a line closed as the
  // last one or broken by characters carries no justification data to
  // extend when text moves back onto it.
  if (fFirstOld > 0) {
    const LineInfo& prev = fOld[static_cast<size_t>(fFirstOld - 1)];
    const int32_t stop = prev.Stop;
    const auto breaksHere = [&](char16_t c) { return c == u' ' || c == u'\t'; };
    const bool midWord = stop > 0 && stop < fLen && !breaksHere(fText[stop - 1]) && !isWrapChar(fText[stop - 1]) &&
                         !breaksHere(fText[stop]);
    if (midWord || prev.JustifyStart >= prev.Stop)
      --fFirstOld;
  }
  fStopLine = fFirstOld;
  const LineInfo& first = fOld[static_cast<size_t>(fFirstOld)];
  fPos = first.Start;
  fStyle = first.StartAttrib;
  fNextCode = static_cast<size_t>(std::min<uint32_t>(first.StartDynNb, static_cast<uint32_t>(fCodes.size())));
  fDyn = fNextCode > 0 ? &fCodes[fNextCode - 1] : GetStartDynAttrib(fPar);

  // Wrap width and measuring mode, from whatever the fields hold.
  int64_t wrap;
  if (fPar.ParState & zvpNoWrap)
    wrap = kNoWrap;
  else if (!fMemo.fWordWrap && fMemo.fAlignment == taLeftJustify)
    wrap = int64_t(kNoWrap) - fMemo.fRightMargin;
  else if (fMemo.fColumnWrap > 0)
    wrap = fMemo.fColumnWrap, fColumns = true;
  else if (fMemo.fColumnWrap < 0)
    wrap = -int64_t(fMemo.fColumnWrap);
  else
    wrap = int64_t(width) - fMemo.fLeftMargin - fMemo.fRightMargin;
  fWrap = static_cast<int32_t>(std::clamp<int64_t>(wrap, 1, kNoWrap));

  if (initFont || fColumns) {
    updateFont();
  } else {
    fSelected = fMemo.AttrToExtFontStyles(fStyle, fDyn->DynStyle) & ~fsHighlight;
    fSpace = spaceWidth;
    fOverhang = overhang;
  }
  beginLine(fPos, 0);
  fLineDynNb = static_cast<int32_t>(fNextCode);

  while (true) {
    separatorRun();
    if (pullBack())
      continue;
    if (fPos >= fLen)
      break;
    const int32_t wordStart = fPos;
    const TZarvFontStyles styleAtWord = fStyle;
    const size_t codeAtWord = fNextCode;
    const DynInfoRec* dynAtWord = fDyn;
    int32_t end = fPos;
    const int32_t w = measureWord(fPos, end);
    fFirstWordOfCall = false;
    if (static_cast<int64_t>(fX) + w > fWrap) {
      if (wordStart > fLineStart) {
        const int32_t before = fX;
        closeLine(wordStart, fWordEnd, before, fSpaces - fPending, fJustifyStart);
        // The next line starts with the word, in the style at its start.
        const TZarvFontStyles styleAfter = fStyle;
        fStyle = styleAtWord;
        beginLine(wordStart, w);
        fStyle = styleAfter;
        if (earlyStop())
          break;
        if (w <= fWrap) {
          fPos = end;
          continue;
        }
      }
      // Too wide even alone: measure it again character by character.
      fPos = wordStart;
      fStyle = styleAtWord;
      fNextCode = codeAtWord;
      fDyn = dynAtWord;
      updateFont();
      breakWord();
      if (earlyStop())
        break;
      continue;
    }
    fX = addWidth(fX, w);
    fPos = end;
  }
  if (!fStopped) {
    if (fLineStart < fLen || (fNew.empty() && fFirstOld == 0)) {
      closeLine(fLen, fX, fX, 0, fLen); // the last line is never justified
    } else {
      // Everything left was pulled back: the line before now ends the
      // paragraph, and the last line is never justified.
      LineInfo& last = fNew.empty() ? fOld[static_cast<size_t>(fFirstOld - 1)] : fNew.back();
      last.LineWidth = last.TotalWidth;
      last.Spaces = 0;
      last.JustifyStart = fLen;
    }
  }
  spaceWidth = fSpace;
  overhang = fOverhang;
  fMemo.fRunningSpaceWidth = fSpace;
  fMemo.fSpaceKern = fOverhang;
  store(startLine, stopLine, linesDelta, newLineCount);
}

void TParFormatter::store(int32_t& startLine, int32_t& stopLine, int32_t& linesDelta, int32_t& newLineCount) {
  const int32_t oldCount = static_cast<int32_t>(fOld.size());
  if (!fStopped)
    fStopLine = oldCount - 1;
  linesDelta = static_cast<int32_t>(fNew.size()) - (fStopLine - fFirstOld + 1);
  std::vector<LineInfo> all;
  all.reserve(static_cast<size_t>(oldCount + linesDelta));
  all.insert(all.end(), fOld.begin(), fOld.begin() + fFirstOld);
  all.insert(all.end(), fNew.begin(), fNew.end());
  const size_t kept = all.size();
  all.insert(all.end(), fOld.begin() + fStopLine + 1, fOld.end());
  if (fCodeDelta != 0)
    for (size_t i = kept; i < all.size(); ++i)
      all[i].StartDynNb = static_cast<uint32_t>(static_cast<int64_t>(all[i].StartDynNb) + fCodeDelta);
  if (all.size() == 1 && !(fPar.ParState & zvpHasExtra)) {
    SetFirstLine(fPar, all.front());
  } else {
    SetParExtras(fPar);
    fPar.ParExtra->FirstLine = all.front();
    fPar.ParExtra->Lines.assign(all.begin() + 1, all.end());
  }
  stopLine = fStopLine + linesDelta;
  newLineCount = oldCount + linesDelta;
  startLine = fMovedBack ? fFirstOld - 1 : fFirstOld;
}

} // namespace

void ReformatParP(TZarvMemoHost& Memo, TZarvCanvas* Canvas, bool InitFont, int32_t Width, ParInfo* Par, int32_t ParNb,
                  int32_t& StartLine, int32_t& StopLine, bool FullReformat, uint64_t& FontState, int32_t& SpaceWidth,
                  int32_t& Overhang, int32_t& LinesDelta, int32_t& NewLineCount, int32_t MustReach, int32_t CodeDelta) {
  (void)FontState;
  TParagraphsList& list = Memo.Paragraphs();
  if (!Par)
    Par = list.getParPointers(ParNb);
  if (!(Par->ParState & zvpKeywDone) && Memo.NeedsKeywordPass())
    Memo.ApplyKeywordsToParagraph(ParNb);
  Par->ParState |= zvpFormatted | zvpKeywDone;

  const int32_t oldCount = GetLineCount(*Par);
  if (!Canvas) {
    if (Par->ParState & zvpHasExtra) {
      LineInfo& first = Par->ParExtra->FirstLine;
      first = LineInfo{};
      first.Stop = GetParLength(*Par);
      first.StartAttrib = GetStartAttrib(*Par);
      Par->ParExtra->Lines.clear();
    }
    LinesDelta = -(oldCount - 1);
    StopLine = 0;
    NewLineCount = 1;
    return;
  }
  TParFormatter f(Memo, *Canvas, *Par);
  f.SetChange(MustReach, CodeDelta);
  f.Run(InitFont, Width, StartLine, StopLine, FullReformat, SpaceWidth, Overhang, LinesDelta, NewLineCount);
}

} // namespace zarv
