// TRegExHighlighter: keywords and, optionally, range keys given as regular
// expressions of the library's engine (TRegExpr).
//
// The lists are those of TExtHighlighter, with the same attributes, scopes,
// priorities, word options and events; a keyword's text, and with
// RegExStartStop a start and a stop key's, is an expression. Each is
// compiled with the modifiers i (unless the key matches case), x
// (ExtendedSyntax), r (RussianAlphaChars) and g (GreedyStyle); s stays on and
// m off. The subject of every search is one whole paragraph, so "^" and "$"
// are its ends; an edit anywhere in a paragraph highlights all of it again.
//
// Hostile expressions: every search of one key in one paragraph shares a
// budget of kStepsPerUnit steps per character of the paragraph (plus
// kStepFloor). An expression that does not compile, or whose search runs
// out of budget or backtracking room, is disabled until its list changes;
// the failure is reported once (OnKeyFailed, the keyFailed signal, a
// warning) with the engine's code and, for a compile error, the position,
// and the controls are highlighted again without it. No ERegExpr leaves
// the highlighting pass.
//
// Empty matches mark nothing: an empty keyword match is skipped, and an
// empty start or stop match is refused (the search goes on one character
// further), so that the pass always advances.
//
// Cost: a start search remembers each key's next match in the paragraph
// being parsed, so that parsing a paragraph with r ranges does not search
// it again r times per key.
#pragma once

#include <ZarvMemo/highlighters/ExtHighlighter.h>

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace zarv {

class TRegExpr;
class ERegExpr;

class TRegExHighlighter : public TExtHighlighter {
  Q_OBJECT
  Q_PROPERTY(bool ExtendedSyntax READ getExtendedSyntax WRITE setExtendedSyntax)
  Q_PROPERTY(bool GreedyStyle READ getGreedyStyle WRITE setGreedyStyle)
  Q_PROPERTY(bool RussianAlphaChars READ getRussianAlphaChars WRITE setRussianAlphaChars)
  Q_PROPERTY(bool RegExStartStop READ getRegExStartStop WRITE setRegExStartStop)

public:
  static constexpr int64_t kStepsPerUnit = 1000;
  static constexpr int64_t kStepFloor = 100000;

  // Which key failed: Index in the keyword list (StartStop false) or in the
  // start-stop list (then Stop tells which of its two expressions).
  struct TKeyFailure {
    bool StartStop = false;
    int32_t Index = 0;
    bool Stop = false;
    int32_t ErrorCode = 0;
    int32_t Position = 0; // in the expression; 0 for a failure while searching
    QString Message;
  };

  explicit TRegExHighlighter(QObject* parent = nullptr);
  ~TRegExHighlighter() override;

  bool getExtendedSyntax() const { return fExtendedSyntax; }
  void setExtendedSyntax(bool v);
  bool getGreedyStyle() const { return fGreedyStyle; }
  void setGreedyStyle(bool v);
  bool getRussianAlphaChars() const { return fRussianAlphaChars; }
  void setRussianAlphaChars(bool v);
  bool getRegExStartStop() const { return fRegExStartStop; }
  void setRegExStartStop(bool v);

  // The expressions are compiled again at the next pass.
  void InvalidateKeys();
  // Compile the keyword and the start-stop expressions now (a failing one
  // is disabled and reported).
  void AcquireKeys();
  void AcquireSS();
  // Whether a key is disabled by a failure.
  bool KeywordDisabled(int32_t index) const;
  bool StartStopDisabled(int32_t index) const;

  void ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  // Whole paragraphs: an expression may depend on any part of one.
  int32_t FixRange(TZarvNavigator& Nav1, TZarvNavigator& Nav2, int32_t KeywordBase, int32_t StartStopBase) override;
  bool MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To) override;

  std::function<void(TRegExHighlighter& Sender, const TKeyFailure& Failure)> OnKeyFailed;

Q_SIGNALS:
  void keyFailed(bool startStop, int index, int errorCode, int position, const QString& message);

protected:
  bool searchesOwnKeywords() const override { return true; }
  void findOwnKeywords(TZarvMemoHost& memo, int32_t parNb, std::vector<TKeywordOccurrence>& out) override;

private:
  struct TKeyRE;
  struct TSSPair;
  void configure(TRegExpr& re, TWordOptions options) const;
  bool compile(TKeyRE& k, const QString& expression, TWordOptions options, TKeyFailure failure);
  void fail(TKeyFailure failure, const ERegExpr& e);
  void keysChanged();
  bool ensureSS();
  // The first non-empty match of `re` in text[0, len) starting at or after
  // `from` within the budget: its offset and length; false for none (or a
  // failure, reported through `failure`).
  bool nextMatch(TRegExpr& re, const char16_t* text, int32_t len, int32_t from, int32_t& pos, int32_t& n,
                 const TKeyFailure& failure);
  bool regexStart(TZarvNavigator& A, TZarvNavigator& C, int32_t Base);
  bool regexStop(TZarvNavigator& A, TZarvNavigator& C, int32_t Base, int32_t local);
  void openRange(TZarvNavigator& A, TZarvNavigator& C, int32_t i, int32_t pos, int32_t n, int32_t Base);
  void closeRange(TZarvNavigator& A, TZarvNavigator& C, int32_t local, int32_t stopStart, int32_t stopEnd,
                  int32_t Base);

  std::vector<std::unique_ptr<TKeyRE>> fKeysRE;
  std::vector<std::unique_ptr<TSSPair>> fSSRE;
  bool fKeysAcquired = false;
  uint64_t fKeysGeneration = 0;
  bool fSSAcquired = false;
  bool fExtendedSyntax = false;
  bool fGreedyStyle = true;
  bool fRussianAlphaChars = false;
  bool fRegExStartStop = false;
  bool fReApplyQueued = false;
  // The start search's memory of the paragraph being parsed: each key's
  // first non-empty match at or after From (Pos -1: none).
  struct TStartCache {
    const void* Par = nullptr;
    const char16_t* Text = nullptr;
    int32_t Len = -1;
    int32_t LastQuery = -1;
    struct TNext {
      int32_t From = -1, Pos = -1, Len = 0;
    };
    std::vector<TNext> Next;
  } fCache;
};

} // namespace zarv
