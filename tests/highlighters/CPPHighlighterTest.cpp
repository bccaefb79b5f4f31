// The C++ highlighter: the category of every character of C and C++
// snippets, the category looks and their effect on the keys, the keyword
// formats of their own, and the stored form.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QBuffer>
#include <gtest/gtest.h>

using namespace zarv;
using namespace zarv::test;

namespace {

// k keyword, s string, c "//" comment, m "/* */" comment, d directive,
// n number, '.' plain text.
char Category(const DynInfoRec& d) {
  switch (DynToContext(d)) {
  case 0:
    return '.';
  case TCPPHighlighter::kKeywordContext:
    return 'k';
  case TCPPHighlighter::kStringContext:
    return 's';
  case TCPPHighlighter::kCommentContext: {
    const int32_t key = int32_t(uint16_t(d.KeyIndex[d.Level]) & 0x7FFF);
    return key == TCPPHighlighter::kLineCommentKey ? 'c' : key == TCPPHighlighter::kBlockCommentKey ? 'm' : '?';
  }
  case TCPPHighlighter::kDirectiveContext:
    return 'd';
  case TCPPHighlighter::kNumberContext:
    return 'n';
  default:
    return '?';
  }
}

struct TSnippet {
  const char* Text;     // lines separated by "\r\n"
  const char* Expected; // categories, lines separated by "|"
  const char* About;
};

// What the highlighter gives, including where it is not what a compiler
// sees (raw strings, line continuations, digit separators, hex floats,
// user-defined literals, "char*"): those are its documented limits.
const TSnippet kSnippets[] = {
    {"int x = 42;", "kkk.....nn.", "keywords, numbers"},
    {"interface my_int int_x x.int", ".........................kkk", "keywords inside identifiers"},
    {"if(x){return;}", "kk....kkkkkk..", "keywords beside punctuation"},
    {"char* p", ".......", "'*' is no separator"},
    {"unsigned __int64 x", "kkkkkkkk.kkkkkkk..", "a keyword with a space"},
    {"static nullptr constexpr", "kkkkkk.kkkkkkk.kkkkkkkkk", "later standards' keywords"},
    {"return 0;", "kkkkkk.n.", "a number after a keyword"},
    {"x1 = a1b;", ".........", "digits inside words"},
    {"s = \"a\\\"b\"; t", "....ssssss...", "an escaped quote"},
    {"\"C:\\\\\" x", "ssssss..", "an escaped backslash ends the string"},
    {"\"abc\r\nint", "ssss|kkk", "a string ends with its line"},
    {"\"//\" // x", "ssss.cccc", "a comment key inside a string"},
    {"\"/*\" x", "ssss..", "a block comment key inside a string"},
    {"c = '\"'; d", "..........", "a quote as a character literal"},
    {"c = '\\\"'; int", "..........kkk", "an escaped quote as a character literal"},
    {"c = '\\x41';", "...........", "an escaped character"},
    {"x = '0';", ".....n..", "a digit between apostrophes"},
    {"a // int 1", "..cccccccc", "a line comment"},
    {"/* a */ int", "mmmmmmm.kkk", "a block comment"},
    {"/* a /* b */ c */", "mmmmmmmmmmmm.....", "block comments do not nest"},
    {"/* a\r\nint */ x", "mmmm|mmmmmm..", "a block comment across lines"},
    {"// a \\\r\nint x", "cccccc|kkk..", "a line continuation ends no comment"},
    {"// a /* b\r\nint", "ccccccccc|kkk", "a block key inside a line comment"},
    {"#include <vector>", "ddddddddddddddddd", "#include <...>"},
    {"  #define X 1", "ddddddddddddd", "a directive after blanks"},
    {"#if defined(X) // y", "ddddddddddddddddddd", "keywords and comments inside a directive"},
    {"x # y", ".....", "a '#' after text"},
    {"#define A \\\r\n  int", "ddddddddddd|..kkk", "a line continuation ends no directive"},
    {"%:include <x>", ".............", "a digraph is not a directive"},
    {"x = 0x1F + $FF + 12ab + 1.5;", "....nnnn...nnn..........n.n.", "number forms"},
    {"1'000'000", "n.nnn.nnn", "digit separators"},
    {"0x1.8p3", "nnn....", "a hexadecimal float"},
    {"12_km \"s\"_sv", "......sss...", "user-defined literals"},
    {"R\"(a\"b)\"", ".ssss..s", "a raw string"},
};

class CPPHighlighterTest : public ::testing::Test {
protected:
  void SetUp() override { memo.setHighlighter(&cpp); }
  void TearDown() override { memo.setHighlighter(nullptr); }
  std::string categories() {
    std::string out;
    for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
      out += (p ? "|" : "") + Runs(memo, p, Category);
    return out;
  }
  void setText(const char* text) {
    memo.SetTextBuf(QString::fromLatin1(text));
    HighlightAll(memo);
  }

  TCPPHighlighter cpp;
  TZarvMemo memo;
};

} // namespace

TEST_F(CPPHighlighterTest, EveryCharacterOfTheSnippetsHasTheCategoryOfItsToken) {
  for (const TSnippet& s : kSnippets) {
    setText(s.Text);
    EXPECT_EQ(categories(), s.Expected) << s.About << ": " << s.Text;
    EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty()) << s.Text;
  }
}
