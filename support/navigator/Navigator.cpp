// Text positions: construction and registration, locating the paragraph of
// an offset, cached code and line indexes, lines, columns and content.
// Code and word moves are in NavigatorMoves.cpp, pixel coordinates in
// NavigatorDisplay.cpp.
#include <ZarvMemo/support/navigator/Navigator.h>

#include <ZarvMemo/platform/CalloutGuard.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QObject>
#include <algorithm>

namespace zarv {

TZarvNavigator::TZarvNavigator() = default;

TZarvNavigator::TZarvNavigator(TParagraphsList* list) : fList(list) {}

TZarvNavigator::TZarvNavigator(QObject* AMemo) {
  if (!AMemo)
    return;
  auto* memo = dynamic_cast<TZarvMemoHost*>(AMemo);
  if (!memo)
    throw EZarvError(QString::fromLatin1(SNotAZarvMemo));
  fZvMemo = memo;
  fList = &memo->Paragraphs();
  memo->RegisterNavigator(this);
  fRegistered = true;
}

TZarvNavigator::~TZarvNavigator() {
  if (fRegistered && fZvMemo && !OwnerDestroyed(fZvMemo))
    fZvMemo->UnregisterNavigator(this);
  if (fOnFree)
    fOnFree(*this);
}

void TZarvNavigator::AttachMemo(TZarvMemoHost* memo) {
  Q_ASSERT(!fRegistered);
  fZvMemo = memo;
  fList = memo ? &memo->Paragraphs() : nullptr;
  Invalidate();
}

void TZarvNavigator::Assign(const TZarvNavigator& other) {
  fPos = other.fPos;
  if (other.fList == fList) {
    fPar = other.fPar;
    fParNb = other.fParNb;
    fOffset = other.fOffset;
    fDynNb = other.fDynNb;
    fParLine = other.fParLine;
  } else {
    Invalidate();
  }
  if (fNavLines)
    fNavLines->SetPar(fPar);
}

void TZarvNavigator::Invalidate() {
  fPar = nullptr;
  fParNb = -1;
  fOffset = -1;
  fDynNb = -1;
  fParLine = -1;
}

const LineInfo& TZarvNavigator::lineInfo(int32_t line) {
  if (fPar->ParState & zvpHasExtra)
    return line == 0 ? fPar->ParExtra->FirstLine : fPar->ParExtra->Lines[static_cast<size_t>(line - 1)];
  fScratchLine = GetFirstLine(*fPar);
  return fScratchLine;
}

// The first line index in from..to - 1 for which `before` is false, else
// `to`; `before` must hold for a prefix of the lines (their starts and
// stops never decrease), so a binary search finds it. A long wrapped
// paragraph has many thousands of lines: a walk from its start would cost
// their number on every move.
template <class Before>
int32_t TZarvNavigator::firstLineWhere(int32_t from, int32_t to, Before before) {
  while (from < to) {
    const int32_t mid = from + (to - from) / 2;
    if (before(lineInfo(mid)))
      from = mid + 1;
    else
      to = mid;
  }
  return from;
}

// Moves inside the cached paragraph: a forward move advances the cached
// code and line indexes (by binary search), a backward move forgets them.
void TZarvNavigator::setWithinPar(int32_t newOffset) {
  if (fParLine == kUpperAtWrap && newOffset != fOffset)
    fParLine = -1;
  if (newOffset >= fOffset) {
    if (fDynNb >= 0) {
      const auto& codes = GetDynArray(*fPar);
      fDynNb = static_cast<int32_t>(
          std::partition_point(codes.begin() + std::min<size_t>(size_t(fDynNb), codes.size()), codes.end(),
                               [newOffset](const DynInfoRec& d) { return d.DynOffset < newOffset; }) -
          codes.begin());
    }
    if (fParLine >= 0) {
      const int32_t last = GetLineCount(*fPar) - 1;
      fParLine = firstLineWhere(fParLine, last, [newOffset](const LineInfo& l) { return newOffset >= l.Stop; });
    }
  } else {
    fDynNb = -1;
    fParLine = -1;
  }
  fOffset = newOffset;
  fPos = freshPar()->StartOffset + newOffset;
}

void TZarvNavigator::SetPos(int32_t P) {
  if (fPar) {
    const int32_t start = freshPar()->StartOffset;
    if (P >= start && P <= start + GetParLength(*fPar) + 1) {
      setWithinPar(P - start);
      return;
    }
  }
  fPos = P;
  Invalidate();
}

void TZarvNavigator::locate() {
  Q_ASSERT(fList);
  fParNb = fList->LocatePar(fPos);
  fPar = fList->Par(fParNb);
  fOffset = fPos - freshPar()->StartOffset;
  fDynNb = -1;
  fParLine = -1;
}

QString TZarvNavigator::CheckIntegrity() const {
  if (!fList)
    return {};
  if (fPos < 0 || fPos > fList->fTextLen)
    return QStringLiteral("navigator at %1 outside 0..%2").arg(fPos).arg(fList->fTextLen);
  if (!fPar)
    return {};
  if (fParNb < 0 || fParNb >= fList->Count() || fPar != fList->Par(fParNb))
    return QStringLiteral("navigator at %1 caches paragraph %2 of %3").arg(fPos).arg(fParNb).arg(fList->Count());
  if (fOffset != fPos - freshPar()->StartOffset || fOffset < 0 || fOffset > GetParLength(*fPar) + 1)
    return QStringLiteral("navigator at %1 caches offset %2 in paragraph %3").arg(fPos).arg(fOffset).arg(fParNb);
  if (fDynNb > GetDynCount(*fPar))
    return QStringLiteral("navigator at %1 caches code index %2 of %3").arg(fPos).arg(fDynNb).arg(GetDynCount(*fPar));
  return {};
}

int32_t TZarvNavigator::GetParNb() {
  if (!fPar)
    locate();
  return fParNb;
}

ParInfo* TZarvNavigator::freshPar() const {
  if (fPar && fParNb >= fList->ShiftFrom())
    fList->Par(fParNb);
  return fPar;
}

ParInfo* TZarvNavigator::GetPar() {
  if (!fPar)
    locate();
  return freshPar();
}

int32_t TZarvNavigator::GetOffset() {
  if (!fPar)
    locate();
  return fOffset;
}

void TZarvNavigator::setParNb(int32_t N) {
  fPar = fList->getParPointers(N);
  fParNb = N;
  fOffset = 0;
  fPos = freshPar()->StartOffset;
  fDynNb = 0;
  fParLine = 0;
}

void TZarvNavigator::setParOffset(int32_t O) {
  GetPar();
  O = std::clamp(O, 0, GetParLength(*fPar));
  if (fParLine == kUpperAtWrap && O != fOffset)
    fParLine = -1;
  fOffset = O;
  fPos = freshPar()->StartOffset + O;
  if (fDynNb >= 0) {
    fDynNb = -1;
    GetDynNb();
  }
  if (fParLine >= 0) {
    // At a wrap point the position belongs to the end of the upper line.
    int32_t line = 0;
    if (fPar->ParState & zvpHasExtra) {
      const auto& lines = fPar->ParExtra->Lines;
      line = static_cast<int32_t>(
          std::partition_point(lines.begin(), lines.end(), [O](const LineInfo& l) { return l.Start < O; }) -
          lines.begin());
    }
    fParLine = line;
  }
}

// ---- Lines and columns --------------------------------------------------------------

int32_t TZarvNavigator::GetParLine() {
  GetPar();
  if (fParLine < 0) {
    // The first line whose Stop lies beyond the offset, else the last line:
    // a position at a wrap point starts the lower line, unless it was kept
    // at the end of the upper one.
    const bool upper = fParLine == kUpperAtWrap;
    const int32_t last = GetLineCount(*fPar) - 1;
    const int32_t o = fOffset;
    fParLine = firstLineWhere(0, last, [o, upper](const LineInfo& l) { return o > l.Stop || (o == l.Stop && !upper); });
  }
  return fParLine;
}

void TZarvNavigator::ForgetIndexesAfterWrap() {
  bool upper = false;
  if (fPar && fParLine >= 0) {
    const int32_t last = GetLineCount(*fPar) - 1;
    upper = fParLine < last && lineInfo(fParLine).Stop == fOffset;
  }
  fDynNb = -1;
  fParLine = upper ? kUpperAtWrap : -1;
}

void TZarvNavigator::SetParLine(int32_t L) {
  GetPar();
  L = std::clamp(L, 0, GetLineCount(*fPar) - 1);
  fOffset = lineInfo(L).Start;
  fPos = freshPar()->StartOffset + fOffset;
  fDynNb = -1;
  fParLine = L;
}

int32_t TZarvNavigator::GetLineNb() {
  if (fZvMemo && fZvMemo->fWordWrap)
    return GetPar()->StartLine + GetParLine();
  return GetParNb();
}

namespace {
// Estimate of the index of `value` in a sorted range [lo, hi] with known end
// values, computed in 64 bits.
int32_t interpolate(int32_t lo, int32_t hi, int64_t loVal, int64_t hiVal, int64_t value) {
  if (hiVal <= loVal)
    return lo;
  const int64_t n = lo + (static_cast<int64_t>(hi - lo) * (value - loVal)) / (hiVal - loVal);
  return static_cast<int32_t>(std::clamp<int64_t>(n, lo, hi));
}
} // namespace

void TZarvNavigator::SetLineNb(int32_t N) {
  const int32_t count = fList->Count();
  if (!fZvMemo || (!fZvMemo->fWordWrap && fZvMemo->fAlignment == taLeftJustify)) {
    setParNb(std::clamp(N, 0, count - 1));
    return;
  }
  N = std::clamp(N, 0, std::max(0, fList->fTrueLineCount - 1));
  int32_t p = interpolate(0, count - 1, 0, fList->fTrueLineCount, N);
  while (p > 0 && fList->Par(p)->StartLine > N)
    --p;
  while (p < count - 1 && fList->Par(p)->StartLine + GetLineCount(*fList->Par(p)) <= N)
    ++p;
  setParNb(p);
  const int32_t line = std::clamp(N - freshPar()->StartLine, 0, GetLineCount(*fPar) - 1);
  const LineInfo& li = lineInfo(line);
  fParLine = line;
  fOffset = li.Start;
  fPos = freshPar()->StartOffset + fOffset;
  fDynNb = static_cast<int32_t>(li.StartDynNb);
}

int32_t TZarvNavigator::getVisibleLineNumber() {
  GetPar();
  if (fPar->ParState & zvpHidden)
    return freshPar()->StartLine;
  return freshPar()->StartLine + GetParLine();
}

void TZarvNavigator::setVisibleLineNumber(int32_t N) {
  const int32_t count = fList->Count();
  const bool linesArePars = !fZvMemo || (!fZvMemo->fWordWrap && fZvMemo->fAlignment == taLeftJustify);
  if (linesArePars && N >= 0 && N < count) {
    const ParInfo& p = *fList->Par(N);
    if (!(p.ParState & zvpHidden) && p.StartLine == N) {
      setParNb(N);
      return;
    }
  }
  N = std::clamp(N, 0, std::max(0, fList->fVisibleLineCount - 1));
  // Interpolate from the current position towards the target over what
  // lies between them.
  const int32_t p0 = GetParNb();
  const int32_t v0 = getVisibleLineNumber();
  int32_t p = N >= v0 ? interpolate(p0, count - 1, v0, fList->fVisibleLineCount, N) : interpolate(0, p0, 0, v0, N);
  while (p < count - 1 && fList->Par(p + 1)->StartLine <= N)
    ++p;
  while (p > 0 && fList->Par(p)->StartLine > N)
    --p;
  // Hidden paragraphs share the next visible paragraph's line number.
  while (p < count - 1 && (fList->Par(p)->ParState & zvpHidden) && fList->Par(p + 1)->StartLine <= N)
    ++p;
  setParNb(p);
  const int32_t line = std::clamp(N - freshPar()->StartLine, 0, GetLineCount(*fPar) - 1);
  if (line > 0)
    SetParLine(line);
}

bool TZarvNavigator::getIsVisible() { return !(GetPar()->ParState & zvpHidden); }

int32_t TZarvNavigator::GetColNb() {
  const int32_t line = GetParLine();
  return fOffset - lineInfo(line).Start;
}

void TZarvNavigator::SetColNb(int32_t C) {
  const int32_t line = GetParLine();
  const LineInfo& li = lineInfo(line);
  C = std::clamp(C, 0, li.Stop - li.Start);
  fOffset = li.Start + C;
  fPos = freshPar()->StartOffset + fOffset;
  fDynNb = -1;
}

TLinesList& TZarvNavigator::NavLines() {
  if (!fNavLines)
    fNavLines = std::make_unique<TLinesList>();
  fNavLines->SetPar(GetPar());
  return *fNavLines;
}

// ---- Content ------------------------------------------------------------------------------

char16_t TZarvNavigator::GetText() {
  GetPar();
  const int32_t len = GetParLength(*fPar);
  if (fOffset < len)
    return fPar->ParText[fOffset];
  return fOffset == len ? u'\r' : u'\n';
}

const TCharSet& TZarvNavigator::delimiters() const {
  static const TCharSet defaults = DefaultDelimiters();
  return fZvMemo ? fZvMemo->fDelimiters : defaults;
}

QString TZarvNavigator::GetWord() {
  GetPar();
  const TCharSet& delims = delimiters();
  const int32_t len = GetParLength(*fPar);
  const char16_t* t = fPar->ParText;
  int32_t end = std::min(fOffset, len);
  while (end < len && !delims.test(zvChar(t[end])))
    ++end;
  int32_t start = end;
  while (start > 0 && !delims.test(zvChar(t[start - 1])))
    --start;
  return start < end ? QString(reinterpret_cast<const QChar*>(t + start), end - start) : QString();
}

QString TZarvNavigator::GetLine() {
  const LineInfo& li = lineInfo(GetParLine());
  if (li.Stop <= li.Start)
    return {};
  return QString(reinterpret_cast<const QChar*>(fPar->ParText + li.Start), li.Stop - li.Start);
}

int32_t TZarvNavigator::GetTextBuf(char16_t* Buf, int32_t N) {
  GetPar();
  int32_t done = 0;
  int32_t parNb = fParNb;
  int32_t off = fOffset;
  const int32_t count = fList->Count();
  while (done < N && parNb < count) {
    const ParInfo& p = *fList->Par(parNb);
    const int32_t len = GetParLength(p);
    if (off < len) {
      const int32_t n = std::min(N - done, len - off);
      std::copy(p.ParText + off, p.ParText + off + n, Buf + done);
      done += n;
      off += n;
      continue;
    }
    if (parNb == count - 1)
      break;
    if (off == len && done < N) {
      Buf[done++] = u'\r';
      ++off;
    }
    if (off == len + 1 && done < N) {
      Buf[done++] = u'\n';
      ++parNb;
      off = 0;
    }
  }
  Buf[done] = 0;
  return done;
}

TZarvFontStyles TZarvNavigator::GetStyle() {
  if (!fList->fStaticFormat)
    return 0;
  const LineInfo& li = lineInfo(GetParLine());
  TZarvFontStyles style = li.StartAttrib;
  const int32_t stop = std::min(fOffset, GetParLength(*fPar));
  for (int32_t i = li.Start; i < stop; ++i)
    XORStyleCode(style, fPar->ParText[i]);
  return style;
}

DynInfoRec* TZarvNavigator::GetpDynInfo() {
  const int32_t d = GetDynNb();
  if (d > 0)
    return &fPar->ParExtra->DynCodes[static_cast<size_t>(d - 1)];
  return GetStartDynAttrib(*fPar);
}

int32_t TZarvNavigator::GetContext() {
  const DynInfoRec* d = GetpDynInfo();
  return d->DynStyle != 0 ? d->Context : 0;
}

void TZarvNavigator::SetLocated(int32_t parNb, int32_t offset, int32_t dynNb, int32_t parLine) {
  fPar = fList->Par(parNb);
  fParNb = parNb;
  fOffset = offset;
  fPos = freshPar()->StartOffset + offset;
  fDynNb = dynNb;
  fParLine = parLine;
}

} // namespace zarv
