// The change range of one long paragraph and the x checkpoints of its
// unwrapped line (see the header).
#include <ZarvMemo/support/layout/LongLineIndex.h>

#include <ZarvMemo/platform/Canvas.h>
#include <ZarvMemo/support/MemoHost.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QChar>
#include <algorithm>
#include <limits>

namespace zarv {

namespace {

// Widths of lines the index keeps stay far below saturation, so that
// shifting checkpoints by a difference is exact.
constexpr int32_t kWidthLimit = kMaxPixelWidth / 4;

bool splitsPair(const char16_t* t, int32_t at, int32_t len) {
  return at > 0 && at < len && QChar::isHighSurrogate(t[at - 1]) && QChar::isLowSurrogate(t[at]);
}

} // namespace

void TLongLineIndex::Forget() { fEntries.clear(); }

void TLongLineIndex::Forget(int32_t parNb) {
  fEntries.erase(std::remove_if(fEntries.begin(), fEntries.end(), [parNb](const TEntry& e) { return e.Par == parNb; }),
                 fEntries.end());
}

const TLongLineIndex::TEntry* TLongLineIndex::find(int32_t parNb) const {
  for (const TEntry& e : fEntries)
    if (e.Par == parNb)
      return &e;
  return nullptr;
}

TLongLineIndex::TEntry* TLongLineIndex::find(int32_t parNb) {
  return const_cast<TEntry*>(static_cast<const TLongLineIndex*>(this)->find(parNb));
}

void TLongLineIndex::NoteEdit(int32_t startPar, int32_t oldStopPar, int32_t newStopPar, int32_t from, int32_t newTo,
                              int32_t newLength, int32_t lengthDelta) {
  if (startPar != oldStopPar || startPar != newStopPar) {
    // Paragraphs joined or split: those from there on have other numbers
    // or other text than captured.
    fEntries.erase(
        std::remove_if(fEntries.begin(), fEntries.end(), [startPar](const TEntry& e) { return e.Par >= startPar; }),
        fEntries.end());
    return;
  }
  TEntry* e = find(startPar);
  if (!e)
    return;
  const int32_t toEnd = newLength - newTo;
  e->EditFrom = e->Edited ? std::min(e->EditFrom, from) : from;
  e->EditToEnd = e->Edited ? std::min(e->EditToEnd, toEnd) : toEnd;
  e->Edited = true;
  e->LengthDelta += lengthDelta;
}

void TLongLineIndex::Capture(int32_t parNb, uint64_t key, const ParInfo& par, bool unwrapped, bool keepMarks) {
  TEntry* e = find(parNb);
  if (!e) {
    if (fEntries.size() >= kEntries)
      fEntries.erase(std::min_element(fEntries.begin(), fEntries.end(),
                                      [](const TEntry& a, const TEntry& b) { return a.Used < b.Used; }));
    e = &fEntries.emplace_back();
    e->Par = parNb;
    keepMarks = false;
  }
  e->Used = ++fClock;
  e->Key = key;
  e->Length = GetParLength(par);
  e->StartStyle = GetStartDynAttrib(par)->DynStyle;
  e->StartAttrib = GetFirstLine(par).StartAttrib;
  const TDynInfoArray& codes = GetDynArray(par);
  e->Runs.resize(codes.size());
  for (size_t i = 0; i < codes.size(); ++i)
    e->Runs[i] = TRun{codes[i].DynOffset, codes[i].DynStyle};
  e->Edited = false;
  e->LengthDelta = 0;
  e->Unwrapped = unwrapped;
  if (!keepMarks || !unwrapped) {
    e->Marks.clear();
    e->TotalTabs = 0;
  }
}

bool TLongLineIndex::Change(int32_t parNb, uint64_t key, const ParInfo& par, TChange& c) const {
  const TEntry* e = find(parNb);
  const int32_t len = GetParLength(par);
  if (!e || e->Key != key || e->Length + e->LengthDelta != len || GetFirstLine(par).StartAttrib != e->StartAttrib)
    return false;
  const int32_t editFrom = e->Edited ? e->EditFrom : len, editEnd = e->Edited ? len - e->EditToEnd : 0;
  int32_t from = editFrom, end = editEnd;
  if (GetStartDynAttrib(par)->DynStyle != e->StartStyle) {
    from = 0;
    end = len;
  }
  widenByRuns(*e, par, editFrom, editEnd, from, end);
  from = std::min(from, len);
  end = std::clamp(end, from, len);
  c.From = from;
  c.ToEnd = len - end;
  c.CodeDelta = int32_t(GetDynArray(par).size()) - int32_t(e->Runs.size());
  return true;
}

// Runs equal from the front (before the edits) and from the back (relative
// to the end, after them) are the same; the differing ones between change
// the style of the text from the first of them to the first equal one.
void TLongLineIndex::widenByRuns(const TEntry& e, const ParInfo& par, int32_t editFrom, int32_t editEnd, int32_t& from,
                                 int32_t& end) {
  const TDynInfoArray& codes = GetDynArray(par);
  const std::vector<TRun>& runs = e.Runs;
  const int32_t len = GetParLength(par);
  const size_t n = codes.size(), o = runs.size();
  size_t p = 0;
  while (p < n && p < o && codes[p].DynOffset < editFrom && codes[p].DynOffset == runs[p].Offset &&
         codes[p].DynStyle == runs[p].Style)
    ++p;
  size_t s = 0;
  while (s < n - p && s < o - p) {
    const DynInfoRec& a = codes[n - 1 - s];
    const TRun& b = runs[o - 1 - s];
    if (a.DynOffset < editEnd || int64_t(a.DynOffset) - len != int64_t(b.Offset) - e.Length || a.DynStyle != b.Style)
      break;
    ++s;
  }
  if (p == n - s && p == o - s)
    return;
  int32_t codeFrom = len;
  if (p < n - s)
    codeFrom = std::min(codeFrom, codes[p].DynOffset);
  if (p < o - s)
    codeFrom = std::min(codeFrom, runs[p].Offset < editFrom ? runs[p].Offset : editFrom);
  from = std::min(from, std::max(0, codeFrom));
  end = std::max(end, s > 0 ? codes[n - s].DynOffset : len);
}

int32_t TLongLineIndex::Measure(TZarvMemoHost& m, const ParInfo& par, int32_t from, int32_t to, int32_t x,
                                TZarvFontStyles& style, int32_t& tabs, std::vector<TMark>* marks) {
  const TDynInfoArray& codes = GetDynArray(par);
  const bool codesOn = m.Paragraphs().fStaticFormat;
  const char16_t* t = par.ParText;
  const int32_t len = GetParLength(par);
  size_t next = size_t(std::upper_bound(codes.begin(), codes.end(), from,
                                        [](int32_t off, const DynInfoRec& d) { return off < d.DynOffset; }) -
                       codes.begin());
  const DynInfoRec* dyn = next > 0 ? &codes[next - 1] : GetStartDynAttrib(par);
  int selected = -1;
  const auto select = [&] {
    const int st = m.AttrToExtFontStyles(style, dyn->DynStyle) & ~fsHighlight;
    if (st != selected) {
      m.SelectFont(static_cast<uint8_t>(st));
      selected = st;
    }
  };
  select();
  const int32_t tab = m.TabWidth();
  int32_t nextMark = marks ? (from / kStep + 1) * kStep : std::numeric_limits<int32_t>::max();
  for (int32_t i = from; i < to;) {
    if (i >= nextMark && !splitsPair(t, i, len)) {
      marks->push_back(TMark{i, x, tabs, style});
      nextMark = (i / kStep + 1) * kStep;
    }
    bool moved = false;
    while (next < codes.size() && codes[next].DynOffset <= i) {
      dyn = &codes[next++];
      moved = true;
    }
    if (moved)
      select();
    const char16_t c = t[i];
    if (c == u'\t') {
      x = TZarvMemoHost::NextTabStop(x, tab);
      ++tabs;
      ++i;
      continue;
    }
    if (codesOn && IsStyleCode(c)) {
      XORStyleCode(style, c);
      select();
      ++i;
      continue;
    }
    int32_t limit = std::min(to, std::max(nextMark, i + 1));
    if (next < codes.size())
      limit = std::min(limit, codes[next].DynOffset);
    int32_t j = i + 1;
    while (j < limit && t[j] != u'\t' && !(codesOn && IsStyleCode(t[j])))
      ++j;
    x = SaturatedWidth(int64_t(x) + m.Canvas().GetTextWidth(t + i, j - i, m.fMaxOneShotChars));
    i = j;
  }
  return x;
}

bool TLongLineIndex::buildMarks(TZarvMemoHost& m, const ParInfo& par, TEntry& e) {
  const TZarvFontStyles start = GetFirstLine(par).StartAttrib;
  e.Marks.assign(1, TMark{0, 0, 0, start});
  TZarvFontStyles style = start;
  int32_t tabs = 0;
  const int32_t w = Measure(m, par, 0, GetParLength(par), 0, style, tabs, &e.Marks);
  e.TotalTabs = tabs;
  if (w >= kWidthLimit) {
    e.Marks.clear();
    return false;
  }
  return true;
}

bool TLongLineIndex::UpdateMarks(TZarvMemoHost& m, int32_t parNb, const ParInfo& par, const TChange& c,
                                 int32_t oldWidth, int32_t& width) {
  TEntry* e = find(parNb);
  if (!e || !e->Unwrapped || e->Marks.empty() || oldWidth >= kWidthLimit)
    return false;
  const std::vector<TMark>& marks = e->Marks;
  const int32_t len = GetParLength(par), delta = len - e->Length;
  const int32_t oldEnd = e->Length - c.ToEnd;
  const size_t first = size_t(std::upper_bound(marks.begin(), marks.end(), c.From,
                                               [](int32_t off, const TMark& k) { return off < k.Offset; }) -
                              marks.begin()) -
                       1;
  size_t j = std::max(first + 1, size_t(std::lower_bound(marks.begin(), marks.end(), oldEnd,
                                                         [](const TMark& k, int32_t off) { return k.Offset < off; }) -
                                        marks.begin()));
  std::vector<TMark> out;
  out.reserve(marks.size() + size_t(std::max(0, len - e->Length)) / kStep + 2);
  out.assign(marks.begin(), marks.begin() + ptrdiff_t(first) + 1);
  TZarvFontStyles style = marks[first].Style;
  int32_t tabs = marks[first].Tabs, pos = marks[first].Offset, x = marks[first].X;
  for (;; ++j) {
    if (j >= marks.size()) {
      // No old checkpoint after the change agrees: measured to the end.
      width = Measure(m, par, pos, len, x, style, tabs, &out);
      e->TotalTabs = tabs;
      break;
    }
    const TMark& old = marks[j];
    const int32_t at = old.Offset + delta;
    if (splitsPair(par.ParText, at, len))
      return false;
    x = Measure(m, par, pos, at, x, style, tabs, &out);
    pos = at;
    out.push_back(TMark{at, x, tabs, style});
    const int32_t d = x - old.X, tabDelta = tabs - old.Tabs;
    // From an old checkpoint with the same style on, the rest measures as
    // before: at the same x, or moved by d where no tab stop follows.
    if (style == old.Style && (d == 0 || e->TotalTabs == old.Tabs)) {
      for (size_t k = j + 1; k < marks.size(); ++k)
        out.push_back(TMark{marks[k].Offset + delta, marks[k].X + d, marks[k].Tabs + tabDelta, marks[k].Style});
      width = SaturatedWidth(int64_t(oldWidth) + d);
      e->TotalTabs += tabDelta;
      break;
    }
  }
  e->Marks = std::move(out);
  if (width >= kWidthLimit) {
    e->Marks.clear();
    return false;
  }
  return true;
}

// The entry of paragraph parNb when it holds the paragraph's current
// layout as one unwrapped line, with marks (built when missing). A
// formatted paragraph not held is taken in: formatting keeps it current
// from then on.
TLongLineIndex::TEntry* TLongLineIndex::current(TZarvMemoHost& m, int32_t parNb, const ParInfo& par) {
  if (!(par.ParState & zvpFormatted) || GetLineCount(par) != 1 || GetParLength(par) < kMinLength)
    return nullptr;
  TEntry* e = find(parNb);
  if (!e) {
    Capture(parNb, kUnknownKey, par, true, false);
    e = find(parNb);
  }
  if (!e->Unwrapped || e->Edited || GetParLength(par) != e->Length)
    return nullptr;
  e->Used = ++fClock;
  if (e->Marks.empty() && !buildMarks(m, par, *e))
    return nullptr;
  return e;
}

const TLongLineIndex::TMark* TLongLineIndex::MarkAtOffset(TZarvMemoHost& m, int32_t parNb, const ParInfo& par,
                                                          int32_t offset) {
  const TEntry* e = current(m, parNb, par);
  if (!e)
    return nullptr;
  const auto it = std::upper_bound(e->Marks.begin(), e->Marks.end(), offset,
                                   [](int32_t off, const TMark& k) { return off < k.Offset; });
  return &*(it - 1);
}

const TLongLineIndex::TMark* TLongLineIndex::MarkAtX(TZarvMemoHost& m, int32_t parNb, const ParInfo& par, int64_t x) {
  const TEntry* e = current(m, parNb, par);
  if (!e)
    return nullptr;
  const auto it =
      std::upper_bound(e->Marks.begin(), e->Marks.end(), x, [](int64_t v, const TMark& k) { return v < k.X; });
  return it == e->Marks.begin() ? &e->Marks.front() : &*(it - 1);
}

} // namespace zarv
