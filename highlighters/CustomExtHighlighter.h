// TCustomExtHighlighter: the engine of the extended highlighters.
//
// A highlighter with a keyword list and a start-stop list of its own, its
// own separators, an activity switch, three events that may veto each
// keyword or range, and an optional chained sub-highlighter. Attached to a
// control it takes part in the control's highlighting pass: it applies its
// keywords before the control's own, opens ranges where the control's list
// finds no start key, and closes the ranges it opened. Its codes carry
// global key numbers: the pass hands it a base (the count of the keys
// before it in the chain), it numbers its own keys from there and hands
// base + its own count to its sub-highlighter.
//
// Where a key may apply (scope and priority, see KeyAccepted): scope 0 is
// the top level, or anywhere with a priority above the enclosing range's;
// another scope only inside ranges whose context number equals it;
// priority 32767 everywhere below 15 levels. Keywords cover whole keywords
// only, never part of one or any part of a range.
//
// Invariants:
// - the sub-highlighter chain is acyclic (setSubHighlighter refuses a
//   loop with ECircularHighlighting and keeps the old link);
// - fSubHighlighter is alive or null: a sub-highlighter that goes is
//   unlinked first (its destructor, or its destroyed() signal for a plain
//   TZarvHighlighter), and every control that uses the chain highlights
//   its text again;
// - fChainedBy lists exactly the extended highlighters whose
//   sub-highlighter this one is.
//
// Run-time rule: property setters re-highlight the controls only at design
// time; at run time the application calls ReApplyKeys once after its
// changes. Changes of the chain itself (a sub-highlighter set or gone)
// always re-highlight, since the codes' key numbers change meaning.
//
// Event handlers must not change the text: a change is detected when the
// handler returns and raises EHandlerEditedText (the paragraph is left to be
// highlighted again), since the pass holds positions and codes of it.
#pragma once

#include <ZarvMemo/highlighters/ExtKeywordList.h>
#include <ZarvMemo/highlighters/ExtStartStopList.h>
#include <ZarvMemo/memo/ZarvMemoTypes.h>
#include <ZarvMemo/platform/Sets.h>
#include <ZarvMemo/support/highlight/Highlighter.h>
#include <ZarvMemo/support/highlight/KeywordMatcher.h>

#include <QMetaObject>
#include <QString>
#include <bitset>
#include <functional>
#include <memory>
#include <vector>

namespace zarv {

enum TOperation : uint8_t;
class TFiler;
class TReader;
class TStrings;
class TWriter;
struct TExtKeywordScratch;

// One occurrence of a keyword in a paragraph: offset, length and the
// keyword's index in its highlighter's own list.
struct TKeywordOccurrence {
  int32_t Pos, Len, Index;
};

class TCustomExtHighlighter : public TZarvHighlighter {
  Q_OBJECT
public:
  // KIndex is the key's index in this highlighter's own list; Accept comes
  // in true.
  using TKeywordEvent = std::function<void(TCustomExtHighlighter& Sender, TZarvNavigator& StartKey,
                                           TZarvNavigator& StopKey, int32_t KIndex, bool& Accept)>;
  // Scope is the context value of the code in force; DoHilit comes in with
  // the highlighter's own answer.
  using TQueryHilitEvent = std::function<void(TCustomExtHighlighter& Sender, int16_t Scope, bool& DoHilit)>;

  // The priority that applies everywhere, and the level at which nothing
  // more opens (KeyIndex has 16 entries).
  static constexpr int32_t kTopPriority = 32767;
  static constexpr int kMaxLevel = 15;
  // The largest global key numbers a code can hold: keywords are
  // non-negative 16-bit numbers; start-stop numbers carry bit 15 and the
  // value with every bit set means "none".
  static constexpr int32_t kMaxKeywordIndex = 0x7FFF;
  static constexpr int32_t kMaxStartStopIndex = 0x7FFE;

  explicit TCustomExtHighlighter(QObject* parent = nullptr);
  ~TCustomExtHighlighter() override;
  // A component with links to controls and other highlighters: not copyable.
  TCustomExtHighlighter(const TCustomExtHighlighter&) = delete;
  TCustomExtHighlighter& operator=(const TCustomExtHighlighter&) = delete;

  // ---- The pass ---------------------------------------------------------------
  void ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  // Moves Nav2 to the paragraph's first word when an edit among the blanks
  // before it may have changed which word is first; returns 1 when it moved.
  int32_t FixRange(TZarvNavigator& Nav1, TZarvNavigator& Nav2, int32_t KeywordBase, int32_t StartStopBase) override;
  // By the first characters of the start keys (this list's and the chain's).
  bool MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To) override;

  // Whether a key of scope S and priority P applies where the code in force
  // has this level, context and priority (GetPriority). A start key of
  // scope 0 never opens inside a range it does not outrank.
  static bool KeyAccepted(int level, int32_t context, int32_t priority, bool insideRange, int32_t S, int32_t P,
                          bool startKey);
  // The priority in force at a code: 0 at top level or in a range of
  // another list of the chain, 32767 inside a keyword, else the priority of
  // the range's start-stop key (this list, numbered from Base).
  int32_t GetPriority(const DynInfoRec& Dyn, int32_t Base) const;

  // ---- Lists, separators, switches --------------------------------------------------
  TExtKeywordList& Keywords() const { return *fKeywords; }
  TExtStartStopList& StartStopKeys() const { return *fStartStopKeys; }
  // Whole-word and word-option separators (8-bit). Default: tab, space,
  // ",", ".", ";".
  const TCharSet& Delimiters() const { return fDelimiters; }
  void setDelimiters(const TCharSet& set);
  // The separators 27..255 in ascending order (codes below 27 never show).
  QString getSeparators() const;
  // The 8-bit form of each character (255 for anything above). Codes below
  // 27 (tab among them) are not part of the text form: the separators set
  // keeps those it has.
  void setSeparators(const QString& text);
  bool getActive() const { return fActive; }
  void setActive(bool value);
  TZarvHighlighter* getSubHighlighter() const { return fSubHighlighter; }
  // Raises ECircularHighlighting when the chain from `value` leads back here.
  void setSubHighlighter(TZarvHighlighter* value);
  // Highlights again the text of every control using this highlighter,
  // directly or through a chain.
  void ReApplyKeys();

  // ---- One style for descendants that highlight with one ----------------------------
  bool getAltFont() const { return fAltFont; }
  void setAltFont(bool v);
  TColor getBackgnd() const { return fBackgnd; }
  void setBackgnd(TColor v);
  TColor getForegnd() const { return fForegnd; }
  void setForegnd(TColor v);
  TZarvFontStyles getStyle() const { return fStyle; }
  void setStyle(TZarvFontStyles v);
  int32_t getPriority() const { return fPriority; }
  void setPriority(int32_t v);
  int32_t getScope() const { return fScope; }
  void setScope(int32_t v);

  // ---- Component life ------------------------------------------------------------
  TComponentState ComponentState() const { return fComponentState; }
  void SetComponentState(TComponentState s) { fComponentState = s; }
  // After reading: leaves the loading state.
  virtual void Loaded();
  // A linked component goes (opRemove): the sub-highlighter link is dropped.
  virtual void Notification(QObject* component, TOperation operation);

  // ---- Persistence ------------------------------------------------------------------
  // A property section: Active, Separators, Keywords.Strings,
  // StartStopKeys.Keys, SubHighlighter (the sub-highlighter's object name,
  // found again among this object's siblings). Reading is all or nothing:
  // a damaged stream raises EReadError (EConvertError, EListError) and the
  // highlighter keeps what it had.
  void WriteData(TWriter& writer) const;
  void ReadData(TReader& reader);
  // Sections "[Separators]", "[Keywords]" and "[StartStopKeys]" of the
  // lists' ini lines; all or nothing like ReadData.
  void SaveToIniStrings(TStrings& strings) const;
  void LoadFromIniStrings(const TStrings& strings);

  TKeywordEvent OnKeyword;
  TKeywordEvent OnStart;
  TKeywordEvent OnStop;
  TQueryHilitEvent OnQueryHilit;

protected:
  // The property setters' rule: ReApplyKeys at design time, not loading.
  void designTimeReApply();
  // Properties a descendant writes after the engine's own, and reads back
  // (true when it claimed the name). Reading fills pending state that
  // commitRead() applies once the whole section was read.
  virtual void writeProperties(TWriter& writer) const;
  virtual bool readProperty(const QString& name, TReader& reader);
  virtual void beginRead() {}
  virtual void commitRead() {}
  // Whether the keyword and start-stop lists are part of the stored form
  // (descendants with a fixed vocabulary store other things).
  virtual bool listsArePublished() const { return true; }
  // Warns once that keys past the 16-bit key numbers are left out.
  void warnIndexOverflow() const;
  // Whether a word option lets a key begin at `pos` of a paragraph's text.
  bool wordOptionsAllow(TWordOptions options, const char16_t* text, int32_t pos) const;
  // A descendant whose keywords are not literal texts finds their
  // occurrences itself, in whole paragraphs (searchesOwnKeywords): key by
  // key in list order, each key's from left to right without overlapping.
  // The keyword pass then settles them as it settles literal ones. Its runs
  // of an earlier pass are told by key number and look, not by length.
  virtual bool searchesOwnKeywords() const { return false; }
  // Start-stop numbers a descendant takes before its own list's (ranges
  // of its own making); its list is numbered from base + this.
  virtual int32_t reservedStartStopKeys() const { return 0; }
  virtual void findOwnKeywords(TZarvMemoHost& memo, int32_t parNb, std::vector<TKeywordOccurrence>& out);

  bool fAltFont = false;
  int16_t fContext = 0;
  TColor fBackgnd = clNone;
  TColor fForegnd = clNone;
  TZarvFontStyles fStyle = 0;
  int32_t fPriority = 0;
  int32_t fScope = 0;

private:
  friend class TExtKeywordPass;
  friend class TExtStartPass;
  friend class TExtStopPass;

  void unlinkSub();
  // Links the sibling of that object name as the sub-highlighter.
  void linkStoredSub(const QString& name);
  // The controls of this highlighter and of every one chaining it.
  std::vector<TZarvMemoHost*> chainControls() const;
  bool findOwnStart(TZarvNavigator& A, TZarvNavigator& C, int32_t Base);
  // The number of start-stop keys before this highlighter's in the chain
  // of `memo` (the control's own count when it is not in that chain).
  int32_t startStopBaseIn(const TZarvMemoHost& memo) const;
  TKeywordMatcher& matcher();

  std::unique_ptr<TExtKeywordList> fKeywords;
  std::unique_ptr<TExtStartStopList> fStartStopKeys;
  TCharSet fDelimiters;
  TZarvHighlighter* fSubHighlighter = nullptr;
  QMetaObject::Connection fSubGone;
  std::vector<TCustomExtHighlighter*> fChainedBy;
  bool fActive = true;
  TComponentState fComponentState;
  mutable bool fOverflowWarned = false;
  std::unique_ptr<TKeywordMatcher> fMatcher;
  // Lent to the keyword pass (see ExtPassScratch.h); null while one holds it.
  std::unique_ptr<TExtKeywordScratch> fKeywordScratch;
  struct TStartTables {
    std::bitset<256> FirstExact, FirstUpper;
    bool HighFirst = false, AnyFolded = false;
    std::vector<uint8_t> Folded; // per entry: compared with the upper-cased text
    TzvUpperCase Mode = zvuAscii;
  };
  const TStartTables& startTables(const TZarvMemoHost& memo);
  TStartTables fStartTables;
};

} // namespace zarv
