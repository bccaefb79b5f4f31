// The start-stop key list: delimiters of ranges styled as a whole.
//
// Each entry has a start key, a stop key (possibly empty), the matching
// options and attributes of a keyword, and range options: comments, strings,
// tags. Keys without match-case are stored folded once, when added, so the
// highlighting pass compares them with a folded copy of the text. Entries
// with the same folded start key and options form a chain (Previous): when
// one range stops, the next entry of the chain continues it.
//
// Entries live in the 32 KB chunks of TDynArray2 and never move, so the pass
// may keep pointers to them while it runs; it reads any number of entries in
// list order through Entry(i).
//
// Invariants (CheckIntegrity verifies them):
// - StartLen/StopLen are the key lengths; StartKey/StopKey are the given keys
//   folded with the list's mode unless the entry is match-case;
// - Previous is the first earlier entry with the same options and the same
//   folded start key (-1 when none); StartCheckLen is the greatest length
//   among this start key and the earlier start keys that begin with it;
// - fLongestStartKey/fLongestStopKey bound every key length (they are upper
//   bounds: Clear keeps them), and fLongestStopKey >= 2 once an entry stops
//   at the paragraph end;
// - fGWOpt lacks woMatchCase when any entry lacks it and holds the
//   positional options of every entry.
#pragma once

#include <ZarvMemo/platform/Sets.h>
#include <ZarvMemo/support/highlight/KeywordList.h>
#include <ZarvMemo/support/store/DynArray2.h>

#include <QFlags>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zarv {

class TFiler;
class TReader;
class TStrings;
class TWriter;

// Range options, in the bit order of the stored byte.
enum TssOption : uint8_t {
  ssoParStop = 1 << 0,     // the range also ends at the end of its paragraph
  ssoDelStop = 1 << 1,     // kept and streamed for highlighters
  ssoCollapsible = 1 << 2, // highlighters make the range a collapsible block
};
Q_DECLARE_FLAGS(TssOptions, TssOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TssOptions)

struct StartStopInfo {
  TKeywordInfo Attributes;
  std::u16string StartKey; // as searched; data() is NUL-terminated
  std::u16string StopKey;  // as searched; may be empty
  int32_t StartLen = 0;
  int32_t StopLen = 0;
  int32_t StartCheckLen = 0;
  QString StartKeyStr;  // as given
  QString StopKeyStr;   // as given
  int32_t Scope = 0;    // reserved for highlighters
  int32_t Priority = 0; // reserved for highlighters
  int32_t Extra = 0;    // free for highlighters; 28 bits survive the binary form
  int32_t Previous = -1;
  TssOptions ssOptions;
  // Whole-word checks, derived from the control's delimiters by
  // UpdateCheckFlags.
  bool StartRightCheck = false;
  bool StartLeftCheck = false;
  bool StopRightCheck = false;
  bool StopLeftCheck = false;
};
using pStartStopInfo = StartStopInfo*;

class TStartStopKeyList : public TDynArray2 {
public:
  static constexpr int16_t kEntrySpace = static_cast<int16_t>((sizeof(StartStopInfo) + 15) / 16 * 16);

  TStartStopKeyList();
  ~TStartStopKeyList() override;

  // Frees every entry and keeps one chunk. The summary options return to
  // woMatchCase; the longest key lengths keep their values.
  void Clear();

  // Entries are numbered in 15 bits inside style runs (the top bit marks
  // them), and the value with every bit set means "no entry".
  static constexpr int32_t kMaxEntries = 0x7FFF;

  // Appends an entry; returns its index. Keys are folded unless Options has
  // woMatchCase, and Previous/StartCheckLen are found from the entries before.
  // EListError when the list already holds kMaxEntries.
  int32_t AddStartStopKey(const QString& StartKey, const QString& StopKey, TWordOptions Options, TZarvFontStyles Style,
                          int32_t ContextNumber, int16_t Cursor, TColor Backgnd, TColor Foregnd, bool ParStop);

  // Entry i; ERangeError unless 0 <= i < Count(). Scope, Priority, Extra and
  // ssOptions may be changed in place (ssoParStop through setParStop).
  StartStopInfo& Entry(int32_t i) { return *static_cast<StartStopInfo*>(GetPointer(i)); }
  const StartStopInfo& Entry(int32_t i) const { return *static_cast<const StartStopInfo*>(GetPointer(i)); }
  // Sets or clears ssoParStop, keeping fLongestStopKey >= 2 for it.
  // Entry i without the range check (0 <= i < Count()).
  const StartStopInfo& EntryUnchecked(int32_t i) const {
    return *static_cast<const StartStopInfo*>(PointerUnchecked(i));
  }
  void setParStop(int32_t i, bool parStop);

  TzvUpperCase getUpperCaseType() const { return fUpperCaseType; }
  // Re-folds the keys of every entry without woMatchCase and renews the
  // chains, which depend on the folding.
  void setUpperCaseType(TzvUpperCase value);

  TWordOptions GWOpt() const { return fGWOpt; }
  int32_t LongestStartKey() const { return fLongestStartKey; }
  int32_t LongestStopKey() const { return fLongestStopKey; }

  // Computes the four check flags of every entry from the delimiter set: a
  // side needs a check when the entry is whole-words-only and the key's
  // character on that side is not a delimiter. Sets fDelChecked.
  void UpdateCheckFlags(const TCharSet& delimiters);
  // The check flags are up to date; cleared by every change of keys.
  bool fDelChecked = false;

  // ---- Binary form ------------------------------------------------------------
  // Defines the property "Keys", stored while the list has entries.
  void DefineProperties(TFiler& filer);
  // Replaces the entries by a list written by WriteData or the older layout.
  // On a malformed stream raises EReadError; the entries read before the
  // fault stay and the list is consistent.
  void ReadData(TReader& reader);
  void WriteData(TWriter& writer) const;

  // ---- Text form (ini strings) -------------------------------------------------
  // Replaces the entries by the lines of strings; "start|stop=values". A
  // malformed number raises EConvertError; entries of earlier lines stay.
  virtual void LoadFromIniStrings(const TStrings& strings);
  virtual void SaveToIniStrings(TStrings& strings) const;
  static QString IniLine(const StartStopInfo& entry);

  // Empty when the invariants hold, else the first fault found.
  QString CheckIntegrity() const;

private:
  // Appending records byte-wise would skip the entries' constructors.
  using TDynArray2::Add;
  using TDynArray2::SetCapacity;
  using TDynArray2::SetCount;

  std::u16string foldedKey(const QString& key, TWordOptions options) const;
  // Previous and StartCheckLen of entry i against entries 0..i-1, found
  // through the key indexes below, which entry i then joins.
  void linkEntry(int32_t i);
  // Links every entry again from scratch (after the keys were refolded).
  void relinkAll();
  void destroyEntries();

  // Indexes over the linked entries' folded start keys (views into the
  // entries, which never move): the first entry per options and key, for
  // Previous; the distinct keys in order, so that the keys beginning with a
  // given one form one range, for StartCheckLen.
  std::unordered_map<std::u16string, int32_t> fFirstWithKey;
  std::set<std::u16string_view> fStartKeys;

  TzvUpperCase fUpperCaseType = zvuAscii;
  TWordOptions fGWOpt;
  int32_t fLongestStartKey = 0;
  int32_t fLongestStopKey = 0;
};

} // namespace zarv
