// What keeps one long paragraph cheap to edit and to move on: the range an
// edit (and the re-highlighting after it) changed since the paragraph was
// last wrapped, and, when the paragraph is one unwrapped line, sparse x
// checkpoints along that line.
//
// The control feeds every text replacement to NoteEdit and lets the index
// capture the paragraph after each wrap. At the next wrap Change() returns
// the part of the paragraph that may differ from what was wrapped: the text
// edits noted since, widened by a comparison of the paragraph's style runs
// with the copy taken at capture (only their offsets and style bytes, which
// are what widths depend on). Outside that part text and runs are the same,
// offsets after it moved by the edits' length change.
//
// Widths are sums of per-character advances (see Measuring in
// docs/ARCHITECTURE.md), so the x of an offset on an unwrapped line is the
// x of a checkpoint before it plus the width of the text between. After an
// edit only the checkpoints from the one before the change up to the first
// one after it where the x difference no longer changes are measured again;
// the later ones move by that difference.
#pragma once

#include <ZarvMemo/support/store/ParRecords.h>

#include <cstdint>
#include <vector>

namespace zarv {

class TZarvMemoHost;

class TLongLineIndex {
public:
  // Paragraphs shorter than this are wrapped whole, as measuring them costs
  // less than keeping an index.
  static constexpr int32_t kMinLength = 4096;
  // Characters between two x checkpoints.
  static constexpr int32_t kStep = 512;

  // The part of the paragraph's new text that may differ: [From, length -
  // ToEnd); CodeDelta: how many style runs more it has than at capture.
  struct TChange {
    int32_t From = 0;
    int32_t ToEnd = 0;
    int32_t CodeDelta = 0;
  };
  // An x checkpoint: x at Offset on the unwrapped line (Offset on an
  // element boundary, never inside a surrogate pair), the static style in
  // force there and the tabs before it. Invariant: marks ascend by Offset,
  // the first is at 0.
  struct TMark {
    int32_t Offset;
    int32_t X;
    int32_t Tabs;
    TZarvFontStyles Style;
  };

  // Nothing known: the next wrap of any paragraph is a whole one.
  void Forget();
  // Nothing known about paragraph parNb.
  void Forget(int32_t parNb);
  // Whether paragraph parNb is held.
  bool Holds(int32_t parNb) const { return find(parNb) != nullptr; }

  // A text replacement from offset `from` of paragraph startPar up to
  // `newTo` of newStopPar (after the edit), the old text ending in
  // oldStopPar; newLength: the length of paragraph startPar after it;
  // lengthDelta: the paragraph's length change.
  void NoteEdit(int32_t startPar, int32_t oldStopPar, int32_t newStopPar, int32_t from, int32_t newTo,
                int32_t newLength, int32_t lengthDelta);
  // After paragraph parNb was wrapped with layout `key` (settings that
  // decide wrapping), whole or from a change: remembers its runs. Marks are
  // for an unwrapped paragraph (one line); they are kept when keepMarks
  // (UpdateMarks made them current), else built when first asked. The
  // paragraph held longest unused makes room when all places are taken.
  void Capture(int32_t parNb, uint64_t key, const ParInfo& par, bool unwrapped, bool keepMarks);

  // What changed in paragraph parNb since it was captured under `key`;
  // false when that is not known (a whole wrap is needed).
  bool Change(int32_t parNb, uint64_t key, const ParInfo& par, TChange& c) const;

  // ---- Unwrapped lines ---------------------------------------------------------
  // For paragraph parNb's one line of width `oldWidth` as captured: updates
  // the marks after change c and returns the new width in `width`; false
  // when the marks cannot say (the line is then wrapped whole).
  bool UpdateMarks(TZarvMemoHost& m, int32_t parNb, const ParInfo& par, const TChange& c, int32_t oldWidth,
                   int32_t& width);
  // The last mark at or before `offset` (by x: whose x is at most `x`) of
  // paragraph parNb's one line, built when missing; nullptr when the index
  // does not hold that paragraph's current layout.
  const TMark* MarkAtOffset(TZarvMemoHost& m, int32_t parNb, const ParInfo& par, int32_t offset);
  const TMark* MarkAtX(TZarvMemoHost& m, int32_t parNb, const ParInfo& par, int64_t x);

  // x after [from, to) of the unwrapped line, from x and the static style
  // at `from`; records marks every kStep characters into `marks` when given.
  static int32_t Measure(TZarvMemoHost& m, const ParInfo& par, int32_t from, int32_t to, int32_t x,
                         TZarvFontStyles& style, int32_t& tabs, std::vector<TMark>* marks);

private:
  struct TRun {
    int32_t Offset;
    uint8_t Style;
    bool operator==(const TRun&) const = default;
  };
  // What is known of one paragraph.
  struct TEntry {
    int32_t Par = -1;
    uint64_t Key = 0;
    uint64_t Used = 0;               // when last asked, for making room
    int32_t Length = 0;              // the paragraph's length at capture
    uint8_t StartStyle = 0;          // style byte of its start record then
    TZarvFontStyles StartAttrib = 0; // static style at its start then
    std::vector<TRun> Runs;          // its runs then
    bool Edited = false;             // text edits noted since capture
    int32_t EditFrom = 0;            // their union: [EditFrom, length - EditToEnd)
    int32_t EditToEnd = 0;
    int32_t LengthDelta = 0; // their length change
    bool Unwrapped = false;  // captured as one unwrapped line
    std::vector<TMark> Marks;
    int32_t TotalTabs = 0;
  };
  static constexpr size_t kEntries = 64; // a window full of long lines

  const TEntry* find(int32_t parNb) const;
  TEntry* find(int32_t parNb);
  TEntry* current(TZarvMemoHost& m, int32_t parNb, const ParInfo& par);
  // The key of a paragraph taken in by a query: formatting checks it
  // against the real one and wraps whole the first time.
  static constexpr uint64_t kUnknownKey = ~uint64_t(0);
  static bool buildMarks(TZarvMemoHost& m, const ParInfo& par, TEntry& e);
  static void widenByRuns(const TEntry& e, const ParInfo& par, int32_t editFrom, int32_t editEnd, int32_t& from,
                          int32_t& end);

  std::vector<TEntry> fEntries;
  uint64_t fClock = 0;
};

} // namespace zarv
