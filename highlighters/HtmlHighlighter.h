// THtmlHighlighter: HTML markup, and with XMLSyntax any XML.
//
// Unlike the other language highlighters it finds no keyword occurrences:
// it is a state machine run by the highlighting pass through FindStart and
// FindStop, in which every state is a range code whose context number
// names the state, so that a tag, comment or script block may span lines
// and an edit re-parses only as far as the state at a line's end changes.
//
// States (context numbers): 0 text, 1 attribute area of a tag, 2 raw
// content (script and style blocks, CDATA sections), 3 comment, 4 the "<"
// opening a tag, 5 a known tag name, 6 an unknown tag name or the rest of
// a tag that takes no attributes, 7 the closing ">", 8 an attribute name
// with its "=", 9 an attribute value, 10 a character entity, 11 a "<? ?>"
// block, 12 a "<% %>" block. The key index of a state code (start-stop
// numbering, from the pass's base) is the tag's index in Tags() for tag
// states, else one of TStateKey; the highlighter's own start-stop list and
// its sub-highlighter are numbered from base + 111.
//
// Known tags are the 106 entries of Tags() and the words of Keywords()
// (which style their tag names with their own look); a tag may be
// closable ("</b>") and may take attributes, else the rest of the tag
// shows as unknown. With XMLSyntax every name is a known tag.
//
// Invariants: every state replaces the one before it at the same nesting
// level, one deeper than the text around the markup, so that no input
// (unclosed quotes, "<<<<") nests deeper; every scan starts where the last
// state ended, so that a paragraph costs time linear in its length.
//
// "<" starts markup only before a letter, "/", "!", "?" or "%" (so that
// "a < b" stays text); a tag name ends at a blank, ">" or a "/" after its
// first character ("<br/>"); a quoted value without its closing quote ends
// with its line. Script and style contents end only at "</script>" and
// "</style>" (any case), whatever they hold; a CDATA section at "]]>".
#pragma once

#include <ZarvMemo/highlighters/CustomExtHighlighter.h>
#include <ZarvMemo/highlighters/HighlightInfo.h>

#include <array>
#include <string_view>

namespace zarv {

class THtmlHighlighter : public TCustomExtHighlighter {
  Q_OBJECT
  Q_PROPERTY(bool XMLSyntax READ getXMLSyntax WRITE setXMLSyntax)

public:
  enum TState : int32_t {
    kText = 0,
    kAttributeArea = 1,
    kRawContent = 2,
    kComment = 3,
    kTagStart = 4,
    kTagName = 5,
    kUnknownTag = 6,
    kClosingBracket = 7,
    kAttributeName = 8,
    kAttributeValue = 9,
    kEntity = 10,
    kProcessingBlock = 11,
    kServerBlock = 12
  };
  // Key indexes of the states that are not tags.
  enum TStateKey : int32_t {
    kCommentKey = 106,
    kUnknownKey = 107,
    kServerKey = 108,
    kEntityKey = 109,
    kProcessingKey = 110,
    kOwnKeysOffset = 111
  };
  // CDATA sections carry the key of the "<!" declarations' entry.
  static constexpr int32_t kCDataKey = 105;
  static constexpr int32_t kScriptTag = 0;
  static constexpr int32_t kGenericTag = 1; // flags of every XML name

  struct TTag {
    const char* Name;
    bool Attributes;
    bool Closable;
  };
  static const std::array<TTag, 106>& Tags();
  // The index of an upper-case tag name, or -1.
  static int32_t FindTag(std::u16string_view upperName);

  explicit THtmlHighlighter(QObject* parent = nullptr);
  ~THtmlHighlighter() override;

  THighlightInfo* Bracket() const { return fBracket; }
  THighlightInfo* DefaultText() const { return fDefaultText; }
  THighlightInfo* HtmlTag() const { return fHtmlTag; }
  THighlightInfo* HtmlComment() const { return fHtmlComment; }
  THighlightInfo* HtmlAttribute() const { return fHtmlAttribute; }
  THighlightInfo* HtmlAttributeValue() const { return fHtmlAttributeValue; }
  THighlightInfo* ScriptTag() const { return fScriptTag; }
  THighlightInfo* ScriptContent() const { return fScriptContent; }
  THighlightInfo* UnknownTag() const { return fUnknownTag; }
  THighlightInfo* HtmlKeyword() const { return fHtmlKeyword; }
  THighlightInfo* SpecialChars() const { return fSpecialChars; }
  THighlightInfo* PerlScript() const { return fPerlScript; }
  // The look of the codes of a state.
  const THighlightInfo& LookOf(int32_t state) const;

  bool getXMLSyntax() const { return fXMLSyntax; }
  void setXMLSyntax(bool value);

  // The category change handler: at design time the controls highlight
  // again (at run time the application calls ReApplyKeys).
  void HighlightChange(THighlightInfo& Sender);
  void Loaded() override;

  // No keywords of its own: only the sub-highlighter's.
  void ApplyKeywordsList(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool FindStart(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;
  bool MayStartIn(const TZarvMemoHost& Memo, const char16_t* Text, int32_t From, int32_t To) override;

private:
  friend class THtmlPass;
  // The Keywords() entry naming a tag (upper-cased name), or -1.
  int32_t findKeywordTag(std::u16string_view upperName, std::u16string_view name);

  THighlightInfo* fBracket;
  THighlightInfo* fDefaultText;
  THighlightInfo* fHtmlTag;
  THighlightInfo* fHtmlComment;
  THighlightInfo* fHtmlAttribute;
  THighlightInfo* fHtmlAttributeValue;
  THighlightInfo* fScriptTag;
  THighlightInfo* fScriptContent;
  THighlightInfo* fUnknownTag;
  THighlightInfo* fHtmlKeyword;
  THighlightInfo* fSpecialChars;
  THighlightInfo* fPerlScript;
  bool fXMLSyntax = false;
};

} // namespace zarv
