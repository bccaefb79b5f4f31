// TOOPHighlighter: Object Pascal source with inline assembler.
//
// A language highlighter filled at construction with the Object Pascal
// vocabulary: 85 keywords, 166 x86 mnemonics (highlighted only inside
// "asm ... end" blocks, where the Pascal keywords are not), 15 symbol
// characters, and ranges for strings, "#" character constants, the three
// comment forms ("//", "{ }", "(* *)"), "{$ }" directives, property
// declarations and assembler blocks. Numbers come from the embedded
// number highlighter ("$" hexadecimal, decimal), at top level and inside
// assembler blocks. Everything matches regardless of case.
//
// Context numbers: keywords 1, strings and character constants 2,
// comments 3, directives 4, numbers 5, assembler block 6, mnemonics 7,
// strings inside assembler 8, symbols 9; a property declaration is a range
// of context 0, inside which "implements index nodefault read stored
// write" are keywords (they are plain words elsewhere).
//
// Keys 7-11 repeat the string, comment and directive keys with scope 6 for
// use inside an assembler block; a brace comment or string inside a block
// holds no "end" that could close it. Comments do not nest; the comment
// forms do not close one another ("{ (* }" is one brace comment).
//
// A "#" constant ends at its first non-digit ("#13#10" is two constants)
// and always with its line.
#pragma once

#include <ZarvMemo/highlighters/LanguageHighlighter.h>

#include <QStringList>

namespace zarv {

class TOOPHighlighter : public TLanguageHighlighter {
  Q_OBJECT

public:
  static constexpr int32_t kKeywordContext = 1;
  static constexpr int32_t kStringContext = 2;
  static constexpr int32_t kCommentContext = 3;
  static constexpr int32_t kDirectiveContext = 4;
  static constexpr int32_t kNumberContext = 5;
  static constexpr int32_t kAsmContext = 6;
  static constexpr int32_t kMnemonicContext = 7;
  static constexpr int32_t kAsmStringContext = 8;
  static constexpr int32_t kSymbolContext = 9;
  // Local indexes of the start-stop keys.
  enum TKey : int32_t {
    kPropertyKey = 0,
    kStringKey = 1,
    kCharKey = 2,
    kLineCommentKey = 3,
    kDirectiveKey = 4,
    kBraceCommentKey = 5,
    kParenCommentKey = 6,
    kAsmStringKey = 7,
    kAsmLineCommentKey = 8,
    kAsmDirectiveKey = 9,
    kAsmBraceCommentKey = 10,
    kAsmParenCommentKey = 11,
    kAsmKey = 12
  };
  // Blocks of the keyword list.
  static constexpr int32_t kFirstMnemonic = 85;
  static constexpr int32_t kFirstSymbol = 251;
  static constexpr int32_t kFirstPropertyWord = 79; // implements .. write
  static constexpr int32_t kAsmMnemonic = 85;       // "ASM"

  // Asked at design time before a keyword category restyles its keywords.
  static TConfirmFunc ConfirmFunc;

  explicit TOOPHighlighter(QObject* parent = nullptr);

  static const QStringList& PascalKeywords();
  static const QStringList& AsmMnemonics();
  static const QStringList& Symbols();

  THighlightInfo* KeywordsOOP() const { return fOOPKeywords; }
  THighlightInfo* KeywordsASM() const { return fASMKeywords; }
  THighlightInfo* ASMHighlight() const { return fAsmHighlight; }
  THighlightInfo* Strings() const { return fStringsHilit; }
  THighlightInfo* CommentSingleLine() const { return fCommentSingleLine; }
  THighlightInfo* CommentBrace() const { return fCommentBrace; }
  THighlightInfo* CommentParAst() const { return fCommentParAst; }
  THighlightInfo* Directives() const { return fDirectives; }
  THighlightInfo* Numbers() const { return fNumbers; }
  THighlightInfo* Properties() const { return fProperties; }
  THighlightInfo* SymbolsLook() const { return fSymbols; }

  // Property words only inside a range (a property declaration); "ASM"
  // only as the first word of its block.
  void GetKeywordConfirmation(TCustomExtHighlighter& Sender, TZarvNavigator& StartKey, TZarvNavigator& StopKey,
                              int32_t KIndex, bool& Accept);
  // Numbers at top level (scope 0) and inside assembler blocks (6).
  void GetNumberConfirmation(TCustomExtHighlighter& Sender, int16_t Scope, bool& DoHilit);

  // The legacy "Formats" list (records of six integers: Options, Style,
  // ContextNumber, Cursor, Backgnd, Foregnd, for keywords 0, 1, 2, ...);
  // read from old stored forms, never written. Raises EReadError on a
  // damaged list, changing nothing.
  void ReadOldFormats(TReader& reader);

  // Character constants end at their first non-digit; other ranges as
  // the engine ends them.
  bool FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) override;

protected:
  TConfirmFunc confirmFunc() const override { return ConfirmFunc; }
  bool readProperty(const QString& name, TReader& reader) override;

private:
  void addVocabulary();
  void addKeys();

  THighlightInfo* fOOPKeywords;
  THighlightInfo* fASMKeywords;
  THighlightInfo* fAsmHighlight;
  THighlightInfo* fStringsHilit;
  THighlightInfo* fCommentSingleLine;
  THighlightInfo* fCommentBrace;
  THighlightInfo* fCommentParAst;
  THighlightInfo* fDirectives;
  THighlightInfo* fNumbers;
  THighlightInfo* fProperties;
  THighlightInfo* fSymbols;
};

} // namespace zarv
