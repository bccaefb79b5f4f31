// Text replacement in the paragraph store.
//
// InsertBuf replaces the text between two navigators by a buffer that may
// hold line breaks of any style. It works in named steps: locate both ends,
// split the buffer into pieces at breaks, apply the trailing-blank rule,
// collect the static styles the replaced text switched and build closing
// codes, check every resulting length before anything is written, then
// either edit one paragraph in place or build the new paragraphs, move the
// records after the range once, and shift offsets and lines chunk-wise.
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace zarv {

void MakeOwnTextBuffer(TParagraphsList& list, int32_t parNb, ParInfo* par) {
  if (!par)
    par = list.getParPointers(parNb);
  if (par->ParState & zvpOwnTextBuffer)
    return;
  const int32_t len = GetParLength(*par);
  char16_t* own = nullptr;
  if (len > 0) {
    own = zvAllocStrBuf(len + 1);
    std::memcpy(own, par->ParText, static_cast<size_t>(len) * sizeof(char16_t));
    own[len] = 0;
  }
  par->ParText = own;
  par->ParState |= zvpOwnTextBuffer;
}

void TParagraphsList::moveRecords(int32_t from, int32_t to, int32_t count) {
  if (count <= 0 || from == to)
    return;
  SettleAll(); // records change places: no shift may stay pending
  const int32_t per = fElementsPerBuffer;
  const size_t rec = static_cast<size_t>(fElementSpace);
  if (to < from) {
    int32_t done = 0;
    while (done < count) {
      const int32_t f = from + done, t = to + done;
      const int32_t run = std::min({count - done, per - f % per, per - t % per});
      std::memmove(PointerUnchecked(t), PointerUnchecked(f), static_cast<size_t>(run) * rec);
      done += run;
    }
  } else {
    int32_t left = count; // records still to move, taken from the end
    while (left > 0) {
      const int32_t fEnd = from + left, tEnd = to + left; // exclusive ends
      const int32_t run = std::min({left, (fEnd - 1) % per + 1, (tEnd - 1) % per + 1});
      std::memmove(PointerUnchecked(tEnd - run), PointerUnchecked(fEnd - run), static_cast<size_t>(run) * rec);
      left -= run;
    }
  }
}

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

struct Piece {
  const char16_t* text;
  int32_t len;
};

TZarvFontStyles xorCodes(TZarvFontStyles f, const char16_t* p, int32_t n) {
  if (n <= 0)
    return f;
  for (int32_t i = 0; i < n; ++i)
    if (IsStyleCode(p[i]))
      XORStyleCode(f, p[i]);
  return f;
}

LineInfo& lineAt(ParExtraInfo& x, int32_t i) { return i == 0 ? x.FirstLine : x.Lines[static_cast<size_t>(i - 1)]; }

} // namespace

// One InsertBuf call. Reads everything it needs first, validates, then writes.
class TInsertBufOp {
public:
  TInsertBufOp(TParagraphsList& list, const char16_t* buf, TZarvNavigator& a, TZarvNavigator& b, bool discard,
               bool checkFormat)
      : L(list), fBuf(buf), A(a), B(b), fDiscard(discard), fCheckFormat(checkFormat) {}

  void run(int32_t& OffsetDelta, int32_t& LineDelta, bool& DynsChanged);

private:
  void locateEnds();
  void expandFoldedEnds();
  void splitBuffer();
  void discardTrailingBlanks();
  void scanReplacedRange();
  void buildClosingCodes();
  void validateLengths();
  void editOneParagraph();
  void correctLines(ParInfo& par, int32_t insLen);
  void replaceParagraphs();
  void buildNewParagraphs(std::vector<ParInfo>& np);
  void foldBookkeeping(std::vector<ParInfo>& np);
  void assignStartRecords(std::vector<ParInfo>& np);
  void placeNavigators();

  int32_t pieceTotal() const {
    int64_t n = 0;
    for (const Piece& p : fPieces)
      n += p.len;
    return static_cast<int32_t>(n);
  }

  TParagraphsList& L;
  const char16_t* fBuf;
  std::u16string fBufCopy;
  TZarvNavigator& A;
  TZarvNavigator& B;
  bool fDiscard;
  bool fCheckFormat;

  // S, E: first and last paragraph of the replaced range; s, e: the offsets
  // in them; dA, dB: the navigators' code indexes there; N0: the paragraph
  // count on entry.
  int32_t S = 0, E = 0, s = 0, e = 0, dA = 0, dB = 0, N0 = 0;
  int32_t fStartPos = 0, fStopPos = 0;
  std::vector<Piece> fPieces;
  int32_t k = 0;         // breaks in the buffer (new paragraphs - 1)
  TZarvFontStyles F = 0; // styles the deleted text switched (static format)
  std::u16string Z;      // closing codes that restore them after the insertion
  bool fDynsChanged = false;
  int32_t fOffsetDelta = 0, fLineDelta = 0, fVisDelta = 0;
  int32_t fExtraStopPar = -1; // a paragraph after the range whose block start changed
};

void TInsertBufOp::run(int32_t& OffsetDelta, int32_t& LineDelta, bool& DynsChanged) {
  L.EnsureOneParagraph();
  // Run blocks collapsed around either end are opened first, so that no
  // edited text stays hidden.
  A.ExpandAllLevels();
  B.ExpandAllLevels();
  locateEnds();
  expandFoldedEnds();
  splitBuffer();
  discardTrailingBlanks();
  scanReplacedRange();
  buildClosingCodes();
  validateLengths();

  L.fModified = true;
  L.ExtendMods(S, A.GetParLine(), E);
  if (S == E && k == 0)
    editOneParagraph();
  else
    replaceParagraphs();
  L.fModLinesOffset += fVisDelta;
  L.fTextLen += fOffsetDelta;
  L.fTrueLineCount += fLineDelta;
  L.fVisibleLineCount += fVisDelta;
  placeNavigators();
  OffsetDelta = fOffsetDelta;
  LineDelta = fLineDelta;
  DynsChanged = fDynsChanged;
}

// Both ends inside the text, StartNav first, and never on the LF half of a
// break: a start there means the break itself, a stop there takes the whole
// break.
void TInsertBufOp::locateEnds() {
  const int32_t len = L.fTextLen;
  // Cached indexes of the caller's navigators may predate earlier edits;
  // only their positions are trusted.
  A.Invalidate();
  B.Invalidate();
  int32_t p0 = std::clamp(A.GetPos(), 0, len), p1 = std::clamp(B.GetPos(), 0, len);
  Q_ASSERT(p0 <= p1);
  if (p0 > p1)
    std::swap(p0, p1);
  A.SetPos(p0);
  B.SetPos(p1);
  if (A.GetOffset() > GetParLength(*A.GetPar()))
    A.SetPos(p0 - 1);
  if (B.GetOffset() > GetParLength(*B.GetPar()))
    B.SetPos(B.GetParNb() + 1 < L.Count() ? p1 + 1 : p1 - 1);
  S = A.GetParNb();
  s = A.GetOffset();
  E = B.GetParNb();
  e = B.GetOffset();
  N0 = L.Count();
  // The buffer may point into the text being replaced.
  if (fBuf) {
    for (int32_t i : {S, E}) {
      const ParInfo& p = *L.Par(i);
      const char16_t* t = p.ParText;
      if (t && fBuf >= t && fBuf <= t + GetParLength(p)) {
        fBufCopy = fBuf;
        fBuf = fBufCopy.c_str();
        break;
      }
    }
  }
}

// Paragraph blocks folded around either end are opened first, so that no
// edited text stays hidden and no folded block loses its first paragraph.
void TInsertBufOp::expandFoldedEnds() {
  for (int32_t p : {S, E}) {
    if (!((L.Par(p)->ParState & zvpHidden) || L.IsCollapsedBlockStart(p)))
      continue;
    const int32_t lambda = zvsGetParLevel(*L.Par(p));
    L.CollapseExpandPar(p, 1, lambda, false);
    // A block that starts here is opened as well.
    for (int32_t l = zvsGetParBlockStartLevel(*L.Par(p)) + 1; l <= lambda; ++l)
      L.CollapseExpandBlock(p, l, false);
  }
  A.ForgetIndexes();
  B.ForgetIndexes();
}

// Pieces between breaks; CR LF and LF CR are one break each.
void TInsertBufOp::splitBuffer() {
  fPieces.clear();
  const char16_t* p = fBuf;
  const char16_t* start = p;
  if (p) {
    int64_t total = 0;
    while (*p) {
      const char16_t c = *p;
      if (c == u'\r' || c == u'\n') {
        const int64_t n = p - start;
        if (n > std::numeric_limits<int32_t>::max())
          throw ETextTooLong();
        fPieces.push_back({start, static_cast<int32_t>(n)});
        const char16_t other = c == u'\r' ? u'\n' : u'\r';
        p += p[1] == other ? 2 : 1;
        start = p;
        continue;
      }
      if (L.fStaticFormat && IsStyleCode(c))
        XORStyleCode(F, c);
      ++p;
      if (++total > std::numeric_limits<int32_t>::max())
        throw ETextTooLong();
    }
  }
  const int64_t n = p ? p - start : 0;
  if (n > std::numeric_limits<int32_t>::max())
    throw ETextTooLong();
  fPieces.push_back({start, static_cast<int32_t>(n)});
  k = static_cast<int32_t>(fPieces.size()) - 1;
}

void TInsertBufOp::discardTrailingBlanks() {
  if (!fDiscard)
    return;
  const bool stopAtEnd = e >= GetParLength(*L.Par(E));
  const Piece& first = fPieces.front();
  const bool firstBlank = std::all_of(first.text, first.text + first.len, isBlank);
  if ((k > 0 || stopAtEnd) && firstBlank) {
    const char16_t* t = L.Par(S)->ParText;
    int32_t ns = s;
    while (ns > 0 && isBlank(t[ns - 1]))
      --ns;
    if (ns != s) {
      s = ns;
      A.setParOffset(s);
    }
  }
  for (int32_t i = 0; i <= k; ++i) {
    if (i == k && !stopAtEnd)
      break;
    Piece& p = fPieces[static_cast<size_t>(i)];
    while (p.len > 0 && isBlank(p.text[p.len - 1]))
      --p.len;
  }
}

void TInsertBufOp::scanReplacedRange() {
  fStartPos = A.GetPos();
  fStopPos = B.GetPos();
  dA = A.GetDynNb();
  dB = B.GetDynNb();
  const ParInfo& ps = *L.Par(S);
  if (S == E) {
    fDynsChanged = dB > dA;
    if (L.fStaticFormat)
      F = xorCodes(F, ps.ParText + s, e - s);
    return;
  }
  fDynsChanged = GetDynCount(ps) > dA || dB > 0;
  if (L.fStaticFormat)
    F = xorCodes(F, ps.ParText + s, GetParLength(ps) - s);
  for (int32_t i = S + 1; i < E; ++i) {
    const ParInfo& p = *L.Par(i);
    if (GetDynCount(p) > 0)
      fDynsChanged = true;
    if (L.fStaticFormat)
      F = xorCodes(F, p.ParText, GetParLength(p));
  }
  if (L.fStaticFormat)
    F = xorCodes(F, L.Par(E)->ParText, e);
}

// Codes that switch the styles back, so that the text after the replaced
// range keeps the styles it had.
void TInsertBufOp::buildClosingCodes() {
  Z.clear();
  if (!fCheckFormat || F == 0)
    return;
  if (F & fsUnderline)
    Z += chUnderlineCode;
  if (F & fsItalic)
    Z += chItalicCode;
  if (F & fsBold)
    Z += chBoldCode;
  if (F & fsHighlight)
    Z += chHighlightCode;
  if (F & fsAltFont)
    Z += chAltFontCode;
}

// Every new length and the new character count must fit before anything is
// written, so that a refused edit leaves the text exactly as it was.
void TInsertBufOp::validateLengths() {
  const int64_t zLen = static_cast<int64_t>(Z.size());
  int64_t inserted = zLen + 2 * static_cast<int64_t>(k);
  for (const Piece& p : fPieces)
    inserted += p.len;
  const int64_t newTextLen = static_cast<int64_t>(L.fTextLen) + inserted - (fStopPos - fStartPos);
  if (newTextLen > std::numeric_limits<int32_t>::max())
    throw ETextTooLong();
  const int64_t tail = GetParLength(*L.Par(E)) - e;
  for (int32_t i = 0; i <= k; ++i) {
    int64_t len = fPieces[static_cast<size_t>(i)].len;
    if (i == 0)
      len += s;
    if (i == k)
      len += zLen + tail;
    zvGrownCapacity(len);
  }
}

void TInsertBufOp::editOneParagraph() {
  ParInfo& par = *L.Par(S);
  const int32_t oldLen = GetParLength(par);
  const Piece& piece = fPieces.front();
  const int32_t insLen = piece.len + static_cast<int32_t>(Z.size());
  const int32_t newLen = oldLen - (e - s) + insLen;
  fOffsetDelta = newLen - oldLen;
  const int32_t lS = A.GetParLine(), lE = B.GetParLine();

  MakeOwnTextBuffer(L, S, &par);
  if (par.ParState & zvpHasExtra) {
    TDynInfoArray& codes = par.ParExtra->DynCodes;
    for (size_t i = static_cast<size_t>(dB); i < codes.size(); ++i)
      codes[i].DynOffset += fOffsetDelta;
    codes.erase(codes.begin() + dA, codes.begin() + dB);
  }

  // Storage: move the tail in place while the buffer is not too large,
  // shrink it when 1/8 or more would be unused, grow it with 1/64 slack.
  const int32_t cap = zvStrBufSize(par.ParText);
  const int32_t tailLen = oldLen - e;
  char16_t* t = par.ParText;
  if (newLen < cap) {
    if (tailLen > 0)
      std::memmove(t + s + insLen, t + e, static_cast<size_t>(tailLen) * sizeof(char16_t));
    if (cap >= newLen + newLen / 8)
      t = zvReallocStrBuf(t, zvGrownCapacity(newLen));
  } else if (newLen > 0) {
    char16_t* grown = zvAllocStrBuf(zvGrownCapacity(newLen));
    if (s > 0)
      std::memcpy(grown, t, static_cast<size_t>(s) * sizeof(char16_t));
    if (tailLen > 0)
      std::memcpy(grown + s + insLen, t + e, static_cast<size_t>(tailLen) * sizeof(char16_t));
    zvFreeStrBuf(t);
    t = grown;
  }
  if (t) {
    if (piece.len > 0)
      std::memcpy(t + s, piece.text, static_cast<size_t>(piece.len) * sizeof(char16_t));
    if (!Z.empty())
      std::memcpy(t + s + piece.len, Z.data(), Z.size() * sizeof(char16_t));
    t[newLen] = 0;
  }
  par.ParText = t;
  // A compact paragraph that grows past the compact limit becomes extended
  // with its one line already spanning the new length.
  const bool hadLines = par.ParState & zvpHasExtra;
  SetParLength(par, newLen);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);

  if (hadLines) {
    ParExtraInfo& x = *par.ParExtra;
    const int32_t oldLines = 1 + static_cast<int32_t>(x.Lines.size());
    if (fDynsChanged) {
      x.Lines.resize(static_cast<size_t>(lS));
      lineAt(x, lS).Stop = newLen;
      fLineDelta = lS + 1 - oldLines;
      if (!(par.ParState & zvpHidden))
        fVisDelta = fLineDelta;
    } else {
      // The line holding the start takes the whole changed text, up to the
      // end of the line holding the stop; the lines between become empty.
      // An incremental re-wrap from the start line then cannot take an old
      // line whose text changed for an unchanged one.
      const int32_t end = lineAt(x, lE).Stop + fOffsetDelta;
      lineAt(x, lS).Stop = end;
      for (int32_t i = lS + 1; i <= lE; ++i)
        lineAt(x, i).Start = lineAt(x, i).Stop = end;
      for (int32_t i = lE + 1; i < oldLines; ++i) {
        LineInfo& li = lineAt(x, i);
        li.Start += fOffsetDelta;
        li.Stop += fOffsetDelta;
        li.JustifyStart += fOffsetDelta;
      }
    }
  }
  // Only this paragraph needs re-wrapping unless style runs were disturbed.
  L.fNoCompleteFormat = !fDynsChanged;
  L.UpdateOffsetsLines(S + 1, fOffsetDelta, fVisDelta);
}

void TInsertBufOp::replaceParagraphs() {
  L.SettleAll(); // records change places below
  std::vector<ParInfo> np(static_cast<size_t>(k + 1));
  buildNewParagraphs(np);
  foldBookkeeping(np);
  assignStartRecords(np);

  // Line deltas: every new paragraph counts one line until it is formatted.
  fLineDelta = k + 1;
  for (const ParInfo& p : np)
    if (!(p.ParState & zvpHidden))
      ++fVisDelta;
  for (int32_t i = S; i <= E; ++i) {
    fLineDelta -= GetLineCount(*L.Par(i));
    fVisDelta -= L.VisibleLinesOf(i);
  }
  int64_t inserted = 2 * static_cast<int64_t>(k) + static_cast<int64_t>(Z.size()) + pieceTotal();
  fOffsetDelta = static_cast<int32_t>(inserted - (fStopPos - fStartPos));

  const int32_t d = k - (E - S);
  if (L.fUpdateStartPar > S)
    L.fUpdateStartPar = L.fUpdateStartPar <= E ? S : L.fUpdateStartPar + d;
  L.fUpdateStopPar = L.fUpdateStopPar > E ? L.fUpdateStopPar + d : S + k;

  for (int32_t i = S; i <= E; ++i)
    L.releaseParagraph(*L.Par(i));
  const int32_t after = N0 - (E + 1);
  if (d > 0)
    L.SetCount(N0 + d);
  L.moveRecords(E + 1, E + 1 + d, after);
  for (int32_t i = 0; i <= k; ++i)
    *L.Par(S + i) = np[static_cast<size_t>(i)];
  L.SetCount(N0 + d);
  const int32_t count = L.Count();
  if (L.Capacity() > count + count / 16 + 8)
    L.SetCapacity(count + count / 32 + 4);

  if (fExtraStopPar > L.fModStopPar)
    L.fModStopPar = fExtraStopPar;
  L.fModStopPar += d;
  L.UpdateOffsetsLines(S + k + 1, fOffsetDelta, fVisDelta);
}

// Texts, codes, lengths, states, offsets and lines of the new paragraphs.
void TInsertBufOp::buildNewParagraphs(std::vector<ParInfo>& np) {
  const ParInfo& ps = *L.Par(S);
  const ParInfo& pe = *L.Par(E);
  const int32_t tailLen = GetParLength(pe) - e;
  const int32_t zLen = static_cast<int32_t>(Z.size());
  int32_t offset = ps.StartOffset;
  int32_t line = ps.StartLine;
  for (int32_t i = 0; i <= k; ++i) {
    ParInfo& p = np[static_cast<size_t>(i)];
    p = ParInfo{};
    p.ParText = nullptr;
    if (i == 0)
      p.ParState = static_cast<TParStates>((ps.ParState & (zvpNoWrap | zvpHidden)) | zvpOwnTextBuffer);
    else
      p.ParState = static_cast<TParStates>((np[static_cast<size_t>(i - 1)].ParState & zvpHidden) | zvpOwnTextBuffer);
    const Piece& piece = fPieces[static_cast<size_t>(i)];
    const int32_t head = i == 0 ? s : 0;
    const int32_t tail = i == k ? zLen + tailLen : 0;
    const int32_t len = head + piece.len + tail;
    if (len > 0) {
      char16_t* t = zvAllocStrBuf(zvGrownCapacity(len));
      if (head > 0)
        std::memcpy(t, ps.ParText, static_cast<size_t>(head) * sizeof(char16_t));
      if (piece.len > 0)
        std::memcpy(t + head, piece.text, static_cast<size_t>(piece.len) * sizeof(char16_t));
      if (i == k) {
        if (zLen > 0)
          std::memcpy(t + head + piece.len, Z.data(), static_cast<size_t>(zLen) * sizeof(char16_t));
        if (tailLen > 0)
          std::memcpy(t + head + piece.len + zLen, pe.ParText + e, static_cast<size_t>(tailLen) * sizeof(char16_t));
      }
      t[len] = 0;
      p.ParText = t;
    }
    SetParLength(p, len);
    p.StartOffset = offset;
    p.StartLine = line;
    offset += len + 2;
    if (!(p.ParState & zvpHidden))
      ++line;
  }

  // Codes: the first dA codes of S stay with the first paragraph; the codes
  // of E from the stop on move to the last one, shifted to the new tail.
  ParInfo& first = np.front();
  ParInfo& last = np.back();
  const auto& codesS = GetDynArray(ps);
  if (dA > 0)
    GetDynArrayForWrite(first).assign(codesS.begin(), codesS.begin() + dA);
  const auto& codesE = GetDynArray(pe);
  if (dB < static_cast<int32_t>(codesE.size())) {
    const int32_t shift = GetParLength(last) - tailLen - e;
    TDynInfoArray& out = GetDynArrayForWrite(last);
    for (size_t i = static_cast<size_t>(dB); i < codesE.size(); ++i) {
      out.push_back(codesE[i]);
      out.back().DynOffset += shift;
    }
  }
  first.ParState |= ps.ParState & (zvpSSDone | zvpKeywDone);
}

// New paragraphs inherit the block nesting of S: the first keeps the blocks
// that start in S, the last ends at the lowest level the range reached.
void TInsertBufOp::foldBookkeeping(std::vector<ParInfo>& np) {
  const ParInfo& ps = *L.Par(S);
  const ParInfo& pe = *L.Par(E);
  const int lambda = zvsGetParLevel(ps);
  const int startLevel = zvsGetParBlockStartLevel(ps);
  TBlockStates bs = ps.BlockState;
  uint32_t collapsed = zvsGetParBlocksCollapsed(ps);
  if (!(ps.ParState & zvpHidden)) {
    for (int l = startLevel + 1; l <= lambda; ++l) {
      if (l == 1)
        bs &= static_cast<TBlockStates>(~zvbCollapsed);
      else if (l <= 33)
        collapsed &= ~(1u << (l - 2));
    }
  }
  int endLevel = zvsGetParBlockEndLevel(pe);
  for (int32_t i = S; i <= E; ++i)
    endLevel = std::min(endLevel, zvsGetParLevel(*L.Par(i)));

  for (int32_t i = 0; i <= k; ++i) {
    ParInfo& p = np[static_cast<size_t>(i)];
    p.BlockState = static_cast<TBlockStates>(bs & ~zvbEndBlock);
    if (lambda > 1) {
      SetParExtras(p);
      zvsSetParBlocksCollapsed(p, collapsed);
    }
    SetParStartBlock(p, i == 0 ? startLevel : lambda);
  }
  zvsSetParObject(np.front(), zvsGetParObject(ps));
  SetParEndBlock(np.back(), endLevel);

  if (endLevel < zvsGetParBlockEndLevel(pe) && E + 1 < N0) {
    ParInfo& next = *L.Par(E + 1);
    SetParStartBlock(next, endLevel);
    fExtraStopPar = E + 1;
    if ((next.ParState & zvpHidden) && !IsParCollapsedDownTo(next, endLevel)) {
      next.ParState &= static_cast<TParStates>(~zvpHidden);
      const int32_t n = L.VisibleLinesOf(E + 1);
      next.StartLine -= n; // the shift below adds these lines back to it
      fVisDelta += n;
    }
  }
}

void TInsertBufOp::assignStartRecords(std::vector<ParInfo>& np) {
  const ParInfo& ps = *L.Par(S);
  DynInfoRec* startS = GetStartDynAttrib(ps);
  SetStartDynAttrib(np.front(), startS, false);
  TZarvFontStyles style = 0;
  if (L.fStaticFormat) {
    style = GetStartAttrib(ps);
    SetStartAttrib(np.front(), style);
    style = xorCodes(style, ps.ParText, s);
  }
  if (k == 0)
    return;
  DynInfoRec* shared = startS;
  if (dA > 0) {
    const DynInfoRec& inForce = GetDynArray(ps)[static_cast<size_t>(dA - 1)];
    shared = (inForce.DynStyle & dsHasAttrib) ? NewStartRecord(inForce) : nullptr;
  }
  for (int32_t i = 1; i <= k; ++i) {
    ParInfo& p = np[static_cast<size_t>(i)];
    SetStartDynAttrib(p, shared, false);
    if (L.fStaticFormat) {
      const Piece& before = fPieces[static_cast<size_t>(i - 1)];
      style = xorCodes(style, before.text, before.len);
      SetStartAttrib(p, style);
    }
  }
}

void TInsertBufOp::placeNavigators() {
  const int32_t insLast = fPieces.back().len + static_cast<int32_t>(Z.size());
  A.SetLocated(S, s, dA, -1);
  if (k > 0)
    B.SetLocated(S + k, insLast, 0, 0);
  else
    B.SetLocated(S, s + insLast, dA, -1);
}

void TParagraphsList::InsertBuf(const char16_t* Buf, TZarvNavigator& StartNav, TZarvNavigator& StopNav,
                                bool DiscardTrailingSpaces, bool CheckFormat, int32_t& OffsetDelta, int32_t& LineDelta,
                                bool& DynsChanged) {
  ZARV_CHECKED_SCOPE("InsertBuf", TParagraphsList, *this, s.CheckIntegrity());
  Q_ASSERT_X(StartNav.List() == this && StopNav.List() == this, "InsertBuf", "navigators of another text");
  TInsertBufOp op(*this, Buf, StartNav, StopNav, DiscardTrailingSpaces, CheckFormat);
  op.run(OffsetDelta, LineDelta, DynsChanged);
}

} // namespace zarv
