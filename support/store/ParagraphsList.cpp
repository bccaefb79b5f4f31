// The paragraph store: construction, clean-up, chunk-wise offset and line
// shifts, the modified range, paragraph location and the integrity check.
// Text replacement lives in InsertBuf.cpp, loading and saving in
// TextStreams.cpp.
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <ZarvMemo/platform/Exceptions.h>

#include <algorithm>
#include <unordered_map>

namespace zarv {

static_assert(std::is_trivially_copyable_v<ParInfo>, "paragraph records are copied as bytes");

TParagraphsList::TParagraphsList()
    : TDynArray2(static_cast<int16_t>(sizeof(ParInfo)), static_cast<int16_t>((sizeof(ParInfo) + 1) & ~size_t{1})) {
  // Records are addressed as a C array inside a chunk.
  static_assert(sizeof(ParInfo) % 2 == 0);
  SetCapacity(0);
}

TParagraphsList::~TParagraphsList() { CleanUp(); }

void TParagraphsList::releaseParagraph(ParInfo& par) {
  if (par.ParState & zvpOwnTextBuffer)
    zvFreeStrBuf(par.ParText);
  par.ParText = nullptr;
  par.ParState &= static_cast<TParStates>(~zvpOwnTextBuffer);
  FreeParExtras(par); // releases the start record too
  par.BlockState = 0;
}

void TParagraphsList::freeSharedBuffers() {
  for (TBufferRecord& b : fBufferList)
    zvFreeStrBuf(b.Buf);
  fBufferList.clear();
  fArena.Clear();
}

void TParagraphsList::CleanUp() {
  resetShift();
  for (int32_t i = 0; i < fCount; ++i)
    releaseParagraph(*Par(i));
  fTextLen = 0;
  fTrueLineCount = 0;
  fVisibleLineCount = 0;
  fCount = 0;
  SetCapacity(4);
  freeSharedBuffers();
  fUpdateStopPar = -1;
}

void TParagraphsList::EnsureOneParagraph() {
  if (fCount > 0)
    return;
  ParInfo p{};
  p.ParText = nullptr;
  Add(&p);
  fTextLen = 0;
  fTrueLineCount = 1;
  fVisibleLineCount = 1;
}

// ---- Chunk-wise shifts ----------------------------------------------------------------
//
// Each pass touches the records of one chunk as a plain array and looks up
// the next chunk only when the current one is exhausted.

namespace {
template <class Fn>
void forEachFrom(const TParagraphsList& list, int32_t from, Fn fn) {
  const int32_t perChunk = list.ElementsPerBuffer();
  int32_t i = std::max(from, 0);
  while (i < list.Count()) {
    ParInfo* p = list.Par(i);
    const int32_t run = std::min(perChunk - i % perChunk, list.Count() - i);
    for (int32_t k = 0; k < run; ++k)
      fn(p[k]);
    i += run;
  }
}
} // namespace

void TParagraphsList::UpdateOffsets(int32_t FromPar, int32_t Delta) { UpdateOffsetsLines(FromPar, Delta, 0); }

void TParagraphsList::UpdateLines(int32_t FromPar, int32_t Delta) { UpdateOffsetsLines(FromPar, 0, Delta); }

// Adds the deltas to records from..to - 1 as stored.
void TParagraphsList::shiftRange(int32_t from, int32_t to, int32_t offsetDelta, int32_t lineDelta) const {
  const int32_t per = ElementsPerBuffer();
  for (int32_t i = from; i < to;) {
    ParInfo* p = RawPar(i);
    const int32_t run = std::min(per - i % per, to - i);
    for (int32_t k = 0; k < run; ++k) {
      p[k].StartOffset += offsetDelta;
      p[k].StartLine += lineDelta;
    }
    i += run;
  }
}

// The pending shift reaches the records up to the end of i's chunk, so
// that a chunk is always either all shifted or all pending.
void TParagraphsList::settleShift(int32_t i) const {
  if (fShiftFrom >= fCount) {
    resetShift();
    return;
  }
  const int32_t per = ElementsPerBuffer();
  const int32_t end =
      static_cast<int32_t>(std::min<int64_t>(fCount, (static_cast<int64_t>(std::max(i, fShiftFrom)) / per + 1) * per));
  shiftRange(fShiftFrom, end, fShiftOffset, fShiftLine);
  if (end >= fCount)
    resetShift();
  else
    fShiftFrom = end;
}

void TParagraphsList::UpdateOffsetsLines(int32_t FromPar, int32_t OffsetDelta, int32_t LineDelta) {
  FromPar = std::max(FromPar, 0);
  if ((OffsetDelta == 0 && LineDelta == 0) || FromPar >= fCount)
    return;
  if (fShiftFrom >= fCount) {
    fShiftFrom = FromPar;
    fShiftOffset = OffsetDelta;
    fShiftLine = LineDelta;
    return;
  }
  // One pending shift: the records between the two starts get their own
  // part now.
  if (FromPar >= fShiftFrom) {
    shiftRange(fShiftFrom, FromPar, fShiftOffset, fShiftLine);
    fShiftFrom = FromPar;
  } else {
    shiftRange(FromPar, fShiftFrom, OffsetDelta, LineDelta);
  }
  fShiftOffset += OffsetDelta;
  fShiftLine += LineDelta;
}

// ---- Modified range ----------------------------------------------------------------------

void TParagraphsList::ExtendMods(int32_t StartPar, int32_t LineInPar, int32_t StopPar) {
  if (fModStopPar < fModStartPar) {
    fModStartPar = fCount;
    if (fCount > 0) {
      // Read without applying a pending shift: this runs on every edit.
      fModStartLine = StartLineOf(fCount - 1) + GetLineCount(*RawPar(fCount - 1));
    } else {
      fModStartLine = 0;
    }
  }
  if (StartPar <= fModStartPar) {
    fModStartPar = StartPar;
    if (StartPar >= 0 && StartPar < fCount) {
      const int32_t l = Par(StartPar)->StartLine + LineInPar;
      if (l < fModStartLine)
        fModStartLine = l;
    }
  }
  if (StopPar > fModStopPar)
    fModStopPar = StopPar;
  if (fLastStartStopParsed >= StartPar)
    fLastStartStopParsed = StartPar - 1;
  fNoCompleteFormat = false;
}

void TParagraphsList::MarkUnformatted() {
  forEachFrom(*this, 0, [](ParInfo& p) { p.ParState &= static_cast<TParStates>(~zvpFormatted); });
  fUpdateStartPar = 0;
  fUpdateStopPar = fCount - 1;
}

// ---- Reading ---------------------------------------------------------------------------------

QString TParagraphsList::ParString(int32_t i) const { return ParText(*getParPointers(i)); }

QString TParagraphsList::Text(TzvsLineBreak lb) const {
  const std::u16string_view br = LineBreakChars(lb);
  QString s;
  s.reserve(fTextLen);
  for (int32_t i = 0; i < fCount; ++i) {
    if (i > 0)
      s.append(reinterpret_cast<const QChar*>(br.data()), static_cast<qsizetype>(br.size()));
    const ParInfo& p = *Par(i);
    const int32_t len = GetParLength(p);
    if (len > 0)
      s.append(reinterpret_cast<const QChar*>(p.ParText), len);
  }
  return s;
}

// Interpolation search: estimate the paragraph from the position's share of
// the text (64-bit products, so no scaling is needed and nothing overflows),
// narrow the bracket around it and re-estimate, then walk the last steps.
// Text whose paragraph lengths vary smoothly needs one or two estimates.
// The search reads start offsets with the pending shift added, so that it
// applies the shift to nothing.
int32_t TParagraphsList::LocatePar(int32_t pos) const {
  if (fCount <= 1 || fTextLen <= 0 || pos <= 0)
    return 0;
  int32_t lo = 0, hi = fCount - 1;
  if (pos >= StartOffsetOf(hi))
    return hi;
  // Invariant: StartOffset(lo) <= pos < StartOffset(hi).
  int64_t loOff = 0, hiOff = StartOffsetOf(hi);
  for (int round = 0; hi - lo > 32; ++round) {
    // Bisect instead when the estimates keep missing (very uneven text).
    int64_t n = round < 4 ? lo + (static_cast<int64_t>(hi - lo) * (pos - loOff)) / (hiOff - loOff) : lo + (hi - lo) / 2;
    n = std::clamp<int64_t>(n, lo + 1, hi - 1);
    const int32_t off = StartOffsetOf(static_cast<int32_t>(n));
    if (off <= pos) {
      lo = static_cast<int32_t>(n);
      loOff = off;
    } else {
      hi = static_cast<int32_t>(n);
      hiOff = off;
    }
  }
  int32_t n = lo;
  while (n + 1 < hi && StartOffsetOf(n + 1) <= pos)
    ++n;
  return n;
}

// ---- Integrity --------------------------------------------------------------------------------

namespace {
QString fail(const char* code, int32_t par, const QString& detail) {
  return QStringLiteral("%1 paragraph %2: %3").arg(QLatin1String(code)).arg(par).arg(detail);
}

QString checkParagraph(const ParInfo& p, int32_t i) {
  const int32_t len = GetParLength(p);
  const bool extended = p.ParState & zvpHasExtra;
  if (!extended && len >= 65535)
    return fail("Error 8 in", i, QStringLiteral("compact length %1").arg(len));
  if (extended && !p.ParExtra)
    return fail("Error 8 in", i, QStringLiteral("extended without extra part"));
  if (len < 0)
    return fail("Error 8 in", i, QStringLiteral("negative length"));
  if (len > 0 && !p.ParText)
    return fail("Error 8 in", i, QStringLiteral("no text for length %1").arg(len));
  if (p.ParText && p.ParText[len] != 0)
    return fail("Error 8 in", i, QStringLiteral("text not terminated at %1").arg(len));
  if ((p.ParState & zvpOwnTextBuffer) && p.ParText && zvStrBufSize(p.ParText) < len + 1)
    return fail("Error 8 in", i, QStringLiteral("buffer of %1 for length %2").arg(zvStrBufSize(p.ParText)).arg(len));
  if (zvsGetParLevel(p) >= 2 && !extended)
    return fail("Error 8 in", i, QStringLiteral("deep block level in compact form"));
  const int32_t lines = GetLineCount(p);
  int32_t prevStop = 0;
  for (int32_t l = 0; l < lines; ++l) {
    const LineInfo& li =
        l == 0 ? (extended ? p.ParExtra->FirstLine : GetFirstLine(p)) : p.ParExtra->Lines[static_cast<size_t>(l - 1)];
    if (li.Start != prevStop)
      return fail("Error 3 in", i,
                  QStringLiteral("line %1 starts at %2, previous stop %3").arg(l).arg(li.Start).arg(prevStop));
    if (li.Stop < li.Start)
      return fail("Error 3 in", i, QStringLiteral("line %1 stops before it starts").arg(l));
    prevStop = li.Stop;
  }
  if (prevStop != len)
    return fail("Error 4 in", i, QStringLiteral("last line stops at %1, length %2").arg(prevStop).arg(len));
  if (extended) {
    int32_t prev = 0;
    for (const DynInfoRec& d : p.ParExtra->DynCodes) {
      if (d.DynOffset < prev || d.DynOffset > len)
        return fail("Error 9 in", i, QStringLiteral("code at %1 out of order or beyond %2").arg(d.DynOffset).arg(len));
      prev = d.DynOffset;
    }
    if (!p.ParExtra->StartDynAttrib)
      return fail("Error 9 in", i, QStringLiteral("no start record"));
  }
  return {};
}
} // namespace

QString TParagraphsList::CheckIntegrity() const {
  if (fCount == 0) {
    if (fTextLen != 0 || fTrueLineCount != 0 || fVisibleLineCount != 0)
      return QStringLiteral("Error 5 in empty store: counts not zero");
    return {};
  }
  int64_t offset = 0;
  int64_t visible = 0;
  int64_t total = 0;
  int prevEndLevel = 0;
  std::unordered_map<const DynInfoRec*, int32_t> refs;
  if (fShiftFrom != INT32_MAX && (fShiftFrom < 0 || fShiftFrom >= fCount))
    return QStringLiteral("Error 8 in store: a shift pending from record %1 of %2").arg(fShiftFrom).arg(fCount);
  for (int32_t i = 0; i < fCount; ++i) {
    // Checked as read, the pending shift included, without applying it.
    const ParInfo& p = *RawPar(i);
    if (StartLineOf(i) != visible)
      return fail("Error 1 in", i, QStringLiteral("start line %1, expected %2").arg(StartLineOf(i)).arg(visible));
    if (StartOffsetOf(i) != offset)
      return fail("Error 2 in", i, QStringLiteral("start offset %1, expected %2").arg(StartOffsetOf(i)).arg(offset));
    if (zvsGetParBlockStartLevel(p) != prevEndLevel)
      return fail("Error 7 in", i,
                  QStringLiteral("block start level %1, previous end level %2")
                      .arg(zvsGetParBlockStartLevel(p))
                      .arg(prevEndLevel));
    QString e = checkParagraph(p, i);
    if (!e.isEmpty())
      return e;
    const DynInfoRec* start = GetStartDynAttrib(p);
    if (start != DefaultDynInfo())
      ++refs[start];
    const int32_t lines = GetLineCount(p);
    offset += GetParLength(p) + 2;
    total += lines;
    visible += VisibleLinesOf(i);
    prevEndLevel = zvsGetParBlockEndLevel(p);
  }
  if (offset != static_cast<int64_t>(fTextLen) + 2)
    return QStringLiteral("Error 5 in store: offsets sum to %1, character count %2").arg(offset - 2).arg(fTextLen);
  if (visible != fVisibleLineCount)
    return QStringLiteral("Error 6 in store: %1 visible lines, count says %2").arg(visible).arg(fVisibleLineCount);
  if (total != fTrueLineCount)
    return QStringLiteral("Error 6.01 in store: %1 lines, count says %2").arg(total).arg(fTrueLineCount);
  for (const auto& [rec, n] : refs)
    if (rec->DynOffset != n)
      return QStringLiteral("Error 10 in store: start record referenced %1 times, count says %2")
          .arg(n)
          .arg(rec->DynOffset);
  if (fModStopPar >= fModStartPar && (fModStartPar < 0 || fModStopPar >= fCount))
    return QStringLiteral("Error 11 in store: modified range %1..%2 outside %3 paragraphs")
        .arg(fModStartPar)
        .arg(fModStopPar)
        .arg(fCount);
  return {};
}

void TParagraphsList::AssertIntegrity() const {
  const QString e = CheckIntegrity();
  if (!e.isEmpty())
    throw EZarvError(e);
}

} // namespace zarv
