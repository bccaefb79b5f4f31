// TSQLHighlighter: SQL scripts.
//
// A language highlighter filled at construction with 212 SQL keywords
// (whole words, any case), eight operator characters "( ) [ ] / - ^ +"
// (found anywhere, also inside words), and ranges for double- and
// single-quoted strings, "/* */" comments, "--" comments and, with
// UseSharpAsComment, "#" comments. Numbers come from the embedded number
// highlighter, only outside strings and comments. A doubled quote inside a
// string ('it''s') closes it and opens the next at once, so the string
// reads as one. Strings never continue on the next line; "/* */" comments
// do.
//
// Context numbers: keywords 1, comments 2, strings 3, operators 4,
// numbers 5.
//
// The "#" comment key stays in the list either way (it keeps its index,
// which codes and formats refer to); while UseSharpAsComment is off it
// never opens a range, whatever the text holds.
#pragma once

#include <ZarvMemo/highlighters/LanguageHighlighter.h>

#include <QStringList>

namespace zarv {

class TSQLHighlighter : public TLanguageHighlighter {
  Q_OBJECT
  Q_PROPERTY(bool UseSharpAsComment READ getUseSharpAsComment WRITE SetUseSharpAsComment)

public:
  static constexpr int32_t kKeywordContext = 1;
  static constexpr int32_t kCommentContext = 2;
  static constexpr int32_t kStringContext = 3;
  static constexpr int32_t kOperatorContext = 4;
  static constexpr int32_t kNumberContext = 5;
  enum TKey : int32_t {
    kDoubleQuoteKey = 0,
    kSingleQuoteKey = 1,
    kBlockCommentKey = 2,
    kSharpCommentKey = 3,
    kDashCommentKey = 4
  };
  static constexpr int32_t kFirstOperator = 212;

  static TConfirmFunc ConfirmFunc;

  explicit TSQLHighlighter(QObject* parent = nullptr);

  static const QStringList& SQLKeywordList();
  static const QStringList& OperatorList();

  THighlightInfo* SQLKeywords() const { return fSQLKeywords; }
  THighlightInfo* Strings() const { return fStringsHilit; }
  THighlightInfo* Comments() const { return fComments; }
  THighlightInfo* Operators() const { return fOperators; }
  THighlightInfo* Numbers() const { return fNumbers; }

  bool getUseSharpAsComment() const { return fUseSharpAsComment; }
  void SetUseSharpAsComment(bool value);

  // Refuses the "#" comment while UseSharpAsComment is off.
  void GetStartConfirmation(TCustomExtHighlighter& Sender, TZarvNavigator& StartKey, TZarvNavigator& StopKey,
                            int32_t KIndex, bool& Accept);
  // Numbers only where no range is open.
  void GetNumberConfirmation(TCustomExtHighlighter& Sender, int16_t Scope, bool& DoHilit);

protected:
  TConfirmFunc confirmFunc() const override { return ConfirmFunc; }
  void writeProperties(TWriter& writer) const override;
  bool readProperty(const QString& name, TReader& reader) override;
  void beginRead() override;
  void commitRead() override;

private:
  THighlightInfo* fSQLKeywords;
  THighlightInfo* fStringsHilit;
  THighlightInfo* fComments;
  THighlightInfo* fOperators;
  THighlightInfo* fNumbers;
  bool fUseSharpAsComment = false;
  bool fPendingSharp = false;
};

} // namespace zarv
