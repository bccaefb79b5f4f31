// Text positions: locating a paragraph from an absolute offset by
// interpolation, and the cached paragraph, code and line indexes.
#include "support/Navigator.h"

#include "support/ParagraphsList.h"

#include <algorithm>

namespace zarv {

TZarvNavigator::TZarvNavigator(TParagraphsList* list) : fList(list) {}

TZarvNavigator::~TZarvNavigator() {
  if (fOnFree)
    fOnFree(*this);
}

void TZarvNavigator::SetList(TParagraphsList* list) {
  fList = list;
  Invalidate();
}

void TZarvNavigator::Assign(const TZarvNavigator& other) {
  fList = other.fList;
  fPos = other.fPos;
  fPar = other.fPar;
  fParNb = other.fParNb;
  fOffset = other.fOffset;
  fDynNb = other.fDynNb;
  fParLine = other.fParLine;
}

void TZarvNavigator::Invalidate() {
  fPar = nullptr;
  fParNb = -1;
  fOffset = -1;
  fDynNb = -1;
  fParLine = -1;
}

void TZarvNavigator::SetPos(int32_t P) {
  if (fPar) {
    const int32_t start = fPar->StartOffset;
    if (P >= start && P <= start + GetParLength(*fPar) + 1) {
      const int32_t newOffset = P - start;
      if (newOffset >= fOffset) {
        if (fDynNb >= 0) {
          const auto& codes = GetDynArray(*fPar);
          while (fDynNb < static_cast<int32_t>(codes.size()) && codes[static_cast<size_t>(fDynNb)].DynOffset < newOffset)
            ++fDynNb;
        }
        if (fParLine >= 0 && (fPar->ParState & zvpHasExtra)) {
          const auto& lines = fPar->ParExtra->Lines;
          // The line of an offset is the first line whose Stop exceeds it.
          while (fParLine < static_cast<int32_t>(lines.size())) {
            const LineInfo& cur = fParLine == 0 ? fPar->ParExtra->FirstLine : lines[static_cast<size_t>(fParLine - 1)];
            if (newOffset < cur.Stop)
              break;
            ++fParLine;
          }
        }
      } else {
        fDynNb = -1;
        fParLine = -1;
      }
      fOffset = newOffset;
      fPos = P;
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
  fOffset = fPos - fPar->StartOffset;
  fDynNb = -1;
  fParLine = -1;
}

int32_t TZarvNavigator::GetParNb() {
  if (!fPar)
    locate();
  return fParNb;
}

ParInfo* TZarvNavigator::GetPar() {
  if (!fPar)
    locate();
  return fPar;
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
  fPos = fPar->StartOffset;
  fDynNb = 0;
  fParLine = 0;
}

void TZarvNavigator::setParOffset(int32_t O) {
  GetPar();
  O = std::min(O, GetParLength(*fPar));
  if (O < 0)
    O = 0;
  fOffset = O;
  fPos = fPar->StartOffset + O;
  if (fPar->ParState & zvpHasExtra) {
    if (fDynNb >= 0)
      fDynNb = -1, GetDynNb();
    if (fParLine >= 0) {
      // At a wrap point the position belongs to the end of the upper line.
      const auto& lines = fPar->ParExtra->Lines;
      fParLine = static_cast<int32_t>(std::count_if(lines.begin(), lines.end(), [O](const LineInfo& l) { return l.Start < O; }));
    }
  } else {
    fDynNb = fDynNb >= 0 ? 0 : -1;
    fParLine = fParLine >= 0 ? 0 : -1;
  }
}

int32_t TZarvNavigator::GetDynNb() {
  GetPar();
  if (fDynNb < 0) {
    const auto& codes = GetDynArray(*fPar);
    const int32_t off = fOffset;
    fDynNb = static_cast<int32_t>(
        std::lower_bound(codes.begin(), codes.end(), off, [](const DynInfoRec& d, int32_t o) { return d.DynOffset < o; }) -
        codes.begin());
  }
  return fDynNb;
}

int32_t TZarvNavigator::GetParLine() {
  GetPar();
  if (fParLine < 0) {
    fParLine = 0;
    if (fPar->ParState & zvpHasExtra) {
      const ParExtraInfo& x = *fPar->ParExtra;
      const int32_t n = 1 + static_cast<int32_t>(x.Lines.size());
      // The first line whose Stop lies beyond the offset, else the last line:
      // a position at a wrap point starts the lower line.
      int32_t i = 0;
      while (i < n - 1) {
        const LineInfo& l = i == 0 ? x.FirstLine : x.Lines[static_cast<size_t>(i - 1)];
        if (fOffset < l.Stop)
          break;
        ++i;
      }
      fParLine = i;
    }
  }
  return fParLine;
}

void TZarvNavigator::SetParLine(int32_t L) {
  GetPar();
  const int32_t n = GetLineCount(*fPar);
  if (L >= n)
    L = n - 1;
  if (L < 0)
    L = 0;
  const int32_t start = L == 0 ? GetFirstLine(*fPar).Start : fPar->ParExtra->Lines[static_cast<size_t>(L - 1)].Start;
  fOffset = start;
  fPos = fPar->StartOffset + start;
  fDynNb = -1;
  fParLine = L;
}

char16_t TZarvNavigator::GetText() {
  GetPar();
  const int32_t len = GetParLength(*fPar);
  if (fOffset < len)
    return fPar->ParText[fOffset];
  return fOffset == len ? u'\r' : u'\n';
}

void TZarvNavigator::SetLocated(int32_t parNb, int32_t offset, int32_t dynNb, int32_t parLine) {
  fPar = fList->Par(parNb);
  fParNb = parNb;
  fOffset = offset;
  fPos = fPar->StartOffset + offset;
  fDynNb = dynNb;
  fParLine = parLine;
}

} // namespace zarv
