// Navigator moves over dynamic codes (style runs) and over words.
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <algorithm>

namespace zarv {

// ---- Dynamic codes --------------------------------------------------------------------

int32_t TZarvNavigator::GetDynNb() {
  GetPar();
  if (fDynNb < 0) {
    // Codes lying before the position: DynOffset < offset.
    const auto& codes = GetDynArray(*fPar);
    const int32_t off = fOffset;
    fDynNb = static_cast<int32_t>(std::lower_bound(codes.begin(), codes.end(), off,
                                                   [](const DynInfoRec& d, int32_t o) { return d.DynOffset < o; }) -
                                  codes.begin());
  }
  return fDynNb;
}

void TZarvNavigator::setDynNb(int32_t D) {
  GetPar();
  const auto& codes = GetDynArray(*fPar);
  if (D < 0 || D > static_cast<int32_t>(codes.size()))
    return;
  fOffset = D == 0 ? 0 : codes[static_cast<size_t>(D - 1)].DynOffset;
  fPos = freshPar()->StartOffset + fOffset;
  fDynNb = D;
  fParLine = -1;
}

void TZarvNavigator::RightOfDyn() {
  GetDynNb();
  const auto& codes = GetDynArray(*fPar);
  while (fDynNb < static_cast<int32_t>(codes.size()) && codes[static_cast<size_t>(fDynNb)].DynOffset == fOffset)
    ++fDynNb;
}

bool TZarvNavigator::AdvanceDyn() {
  GetDynNb();
  const auto& codes = GetDynArray(*fPar);
  if (fDynNb < static_cast<int32_t>(codes.size()) && codes[static_cast<size_t>(fDynNb)].DynOffset == fOffset) {
    ++fDynNb;
    return true;
  }
  return false;
}

void TZarvNavigator::AddDyn(const DynInfoRec& D) {
  GetDynNb();
  TDynInfoArray& codes = GetDynArrayForWrite(*fPar);
  DynInfoRec copy = D;
  copy.DynOffset = fOffset;
  codes.insert(codes.begin() + fDynNb, copy);
  ++fDynNb;
}

void TZarvNavigator::RemoveDyn() {
  GetDynNb();
  const auto& codes = GetDynArray(*fPar);
  if (fDynNb >= static_cast<int32_t>(codes.size()) || codes[static_cast<size_t>(fDynNb)].DynOffset != fOffset)
    throw EZarvError(QString::fromLatin1(SInternalError));
  TDynInfoArray& w = GetDynArrayForWrite(*fPar);
  w.erase(w.begin() + fDynNb);
  fParLine = -1;
}

bool TZarvNavigator::NextDyn() {
  GetDynNb();
  const auto& codes = GetDynArray(*fPar);
  if (fDynNb < static_cast<int32_t>(codes.size())) {
    const int32_t target = fDynNb;
    setWithinPar(codes[static_cast<size_t>(target)].DynOffset);
    fDynNb = target + 1;
    return true;
  }
  for (int32_t p = fParNb + 1; p < fList->Count(); ++p) {
    const auto& next = GetDynArray(*fList->Par(p));
    if (!next.empty()) {
      setParNb(p);
      fOffset = next.front().DynOffset;
      fPos = freshPar()->StartOffset + fOffset;
      fDynNb = 1;
      fParLine = -1;
      return true;
    }
  }
  return false;
}

bool TZarvNavigator::PreviousDyn() {
  GetDynNb();
  const auto& codes = GetDynArray(*fPar);
  // The last code strictly before the position in this paragraph.
  int32_t t = std::min(fDynNb, static_cast<int32_t>(codes.size())) - 1;
  while (t >= 0 && codes[static_cast<size_t>(t)].DynOffset >= fOffset)
    --t;
  if (t >= 0) {
    fOffset = codes[static_cast<size_t>(t)].DynOffset;
    fPos = freshPar()->StartOffset + fOffset;
    fDynNb = t + 1;
    fParLine = -1;
    return true;
  }
  for (int32_t p = fParNb - 1; p >= 0; --p) {
    const auto& prev = GetDynArray(*fList->Par(p));
    if (!prev.empty()) {
      setParNb(p);
      fOffset = prev.back().DynOffset;
      fPos = freshPar()->StartOffset + fOffset;
      fDynNb = static_cast<int32_t>(prev.size());
      fParLine = -1;
      return true;
    }
  }
  return false;
}

bool TZarvNavigator::ForwardToDyn(int32_t Limit) {
  GetDynNb();
  const auto& codes = GetDynArray(*fPar);
  if (fDynNb < static_cast<int32_t>(codes.size())) {
    const DynInfoRec& d = codes[static_cast<size_t>(fDynNb)];
    if (freshPar()->StartOffset + d.DynOffset > Limit)
      return false;
    const int32_t target = fDynNb;
    setWithinPar(d.DynOffset);
    fDynNb = target;
    return true;
  }
  for (int32_t p = fParNb + 1; p < fList->Count() && fList->Par(p)->StartOffset < Limit; ++p) {
    const ParInfo& par = *fList->Par(p);
    const auto& next = GetDynArray(par);
    if (next.empty())
      continue;
    if (par.StartOffset + next.front().DynOffset > Limit)
      return false;
    setParNb(p);
    fOffset = next.front().DynOffset;
    fPos = freshPar()->StartOffset + fOffset;
    fDynNb = 0;
    fParLine = -1;
    return true;
  }
  return false;
}

bool TZarvNavigator::BackToDyn(int32_t Limit) {
  GetDynNb();
  if (fDynNb > 0) {
    const DynInfoRec& d = fPar->ParExtra->DynCodes[static_cast<size_t>(fDynNb - 1)];
    if (freshPar()->StartOffset + d.DynOffset < Limit)
      return false;
    fOffset = d.DynOffset;
    fPos = freshPar()->StartOffset + fOffset;
    --fDynNb;
    fParLine = -1;
    return true;
  }
  for (int32_t p = fParNb - 1; p >= 0 && fList->Par(p + 1)->StartOffset > Limit; --p) {
    const ParInfo& par = *fList->Par(p);
    const auto& prev = GetDynArray(par);
    if (prev.empty())
      continue;
    if (par.StartOffset + prev.back().DynOffset < Limit)
      return false;
    setParNb(p);
    fOffset = prev.back().DynOffset;
    fPos = freshPar()->StartOffset + fOffset;
    fDynNb = static_cast<int32_t>(prev.size()) - 1;
    fParLine = -1;
    return true;
  }
  return false;
}

// ---- Words ---------------------------------------------------------------------------------

namespace {
bool isDelim(const TCharSet& set, char16_t c) { return set.test(zvChar(c)); }

char16_t charAt(const ParInfo& p, int32_t off) {
  const int32_t len = GetParLength(p);
  return off < len ? p.ParText[off] : (off == len ? u'\r' : u'\n');
}
} // namespace

void TZarvNavigator::ToNextWord(const TCharSet& Delims) {
  GetPar();
  const int32_t len = GetParLength(*fPar);
  auto jumpBreak = [this]() {
    if (fParNb < fList->Count() - 1)
      setParNb(fParNb + 1);
  };
  if (fOffset >= len) {
    jumpBreak();
    return;
  }
  const char16_t* t = fPar->ParText;
  int32_t o = fOffset;
  while (o < len && !isDelim(Delims, t[o]))
    ++o;
  if (o == fOffset && o >= len) {
    jumpBreak();
    return;
  }
  while (o < len && isDelim(Delims, t[o]))
    ++o;
  setWithinPar(o);
}

void TZarvNavigator::ToPreviousWord(const TCharSet& Delims) {
  GetPar();
  int32_t par = fParNb;
  int32_t off = fOffset;
  // The character just before (par, off), stepping into the previous
  // paragraph's break when off is 0.
  auto before = [&](char16_t& c) {
    if (off > 0) {
      c = charAt(*fList->Par(par), off - 1);
      return true;
    }
    if (par == 0)
      return false;
    c = u'\n';
    return true;
  };
  auto stepBack = [&]() {
    if (off > 0) {
      --off;
    } else {
      --par;
      off = GetParLength(*fList->Par(par)) + 1;
    }
  };
  char16_t c;
  while (before(c) && isDelim(Delims, c))
    stepBack();
  while (before(c) && !isDelim(Delims, c))
    stepBack();
  // Never stand on the LF half of a break.
  if (off == GetParLength(*fList->Par(par)) + 1 && par + 1 < fList->Count()) {
    ++par;
    off = 0;
  }
  if (par == fParNb) {
    setWithinPar(off);
  } else {
    setParNb(par);
    setWithinPar(off);
  }
}

void TZarvNavigator::ToEndOfWord(const TCharSet& Delims) {
  GetPar();
  const int32_t len = GetParLength(*fPar);
  int32_t o = fOffset;
  while (o < len && !isDelim(Delims, fPar->ParText[o]))
    ++o;
  setWithinPar(o);
}

void TZarvNavigator::ToStartOfWord(const TCharSet& Delims) {
  GetPar();
  int32_t o = std::min(fOffset, GetParLength(*fPar));
  while (o > 0 && isDelim(Delims, charAt(*fPar, o)))
    --o;
  while (o > 0 && !isDelim(Delims, fPar->ParText[o - 1]))
    --o;
  setWithinPar(o);
}

} // namespace zarv
