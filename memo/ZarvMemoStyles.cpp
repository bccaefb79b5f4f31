// Style runs set by the application (SetDynStyle, ClearStyle) and the
// styled fragment: a range of text with the style runs in force over it,
// written as one string (DynText) and read back, into this or another
// control (SetDynText).
//
// Fragment layout, in bytes: the record count N (32-bit), 4 reserved, N
// records of 124 bytes (a 58-byte style record, 58 reserved, the record's
// offset from the fragment start, 4 reserved), then the text. Integers are
// little-endian. Its length in UTF-16 units is the text's + 62 N + 4.
#include <ZarvMemo/memo/ZarvMemo.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <vector>

namespace zarv {

namespace {

constexpr int32_t kRecordBytes = 124, kStyleBytes = 58, kHeaderBytes = 8;

void writeStyle(char* b, const DynInfoRec& d) {
  qToLittleEndian<qint32>(d.DynOffset, b);
  b[4] = char(d.DynStyle);
  b[5] = char(d.Level);
  b[6] = char(d.CollpsLevel);
  b[7] = char(d.CollpsState);
  qToLittleEndian<quint32>(d.Backgnd, b + 8);
  qToLittleEndian<quint32>(d.Foregnd, b + 12);
  qToLittleEndian<qint32>(d.Context, b + 16);
  qToLittleEndian<qint16>(d.Cursor, b + 20);
  for (int i = 0; i < 16; ++i)
    qToLittleEndian<qint16>(d.KeyIndex[i], b + 22 + 2 * i);
  qToLittleEndian<quint32>(d.Klen, b + 54);
}

DynInfoRec readStyle(const char* b) {
  DynInfoRec d;
  d.DynOffset = qFromLittleEndian<qint32>(b);
  d.DynStyle = uint8_t(b[4]);
  d.Level = int8_t(b[5]);
  d.CollpsLevel = int8_t(b[6]);
  d.CollpsState = dInfoCollpsStates(b[7]);
  d.Backgnd = qFromLittleEndian<quint32>(b + 8);
  d.Foregnd = qFromLittleEndian<quint32>(b + 12);
  d.Context = qFromLittleEndian<qint32>(b + 16);
  d.Cursor = qFromLittleEndian<qint16>(b + 20);
  for (int i = 0; i < 16; ++i)
    d.KeyIndex[i] = qFromLittleEndian<qint16>(b + 22 + 2 * i);
  d.Klen = qFromLittleEndian<quint32>(b + 54);
  return d;
}

// A position on the LF half of a break stands at its paragraph's end, so
// that no run starts or ends inside a break.
void offBreak(TZarvNavigator& n) {
  if (n.GetOffset() > GetParLength(*n.GetPar()))
    n.setParOffset(GetParLength(*n.GetPar()));
}

// Offsets in the text as the store holds it for each offset in `text`:
// every break counts two there, and the second half of a pair is the
// first's.
std::vector<int32_t> storeOffsets(const QString& text) {
  std::vector<int32_t> map(size_t(text.size()) + 1);
  int32_t o = 0;
  for (qsizetype i = 0; i < text.size();) {
    map[size_t(i)] = o;
    const QChar c = text[i];
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      const bool pair = i + 1 < text.size() && (text[i + 1] == QLatin1Char('\r') || text[i + 1] == QLatin1Char('\n')) &&
                        text[i + 1] != c;
      if (pair)
        map[size_t(i + 1)] = o;
      i += pair ? 2 : 1;
      o += 2;
    } else {
      ++i;
      ++o;
    }
  }
  map[size_t(text.size())] = o;
  return map;
}

} // namespace

// ---- The styled fragment ----------------------------------------------------------------------

QString TZarvMemo::DynText(int32_t Start, int32_t Stop) {
  if (Start > Stop)
    std::swap(Start, Stop);
  Start = std::clamp(Start, 0, getCharCount());
  Stop = std::clamp(Stop, 0, getCharCount());
  if (Start == Stop)
    return {};
  TParagraphsList& L = *fParagraphs;
  TZarvNavigator n(&L);
  n.AttachMemo(this);
  n.SetPos(Start);
  const int32_t first = n.GetParNb();
  n.SetPos(Stop);
  DoDynParse(first, n.GetParNb(), false); // the runs are current
  // The run in force at the start, then every run starting inside.
  std::vector<std::pair<DynInfoRec, int32_t>> runs;
  n.SetPos(Start);
  n.RightOfDyn(); // a run starting at Start is the one in force
  runs.push_back({*n.GetpDynInfo(), 0});
  for (int32_t p = first; p < L.Count() && L.Par(p)->StartOffset < Stop; ++p) {
    const ParInfo& par = *L.Par(p);
    // A run of no width (the next code at the same offset) shows nothing
    // and is left out.
    const auto add = [&runs](const DynInfoRec& d, int32_t at) {
      if (runs.back().second == at)
        runs.back().first = d;
      else
        runs.push_back({d, at});
    };
    if (p > first)
      add(*GetStartDynAttrib(par), par.StartOffset - Start);
    for (const DynInfoRec& d : GetDynArray(par)) {
      const int32_t at = par.StartOffset + d.DynOffset;
      if (at > Start && at < Stop)
        add(d, at - Start);
    }
  }
  const QString text = GetTextPart(Start, Stop);
  const int32_t count = int32_t(runs.size());
  QByteArray bytes(kHeaderBytes + qsizetype(count) * kRecordBytes + text.size() * 2, '\0');
  qToLittleEndian<qint32>(count, bytes.data());
  for (int32_t i = 0; i < count; ++i) {
    char* r = bytes.data() + kHeaderBytes + qsizetype(i) * kRecordBytes;
    // The record's own offset field holds its offset in the fragment too (in
    // the text it is relative to a paragraph, or a count in a start record).
    DynInfoRec d = runs[size_t(i)].first;
    d.DynOffset = runs[size_t(i)].second;
    writeStyle(r, d);
    qToLittleEndian<qint32>(runs[size_t(i)].second, r + 116);
  }
  qToLittleEndian<quint16>(text.utf16(), text.size(), bytes.data() + kHeaderBytes + qsizetype(count) * kRecordBytes);
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

// The fragment is checked whole before anything changes: a record count of
// at least one that fits, offsets starting at 0, ascending and inside the
// text. Key indexes of start-stop ranges belong to the lists of the control
// that wrote the fragment, so records keep their looks and contexts only
// (attribute records take level 255, as set by the application).
void TZarvMemo::SetDynText(int32_t Start, int32_t Stop, const QString& Blob) try {
  const TEntryScope entry(ownerId());
  if (Blob.isEmpty())
    return;
  QByteArray bytes(Blob.size() * 2, '\0');
  qToLittleEndian<quint16>(Blob.utf16(), Blob.size(), bytes.data());
  const auto bad = [](const QString& what) { return EZarvError(QStringLiteral("Malformed styled fragment: ") + what); };
  if (bytes.size() < kHeaderBytes)
    throw bad(QStringLiteral("shorter than its header"));
  const int64_t count = qFromLittleEndian<qint32>(bytes.constData());
  if (count < 1 || kHeaderBytes + count * kRecordBytes > bytes.size())
    throw bad(QStringLiteral("%1 style records do not fit in %2 bytes").arg(count).arg(bytes.size()));
  const qsizetype textStart = kHeaderBytes + qsizetype(count) * kRecordBytes;
  const int32_t textLen = int32_t((bytes.size() - textStart) / 2);
  std::vector<std::pair<DynInfoRec, int32_t>> runs;
  for (int64_t i = 0; i < count; ++i) {
    const char* r = bytes.constData() + kHeaderBytes + i * kRecordBytes;
    DynInfoRec d = readStyle(r);
    const int32_t at = qFromLittleEndian<qint32>(r + 116);
    const int32_t prev = runs.empty() ? -1 : runs.back().second;
    if ((i == 0 && at != 0) || at < prev || at > textLen)
      throw bad(
          QStringLiteral("record %1 starts at %2, outside %3..%4").arg(i).arg(at).arg(std::max(prev, 0)).arg(textLen));
    d.DynOffset = 0;
    d.DynStyle &= uint8_t(~dsHasLevel);
    std::fill(std::begin(d.KeyIndex), std::end(d.KeyIndex), int16_t(0));
    d.Klen = 0;
    if (d.DynStyle & dsHasAttrib)
      d.Level = int8_t(-1); // 255: set by the application
    runs.push_back({d, at});
  }
  const QString text = Blob.mid(textStart / 2);
  // The selection comes back afterwards, the caret on its former side.
  const int32_t selStart = fSelStart->GetPos(), selStop = fSelStop->GetPos();
  const bool caretAtStart = fSelLen > 0;
  {
    TUpdateLock lock(*this);
    if (Start > Stop)
      std::swap(Start, Stop);
    setSelStart(std::clamp(Start, 0, getCharCount()));
    setSelLength(std::clamp(Stop, 0, getCharCount()) - getSelStart());
    const int32_t at = fSelStart->GetPos();
    SetSelTextBuf(text);
    const int32_t end = fSelStop->GetPos();
    const std::vector<int32_t> offsets = storeOffsets(text);
    TParagraphsList& L = *fParagraphs;
    // Each run over its own stretch (up to the next one), so that no run
    // leaves a restoring code behind for the next to stack on.
    for (size_t i = 0; i < runs.size(); ++i) {
      const auto& [d, off] = runs[i];
      const int32_t to = std::min(end, i + 1 < runs.size() ? at + offsets[size_t(runs[i + 1].second)] : end);
      TZarvNavigator a(&L), b(&L);
      a.AttachMemo(this);
      b.AttachMemo(this);
      a.SetPos(std::min(end, at + offsets[size_t(off)]));
      b.SetPos(to);
      offBreak(a);
      offBreak(b);
      if (a.GetPos() < b.GetPos())
        SetDynStyleP(L, a, b, d, (d.DynStyle & dsHasAttrib) != 0, true);
    }
    for (TZarvNavigator* n : fNavigators)
      n->ForgetIndexes();
    const int32_t s = std::min(selStart, getCharCount()), e = std::min(selStop, getCharCount());
    setSelStart(caretAtStart ? s : e);
    setSelLength(caretAtStart ? e - s : s - e);
  }
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// ---- Programmatic style runs -------------------------------------------------------------------

void TZarvMemo::SetDynStyle(TZarvNavigator& Nav1, TZarvNavigator& Nav2, TZarvFontStyles Style, bool WithLevel,
                            int32_t Context, int16_t Cursor, TColor Backgnd, TColor Foregnd, bool Collapsible) {
  DynInfoRec d;
  d.DynStyle = uint8_t((Style & 0x0F) | (WithLevel ? dsHasLevel : 0));
  d.Level = int8_t(-1);
  d.Context = Context;
  d.Cursor = Cursor;
  d.Backgnd = Backgnd;
  d.Foregnd = Foregnd;
  d.CollpsState = Collapsible ? zvdCollapsible : dInfoCollpsStates(0);
  TParagraphsList& L = *fParagraphs;
  offBreak(Nav1);
  offBreak(Nav2);
  const int32_t from = std::min(Nav1.GetPos(), Nav2.GetPos());
  const int32_t toPar = std::max(Nav1.GetParNb(), Nav2.GetParNb());
  SetDynStyleP(L, Nav1, Nav2, d, true, true);
  InvalidateNavs(fNavigators, from, toPar);
  fPendingChange = true;
  if (fLockedCount == 0)
    EndModifications();
}

void TZarvMemo::SetDynStyle(int32_t Start, int32_t Stop, TZarvFontStyles Style, bool WithLevel, int32_t Context,
                            int16_t Cursor, TColor Backgnd, TColor Foregnd, bool Collapsible) {
  TZarvNavigator a(&Paragraphs()), b(&Paragraphs());
  a.AttachMemo(this);
  b.AttachMemo(this);
  a.SetPos(std::clamp(Start, 0, getCharCount()));
  b.SetPos(std::clamp(Stop, 0, getCharCount()));
  SetDynStyle(a, b, Style, WithLevel, Context, Cursor, Backgnd, Foregnd, Collapsible);
}

void TZarvMemo::ClearStyleRange(int32_t Start, int32_t Stop) try {
  const TEntryScope entry(ownerId());
  TZarvNavigator a(&Paragraphs()), b(&Paragraphs());
  a.AttachMemo(this);
  b.AttachMemo(this);
  a.SetPos(std::clamp(Start, 0, getCharCount()));
  b.SetPos(std::clamp(Stop, 0, getCharCount()));
  offBreak(a);
  offBreak(b);
  if (a.GetPos() == b.GetPos())
    return;
  const int32_t from = std::min(a.GetPos(), b.GetPos());
  const int32_t toPar = std::max(a.GetParNb(), b.GetParNb());
  a.ExpandAllLevels();
  b.ExpandAllLevels();
  SetDynStyleP(*fParagraphs, a, b, DynInfoRec{}, false, true);
  InvalidateNavs(fNavigators, from, toPar);
  fPendingChange = true;
  if (fLockedCount == 0)
    EndModifications();
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

// The run at Pos, when the application set it: from where it starts to
// where the next run starts, across paragraphs.
void TZarvMemo::ClearStyle(int32_t Pos) try {
  const TEntryScope entry(ownerId());
  TParagraphsList& L = *fParagraphs;
  TZarvNavigator n(&L);
  n.AttachMemo(this);
  n.SetPos(std::clamp(Pos, 0, getCharCount()));
  const DynInfoRec run = *n.GetpDynInfo();
  if (!(run.DynStyle & dsHasAttrib))
    return;
  const auto same = [&run](const DynInfoRec& d) {
    return d.DynStyle == run.DynStyle && d.Context == run.Context && d.Backgnd == run.Backgnd &&
           d.Foregnd == run.Foregnd && d.Cursor == run.Cursor;
  };
  int32_t p = n.GetParNb(), k = n.GetDynNb();
  // Back to the run's first code (or a paragraph start carrying it on).
  while (k == 0 && p > 0 && same(*GetStartDynAttrib(*L.Par(p))) && [&] {
    const TDynInfoArray& prev = GetDynArray(*L.Par(p - 1));
    return prev.empty() ? same(*GetStartDynAttrib(*L.Par(p - 1))) : same(prev.back());
  }()) {
    --p;
    k = int32_t(GetDynArray(*L.Par(p)).size());
  }
  const int32_t start = L.Par(p)->StartOffset + (k > 0 ? GetDynArray(*L.Par(p))[size_t(k - 1)].DynOffset : 0);
  // On to the next code that differs.
  p = n.GetParNb();
  k = n.GetDynNb();
  int32_t stop = getCharCount();
  for (; p < L.Count(); ++p, k = 0) {
    const TDynInfoArray& codes = GetDynArray(*L.Par(p));
    if (k < int32_t(codes.size())) {
      stop = L.Par(p)->StartOffset + codes[size_t(k)].DynOffset;
      break;
    }
    if (p + 1 < L.Count() && !same(*GetStartDynAttrib(*L.Par(p + 1)))) {
      stop = L.Par(p)->StartOffset + GetParLength(*L.Par(p));
      break;
    }
  }
  ClearStyleRange(start, stop);
} catch (const EOwnerDestroyed& gone) {
  SettleDestroyed(gone);
}

} // namespace zarv
