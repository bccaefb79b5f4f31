// TLanguageHighlighter: the shared part of the language highlighters with
// a fixed vocabulary (Object Pascal, SQL).
//
// A descendant fills the keyword and start-stop lists at construction and
// declares its categories (THighlightInfo) and what each one styles:
// - a keyword group: a block of keywords whose category changes only what
//   the change touched, so that keywords with formats of their own keep
//   the rest; a design-time confirmation may refuse the change;
// - a key binding: start-stop keys and/or a block of keywords that take
//   the category's look outright;
// - the numbers category, which styles the embedded TNumberHighlighter.
//
// Keywords may carry formats of their own: they are stored in the
// "ModFormats" property (records of keyword index, Options, Style,
// ContextNumber, Cursor, Backgnd, Foregnd for every keyword whose look
// differs from the category that styles it) and marked with bit 7 of the
// style byte until Loaded reconciles the list, which clears the mark on
// every keyword.
//
// Invariant: every keyword index lies in at most one group or binding;
// one in none is compared with no category (always "its own").
#pragma once

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>
#include <ZarvMemo/highlighters/HighlightInfo.h>
#include <ZarvMemo/highlighters/NumberHighlighter.h>

#include <functional>
#include <vector>

namespace zarv {

class TLanguageHighlighter : public TCustomExtHighlighter {
  Q_OBJECT
public:
  // The individual-format mark in a keyword's style byte while loading.
  static constexpr uint8_t kOwnFormatMark = 0x80;
  using TConfirmFunc = std::function<bool(const QString& question)>;

  explicit TLanguageHighlighter(QObject* parent = nullptr);
  ~TLanguageHighlighter() override;

  TNumberHighlighter& NumberHighlighter() const { return *fNumHilit; }

  // The category change handler.
  void HighlightChange(THighlightInfo& Sender);
  // Reconciles the keywords with their categories (marked keywords keep
  // their format and lose the mark) and applies the other categories.
  void Loaded() override;

  void WriteFormats(TWriter& writer) const;
  // Reads the records; an index outside the list is skipped. Raises
  // EReadError on a damaged list, changing nothing.
  void ReadNewFormats(TReader& reader);

  // The inherited keywords, then the numbers over the same range.
  void ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;

protected:
  struct TLook {
    bool AltFont;
    TZarvFontStyles Style;
    TColor Background, Foreground;
  };
  // Makes a category with its stored name and default look.
  THighlightInfo* addCategory(const char* name, const TLook& look);
  // Keywords [first, last] restyled by `category` (see the file comment);
  // Loaded gives the unmarked ones options, the category's look and context.
  void addKeywordGroup(THighlightInfo* category, int32_t first, int32_t last, TWordOptions options, int32_t context);
  // Start-stop keys and keywords [first, last] (none when first > last)
  // that take the category's look outright.
  void addKeyBinding(THighlightInfo* category, std::vector<int32_t> startStopKeys, int32_t first = 0,
                     int32_t last = -1);
  void setNumbersCategory(THighlightInfo* category);
  // The design-time question, asked through the class's own hook.
  virtual TConfirmFunc confirmFunc() const = 0;

  void writeProperties(TWriter& writer) const override;
  bool readProperty(const QString& name, TReader& reader) override;
  void beginRead() override;
  void commitRead() override;
  bool listsArePublished() const override { return false; }

  // One keyword's format of its own, as stored (style with the mark).
  struct TFormatRecord {
    int32_t Index;
    TKeywordInfo Info;
  };
  // Records of seven integers (index first) or, with `indexed` false, of
  // six applied to keywords 0, 1, 2, ...; indexes outside the list are
  // dropped.
  std::vector<TFormatRecord> readFormats(TReader& reader, bool indexed = true) const;
  void applyFormats(const std::vector<TFormatRecord>& records);
  // Formats read with the stored form, applied when it was all read.
  std::vector<TFormatRecord> fPendingFormats;

private:
  struct TCategory {
    const char* Name;
    THighlightInfo* Info;
    TLook Default;
  };
  struct TGroup {
    THighlightInfo* Category;
    THighlightInfo* Previous;
    int32_t First, Last;
    TWordOptions Options;
    int32_t Context;
  };
  struct TBinding {
    THighlightInfo* Category;
    std::vector<int32_t> Keys;
    int32_t First, Last;
  };
  bool confirmGroupChange(const TGroup& g) const;
  void groupChanged(const TGroup& g);
  void bindingChanged(const TBinding& b, bool keywordsToo);
  // The category a keyword's look is compared with, or null.
  const THighlightInfo* categoryOfKeyword(int32_t index) const;

  std::vector<TCategory> fCategories;
  std::vector<TGroup> fGroups;
  std::vector<TBinding> fBindings;
  THighlightInfo* fNumbers = nullptr;
  TNumberHighlighter* fNumHilit;
  bool fApplyHChange = false;
  // What ReadData took in, applied once the whole section was read.
  std::vector<TLook> fPendingLooks;
};

} // namespace zarv
