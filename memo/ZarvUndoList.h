// The undo list of an editor control: records of changes, oldest first,
// with the position that divides undo records from redo records, the space
// they take, the two limits, and the stream an editing session is saved to.
//
// A record says that the text UndoStart..UndoStop was inserted where
// UndoText was removed; undoing it swaps the two. Its size, in UTF-16 units,
// is the removed text's length + 13 (a 24-byte header and a terminating
// zero, as in the stream). Records with the same non-zero LockCount form one
// group, undone and redone as one step.
//
// Invariants (CheckIntegrity verifies them): 0 <= Level() <= Count();
// TotalSize() = sum of SizeOf over the records; 0 <= UndoStart <= UndoStop
// for every record.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

class QIODevice;

namespace zarv {

struct TUndoRecord {
  int32_t UndoStart = 0;
  int32_t UndoStop = 0;
  int32_t LockCount = 0;
  std::u16string UndoText;
};

class TZarvUndoList {
public:
  static constexpr int32_t kRecordOverhead = 13; // header and zero, in UTF-16 units
  static int64_t SizeOf(const TUndoRecord& r) { return int64_t(r.UndoText.size()) + kRecordOverhead; }

  int32_t Count() const { return int32_t(fRecords.size()); }
  // Records 0..Level() - 1 can be undone, the rest redone.
  int32_t Level() const { return fLevel; }
  int64_t TotalSize() const { return fTotal; }
  const TUndoRecord& At(int32_t i) const { return fRecords[size_t(i)]; }
  TUndoRecord& At(int32_t i) { return fRecords[size_t(i)]; }

  void Clear();
  // Removes record i (ERangeError outside the list); the level follows.
  void Remove(int32_t i);
  // Drops every redo record.
  void RemoveRedo();
  // Appends r as the newest undo record (redo records must be gone). With
  // maxLevel > 0 the oldest records go first while more than maxLevel can
  // be undone, so right after the append maxLevel + 1 can.
  void Append(TUndoRecord r, int32_t maxLevel);
  // With maxSpace > 0: while the total exceeds it, the newest redo records
  // go, then the oldest records (which can take the newest one with them).
  void TrimSpace(int32_t maxSpace);
  // Trims to at most maxLevel records below and no redo record past it.
  void TrimLevel(int32_t maxLevel);
  // Swaps record i for r, keeping the size accounting exact.
  void Replace(int32_t i, TUndoRecord r);
  void SetLevel(int32_t level) { fLevel = level; }
  // A record's text grew or shrank in place: the total follows.
  void Resized(int64_t delta) { fTotal += delta; }

  // The stream: level, count, then per record its size S and 2 x S bytes
  // (start, stop, lock count, 12 reserved bytes, the text, a zero, padding);
  // little-endian 32-bit integers.
  void Save(QIODevice& stream) const;
  // Replaces the list with the stream's. Records must fit a text of
  // textLength characters. On a truncated or impossible stream raises
  // EReadError and leaves the list as it was.
  void Load(QIODevice& stream, int32_t textLength);

  // Empty when consistent, else the first violation.
  QString CheckIntegrity() const;

private:
  std::vector<TUndoRecord> fRecords;
  int32_t fLevel = 0;
  int64_t fTotal = 0;
};

} // namespace zarv
