// The undo list of an editor control: records of changes, oldest first,
// with the position that divides undo records from redo records, the space
// they take, the two limits, the clean position (where the text is as last
// saved), and the stream an editing session is saved to.
//
// A record says that the text UndoStart..UndoStop was inserted where
// UndoText was removed; undoing it swaps the two. Its size, in UTF-16 units,
// is the removed text's length + 13 (a 24-byte header and a terminating
// zero, as in the stream). Records with the same non-zero LockCount that
// follow one another form one group; a group, or a record with LockCount 0,
// is one step, undone and redone as a whole.
//
// The limits count and trim whole steps: the level limit bounds the steps
// that can be undone, and a step is never trimmed in part, so an undo never
// leaves a change half undone. Trimming costs the records it removes (the
// records sit in a deque), never the records that stay.
//
// Invariants (CheckIntegrity verifies them): 0 <= Level() <= Count();
// TotalSize() = sum of SizeOf over the records; 0 <= UndoStart <= UndoStop
// for every record; Steps() = the steps among records 0..Level() - 1;
// -1 <= CleanLevel() <= Count().
#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

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
  // The steps that can be undone (a group counts one).
  int32_t Steps() const { return fSteps; }
  int64_t TotalSize() const { return fTotal; }
  const TUndoRecord& At(int32_t i) const { return fRecords[size_t(i)]; }

  void Clear();
  // Removes record i (ERangeError outside the list); the level follows.
  void Remove(int32_t i);
  // Drops every redo record.
  void RemoveRedo();
  // Drops the redo records, then appends r as the newest undo record. With
  // maxLevel > 0, when r starts a step the oldest steps go first while more
  // than maxLevel can be undone, so right after the append maxLevel + 1
  // can. Then the space is trimmed as by TrimChange. False when r was not
  // kept: its step did not fit in maxSpace, or belongs to a group whose
  // records were dropped before.
  bool Append(TUndoRecord r, int32_t maxLevel, int32_t maxSpace);
  // The newest undo record grew to cover a continued typing run: it now
  // starts at start and ends at stop, with prefix before its text.
  void ExtendLast(int32_t start, int32_t stop, std::u16string_view prefix);
  // After a change, with maxSpace > 0: while the total exceeds it, the
  // oldest steps go. When the newest step alone exceeds it, it goes too
  // (the change cannot be undone): its group is dropped for good, its size
  // added to what TakeDropped reports, and the result is false.
  bool TrimChange(int32_t maxSpace);
  // The space limit set anew: with maxSpace > 0, while the total exceeds
  // it, the newest redo steps go, then the oldest steps.
  void TrimSpace(int32_t maxSpace);
  // The level limit set anew (maxLevel >= 0): at most maxLevel steps stay
  // below the level and no redo step past the first maxLevel steps.
  void TrimLevel(int32_t maxLevel);
  // Swaps record i for r (of the same group), keeping the size accounting.
  void Replace(int32_t i, TUndoRecord r);
  void SetStop(int32_t i, int32_t stop) { fRecords[size_t(i)].UndoStop = stop; }
  // Moves the newest undo record into group g (0: a step of its own).
  void SetLastGroup(int32_t g);
  // Records of group g made from now on are dropped (g != 0): an earlier
  // part of the group could not be kept.
  void DropGroup(int32_t g);
  void SetLevel(int32_t level);
  // The total size of the records dropped because their step did not fit,
  // since the last call.
  int64_t TakeDropped();

  // The clean position: the level at which the text is as it was when it
  // was last marked clean, or -1 when no undo or redo can reach it again.
  int32_t CleanLevel() const { return fClean; }
  bool IsClean() const { return fClean == fLevel; }
  void MarkClean() { fClean = fLevel; }
  void ForgetClean() { fClean = -1; }

  // The stream: level, count, then per record its size S and 2 x S bytes
  // (start, stop, lock count, 12 reserved bytes, the text, a zero, padding);
  // little-endian 32-bit integers.
  void Save(QIODevice& stream) const;
  // Replaces the list with the stream's, for the current text. Every record
  // must apply to the text its predecessors leave (undo records backwards
  // from text, redo records forwards) as an edit would have made it: inside
  // the text, never ending between the CR and the LF of a break, its text
  // holding whole breaks only. On a truncated or impossible stream raises
  // EReadError and leaves the list as it was. The clean position is lost.
  void Load(QIODevice& stream, std::u16string_view text);

  // Empty when consistent, else the first violation.
  QString CheckIntegrity() const;

private:
  bool startsStep(int32_t i) const;
  int32_t countSteps(int32_t from, int32_t to) const;
  void popFront();
  void popOldestStep();
  void popNewestStep();

  std::deque<TUndoRecord> fRecords;
  int32_t fLevel = 0;
  int32_t fSteps = 0;
  int64_t fTotal = 0;
  int32_t fClean = 0;
  int32_t fDroppedGroup = 0;
  int64_t fDropped = 0;
};

} // namespace zarv
