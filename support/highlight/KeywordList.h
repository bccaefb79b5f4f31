// The keyword list: words the highlighting pass marks, with their styles.
//
// A TKeywordList is a string list whose items are the keywords, so it can be
// edited like any TStrings, and each item carries attributes: matching
// options, font styles, colours, a mouse cursor and the context number the
// control reports for the keyword's runs. For case-insensitive matching every
// keyword keeps an upper-cased copy (KeywordTrans), folded once per change so
// that the pass only compares it with an upper-cased copy of the text.
//
// Invariant (CheckIntegrity verifies it): outside an update bracket
// KeywordTrans, KeyLen, the summary options and the longest length agree with
// the entries. Every change rebuilds them at once, or once when the
// outermost EndUpdate closes a batch.
//
// Persistence: a binary form (the form property "Strings", through the value
// filer) and an ini-strings form, one "keyword=values" line per entry.
#pragma once

#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/platform/Strings.h>
#include <ZarvMemo/support/highlight/UpperCase.h>
#include <ZarvMemo/support/store/ParRecords.h>

#include <QFlags>
#include <functional>
#include <memory>
#include <vector>

namespace zarv {

class TFiler;
class TReader;
class TWriter;

// Matching options, in the bit order of the stored byte.
enum TWordOption : uint8_t {
  woMatchCase = 1 << 0,      // compare with the original case
  woWholeWordsOnly = 1 << 1, // bounded by delimiters on both sides
  woFirstParWord = 1 << 2,   // only as the first word of a paragraph
  woFirstNonBlank = 1 << 3,  // only as the first non-blank text of a paragraph
  woStartPar = 1 << 4,       // only at the very start of a paragraph
};
Q_DECLARE_FLAGS(TWordOptions, TWordOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TWordOptions)

// Bits an options byte may carry; bit 7 is the binary form's layout marker.
inline constexpr int kWordOptionsMask = 0x7F;

// The attributes of one keyword (or of one start-stop range).
struct TKeywordInfo {
  TWordOptions Options;
  TZarvFontStyles Style = 0;
  int32_t ContextNumber = 0; // 0: not applied by the keyword pass
  int16_t Cursor = 0;
  TColor Backgnd = clNone;
  TColor Foregnd = clNone;

  friend bool operator==(const TKeywordInfo&, const TKeywordInfo&) = default;
};
using pKeyInfo = TKeywordInfo*;

// One entry of the list.
struct TKeyInfoLen {
  TKeywordInfo BasicPart;
  QString KeywordOrg;   // as given
  QString KeywordTrans; // as searched: KeywordOrg, upper-cased unless match-case
  int32_t KeyLen = 0;   // length of KeywordOrg
  int32_t Scope = 0;    // reserved for highlighters
  int32_t Priority = 0; // reserved for highlighters
  int32_t Extra = 0;    // free for highlighters
};
using pKeyInfoLen = TKeyInfoLen*;

// Entries in list order. Entries are heap records, so a pointer to one stays
// valid while others are inserted or deleted.
using TKeyInfoList = std::vector<std::unique_ptr<TKeyInfoLen>>;

class TKeywordList : public TStrings {
public:
  TKeywordList() = default;
  ~TKeywordList() override;

  // Keyword indexes are non-negative 16-bit numbers inside style runs
  // (negative ones name start-stop entries). Growing past this count raises
  // EListError.
  static constexpr int32_t kMaxEntries = 0x8000;

  // ---- TStrings ---------------------------------------------------------------
  QString Get(int32_t index) const override;
  int32_t GetCount() const override { return static_cast<int32_t>(fKeyList.size()); }
  // A keyword with default attributes: no options or style, context 0,
  // cursor 0, no colours.
  void Insert(int32_t index, const QString& s) override;
  void Delete(int32_t index) override;
  void Clear() override;
  // Renames the keyword and keeps its attributes (setKeywords).
  void Put(int32_t index, const QString& s) override;
  // Whole entries move, attributes included.
  void Move(int32_t from, int32_t to) override;
  void Exchange(int32_t a, int32_t b) override;
  // From another keyword list: every entry with all its fields. From any
  // other list: the strings, with default attributes.
  void Assign(const TStrings& source) override;

  // ---- Entries ------------------------------------------------------------------
  int32_t AddKeyWord(const QString& Keyword, TWordOptions Options, TZarvFontStyles Style, int32_t ContextNumber,
                     int16_t Cursor, TColor Backgnd, TColor Foregnd);
  QString getKeywords(int32_t index) const { return Get(index); }
  void setKeywords(int32_t index, const QString& s);
  TKeywordInfo getKeyInfo(int32_t index) const;
  // Replaces the attributes; Scope, Priority and Extra return to 0.
  void setKeyInfo(int32_t index, const TKeywordInfo& info);
  // The entries. Their Scope, Priority and Extra may be changed in place;
  // everything else goes through the operations above.
  const TKeyInfoList& getKeyList() const { return fKeyList; }
  const TKeyInfoLen& KeyInfoLen(int32_t index) const;

  TzvUpperCase getUpperCaseType() const { return fUpperCaseType; }
  void setUpperCaseType(TzvUpperCase value);

  // woMatchCase only while every keyword is match-case; woFirstParWord and
  // woFirstNonBlank when any keyword has them.
  TWordOptions GWOptions() const { return fGWOptions; }
  int32_t LongestKeyword() const { return fLongestKeyword; }
  // Changes every time the entries are rebuilt, so that users can tell
  // whether what they derived from the list is still current.
  uint64_t Generation() const { return fGeneration; }
  bool Updating() const { return fUpdating; }

  // The keyword pass searches every keyword over its whole window instead of
  // only around the changed text.
  bool fResetKeywords = false;

  // Raised after the derived data was rebuilt outside an update bracket.
  std::function<void(TKeywordList& Sender)> OnChange;

  // ---- Binary form ------------------------------------------------------------
  // Defines the property "Strings", stored while the list has entries.
  void DefineProperties(TFiler& filer);
  // Replaces the entries by a list written by WriteData or by either older
  // layout. On a malformed stream raises EReadError; the entries read before
  // the fault stay and the list is consistent.
  void ReadData(TReader& reader);
  void WriteData(TWriter& writer) const;

  // ---- Text form (ini strings) -------------------------------------------------
  // Replaces the entries by the lines of strings. A malformed number raises
  // EConvertError; the entries of the lines before it stay.
  virtual void LoadFromIniStrings(const TStrings& strings);
  virtual void SaveToIniStrings(TStrings& strings) const;
  // The line of one entry.
  static QString IniLine(const TKeyInfoLen& entry);

  // Empty when the derived data agrees with the entries, else the first fault.
  QString CheckIntegrity() const;

protected:
  void SetUpdateState(bool updating) override;
  // Ends every change: rebuilds now, or at the outermost EndUpdate.
  void Changed() { SetUpdateState(fUpdating); }

private:
  void rebuild();
  // Derives the searched form and length of one entry and adds it to the
  // list's summaries.
  void summarize(TKeyInfoLen& e);

  TKeyInfoList fKeyList;
  TWordOptions fGWOptions = woMatchCase;
  bool fUpdating = false;
  TzvUpperCase fUpperCaseType = zvuAscii;
  int32_t fLongestKeyword = 0;
  uint64_t fGeneration = 0;
};

} // namespace zarv
