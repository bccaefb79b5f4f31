// The paragraph store: the whole text of one editor control.
//
// Text is a sequence of paragraphs (text between two line breaks), one
// ParInfo record each, in 32 KB chunks. Positions are 32-bit character
// offsets in which every break counts two characters, whatever break style
// the text was loaded with. The store edits text only through InsertBuf,
// keeps every paragraph's StartOffset and StartLine current with chunk-wise
// shifts, and accumulates a modified range that the control consumes to
// re-highlight, re-wrap and repaint.
//
// Invariants (CheckIntegrity verifies them):
// - once text was loaded or inserted there is at least one paragraph;
// - StartOffset(i + 1) = StartOffset(i) + length(i) + 2, StartOffset(0) = 0,
//   fTextLen = sum of lengths + 2 x (count - 1);
// - StartLine(i) is the number of visible display lines before paragraph i
//   (a hidden paragraph carries the next visible paragraph's number);
//   fVisibleLineCount and fTrueLineCount are the visible and total sums
//   (both StartOffset and StartLine as read through Par(), which applies a
//   pending shift first);
// - display lines of a paragraph tile 0..length; dynamic codes are ordered
//   and lie within 0..length;
// - a paragraph's block start level equals the previous paragraph's block
//   end level.
#pragma once

#include <ZarvMemo/support/store/DynArray2.h>
#include <ZarvMemo/support/store/LineBreak.h>
#include <ZarvMemo/support/store/ParRecords.h>
#include <ZarvMemo/support/store/TextArena.h>
#include <ZarvMemo/support/store/TextEncoding.h>

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QIODevice;

namespace zarv {

class TZarvNavigator;
class TParagraphsList;

using TProgressEvent = std::function<void(TParagraphsList& Sender)>;

class TParagraphsList : public TDynArray2 {
public:
  TParagraphsList();
  ~TParagraphsList() override;

  // ---- Records --------------------------------------------------------------
  ParInfo GetItem(int32_t i) const { return *getParPointers(i); }
  void SetItem(int32_t i, const ParInfo& rec) { *getParPointers(i) = rec; }
  // Address of record i (valid until the paragraph count changes).
  // Reading a record through these applies any pending shift to it first.
  ParInfo* getParPointers(int32_t i) const {
    if (i >= fShiftFrom)
      settleShift(i);
    return static_cast<ParInfo*>(GetPointer(i));
  }
  ParInfo* Par(int32_t i) const {
    if (i >= fShiftFrom)
      settleShift(i);
    return static_cast<ParInfo*>(PointerUnchecked(i));
  }
  // The record as stored: its StartOffset and StartLine may still lack the
  // pending shift (see ShiftFrom).
  ParInfo* RawPar(int32_t i) const { return static_cast<ParInfo*>(PointerUnchecked(i)); }
  // Start offset and line of record i, pending shift included, without
  // applying it.
  int32_t StartOffsetOf(int32_t i) const { return RawPar(i)->StartOffset + (i >= fShiftFrom ? fShiftOffset : 0); }
  int32_t StartLineOf(int32_t i) const { return RawPar(i)->StartLine + (i >= fShiftFrom ? fShiftLine : 0); }
  // Shifting the start offsets and lines of every record after an edit
  // would touch the whole store on each keystroke. The shift is kept
  // pending instead: records from ShiftFrom() on lack it, and it is applied
  // chunk by chunk as they are read, or to a range when another shift
  // starts elsewhere.
  int32_t ShiftFrom() const { return fShiftFrom; }
  void SettleAll() const {
    if (fShiftFrom < fCount)
      settleShift(fCount - 1);
  }

  // ---- Editing ------------------------------------------------------------
  // Replaces the text between StartNav and StopNav by the NUL-terminated Buf
  // (nil: delete only). On return StartNav stands at the start of the new
  // text and StopNav just after it.
  void InsertBuf(const char16_t* Buf, TZarvNavigator& StartNav, TZarvNavigator& StopNav, bool DiscardTrailingSpaces,
                 bool CheckFormat, int32_t& OffsetDelta, int32_t& LineDelta, bool& DynsChanged);

  void UpdateOffsets(int32_t FromPar, int32_t Delta);
  void UpdateLines(int32_t FromPar, int32_t Delta);
  void UpdateOffsetsLines(int32_t FromPar, int32_t OffsetDelta, int32_t LineDelta);
  void ExtendMods(int32_t StartPar, int32_t LineInPar, int32_t StopPar);
  void MarkUnformatted();
  // Empties the store (no paragraphs, one chunk).
  void CleanUp();
  // Gives an empty store its one empty paragraph (an empty text).
  void EnsureOneParagraph();

  // ---- Paragraph blocks (folding) ------------------------------------------------
  // Makes paragraphs StartPar..StopPar a block one level deeper than
  // StartPar; false when the range is empty or 31 levels are in use.
  bool MakeCollapsibleBlock(int32_t StartPar, int32_t StopPar);
  // Flattens the innermost block holding ParNb into the level around it.
  void RemoveCollapsibleBlock(int32_t ParNb);
  // Collapses or expands the block of `Level` that starts at ParNb; true
  // when the display changed.
  bool CollapseExpandBlock(int32_t ParNb, int32_t Level, bool Collapse);
  // The same for levels FromLevel..ToLevel of the blocks holding ParNb.
  bool CollapseExpandPar(int32_t ParNb, int32_t FromLevel, int32_t ToLevel, bool Collapse);
  // Display lines paragraph i shows: none when hidden, one when it is the
  // first paragraph of a collapsed block, else all of them.
  int32_t VisibleLinesOf(int32_t i) const;
  // Paragraph i opens a block that is collapsed.
  bool IsCollapsedBlockStart(int32_t i) const;

  // ---- Streams --------------------------------------------------------------
  // Loads text into the empty store, reading the device until its stream
  // ends (a pipe or socket included). LineBreak receives the style of the
  // last break found. Throws EStreamError for an odd UTF-16 byte count
  // (before reading when the device knows its size) or a failing device,
  // and ETextTooLong for text beyond 2^31 - 3 characters; the store is then
  // a consistent text holding what was read.
  //
  // With an Encoding, the text is read in it (past its own byte-order mark,
  // which the result reports). Without one, a byte-order mark decides
  // (UTF-8, UTF-16LE, UTF-16BE); else the text is UTF-8 if its bytes are,
  // and 8-bit otherwise, so that saving it as found gives back its bytes.
  // Only a sequential device whose text shows invalid UTF-8 after multi-byte
  // characters stays UTF-8, with the invalid bytes taken as their 8-bit
  // values (InvalidBytes counts them, as it does for UTF-8 asked for).
  TzvsLoadResult LoadFromStream(QIODevice& Stream, std::optional<TzvsEncoding> Encoding, char16_t NullReplacement,
                                bool DiscardTrailingSpaces, TzvsLineBreak& LineBreak,
                                const TProgressEvent& OnProgress = {}, uint32_t ProgressInterval = 300);
  // 8-bit (Ansi) or UTF-16LE text, a byte-order mark included as a character.
  void LoadFromStream(QIODevice& Stream, bool Ansi, char16_t NullReplacement, bool DiscardTrailingSpaces,
                      TzvsLineBreak& LineBreak, const TProgressEvent& OnProgress = {}, uint32_t ProgressInterval = 300);
  // Writes the text in Format, its byte-order mark first when Format.Bom.
  // Returns how many characters the encoding could not hold: characters
  // above U+00FF in 8-bit text (written as their low byte) and surrogates
  // without a partner in UTF-8 (written as U+FFFD). Throws EStreamError
  // when the device refuses bytes.
  int64_t SaveToStream(QIODevice& Stream, TzvsTextFormat Format, bool StripStrayCtrlCodes, bool DiscardTrailingSpaces,
                       TzvsLineBreak LineBreak, const TProgressEvent& OnProgress = {}, uint32_t ProgressInterval = 300);
  // 8-bit (Ansi) or UTF-16LE text without a byte-order mark.
  void SaveToStream(QIODevice& Stream, bool Ansi, bool StripStrayCtrlCodes, bool DiscardTrailingSpaces,
                    TzvsLineBreak LineBreak, const TProgressEvent& OnProgress = {}, uint32_t ProgressInterval = 300);

  // ---- Reading --------------------------------------------------------------
  QString ParString(int32_t i) const;
  // The whole text with breaks written as `lb`.
  QString Text(TzvsLineBreak lb = zsbCRLF) const;
  // Number of the paragraph holding absolute position pos, located by
  // interpolation and a short walk (positions are clamped into the text).
  int32_t LocatePar(int32_t pos) const;

  // Bytes of the blocks that hold the shared buffers of the last load (kept
  // outside malloc on Linux, so heap statistics do not show them).
  size_t TextBlockBytes() const { return fArena.Bytes(); }

  // ---- Integrity ---------------------------------------------------------------
  // Empty when the store is consistent, else the first violation found.
  QString CheckIntegrity() const;
  // Throws EZarvError with the CheckIntegrity message when inconsistent.
  void AssertIntegrity() const;

  // ---- State read and written by the control -------------------------------
  std::vector<TBufferRecord> fBufferList;
  bool fStaticFormat = false;
  bool fModified = false;
  int32_t fTextLen = 0;
  int32_t fTrueLineCount = 0;
  int32_t fVisibleLineCount = 0;
  int32_t fModStartLine = 0;
  int32_t fModStartPar = 0;
  int32_t fModStopPar = 0;
  int32_t fModLinesOffset = 0;
  int32_t fLastStartStopParsed = -1;
  int32_t fUpdateStartPar = 0;
  int32_t fUpdateStopPar = -1;
  bool fNoCompleteFormat = false;
  int32_t fLoadPosition = 0;
  int32_t fSavePosition = 0;

private:
  TTextArena fArena; // the blocks of the shared buffers of the last load
  friend class TInsertBufOp;
  friend class TTextLoader;
  void releaseParagraph(ParInfo& par);
  void finishLoad();
  void freeSharedBuffers();
  // Copies count records from index `from` to index `to` (ranges may
  // overlap), in runs that stay inside one chunk on both sides.
  void moveRecords(int32_t from, int32_t to, int32_t count);
  void settleShift(int32_t i) const;
  void shiftRange(int32_t from, int32_t to, int32_t offsetDelta, int32_t lineDelta) const;
  void resetShift() const {
    fShiftFrom = INT32_MAX;
    fShiftOffset = fShiftLine = 0;
  }
  // Pending shift: records from fShiftFrom on (INT32_MAX: none) lack
  // fShiftOffset and fShiftLine.
  mutable int32_t fShiftFrom = INT32_MAX;
  mutable int32_t fShiftOffset = 0, fShiftLine = 0;
};

// Gives paragraph parNb (or par, when not nil) its own copy of its text, so
// that the text can be changed in place. Nothing when it owns it already.
void MakeOwnTextBuffer(TParagraphsList& list, int32_t parNb, ParInfo* par = nullptr);

} // namespace zarv
