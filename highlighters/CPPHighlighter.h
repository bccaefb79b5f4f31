// TCPPHighlighter: C and C++ source.
//
// An extended highlighter filled at construction with the C++ vocabulary:
// 97 keywords (types among them), and four ranges: string literals,
// "//" comments, preprocessor directives and "/* */" comments. Numbers come
// from an embedded TNumberHighlighter (decimal, "0x" hexadecimal). Each of
// the six categories is a THighlightInfo; changing one restyles the keys of
// that category (the control shows it after ReApplyKeys at run time).
//
// Context numbers: keywords 1, strings 2, comments 3, directives 4,
// numbers 5. Keywords and numbers are not highlighted inside strings,
// comments or directives.
//
// What the categories do not cover: there is no category of its own for
// character literals, raw strings or digit separators. A double quote
// between apostrophes ('"' and '\"') opens no string; an apostrophe is a
// separator, so 1'000 shows the digits as numbers. A string or "//"
// comment ends with its line even after a line continuation.
//
// Keywords may carry formats of their own (marked with bit 7 of their style
// byte while loading); they are stored in the "ModFormats" property and
// keep them when the keyword category changes other attributes.
#pragma once

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>
#include <ZarvMemo/highlighters/HighlightInfo.h>
#include <ZarvMemo/highlighters/NumberHighlighter.h>

#include <QStringList>
#include <functional>

namespace zarv {

class TCPPHighlighter : public TCustomExtHighlighter {
  Q_OBJECT
  Q_PROPERTY(zarv::THighlightInfo* CPPKeywords READ CPPKeywords)
  Q_PROPERTY(zarv::THighlightInfo* Strings READ Strings)
  Q_PROPERTY(zarv::THighlightInfo* CommentSingleLine READ CommentSingleLine)
  Q_PROPERTY(zarv::THighlightInfo* CommentMultiLine READ CommentMultiLine)
  Q_PROPERTY(zarv::THighlightInfo* Directives READ Directives)
  Q_PROPERTY(zarv::THighlightInfo* Numbers READ Numbers)

public:
  // Context numbers of the categories.
  static constexpr int32_t kKeywordContext = 1;
  static constexpr int32_t kStringContext = 2;
  static constexpr int32_t kCommentContext = 3;
  static constexpr int32_t kDirectiveContext = 4;
  static constexpr int32_t kNumberContext = 5;
  // Local indexes of the start-stop keys.
  enum TKey : int32_t { kStringKey = 0, kLineCommentKey = 1, kDirectiveKey = 2, kBlockCommentKey = 3 };
  // The individual-format mark in a keyword's style byte while loading.
  static constexpr uint8_t kOwnFormatMark = 0x80;

  // Asked at design time before a change of the keyword category restyles
  // every keyword; unset by default (no question).
  using TConfirmFunc = std::function<bool(const QString& question)>;
  static TConfirmFunc ConfirmFunc;

  explicit TCPPHighlighter(QObject* parent = nullptr);
  ~TCPPHighlighter() override;

  // The vocabulary, in the order that fixes the keywords' indexes.
  static const QStringList& DefaultKeywords();

  THighlightInfo* CPPKeywords() const { return fCPPKeywords; }
  THighlightInfo* Strings() const { return fStringsHilit; }
  THighlightInfo* CommentSingleLine() const { return fCommentSingleLine; }
  THighlightInfo* CommentMultiLine() const { return fCommentMultiline; }
  THighlightInfo* Directives() const { return fDirectives; }
  THighlightInfo* Numbers() const { return fNumbers; }
  // Setting a category assigns the given look to the owned one.
  void setCPPKeywords(const THighlightInfo& v) { fCPPKeywords->Assign(v); }
  void setStrings(const THighlightInfo& v) { fStringsHilit->Assign(v); }
  void setCommentSingleLine(const THighlightInfo& v) { fCommentSingleLine->Assign(v); }
  void setCommentMultiLine(const THighlightInfo& v) { fCommentMultiline->Assign(v); }
  void setDirectives(const THighlightInfo& v) { fDirectives->Assign(v); }
  void setNumbers(const THighlightInfo& v) { fNumbers->Assign(v); }
  TNumberHighlighter& NumberHighlighter() const { return *fNumHilit; }

  // Reconciles the keywords with their category (keywords marked as
  // individually formatted keep their format and lose the mark) and
  // applies the other categories to their keys.
  void Loaded() override;

  // The category change handler.
  void HighlightChange(THighlightInfo& Sender);
  void GetStartConfirmation(TCustomExtHighlighter& Sender, TZarvNavigator& StartKey, TZarvNavigator& StopKey,
                            int32_t KIndex, bool& Accept);
  void GetStopConfirmation(TCustomExtHighlighter& Sender, TZarvNavigator& StartKey, TZarvNavigator& StopKey,
                           int32_t KIndex, bool& Accept);
  void GetNumberConfirmation(TCustomExtHighlighter& Sender, int16_t Scope, bool& DoHilit);

  // The "ModFormats" property: records of seven integers (keyword index,
  // Options, Style, ContextNumber, Cursor, Backgnd, Foregnd) for every
  // keyword whose look differs from its category.
  void WriteFormats(TWriter& writer) const;
  // Reads the records; an index outside the list is skipped. Raises
  // EReadError on a damaged list, changing nothing.
  void ReadNewFormats(TReader& reader);

  void ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;

protected:
  void writeProperties(TWriter& writer) const override;
  bool readProperty(const QString& name, TReader& reader) override;
  void beginRead() override;
  void commitRead() override;
  bool listsArePublished() const override { return false; }

private:
  struct TFormatRecord {
    int32_t Index;
    TKeywordInfo Info;
  };
  struct TPendingLook {
    bool AltFont;
    TZarvFontStyles Style;
    TColor Background, Foreground;
  };
  // The six categories with their names and defaults, in stored order.
  struct TCategory {
    const char* Name;
    THighlightInfo* Info;
    TPendingLook Default;
  };
  std::vector<TCategory> categories() const;
  void keywordCategoryChanged();
  bool confirmKeywordChange();
  std::vector<TFormatRecord> readFormats(TReader& reader) const;
  void applyFormats(const std::vector<TFormatRecord>& records);

  THighlightInfo* fCPPKeywords;
  THighlightInfo* fPreviousCPPKeywords;
  THighlightInfo* fStringsHilit;
  THighlightInfo* fDirectives;
  THighlightInfo* fCommentSingleLine;
  THighlightInfo* fCommentMultiline;
  THighlightInfo* fNumbers;
  bool fApplyHChange = false;
  TNumberHighlighter* fNumHilit;
  // What ReadData took in, applied once the whole section was read.
  std::vector<TPendingLook> fPendingLooks;
  std::vector<TFormatRecord> fPendingFormats;
};

} // namespace zarv
