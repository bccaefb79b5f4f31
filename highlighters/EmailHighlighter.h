// TEmailHighlighter: quoted e-mail and news text coloured by quote depth.
//
// A paragraph that begins with quote characters (QuoteChars, default ">|")
// is one range from its start to its end, in the look of its depth: one
// quote character is QuoteLevel1, ">>" and "> >" are QuoteLevel2, and six
// or more stay at QuoteLevel5. A single space after each quote character
// belongs to the quote mark. OnGetQuoteLevel may change the depth (-1: not
// quoted) and the mark's length; both are kept within range. A quote
// character anywhere else starts nothing.
//
// It is an extended highlighter: its own keywords, start-stop keys, events
// and sub-highlighter keep working. The quote depths take the first five
// start-stop numbers of its block (context ContextNum + depth); its own
// start-stop keys are numbered after them. Quotes are found only where the
// context in force at the paragraph start equals Scope or lies below
// Priority.
//
// With UnwrapQuotedText a quoted paragraph is not word-wrapped. The
// highlighter clears the no-wrap state only of paragraphs it set it on, so
// that an application's own no-wrap paragraphs stay as they are.
#pragma once

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>
#include <ZarvMemo/highlighters/HighlightInfo.h>

#include <functional>
#include <unordered_set>

namespace zarv {

class TEmailHighlighter : public TCustomExtHighlighter {
  Q_OBJECT
  Q_PROPERTY(bool Active READ getActive WRITE setActive)
  Q_PROPERTY(int ContextNum READ getContextNum WRITE setContextNum)
  Q_PROPERTY(QString QuoteChars READ getQuoteChars WRITE setQuoteChars)
  Q_PROPERTY(bool UnwrapQuotedText READ getUnwrapQuotedText WRITE setUnwrapQuotedText)
  Q_PROPERTY(int Scope READ getScope WRITE setScope)
  Q_PROPERTY(int Priority READ getPriority WRITE setPriority)
  Q_PROPERTY(zarv::THighlightInfo* QuoteLevel1 READ QuoteLevel1)
  Q_PROPERTY(zarv::THighlightInfo* QuoteLevel2 READ QuoteLevel2)
  Q_PROPERTY(zarv::THighlightInfo* QuoteLevel3 READ QuoteLevel3)
  Q_PROPERTY(zarv::THighlightInfo* QuoteLevel4 READ QuoteLevel4)
  Q_PROPERTY(zarv::THighlightInfo* QuoteLevel5 READ QuoteLevel5)

public:
  static constexpr int kLevels = 5;
  static constexpr int16_t kDefaultContext = 4096;

  // Text is the paragraph (Length characters); QuoteLevel comes in as the
  // counted depth (0 = one quote character, -1 = none), KeyLen as the
  // length of the quote mark.
  using TGetQuoteLevelEvent = std::function<void(TEmailHighlighter& Sender, const char16_t* Text, int32_t Length,
                                                 int32_t& QuoteLevel, int32_t& KeyLen)>;

  explicit TEmailHighlighter(QObject* parent = nullptr);

  // Depth 0..4 (QuoteLevel1..QuoteLevel5).
  THighlightInfo* QuoteLevel(int depth) const { return fHighlights[depth]; }
  THighlightInfo* QuoteLevel1() const { return fHighlights[0]; }
  THighlightInfo* QuoteLevel2() const { return fHighlights[1]; }
  THighlightInfo* QuoteLevel3() const { return fHighlights[2]; }
  THighlightInfo* QuoteLevel4() const { return fHighlights[3]; }
  THighlightInfo* QuoteLevel5() const { return fHighlights[4]; }
  // Writing a level takes the given look.
  void setQuoteLevel(int depth, const THighlightInfo& look) { fHighlights[depth]->Assign(look); }
  int getContextNum() const { return fContext; }
  void setContextNum(int v);
  QString getQuoteChars() const { return fQuoteChars; }
  void setQuoteChars(const QString& v);
  bool getUnwrapQuotedText() const { return fUnwrapQuotedText; }
  void setUnwrapQuotedText(bool v);

  // The counted depth of a paragraph's quote mark (-1: not quoted) and the
  // mark's length, before OnGetQuoteLevel.
  int32_t CountQuoteLevel(const char16_t* text, int32_t len, int32_t& keyLen) const;

  bool FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To) override;

  TGetQuoteLevelEvent OnGetQuoteLevel;

protected:
  int32_t reservedStartStopKeys() const override { return kLevels; }

private:
  bool isQuoteChar(char16_t c) const { return fQuoteChars.contains(QChar(c)); }
  void openQuote(TZarvNavigator& A, TZarvNavigator& C, int32_t depth, int32_t keyLen, int32_t Base);
  void setNoWrap(ParInfo& par, bool on);

  THighlightInfo* fHighlights[kLevels];
  QString fQuoteChars = QStringLiteral(">|");
  bool fUnwrapQuotedText = false;
  // The paragraphs whose no-wrap state this highlighter set.
  std::unordered_set<const ParInfo*> fUnwrapped;
};

} // namespace zarv
