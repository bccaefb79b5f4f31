// The Object Pascal, SQL and HTML highlighters on snippets that a user
// meets: the category of every character, line by line.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/HtmlHighlighter.h>
#include <ZarvMemo/highlighters/OOPHighlighter.h>
#include <ZarvMemo/highlighters/SQLHighlighter.h>

#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::test;

namespace {

struct TSnippet {
  const char* Text;     // lines separated by "\r\n"
  const char* Expected; // one category per character, lines separated by "|"
  const char* About;
};

std::string Categories(TZarvMemo& memo, char (*name)(const DynInfoRec&)) {
  std::string out;
  for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
    out += (p ? "|" : "") + Runs(memo, p, name);
  return out;
}

void CheckSnippets(TZarvHighlighter& h, const TSnippet* begin, const TSnippet* end, char (*name)(const DynInfoRec&)) {
  TZarvMemo memo;
  memo.setHighlighter(&h);
  for (const TSnippet* s = begin; s != end; ++s) {
    memo.SetTextBuf(QString::fromLatin1(s->Text));
    HighlightAll(memo);
    EXPECT_EQ(Categories(memo, name), s->Expected) << s->About << ": " << s->Text;
    EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty()) << s->Text;
  }
  memo.setHighlighter(nullptr);
}

// ---- Object Pascal --------------------------------------------------------------------

// k keyword, s string or character constant, c comment, d directive,
// n number, a assembler block, m mnemonic, q string inside assembler,
// y symbol, '.' plain (a property declaration is plain too).
char PascalCategory(const DynInfoRec& d) {
  switch (DynToContext(d)) {
  case 0:
    return '.';
  case TOOPHighlighter::kKeywordContext:
    return 'k';
  case TOOPHighlighter::kStringContext:
    return 's';
  case TOOPHighlighter::kCommentContext:
    return 'c';
  case TOOPHighlighter::kDirectiveContext:
    return 'd';
  case TOOPHighlighter::kNumberContext:
    return 'n';
  case TOOPHighlighter::kAsmContext:
    return 'a';
  case TOOPHighlighter::kMnemonicContext:
    return 'm';
  case TOOPHighlighter::kAsmStringContext:
    return 'q';
  case TOOPHighlighter::kSymbolContext:
    return 'y';
  default:
    return '?';
  }
}

const TSnippet kPascal[] = {
    {"begin x := 1; end", "kkkkk...yy.ny.kkk", "keywords, symbols, numbers"},
    {"BEGIN End bEgIn", "kkkkk.kkk.kkkkk", "keywords in any case"},
    {"beginning endx", "..............", "keywords inside identifiers"},
    {"s := 'it''s';", "..yy.sssssssy", "a string with a doubled quote"},
    {"s := 'abc\r\nend", "..yy.ssss|kkk", "a string ends with its line"},
    {"c := #13#10;", "..yy.ssssssy", "character constants"},
    {"c := #$0D;", "..yy.s...y", "a hexadecimal character constant ends after '#'"},
    {"c := #13\r\nend", "..yy.sss|kkk", "a constant at the end of a line"},
    {"x := $FF + 10;", "..yy.nnn.y.nny", "hexadecimal and decimal numbers"},
    {"// begin 'x'", "cccccccccccc", "a line comment"},
    {"{ begin } end", "ccccccccc.kkk", "a brace comment"},
    {"(* begin *) end", "ccccccccccc.kkk", "a parenthesis-star comment"},
    {"{ a\r\nbegin } end", "ccc|ccccccc.kkk", "a brace comment across lines"},
    {"{ (* } end *)", "cccccc.kkk.yy", "comment forms do not nest"},
    {"(* { *) end }", "ccccccc.kkk..", "nor close each other"},
    {"{$IFDEF X} end", "dddddddddd.kkk", "a directive"},
    {"'{' { '} end", "sss.cccc.kkk", "a comment key inside a string and the reverse"},
    {"begin mov eax, 1 end", "kkkkk........y.n.kkk", "mnemonics outside assembler are plain"},
    {"asm mov eax, 1 end", "mmmammmaaaaaanammm", "an assembler block"},
    {"asm\r\n  mov eax, ebx // x\r\n  push 'a'\r\nend;", "mmm|aammmaaaaaaaaaacccc|aammmmaqqq|mmmy",
     "an assembler block across lines"},
    {"asm begin end; x", "mmmaaaaaaammmy..", "Pascal keywords inside assembler are plain"},
    {"asm mov { end } end", "mmmammmacccccccammm", "a comment inside assembler holds no end"},
    {"property X: Integer read FX write SetX; read", "kkkkkkkk..y.........kkkk....kkkkk.....y.....",
     "property words inside a declaration only"},
    {"x.read := 1", ".y.....yy.n", "property words outside a declaration are plain"},
};

// ---- SQL -----------------------------------------------------------------------------

// k keyword, c comment, s string, o operator, n number, '.' plain.
char SqlCategory(const DynInfoRec& d) {
  switch (DynToContext(d)) {
  case 0:
    return '.';
  case TSQLHighlighter::kKeywordContext:
    return 'k';
  case TSQLHighlighter::kCommentContext:
    return 'c';
  case TSQLHighlighter::kStringContext:
    return 's';
  case TSQLHighlighter::kOperatorContext:
    return 'o';
  case TSQLHighlighter::kNumberContext:
    return 'n';
  default:
    return '?';
  }
}

const TSnippet kSql[] = {
    {"select * from t", "kkkkkk...kkkk..", "keywords"},
    {"SeLeCt x FROM t", "kkkkkk...kkkk..", "keywords in any case"},
    {"selected fromage", "................", "keywords inside identifiers"},
    {"a-b (x) [y] a/b 2 + 1", ".o..o.o.o.o..o..n.o.n", "operators"},
    {"select-1", "kkkkkkon", "an operator ends a keyword"},
    {"'it''s' x", "sssssss..", "a string with a doubled quote"},
    {"\"a-b\" 'c(d)'", "sssss.ssssss", "operators inside strings"},
    {"'abc\r\nselect", "ssss|kkkkkk", "a string ends with its line"},
    {"-- select (x)\r\nselect", "ccccccccccccc|kkkkkk", "a dash comment"},
    {"/* a-b\r\n select */ from", "cccccc|cccccccccc.kkkk", "a block comment across lines"},
    {"/* a -- b */ x", "cccccccccccc..", "comment forms inside each other"},
    {"x = 10 + y1", "....nn.o...", "numbers and digits inside words"},
    {"# note", "......", "'#' is plain by default"},
    {"distinct do x", "kkkkkkkkkkk..", "a keyword of two words"},
};

// ---- HTML --------------------------------------------------------------------------------

// '.' text, t attribute area, r raw content, c comment, '<' tag start,
// K known tag name, u unknown tag, '>' closing bracket, a attribute name,
// v attribute value, e entity, p "<?" block, x "<%" block.
char HtmlCategory(const DynInfoRec& d) {
  static const char names[] = "trc<Ku>avepx";
  const int32_t c = DynToContext(d);
  return c == 0 ? '.' : c <= 12 ? names[c - 1] : '?';
}

const TSnippet kHtml[] = {
    {"<b>bold</b>", "<K>....<KK>", "known tags"},
    {"<x>y</x>", "<u>.<uu>", "an unknown tag"},
    {"<B>a</B >", "<K>.<KKu>", "tags in any case"},
    {"</br>", "<uuu>", "a tag that cannot be closed"},
    {"<br/>", "<KKu>", "a self-closed tag"},
    {"<a href=\"x>y\" id=z>t", "<Ktaaaaavvvvvtaaav>.", "a quoted value holding '>'"},
    {"<a href='x' title = y>", "<Ktaaaaavvvtaaaaaaaav>", "single quotes, blanks around '='"},
    {"<input disabled>", "<KKKKKttttttttt>", "an attribute without a value"},
    {"<html lang=en>", "<KKKKuuuuuuuu>", "a tag that takes no attributes"},
    {"a &amp; b &lt;c", "..eeeee...eeee.", "entities"},
    {"&x y &#169;", "ee...eeeeee", "an entity ends at a blank"},
    {"a < b > c", ".........", "'<' before a blank is text"},
    {"<!-- a > b -->x", "cccccccccccccc.", "a comment holding '>'"},
    {"<!-- <b>\r\n</b> -->", "cccccccc|cccccccc", "a comment across lines"},
    {"<a\r\n href=x>", "<K|taaaaav>", "a tag across lines"},
    {"<script>if (a<b) s=\"</b>\";</script>x", "<KKKKKK>rrrrrrrrrrrrrrrrrrKKKKKKKKK.",
     "a script holding '<' and '</' in a string"},
    {"<SCRIPT>\r\nx=1;\r\n</Script>", "<KKKKKK>|rrrr|KKKKKKKKK", "a script across lines"},
    {"<style>a>b{}</style>", "<KKKKK>rrrrrKKKKKKKK", "a style block"},
    {"<![CDATA[<b>]]>x", "rrrrrrrrrrrrrrr.", "a CDATA section"},
    {"<?php echo 1 ?>x", "ppppppppppppppp.", "a processing block"},
    {"<% x %>y", "xxxxxxx.", "a server block"},
    {"<!DOCTYPE html>", "<KKKKKKKKttttt>", "a declaration"},
    {"<<<<b>", "...<K>", "'<' runs"},
    {"<a href=\"x\r\ny\">", "<Ktaaaaavv|tt>", "an unclosed quote ends with its line"},
};

} // namespace

TEST(LanguageSnippets, ObjectPascal) {
  TOOPHighlighter h;
  CheckSnippets(h, std::begin(kPascal), std::end(kPascal), PascalCategory);
}

TEST(LanguageSnippets, Sql) {
  TSQLHighlighter h;
  CheckSnippets(h, std::begin(kSql), std::end(kSql), SqlCategory);
}

TEST(LanguageSnippets, Html) {
  THtmlHighlighter h;
  CheckSnippets(h, std::begin(kHtml), std::end(kHtml), HtmlCategory);
}

TEST(LanguageSnippets, XmlNamesAreAllKnownTags) {
  THtmlHighlighter h;
  h.setXMLSyntax(true);
  const TSnippet xml[] = {
      {"<anything a=\"1\"/>", "<KKKKKKKKtaavvvt>", "any name"},
      {"</anything>", "<KKKKKKKKK>", "a closing tag"},
      {"<script>a<b/></script>", "<KKKKKK>.<Kt><KKKKKKK>", "no script block"},
  };
  CheckSnippets(h, std::begin(xml), std::end(xml), HtmlCategory);
}
