// The Object Pascal vocabulary and keys, the confirmations that confine
// property words and "ASM" to their places, and the end of "#" constants.
#include <ZarvMemo/highlighters/OOPHighlighter.h>

#include <ZarvMemo/highlighters/RangeCodes.h>
#include <ZarvMemo/support/MemoHost.h>

namespace zarv {

TOOPHighlighter::TConfirmFunc TOOPHighlighter::ConfirmFunc;

namespace {

constexpr uint16_t kStartStopBit = 0x8000;

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

} // namespace

const QStringList& TOOPHighlighter::PascalKeywords() {
  // Indexes are stored ("ModFormats"): the order is fixed.
  static const QStringList words = {"and",
                                    "array",
                                    "as",
                                    "automated",
                                    "begin",
                                    "case",
                                    "class",
                                    "const",
                                    "constructor",
                                    "default",
                                    "destructor",
                                    "dispinterface",
                                    "div",
                                    "do",
                                    "downto",
                                    "dynamic",
                                    "else",
                                    "end",
                                    "except",
                                    "exports",
                                    "far",
                                    "file",
                                    "finalization",
                                    "finally",
                                    "for",
                                    "function",
                                    "goto",
                                    "if",
                                    "implementation",
                                    "in",
                                    "inherited",
                                    "initialization",
                                    "inline",
                                    "interface",
                                    "is",
                                    "label",
                                    "library",
                                    "mod",
                                    "message",
                                    "nil",
                                    "not",
                                    "object",
                                    "of",
                                    "on",
                                    "or",
                                    "out",
                                    "overload",
                                    "override",
                                    "packed",
                                    "private",
                                    "procedure",
                                    "program",
                                    "property",
                                    "protected",
                                    "public",
                                    "published",
                                    "raise",
                                    "record",
                                    "register",
                                    "repeat",
                                    "resourcestring",
                                    "set",
                                    "shl",
                                    "shr",
                                    "string",
                                    "then",
                                    "threadvar",
                                    "to",
                                    "try",
                                    "type",
                                    "unit",
                                    "until",
                                    "uses",
                                    "var",
                                    "virtual",
                                    "while",
                                    "with",
                                    "xor",
                                    "absolute",
                                    "implements",
                                    "index",
                                    "nodefault",
                                    "read",
                                    "stored",
                                    "write"};
  return words;
}

const QStringList& TOOPHighlighter::AsmMnemonics() {
  static const QStringList words = {
      "ASM",     "END",   "AAA",    "AAS",    "AAD",   "AAM",    "ADC",    "ADD",   "AND",    "BOUND",  "BSF",
      "BSR",     "BT",    "BTC",    "BTR",    "BTS",   "CALL",   "CMP",    "CBW",   "CWD",    "CDQ",    "CWDE",
      "CLC",     "CLD",   "CLI",    "CMC",    "CMPSB", "CMPSD",  "CMPSW",  "DAA",   "DAS",    "DEC",    "DIV",
      "ENTER",   "HLT",   "IDIV",   "IMUL",   "IN",    "INC",    "INSB",   "INSW",  "INSD",   "INT",    "INTO",
      "IRET",    "IRETD", "JA",     "JAE",    "JBE",   "JC",     "JE",     "JCXZ",  "JG",     "JGE",    "JMP",
      "JO",      "JNA",   "JNO",    "JB",     "JNAE",  "JNB",    "JNC",    "JZ",    "JNE",    "JNZ",    "JNBE",
      "JS",      "JNS",   "JP",     "JPE",    "JNP",   "JPO",    "JL",     "JNGE",  "JNL",    "JLE",    "JNG",
      "JNLE",    "JECXZ", "LAHF",   "LEA",    "LEAVE", "LDS",    "LES",    "LFS",   "LGS",    "LODSB",  "LODSW",
      "LODSD",   "LOOP",  "LOCK",   "REP",    "REPE",  "REPZ",   "REPNE",  "REPNZ", "SEGES",  "SEGCS",  "SEGSS",
      "SEGDS",   "SEGFS", "SEGGS",  "LOOPE",  "LOOPZ", "LOOPNE", "LOOPNZ", "LOOPD", "LOOPDE", "LOOPDZ", "LOOPDNE",
      "LOOPDNZ", "MOV",   "MOVSX",  "MOVZX",  "MOVSB", "MOVSW",  "MOVSD",  "MUL",   "NEG",    "NOP",    "NOT",
      "OR",      "OUT",   "OUTSB",  "OUTSW",  "OUTSD", "POP",    "POPF",   "POPA",  "POPAD",  "POPFD",  "PUSH",
      "PUSHF",   "PUSHA", "PUSHAD", "PUSHFD", "RET",   "RETN",   "RETF",   "SUB",   "SBB",    "RCL",    "RCR",
      "ROL",     "ROR",   "SAL",    "SHL",    "SAR",   "SHR",    "SHLD",   "SHRD",  "SAHF",   "SCASB",  "SCASW",
      "SCASD",   "STC",   "STD",    "STI",    "STOSB", "STOSW",  "STOSD",  "TEST",  "WAIT",   "XCHG",   "XLAT",
      "XOR"};
  return words;
}

const QStringList& TOOPHighlighter::Symbols() {
  static const QStringList symbols = {"(", ")", ",", ".", ";", ":", "=", "[", "]", "<", ">", "+", "-", "*", "^"};
  return symbols;
}

TOOPHighlighter::TOOPHighlighter(QObject* parent)
    : TLanguageHighlighter(parent), fOOPKeywords(addCategory("KeywordsOOP", {false, fsBold, clDefault, clDefault})),
      fASMKeywords(addCategory("KeywordsASM", {false, fsBold, 0x00FFFF, clDefault})),
      fAsmHighlight(addCategory("ASMHighlight", {false, 0, clDefault, 0x800080})),
      fStringsHilit(addCategory("Strings", {false, fsItalic, 0xC0C0C0, 0})),
      fCommentSingleLine(addCategory("CommentSingleLine", {false, fsItalic, clDefault, 0xFF0000})),
      fCommentBrace(addCategory("CommentBrace", {false, fsItalic, clDefault, 0x800000})),
      fCommentParAst(addCategory("CommentParAst", {false, fsItalic, clDefault, 0x008000})),
      fDirectives(addCategory("Directives", {false, fsItalic, 0x808000, 0xFFFFFF})),
      fNumbers(addCategory("Numbers", {false, 0, clDefault, 0x0000FF})),
      fProperties(addCategory("Properties", {false, 0, clDefault, clDefault})),
      fSymbols(addCategory("Symbols", {false, 0, clDefault, clDefault})) {
  setDelimiters(MakeCharSet("\t \"'()*+,-./:;<=>[]^{}"));
  addVocabulary();
  addKeys();
  addKeywordGroup(fOOPKeywords, 0, kFirstMnemonic - 1, woWholeWordsOnly, kKeywordContext);
  addKeywordGroup(fASMKeywords, kFirstMnemonic, kFirstSymbol - 1, woWholeWordsOnly, kMnemonicContext);
  addKeyBinding(fSymbols, {}, kFirstSymbol, kFirstSymbol + int32_t(Symbols().size()) - 1);
  addKeyBinding(fAsmHighlight, {kAsmKey});
  addKeyBinding(fStringsHilit, {kStringKey, kCharKey, kAsmStringKey});
  addKeyBinding(fCommentSingleLine, {kLineCommentKey, kAsmLineCommentKey});
  addKeyBinding(fDirectives, {kDirectiveKey, kAsmDirectiveKey});
  addKeyBinding(fCommentBrace, {kBraceCommentKey, kAsmBraceCommentKey});
  addKeyBinding(fCommentParAst, {kParenCommentKey, kAsmParenCommentKey});
  addKeyBinding(fProperties, {kPropertyKey});
  setNumbersCategory(fNumbers);
  OnKeyword = [this](TCustomExtHighlighter& s, TZarvNavigator& a, TZarvNavigator& b, int32_t k, bool& ok) {
    GetKeywordConfirmation(s, a, b, k, ok);
  };
  TNumberHighlighter& n = NumberHighlighter();
  n.setCTypeHex(false);
  n.setDelimiters(Delimiters());
  n.setForegnd(0x0000FF);
  n.setContextNum(kNumberContext);
  n.OnQueryHilit = [this](TCustomExtHighlighter& s, int16_t scope, bool& doHilit) {
    GetNumberConfirmation(s, scope, doHilit);
  };
}

void TOOPHighlighter::addVocabulary() {
  TExtKeywordList& kw = Keywords();
  const TStrings::UpdateLock batch(kw);
  for (const QString& w : PascalKeywords())
    kw.AddExtKeyWord(w, woWholeWordsOnly, fsBold, kKeywordContext, 0, 0, 0, clDefault, clDefault);
  for (const QString& w : AsmMnemonics())
    kw.AddExtKeyWord(w, woWholeWordsOnly, fsBold, kMnemonicContext, kAsmContext, 0, 0, 0x00FFFF, clDefault);
  for (const QString& w : Symbols())
    kw.AddExtKeyWord(w, {}, 0, kSymbolContext, 0, 0, 0, clDefault, clDefault);
}

void TOOPHighlighter::addKeys() {
  TExtStartStopList& ss = StartStopKeys();
  auto add = [&ss](const char* start, const char* stop, TWordOptions options, TZarvFontStyles style, int32_t context,
                   int32_t scope, TColor back, TColor fore, TssOptions ssOptions) {
    ss.AddExStartStopKey(QString::fromLatin1(start), QString::fromLatin1(stop), options, style, context, scope, 0, 0,
                         back, fore, ssOptions);
  };
  add("property", ";", woWholeWordsOnly, 0, 0, 0, clDefault, clDefault, {});
  for (int32_t scope : {0, kAsmContext}) {
    // The same strings, comments and directives at top level and inside
    // assembler blocks; "#" constants only outside them.
    const int32_t stringContext = scope ? kAsmStringContext : kStringContext;
    add("'", "'", {}, fsItalic, stringContext, scope, 0xC0C0C0, 0, ssoParStop);
    if (!scope)
      add("#", "", {}, fsItalic, kStringContext, 0, 0xC0C0C0, 0, ssoParStop);
    add("//", "", {}, fsItalic, kCommentContext, scope, clDefault, 0xFF0000, ssoParStop);
    add("{$", "}", {}, fsItalic, kDirectiveContext, scope, 0x808000, 0xFFFFFF, {});
    add("{", "}", {}, fsItalic, kCommentContext, scope, clDefault, 0x800000, {});
    add("(*", "*)", {}, fsItalic, kCommentContext, scope, clDefault, 0x008000, {});
  }
  add("asm", "end", woWholeWordsOnly, fsUnderline, kAsmContext, 0, clDefault, 0x800080, {});
}

// ---- Confirmations --------------------------------------------------------------------

void TOOPHighlighter::GetKeywordConfirmation(TCustomExtHighlighter&, TZarvNavigator& StartKey, TZarvNavigator&,
                                             int32_t KIndex, bool& Accept) {
  if (KIndex >= kFirstPropertyWord && KIndex < kFirstMnemonic) {
    Accept = DynToLevel(*StartKey.GetpDynInfo()) >= 0;
  } else if (KIndex == kAsmMnemonic) {
    // The code in force must be one of this paragraph's and begin here.
    const DynInfoRec& d = *StartKey.GetpDynInfo();
    Accept = StartKey.GetDynNb() > 0 && DynToLevel(d) >= 0 && d.DynOffset == StartKey.GetOffset();
  }
}

void TOOPHighlighter::GetNumberConfirmation(TCustomExtHighlighter&, int16_t Scope, bool& DoHilit) {
  DoHilit = Scope == 0 || Scope == kAsmContext;
}

// ---- Stored form ------------------------------------------------------------------------

void TOOPHighlighter::ReadOldFormats(TReader& reader) { applyFormats(readFormats(reader, false)); }

bool TOOPHighlighter::readProperty(const QString& name, TReader& reader) {
  if (name == QLatin1String("KeywordsOvr.Formats")) {
    const std::vector<TFormatRecord> old = readFormats(reader, false);
    fPendingFormats.insert(fPendingFormats.begin(), old.begin(), old.end()); // "ModFormats" wins
    return true;
  }
  return TLanguageHighlighter::readProperty(name, reader);
}

// ---- Character constants ----------------------------------------------------------------

bool TOOPHighlighter::FindStop(TZarvNavigator& StartNav, TZarvNavigator& StopNav, int32_t Base) {
  const DynInfoRec d = *StartNav.GetpDynInfo();
  const int level = DynToLevel(d);
  if (!getActive() || level < 0 || uint16_t(d.KeyIndex[level]) != (kStartStopBit | uint32_t(Base + kCharKey)))
    return TCustomExtHighlighter::FindStop(StartNav, StopNav, Base);
  TParagraphsList& L = *StartNav.List();
  const int32_t p = StartNav.GetParNb();
  ParInfo& par = *StartNav.GetPar();
  const int32_t len = GetParLength(par);
  const int32_t dynAt = StartNav.GetDynNb();
  int32_t from = std::min(StartNav.GetOffset(), len);
  if (dynAt > 0)
    from = std::max(from, d.DynOffset + 1); // never the "#" itself
  const int32_t limit = std::min(StopNav.GetParNb() == p ? StopNav.GetOffset() : len, len);
  int32_t stop = from;
  while (stop < limit && isDigit(par.ParText[stop]))
    ++stop;
  // Digits up to the window's end: more may follow, unless the line ends
  // there (a constant never continues on the next line).
  if (stop >= limit && limit < len)
    return false;
  stop = std::min(stop, len);
  DynInfoRec next = rangecodes::CodeBeforeRange(L, p, dynAt, level);
  next.SS.StartKlen = 0;
  next.DynOffset = stop;
  TDynInfoArray& w = GetDynArrayForWrite(par);
  if (dynAt > 0 && size_t(dynAt) <= w.size())
    w[size_t(dynAt) - 1].SS.StopKLen = 0;
  // Inserted after the code in force at StartNav when the constant ends
  // where StartNav stands.
  size_t at = FirstDynAtOrAfter(w, stop);
  if (stop == from && dynAt > 0)
    at = std::max(at, std::min(size_t(dynAt), w.size()));
  w.insert(w.begin() + ptrdiff_t(at), next);
  par.ParState &= static_cast<TParStates>(~zvpFormatted);
  rangecodes::ContinueAt(StartNav, StopNav, p, stop);
  return true;
}

} // namespace zarv
