// The undo list: appending with the level limit, trimming whole steps to
// the limits, the clean position, and the stream with its checks.
#include <ZarvMemo/memo/ZarvUndoList.h>

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/FilerError.h>

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <utility>
#include <vector>

namespace zarv {

void TZarvUndoList::Clear() {
  fRecords.clear();
  fLevel = 0;
  fSteps = 0;
  fTotal = 0;
  fClean = -1;
  fDroppedGroup = 0;
  fDropped = 0;
}

// ---- Steps ----------------------------------------------------------------------------------------------

bool TZarvUndoList::startsStep(int32_t i) const {
  const int32_t g = fRecords[size_t(i)].LockCount;
  return g == 0 || i == 0 || fRecords[size_t(i - 1)].LockCount != g;
}

int32_t TZarvUndoList::countSteps(int32_t from, int32_t to) const {
  int32_t n = 0;
  for (int32_t i = from; i < to; ++i)
    n += startsStep(i) ? 1 : 0;
  return n;
}

void TZarvUndoList::SetLevel(int32_t level) {
  while (fLevel > level) {
    --fLevel;
    fSteps -= startsStep(fLevel) ? 1 : 0;
  }
  while (fLevel < level) {
    fSteps += startsStep(fLevel) ? 1 : 0;
    ++fLevel;
  }
}

// Removing k records at the front keeps a clean position at or after k
// (k places earlier); one before k can no longer be reached.
void TZarvUndoList::popFront() {
  fTotal -= SizeOf(fRecords.front());
  fRecords.pop_front();
  if (fLevel > 0)
    --fLevel;
  fClean = fClean > 0 ? fClean - 1 : -1;
}

// The oldest undo step, all its records (Level() > 0).
void TZarvUndoList::popOldestStep() {
  const int32_t g = fRecords.front().LockCount;
  popFront();
  while (g != 0 && fLevel > 0 && fRecords.front().LockCount == g)
    popFront();
  --fSteps;
}

// The newest redo step, all its records (Count() > Level()).
void TZarvUndoList::popNewestStep() {
  const int32_t g = fRecords.back().LockCount;
  do {
    fTotal -= SizeOf(fRecords.back());
    fRecords.pop_back();
  } while (g != 0 && Count() > fLevel && fRecords.back().LockCount == g);
  if (fClean > Count())
    fClean = -1;
}

// ---- Changing the list ----------------------------------------------------------------------------------

void TZarvUndoList::Remove(int32_t i) {
  if (i < 0 || i >= Count())
    throw ERangeError();
  fTotal -= SizeOf(fRecords[size_t(i)]);
  fRecords.erase(fRecords.begin() + i);
  // Positions after an undo record move down with it; a position at or
  // before it (or after a removed redo record) is no longer reached by the
  // texts the remaining records give.
  if (i < fLevel) {
    --fLevel;
    fClean = fClean > i ? fClean - 1 : -1;
  } else if (fClean > i) {
    fClean = -1;
  }
  fSteps = countSteps(0, fLevel);
}

void TZarvUndoList::RemoveRedo() {
  while (Count() > fLevel) {
    fTotal -= SizeOf(fRecords.back());
    fRecords.pop_back();
  }
  if (fClean > fLevel)
    fClean = -1;
}

bool TZarvUndoList::Append(TUndoRecord r, int32_t maxLevel, int32_t maxSpace) {
  RemoveRedo();
  if (r.LockCount != 0 && r.LockCount == fDroppedGroup) {
    fDropped += SizeOf(r);
    return false;
  }
  const bool newStep = r.LockCount == 0 || fLevel == 0 || fRecords.back().LockCount != r.LockCount;
  if (newStep && maxLevel > 0)
    while (fSteps > maxLevel)
      popOldestStep();
  fTotal += SizeOf(r);
  fRecords.push_back(std::move(r));
  ++fLevel;
  fSteps += newStep ? 1 : 0;
  return TrimChange(maxSpace);
}

void TZarvUndoList::ExtendLast(int32_t start, int32_t stop, std::u16string_view prefix) {
  TUndoRecord& r = fRecords[size_t(fLevel - 1)];
  r.UndoStart = start;
  r.UndoStop = stop;
  r.UndoText.insert(0, prefix);
  fTotal += int64_t(prefix.size());
}

bool TZarvUndoList::TrimChange(int32_t maxSpace) {
  if (maxSpace <= 0 || fTotal <= maxSpace)
    return true;
  RemoveRedo();
  while (fTotal > maxSpace && fSteps > 1)
    popOldestStep();
  if (fTotal <= maxSpace)
    return true;
  // The step of this change alone is too large: all of it goes, and the
  // rest of its group with it.
  if (fLevel > 0 && fRecords.back().LockCount != 0)
    fDroppedGroup = fRecords.back().LockCount;
  fDropped += fTotal;
  while (fLevel > 0)
    popOldestStep();
  return false;
}

void TZarvUndoList::TrimSpace(int32_t maxSpace) {
  if (maxSpace <= 0)
    return;
  while (fTotal > maxSpace && Count() > fLevel)
    popNewestStep();
  while (fTotal > maxSpace && fLevel > 0)
    popOldestStep();
}

void TZarvUndoList::TrimLevel(int32_t maxLevel) {
  if (maxLevel < 0)
    return;
  int32_t redoSteps = countSteps(fLevel, Count());
  if (fLevel < Count() && !startsStep(fLevel))
    ++redoSteps; // the level cuts a loaded group: its upper part is a step
  while (redoSteps > 0 && fSteps + redoSteps > std::max(fSteps, maxLevel)) {
    popNewestStep();
    --redoSteps;
  }
  while (fSteps > maxLevel)
    popOldestStep();
}

void TZarvUndoList::Replace(int32_t i, TUndoRecord r) {
  Q_ASSERT(r.LockCount == fRecords[size_t(i)].LockCount);
  fTotal += SizeOf(r) - SizeOf(fRecords[size_t(i)]);
  fRecords[size_t(i)] = std::move(r);
}

void TZarvUndoList::SetLastGroup(int32_t g) {
  fRecords[size_t(fLevel - 1)].LockCount = g;
  fSteps = countSteps(0, fLevel); // only the last two records' steps can change
}

void TZarvUndoList::DropGroup(int32_t g) {
  if (g != 0)
    fDroppedGroup = g;
}

int64_t TZarvUndoList::TakeDropped() { return std::exchange(fDropped, 0); }

// ---- The stream -----------------------------------------------------------------------------------------

namespace {

void writeInt(QIODevice& s, int32_t v) {
  const qint32 le = qToLittleEndian<qint32>(v);
  if (s.write(reinterpret_cast<const char*>(&le), 4) != 4)
    throw EWriteError(QStringLiteral("Stream write error"));
}

int32_t readInt(QIODevice& s) {
  qint32 le = 0;
  if (s.read(reinterpret_cast<char*>(&le), 4) != 4)
    throw EReadError(QStringLiteral("Undo stream: unexpected end of stream"));
  return qFromLittleEndian<qint32>(le);
}

EReadError bad(const QString& what) { return EReadError(QStringLiteral("Undo stream: ") + what); }

// The text as the records of a loaded list leave it, one replacement after
// the other: pieces of the original text and of the records' texts, in
// blocks of a few hundred, so that a replacement anywhere costs a walk over
// the blocks and one block, however scattered the records.
class TPieceText {
public:
  explicit TPieceText(std::u16string_view text) : fSize(int64_t(text.size())) {
    fBlocks.emplace_back();
    if (!text.empty())
      fBlocks.back() = {{{text.data(), fSize}}, fSize};
  }
  int64_t Size() const { return fSize; }
  // Between the CR and the LF of a break.
  bool SplitsBreak(int64_t p) const { return p > 0 && p < fSize && at(p - 1) == u'\r' && at(p) == u'\n'; }
  void Replace(int64_t a, int64_t b, std::u16string_view t) {
    const Loc s = boundary(a);
    const Loc e = boundary(b); // after s, so s stays valid
    if (s.B == e.B) {
      erase(s.B, s.I, e.I);
    } else {
      erase(e.B, 0, e.I);
      for (size_t k = s.B + 1; k < e.B; ++k)
        erase(k, 0, fBlocks[k].Pieces.size());
      erase(s.B, s.I, fBlocks[s.B].Pieces.size());
    }
    Block& bl = fBlocks[s.B];
    if (!t.empty()) {
      bl.Pieces.insert(bl.Pieces.begin() + ptrdiff_t(s.I), Piece{t.data(), int64_t(t.size())});
      bl.Len += int64_t(t.size());
    }
    fSize += int64_t(t.size()) - (b - a);
    if (bl.Pieces.size() > 2 * kPieces) {
      Block upper;
      upper.Pieces.assign(bl.Pieces.begin() + kPieces, bl.Pieces.end());
      bl.Pieces.resize(kPieces);
      for (const Piece& pc : upper.Pieces)
        upper.Len += pc.Len;
      bl.Len -= upper.Len;
      fBlocks.insert(fBlocks.begin() + ptrdiff_t(s.B) + 1, std::move(upper));
    }
    std::erase_if(fBlocks, [](const Block& k) { return k.Pieces.empty(); });
    if (fBlocks.empty())
      fBlocks.emplace_back();
  }

private:
  static constexpr size_t kPieces = 256;
  struct Piece {
    const char16_t* Text;
    int64_t Len;
  };
  struct Block {
    std::vector<Piece> Pieces;
    int64_t Len = 0;
  };
  struct Loc {
    size_t B, I;
  };

  char16_t at(int64_t p) const {
    for (const Block& bl : fBlocks) {
      if (p >= bl.Len) {
        p -= bl.Len;
        continue;
      }
      for (const Piece& pc : bl.Pieces) {
        if (p < pc.Len)
          return pc.Text[p];
        p -= pc.Len;
      }
    }
    return 0;
  }
  // Makes p (0..Size()) the start of a piece; where that piece is.
  Loc boundary(int64_t p) {
    size_t b = 0;
    while (b + 1 < fBlocks.size() && p >= fBlocks[b].Len)
      p -= fBlocks[b++].Len;
    std::vector<Piece>& pieces = fBlocks[b].Pieces;
    size_t i = 0;
    while (i < pieces.size() && p >= pieces[i].Len)
      p -= pieces[i++].Len;
    if (p > 0) {
      const Piece rest{pieces[i].Text + p, pieces[i].Len - p};
      pieces[i].Len = p;
      pieces.insert(pieces.begin() + ptrdiff_t(i) + 1, rest);
      ++i;
    }
    return {b, i};
  }
  void erase(size_t b, size_t from, size_t to) {
    Block& bl = fBlocks[b];
    for (size_t i = from; i < to; ++i)
      bl.Len -= bl.Pieces[i].Len;
    bl.Pieces.erase(bl.Pieces.begin() + ptrdiff_t(from), bl.Pieces.begin() + ptrdiff_t(to));
  }

  std::vector<Block> fBlocks; // never empty
  int64_t fSize;
};

// A removed text holds breaks as CR LF pairs only, as the store gives them.
bool WholeBreaks(const std::u16string& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == u'\r' && (i + 1 >= t.size() || t[i + 1] != u'\n'))
      return false;
    if (t[i] == u'\n' && (i == 0 || t[i - 1] != u'\r'))
      return false;
  }
  return true;
}

TUndoRecord readRecord(QIODevice& stream, int32_t i) {
  const int32_t size = readInt(stream);
  if (size < TZarvUndoList::kRecordOverhead)
    throw bad(QStringLiteral("record %1 has the impossible size %2").arg(i).arg(size));
  if (!stream.isSequential() && int64_t(size) * 2 > stream.bytesAvailable())
    throw bad(QStringLiteral("record %1 is cut short").arg(i));
  const QByteArray block = stream.read(qint64(size) * 2);
  if (block.size() != qsizetype(size) * 2)
    throw bad(QStringLiteral("record %1 is cut short").arg(i));
  TUndoRecord r;
  r.UndoStart = qFromLittleEndian<qint32>(block.constData());
  r.UndoStop = qFromLittleEndian<qint32>(block.constData() + 4);
  r.LockCount = qFromLittleEndian<qint32>(block.constData() + 8);
  const qsizetype units = size - 12;
  std::u16string text(size_t(units), u'\0');
  qFromLittleEndian<quint16>(block.constData() + 24, units, text.data());
  const size_t zero = text.find(u'\0');
  if (zero == std::u16string::npos)
    throw bad(QStringLiteral("record %1 has no terminating zero").arg(i));
  text.resize(zero);
  r.UndoText = std::move(text);
  if (r.UndoStart < 0 || r.UndoStop < r.UndoStart)
    throw bad(QStringLiteral("record %1 has the impossible range %2..%3").arg(i).arg(r.UndoStart).arg(r.UndoStop));
  if (!WholeBreaks(r.UndoText))
    throw bad(QStringLiteral("record %1 holds half a line break").arg(i));
  return r;
}

// Record r applied to text, as undo or redo would: its range must lie in
// the text with neither end between a CR and its LF.
void replay(const TUndoRecord& r, int32_t i, TPieceText& text) {
  if (r.UndoStop > text.Size())
    throw bad(QStringLiteral("record %1 ends at %2, after the end of its text (%3): the list belongs to another "
                             "text")
                  .arg(i)
                  .arg(r.UndoStop)
                  .arg(text.Size()));
  if (text.SplitsBreak(r.UndoStart) || text.SplitsBreak(r.UndoStop))
    throw bad(QStringLiteral("record %1 (%2..%3) splits a line break: the list belongs to another text")
                  .arg(i)
                  .arg(r.UndoStart)
                  .arg(r.UndoStop));
  text.Replace(size_t(r.UndoStart), size_t(r.UndoStop), r.UndoText);
}

} // namespace

void TZarvUndoList::Save(QIODevice& stream) const {
  writeInt(stream, fLevel);
  writeInt(stream, Count());
  for (const TUndoRecord& r : fRecords) {
    const int32_t size = int32_t(SizeOf(r));
    writeInt(stream, size);
    QByteArray block(qsizetype(size) * 2, '\0');
    qToLittleEndian<qint32>(r.UndoStart, block.data());
    qToLittleEndian<qint32>(r.UndoStop, block.data() + 4);
    qToLittleEndian<qint32>(r.LockCount, block.data() + 8);
    qToLittleEndian<quint16>(r.UndoText.data(), qsizetype(r.UndoText.size()), block.data() + 24);
    if (stream.write(block) != block.size())
      throw EWriteError(QStringLiteral("Stream write error"));
  }
}

void TZarvUndoList::Load(QIODevice& stream, std::u16string_view text) {
  const int32_t level = readInt(stream);
  const int32_t count = readInt(stream);
  if (count < 0 || level < 0 || level > count)
    throw bad(QStringLiteral("impossible level %1 of %2 records").arg(level).arg(count));
  TZarvUndoList loaded;
  loaded.fClean = -1;
  for (int32_t i = 0; i < count; ++i) {
    TUndoRecord r = readRecord(stream, i);
    loaded.fTotal += SizeOf(r);
    loaded.fRecords.push_back(std::move(r));
  }
  // Undo replays the records below the level from the current text
  // backwards, redo those above it forwards.
  {
    TPieceText t(text);
    for (int32_t i = level - 1; i >= 0; --i)
      replay(loaded.fRecords[size_t(i)], i, t);
  }
  TPieceText t(text);
  for (int32_t i = level; i < count; ++i)
    replay(loaded.fRecords[size_t(i)], i, t);
  loaded.SetLevel(level);
  *this = std::move(loaded);
}

QString TZarvUndoList::CheckIntegrity() const {
  if (fLevel < 0 || fLevel > Count())
    return QStringLiteral("undo level %1 outside 0..%2").arg(fLevel).arg(Count());
  if (fClean < -1 || fClean > Count())
    return QStringLiteral("clean position %1 outside -1..%2").arg(fClean).arg(Count());
  int64_t total = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    const TUndoRecord& r = fRecords[size_t(i)];
    if (r.UndoStart < 0 || r.UndoStop < r.UndoStart)
      return QStringLiteral("undo record %1 has the range %2..%3").arg(i).arg(r.UndoStart).arg(r.UndoStop);
    total += SizeOf(r);
  }
  if (total != fTotal)
    return QStringLiteral("undo space %1, records sum to %2").arg(fTotal).arg(total);
  if (countSteps(0, fLevel) != fSteps)
    return QStringLiteral("%1 undo steps counted, %2 kept").arg(countSteps(0, fLevel)).arg(fSteps);
  return {};
}

} // namespace zarv
