// Caret moves by key: a target navigator starts at the caret and moves by
// characters, words, display lines, pages or to the ends of a line or the
// text; then the selection collapses at the target or grows to it from its
// anchor, column blocks and virtual columns follow, and the view shows the
// caret. The same selection step serves the mouse.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/support/navigator/Navigator.h>

#include <Qt>
#include <algorithm>

namespace zarv {

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c < 0xE000; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

} // namespace

void TZarvMemo::stepRight(TZarvNavigator& T) {
  const ParInfo& par = *T.GetPar();
  const int32_t len = GetParLength(par);
  int32_t o = T.GetOffset();
  if (o >= len) {
    if (T.GetParNb() + 1 < fParagraphs->Count())
      T.SetParPos(T.GetParNb() + 1, 0);
    return;
  }
  const char16_t* t = par.ParText;
  if (fParagraphs->fStaticFormat && fPassOver)
    while (o < len && IsStyleCode(t[o]))
      ++o;
  if (o < len)
    o += (IsHigh(t[o]) && o + 1 < len && IsLow(t[o + 1])) ? 2 : 1;
  T.SetParPos(T.GetParNb(), o);
}

void TZarvMemo::stepLeft(TZarvNavigator& T) {
  int32_t o = T.GetOffset();
  if (o == 0) {
    const int32_t p = T.GetParNb();
    if (p == 0)
      return;
    const ParInfo& prev = *fParagraphs->Par(p - 1);
    int32_t end = GetParLength(prev);
    if (fOptions.testFlag(zvoDiscardTrailingSpaces))
      while (end > 0 && IsBlank(prev.ParText[end - 1]))
        --end;
    T.SetParPos(p - 1, end);
    return;
  }
  const char16_t* t = T.GetPar()->ParText;
  const bool codes = fParagraphs->fStaticFormat && fPassOver;
  if (codes)
    while (o > 0 && IsStyleCode(t[o - 1]))
      --o;
  if (o > 0)
    o -= (IsLow(t[o - 1]) && o >= 2 && IsHigh(t[o - 2])) ? 2 : 1;
  // A code standing just before is passed over with the character.
  if (codes)
    while (o > 0 && IsStyleCode(t[o - 1]))
      --o;
  T.SetParPos(T.GetParNb(), o);
}

void TZarvMemo::moveToLineAtX(TZarvNavigator& T, int32_t line, bool S) {
  fExtraCols.clear();
  if (!fOptions.testFlag(zvoPersistentBlocks) && !S)
    fBlockSelection = false;
  if (fXCaretRunningPos == INT32_MIN ||
      (!fWordWrap && fOptions.testFlag(zvoPutExtraSpaces) && !fOptions.testFlag(zvoKeepColumnPos)))
    fXCaretRunningPos = int32_t(std::clamp<int64_t>(int64_t(fCaretX) + fDisplayLeft, INT32_MIN + 1, INT32_MAX));
  T.setVisibleLineNumber(line);
  const int32_t x =
      int32_t(std::clamp<int64_t>(int64_t(fXCaretRunningPos) - fDisplayLeft, INT32_MIN / 2, INT32_MAX / 2));
  T.SetDisplayX(x);
  const bool virtualCols = fBlockSelection || fOptions.testFlag(zvoKeepColumnPos);
  const bool allowed = !S || fBlockSelection || fOptions.testFlag(zvoPersistentBlocks);
  if (!virtualCols || !allowed)
    return;
  const ParInfo& par = *T.GetPar();
  const LineInfo li = GetParLine(par, T.GetParLine());
  const int32_t o = T.GetOffset();
  const bool lastLine = T.GetParLine() == GetLineCount(par) - 1;
  const bool atEnd = o >= li.Stop && lastLine;
  const bool onTab = o < GetParLength(par) && par.ParText[o] == u'\t';
  const int32_t tx = T.GetDisplayX();
  if ((atEnd || onTab) && x > tx)
    fExtraCols = QString((x - tx) / std::max(1, fSpaceWidth), QLatin1Char(' '));
}

void TZarvMemo::moveSelectionTo(TZarvNavigator& T, bool extend) {
  const int32_t oldLen = fSelLen, oldStart = fSelStart->GetPos();
  if (!extend) {
    if (fOptions.testFlag(zvoPersistentBlocks) && fSelLen != 0) {
      fIndependantCpNav->Assign(T);
      fcp = fIndependantCpNav;
      return;
    }
    fSelStart->Assign(T);
    fSelStop->Assign(T);
    fcp = fSelStart;
    fSelLen = 0;
  } else {
    // The anchor is the end that is not the caret; a persistent selection
    // the caret stands apart from restarts at the caret.
    int32_t anchor = fcp == fSelStop ? fSelStart->GetPos() : fSelStop->GetPos();
    if (fcp == fIndependantCpNav || fSelLen == 0)
      anchor = fcp->GetPos();
    const int32_t pos = T.GetPos();
    if (pos >= anchor) {
      // An empty selection takes T's line too (the end of a wrapped line).
      if (pos == anchor)
        fSelStart->Assign(T);
      else
        fSelStart->SetPos(anchor);
      fSelStop->Assign(T);
      fcp = pos == anchor ? fSelStart : fSelStop;
    } else {
      fSelStart->Assign(T);
      fSelStop->SetPos(anchor);
      fcp = fSelStart;
    }
    fSelLen = anchor - pos;
  }
  if (fSelLen != oldLen || fSelStart->GetPos() != oldStart)
    fsSelLenDirty = true;
}

// Where Home goes on display line li, which holds T: its start, or with
// SmartHome its first non-blank character unless T stands there already
// (pressed again, Home goes to the start) or the line has none.
int32_t TZarvMemo::homeColumn(TZarvNavigator& T, const LineInfo& li) const {
  if (!fSmartHome)
    return 0;
  const char16_t* t = T.GetPar()->ParText;
  int32_t first = li.Start;
  while (first < li.Stop && IsBlank(t[first]))
    ++first;
  if (first == li.Stop || first == T.GetOffset())
    return 0;
  return first - li.Start;
}

bool TZarvMemo::navigate(int key, bool S, bool C, bool A, bool blockGesture) {
  TParagraphsList& L = *fParagraphs;
  if (L.Count() == 0)
    return false;
  const bool persistent = fOptions.testFlag(zvoPersistentBlocks);
  {
    const int32_t cp = fcp->GetParNb();
    if (!(L.Par(cp)->ParState & zvpFormatted))
      FormatNow(cp, cp, true, false);
  }
  if (blockGesture && fOptions.testFlag(zvoBlockSelection) && !fWordWrap && !fBlockSelection) {
    // A column block starts at the caret's column, counted in space widths
    // as the moving column and the mouse count it (after a tab, or with a
    // proportional font, the caret's offset in its line is another number).
    fBlockSelection = true;
    const int32_t col = std::max(0, (fCaretX + fDisplayLeft - fLeftMargin) / std::max(1, fSpaceWidth));
    fBlockStartCol = fBlockStopCol = col;
  }
  if (A && !fBlockSelection)
    return false;
  if (blockGesture)
    C = false; // the block modifiers may include Ctrl: no word moves then
  TCountScope<int32_t> held(ownerId(), fSelMoveUpdateCount);
  TZarvNavigator T(fParagraphs.get());
  T.AttachMemo(this);
  T.Assign(*fcp);
  const int32_t n = std::max(1, fDisplayLines - 1);
  const int32_t lh = std::max(1, fLineHeight);
  auto dropForHorizontal = [&] {
    fXCaretRunningPos = INT32_MIN;
    if (!S && !persistent)
      fBlockSelection = false;
  };
  switch (key) {
  case Qt::Key_Left: {
    dropForHorizontal();
    if (T.GetPos() == 0 && fExtraCols.isEmpty()) {
      // Nothing before the start of the text: without Shift (and without
      // persistent blocks) the selection goes, otherwise nothing changes;
      // in particular a persistent selection keeps the caret at its end.
      if (!S && !persistent)
        break;
      held.Release();
      DoSelMove();
      return true;
    }
    if (!C) {
      if (!fExtraCols.isEmpty())
        fExtraCols.chop(1);
      else
        stepLeft(T);
    } else {
      fExtraCols.clear();
      T.ToPreviousWord(fDelimiters);
    }
    // Folded text is passed: to the end of the shown paragraph before it.
    if (!T.getIsVisible()) {
      int32_t p = T.GetParNb();
      while (p > 0 && (L.Par(p)->ParState & zvpHidden))
        --p;
      T.SetParPos(p, GetParLength(*L.Par(p)));
    }
    break;
  }
  case Qt::Key_Right: {
    dropForHorizontal();
    const ParInfo& par = *T.GetPar();
    const int32_t len = GetParLength(par);
    if (!C) {
      const bool atEnd = T.GetOffset() >= len;
      if (atEnd && ((fOptions.testFlag(zvoKeepColumnPos) && !fOptions.testFlag(zvoWrapCaret)) || fBlockSelection)) {
        fExtraCols += QLatin1Char(' ');
      } else {
        fExtraCols.clear();
        int32_t o = T.GetOffset();
        if (fOptions.testFlag(zvoDiscardTrailingSpaces) && !fBlockSelection && o < len) {
          int32_t e = o;
          while (e < len && IsBlank(par.ParText[e]))
            ++e;
          if (e == len && e > o) {
            T.SetParPos(T.GetParNb(), len);
            break;
          }
        }
        stepRight(T);
      }
    } else {
      fExtraCols.clear();
      if (!fOptions.testFlag(zvoLargeWordSelect) && S) {
        const int32_t p0 = T.GetPos(), par0 = T.GetParNb();
        T.ToEndOfWord(fDelimiters);
        if (T.GetPos() == p0) {
          T.ToNextWord(fDelimiters);
          if (T.GetParNb() != par0)
            T.SetParPos(par0, GetParLength(*L.Par(par0)));
          else
            T.ToEndOfWord(fDelimiters);
        }
      } else {
        T.ToNextWord(fDelimiters);
      }
    }
    if (!T.getIsVisible()) {
      int32_t p = T.GetParNb();
      while (p < L.Count() - 1 && (L.Par(p)->ParState & zvpHidden))
        ++p;
      if (L.Par(p)->ParState & zvpHidden) {
        while (p > 0 && (L.Par(p)->ParState & zvpHidden))
          --p;
        T.SetParPos(p, GetParLength(*L.Par(p)));
      } else {
        T.SetParPos(p, 0);
      }
    }
    break;
  }
  case Qt::Key_Up:
  case Qt::Key_Down: {
    const bool up = key == Qt::Key_Up;
    int32_t line = T.getVisibleLineNumber();
    if (up ? line <= 0 : line >= L.fVisibleLineCount - 1) {
      // Nothing above the first line or below the last: the caret, the
      // selection and the virtual columns stay as they are.
      held.Release();
      DoSelMove();
      return true;
    }
    // The neighbouring paragraph is wrapped first, so the line below or
    // above is its real one.
    const int32_t p = T.GetParNb();
    if (up ? T.GetParLine() == 0 : T.GetParLine() == GetLineCount(*T.GetPar()) - 1) {
      int32_t q = p + (up ? -1 : 1);
      while (q > 0 && q < L.Count() - 1 && (L.Par(q)->ParState & zvpHidden))
        q += up ? -1 : 1;
      if (q >= 0 && q < L.Count() && !(L.Par(q)->ParState & zvpFormatted)) {
        FormatNow(q, q, true, false);
        T.Assign(*fcp);
        line = T.getVisibleLineNumber();
      }
    }
    moveToLineAtX(T, line + (up ? -1 : 1), S);
    break;
  }
  case Qt::Key_PageUp:
  case Qt::Key_PageDown: {
    const bool up = key == Qt::Key_PageUp;
    int32_t line = T.getVisibleLineNumber();
    formatLineRange(up ? line - n : line, up ? line : line + n);
    T.Assign(*fcp);
    line = T.getVisibleLineNumber();
    if (!C && fCaretY >= 0 && fCaretY < viewport()->height()) {
      TFieldScope<bool> internal(ownerId(), fInternalScroll, true);
      const int64_t bottom = std::max<int64_t>(0, int64_t(L.fVisibleLineCount) * lh - viewport()->height() + 3);
      const int64_t top = up ? std::max<int64_t>(0, int64_t(fTopOrigin) - int64_t(n) * lh)
                             : std::min<int64_t>(int64_t(fTopOrigin) + int64_t(n) * lh, bottom);
      SetTopLeft(int32_t(top), fDisplayLeft, fScrollTime);
      // Showing the new page wraps what it shows, which can renumber the
      // lines above the caret.
      T.Assign(*fcp);
      line = T.getVisibleLineNumber();
    }
    const int32_t target = up ? std::max(0, line - n) : std::min(L.fVisibleLineCount - 1, line + n);
    moveToLineAtX(T, target, S);
    break;
  }
  case Qt::Key_Home:
  case Qt::Key_End: {
    fExtraCols.clear();
    if (!persistent)
      fBlockSelection = false;
    fXCaretRunningPos = INT32_MIN;
    const bool home = key == Qt::Key_Home;
    if (C) {
      T.SetPos(home ? 0 : L.fTextLen);
    } else {
      const LineInfo li = GetParLine(*T.GetPar(), T.GetParLine());
      T.SetColNb(home ? homeColumn(T, li) : li.Stop - li.Start);
    }
    break;
  }
  default:
    held.Release();
    return false;
  }
  if (!S && !persistent)
    fBlockSelection = false;
  moveSelectionTo(T, S);
  fUndoBreak = true;
  UpdateCaret(false);
  if (fBlockSelection && S) {
    fBlockStopCol = std::max(0, (fCaretX + fDisplayLeft - fLeftMargin) / std::max(1, fSpaceWidth));
    invalidateSelectionChange();
  }
  ScrollInView();
  held.Release();
  DoSelMove();
  return true;
}

void TZarvMemo::MoveCp(int32_t Pos) try {
  const TEntryScope entry(ownerId());
  fIndependantCpNav->SetPos(std::clamp(Pos, 0, fParagraphs->fTextLen));
  fcp = fIndependantCpNav;
  UpdateCaret(false);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

void TZarvMemo::SelectWords(bool ExtendEnd) try {
  const TEntryScope entry(ownerId());
  const int32_t oldLen = fSelLen;
  const bool caretAtStop = fcp == fSelStop;
  fSelStart->ToStartOfWord(fDelimiters);
  if (ExtendEnd) {
    fSelStop->ToEndOfWord(fDelimiters);
    if (fOptions.testFlag(zvoLargeWordSelect)) {
      const ParInfo& par = *fSelStop->GetPar();
      const int32_t len = GetParLength(par);
      int32_t o = fSelStop->GetOffset();
      while (o < len && fDelimiters.test(zvChar(par.ParText[o])))
        ++o;
      fSelStop->SetParPos(fSelStop->GetParNb(), o);
    }
  }
  const int32_t len = fSelStop->GetPos() - fSelStart->GetPos();
  if (len == 0) {
    fcp = fSelStart;
    fSelLen = 0;
  } else if (caretAtStop) {
    fSelLen = -len;
  } else {
    fcp = fSelStart;
    fSelLen = len;
  }
  if (fSelLen != oldLen)
    fsSelLenDirty = true;
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
