// A position in the text of one editor control (or of a bare store).
//
// A navigator is an absolute character offset in which every paragraph break
// counts two characters. Everything else it reports (paragraph, offset in the
// paragraph, display line, column, the style run in force, pixel
// coordinates) is derived lazily from that offset and cached until the
// navigator moves or the text changes. Navigators created on a control are
// registered in its navigator list; the control moves them after every edit
// (AdjustNavigators) and frees those still registered when it goes.
#pragma once

#include <ZarvMemo/platform/Sets.h>
#include <ZarvMemo/support/layout/LongLineIndex.h>
#include <ZarvMemo/support/navigator/LinesList.h>
#include <ZarvMemo/support/store/ParRecords.h>

#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QObject;

namespace zarv {

class TParagraphsList;
class TZarvNavigator;
class TZarvMemoHost;
struct TEditRange;

using TNavigatorEvent = std::function<void(TZarvNavigator& Sender)>;

inline constexpr const char* SInternalError = "Internal ZarvMemo error";
inline constexpr const char* SNotAZarvMemo = "Internal error: component is not a TZarvMemo";

// Invariants: fPos is always set; when fPar is set, fParNb is its number and
// fOffset = fPos - its StartOffset, 0 <= fOffset <= length + 1; fDynNb and
// fParLine are -1 (not computed) or correct for fOffset; fParLine may also
// be kUpperAtWrap: not computed, and at a wrap point the position stays at
// the end of the upper line.
class TZarvNavigator {
public:
  static constexpr int32_t kUpperAtWrap = -2;
  // A free-standing navigator, attached to nothing.
  TZarvNavigator();
  // A navigator on a bare store (not registered anywhere).
  explicit TZarvNavigator(TParagraphsList* list);
  // A navigator on a control: AMemo must be a TZarvMemo (or nil); it is
  // registered in the control's navigator list.
  explicit TZarvNavigator(QObject* AMemo);
  ~TZarvNavigator();
  // Registered by identity with its control: not copyable; use Assign.
  TZarvNavigator(const TZarvNavigator&) = delete;
  TZarvNavigator& operator=(const TZarvNavigator&) = delete;

  TParagraphsList* List() const { return fList; }
  TZarvMemoHost* Memo() const { return fZvMemo; }
  // Attaches a free-standing navigator to a control without registering it
  // (private scratch navigators of the highlighting and folding passes).
  void AttachMemo(TZarvMemoHost* memo);

  void Assign(const TZarvNavigator& other);
  void Invalidate();

  // ---- Position by offset -----------------------------------------------------
  int32_t GetPos() const { return fPos; }
  void SetPos(int32_t P);
  int32_t GetParNb();
  ParInfo* GetPar();
  int32_t GetOffset();
  void setParNb(int32_t N);
  void setParOffset(int32_t O);

  // ---- Lines and columns --------------------------------------------------------
  int32_t GetParLine();
  void SetParLine(int32_t L);
  int32_t GetLineNb();
  void SetLineNb(int32_t N);
  int32_t getVisibleLineNumber();
  void setVisibleLineNumber(int32_t N);
  bool getIsVisible();
  int32_t GetColNb();
  void SetColNb(int32_t C);
  TLinesList& NavLines();

  // ---- Content at the position ----------------------------------------------------
  char16_t GetText();
  unsigned char GetAnsiText() { return zvChar(GetText()); }
  QString GetWord();
  QString GetLine();
  // Copies N characters from the position (breaks as CR LF) and a NUL;
  // returns the characters copied.
  int32_t GetTextBuf(char16_t* Buf, int32_t N);
  TZarvFontStyles GetStyle();
  DynInfoRec* GetpDynInfo();
  DynInfoRec GetDynInfo() { return *GetpDynInfo(); }
  int32_t GetContext();

  // ---- Dynamic codes -----------------------------------------------------------------
  int32_t GetDynNb();
  void setDynNb(int32_t D);
  void RightOfDyn();
  bool AdvanceDyn();
  void AddDyn(const DynInfoRec& D);
  void RemoveDyn();
  bool NextDyn();
  bool PreviousDyn();
  bool ForwardToDyn(int32_t Limit);
  bool BackToDyn(int32_t Limit);

  // ---- Words -----------------------------------------------------------------------------
  void ToNextWord(const TCharSet& Delims);
  void ToPreviousWord(const TCharSet& Delims);
  void ToEndOfWord(const TCharSet& Delims);
  void ToStartOfWord(const TCharSet& Delims);

  // ---- Display coordinates (need a control) ----------------------------------------
  int32_t GetDisplayY();
  void setDisplayY(int32_t Y);
  int32_t GetDisplayX();
  void SetDisplayX(int32_t X);
  QPoint GetDisplayPos() { return QPoint(GetDisplayX(), GetDisplayY()); }
  void SetDisplayPos(const QPoint& Pt);
  int32_t getDisplayWidth();

  // Goes to offset `offset` of paragraph `parNb` (clamped to its length).
  void SetParPos(int32_t parNb, int32_t offset) {
    setParNb(parNb);
    setParOffset(offset);
  }
  bool IsLocated() const { return fPar != nullptr; }
  // Forgets the cached code and line indexes (after codes or lines of its
  // paragraph changed).
  void ForgetIndexes() {
    fDynNb = -1;
    fParLine = -1;
  }

  // After its paragraph was wrapped again: the cached indexes go, but a
  // position that stood at the end of the upper line at a wrap point stays
  // there (a caret after End on a wrapped line must not drop a line).
  void ForgetIndexesAfterWrap();

  // Places the navigator with every cached value known (used by the store
  // after an edit). dynNb and parLine may be -1.
  void SetLocated(int32_t parNb, int32_t offset, int32_t dynNb, int32_t parLine);

  // ---- Folding of style-run blocks (need a control without word wrap) -------
  // The fold state of the navigator's display line; true when it shows a
  // collapsed block.
  bool GetCollapseLevels(int32_t& StartLevel, int32_t& EndLevel, int32_t& Levels);
  // Folds the run block in force at the position (with Force, any run with a
  // collapse level); false when refused.
  bool Collapse(bool Force);
  // Unfolds it; true when it was folded.
  bool Expand(bool Force);
  // Unfolds every run block around the position; true when any was folded.
  bool ExpandAllLevels();

  // Empty when the position lies in the text and the cached paragraph,
  // offset and code index agree with it; else the first disagreement.
  QString CheckIntegrity() const;

  bool fAdjustRight = false;
  bool fFreeOnDelete = false;
  int32_t fExtra = 0;
  TNavigatorEvent fOnFree;

private:
  friend void AdjustNavigators(TParagraphsList&, const std::vector<TZarvNavigator*>&, const TEditRange&,
                               std::vector<TZarvNavigator*>&);
  void locate();
  const LineInfo& lineInfo(int32_t line);
  template <class Before>
  int32_t firstLineWhere(int32_t from, int32_t to, Before before);
  void setWithinPar(int32_t offset);
  const TCharSet& delimiters() const;
  const TLongLineIndex::TMark* lineMark(int32_t at, int64_t x);

  TZarvMemoHost* fZvMemo = nullptr;
  bool fRegistered = false;
  TParagraphsList* fList = nullptr;
  int32_t fPos = 0;
  ParInfo* fPar = nullptr;
  // fPar with the store's pending shift applied to it (read its start
  // offset and line only through this).
  ParInfo* freshPar() const;
  int32_t fParNb = -1;
  int32_t fOffset = 0;
  int32_t fDynNb = -1;
  int32_t fParLine = -1;
  std::unique_ptr<TLinesList> fNavLines;
  LineInfo fScratchLine;
};

} // namespace zarv
