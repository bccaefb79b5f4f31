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

TEST_F(CPPHighlighterTest, CategoriesStartWithTheirDefaultsAndLoadedGivesTheKeysTheirLooks) {
  struct TDefault {
    THighlightInfo* Info;
    TZarvFontStyles Style;
    TColor Background, Foreground;
  };
  const TDefault defaults[] = {
      {cpp.CPPKeywords(), fsBold, clDefault, clDefault},        {cpp.Strings(), fsItalic, 0xC0C0C0, 0},
      {cpp.CommentSingleLine(), fsItalic, clDefault, 0xFF0000}, {cpp.CommentMultiLine(), fsItalic, clDefault, 0x800000},
      {cpp.Directives(), fsItalic, 0x808000, 0xFFFFFF},         {cpp.Numbers(), 0, clDefault, 0x0000FF}};
  for (const TDefault& d : defaults) {
    EXPECT_EQ(d.Info->getStyle(), d.Style);
    EXPECT_EQ(d.Info->getBackground(), d.Background);
    EXPECT_EQ(d.Info->getForeground(), d.Foreground);
    EXPECT_FALSE(d.Info->getAltFont());
  }
  EXPECT_EQ(cpp.Keywords().GetCount(), TCPPHighlighter::DefaultKeywords().size());
  EXPECT_EQ(cpp.Keywords().getKeywords(96), QStringLiteral("__asm"));
  EXPECT_EQ(cpp.getSeparators(), QStringLiteral(" \"'(),-./:;<=>[]{}"));
  // The block comment key is made green; the category (navy) reaches it
  // when the categories are applied.
  EXPECT_EQ(cpp.StartStopKeys().Entry(TCPPHighlighter::kBlockCommentKey).Attributes.Foregnd, 0x008000);
  cpp.Loaded();
  EXPECT_EQ(cpp.StartStopKeys().Entry(TCPPHighlighter::kBlockCommentKey).Attributes.Foregnd, 0x800000);
  EXPECT_EQ(cpp.NumberHighlighter().getBackgnd(), clDefault);
}

TEST_F(CPPHighlighterTest, ChangingACategoryRestylesItsKeysAndKeywordsKeepFormatsOfTheirOwn) {
  cpp.Strings()->setForeground(0x0000AA);
  cpp.CommentMultiLine()->setStyle(fsUnderline);
  cpp.Numbers()->setAltFont(true);
  const StartStopInfo& str = cpp.StartStopKeys().Entry(TCPPHighlighter::kStringKey);
  EXPECT_EQ(str.Attributes.Foregnd, 0x0000AA);
  EXPECT_EQ(str.Attributes.Backgnd, 0xC0C0C0);
  EXPECT_EQ(cpp.StartStopKeys().Entry(TCPPHighlighter::kBlockCommentKey).Attributes.Style, fsUnderline);
  EXPECT_TRUE(cpp.NumberHighlighter().getAltFont());

  // "int" gets an italic look of its own; then the keyword category turns
  // its foreground red and its bold off.
  TExtKeywordList& kw = cpp.Keywords();
  const int32_t intIndex = int32_t(TCPPHighlighter::DefaultKeywords().indexOf(QStringLiteral("int")));
  TKeywordInfo own = kw.getKeyInfo(intIndex);
  own.Style = fsItalic;
  kw.setKeyInfo(intIndex, own);
  cpp.CPPKeywords()->setForeground(0x0000FF);
  EXPECT_EQ(kw.getKeyInfo(intIndex).Style, fsItalic);
  EXPECT_EQ(kw.getKeyInfo(intIndex).Foregnd, 0x0000FF);
  EXPECT_EQ(kw.getKeyInfo(0).Style, fsBold);
  cpp.CPPKeywords()->setStyle(0);
  EXPECT_EQ(kw.getKeyInfo(intIndex).Style, fsItalic);
  EXPECT_EQ(kw.getKeyInfo(0).Style, 0);
  EXPECT_EQ(kw.getKeyInfo(0).Foregnd, 0x0000FF);
  // At run time the control shows it once asked to.
  setText("int if");
  cpp.ReApplyKeys();
  HighlightAll(memo);
  EXPECT_EQ(RunAt(memo, 0, 0).DynStyle & 0x3F, fsItalic);
  EXPECT_EQ(RunAt(memo, 0, 4).Foregnd, 0x0000FF);
}

TEST_F(CPPHighlighterTest, ARefusedDesignTimeConfirmationPutsTheKeywordCategoryBack) {
  QString asked;
  TCPPHighlighter::ConfirmFunc = [&asked](const QString& q) {
    asked = q;
    return false;
  };
  cpp.SetComponentState(csDesigning);
  cpp.CPPKeywords()->setBackground(0x00FF00);
  TCPPHighlighter::ConfirmFunc = nullptr;
  EXPECT_EQ(asked, QStringLiteral("Are you sure you want to change the color of all your keywords?"));
  EXPECT_EQ(cpp.CPPKeywords()->getBackground(), clDefault);
  EXPECT_EQ(cpp.Keywords().getKeyInfo(5).Backgnd, clDefault);
}

TEST_F(CPPHighlighterTest, TheStoredFormKeepsCategoriesAndKeywordFormatsAndADamagedOneChangesNothing) {
  cpp.Directives()->setForeground(0x00FFFF);
  cpp.CommentSingleLine()->setAltFont(true);
  TKeywordInfo own = cpp.Keywords().getKeyInfo(10);
  own.Style = fsUnderline;
  own.Foregnd = 0x123456;
  cpp.Keywords().setKeyInfo(10, own);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  {
    TWriter w(out);
    cpp.WriteData(w);
  }
  const QByteArray good = out.data();
  auto load = [](TCPPHighlighter& h, const QByteArray& bytes) {
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    TReader r(in);
    h.ReadData(r);
  };
  auto stored = [](TCPPHighlighter& h) {
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    TWriter w(b);
    h.WriteData(w);
    return b.data();
  };
  TCPPHighlighter copy;
  load(copy, good);
  EXPECT_EQ(stored(copy), good);
  EXPECT_EQ(copy.Directives()->getForeground(), 0x00FFFF);
  EXPECT_EQ(copy.StartStopKeys().Entry(TCPPHighlighter::kDirectiveKey).Attributes.Foregnd, 0x00FFFF);
  EXPECT_EQ(copy.StartStopKeys().Entry(TCPPHighlighter::kLineCommentKey).Attributes.Style, fsItalic | fsAltFont);
  EXPECT_EQ(copy.Keywords().getKeyInfo(10), own);
  EXPECT_EQ(copy.Keywords().getKeyInfo(11).Style, fsBold);

  TCPPHighlighter target;
  const QByteArray before = stored(target);
  for (qsizetype cut = 0; cut < good.size(); ++cut) {
    EXPECT_THROW(load(target, good.left(cut)), EZarvError) << "cut " << cut;
    ASSERT_EQ(stored(target), before) << "cut " << cut;
  }
}

TEST_F(CPPHighlighterTest, FormatRecordsOfKeywordsOutsideTheListAreSkipped) {
  QBuffer b;
  b.open(QIODevice::WriteOnly);
  {
    TWriter w(b);
    w.WriteListBegin();
    for (int32_t index : {-1, 5, 100000})
      for (int32_t v : {index, 3, 4, 1, 0, 0x111111, 0x222222})
        w.WriteInteger(v);
    w.WriteListEnd();
  }
  b.close();
  b.open(QIODevice::ReadOnly);
  TReader r(b);
  cpp.ReadNewFormats(r);
  EXPECT_EQ(cpp.Keywords().getKeyInfo(5).Foregnd, 0x222222);
  EXPECT_EQ(cpp.Keywords().getKeyInfo(4).Foregnd, clDefault);
  EXPECT_EQ(cpp.Keywords().GetCount(), TCPPHighlighter::DefaultKeywords().size());
}

// The directive's code moves to the paragraph start (covering the blanks)
// only when no code precedes it, so codes keep their order.
TEST_F(CPPHighlighterTest, ADirectiveAfterAnotherCodeStartsAtItsHash) {
  memo.StartStopKeys().AddStartStopKey(QStringLiteral("\t"), QStringLiteral(" "), woMatchCase, 0, 9, 0, clNone, clNone,
                                       false);
  setText("\t #x");
  EXPECT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
  EXPECT_EQ(DynToContext(RunAt(memo, 0, 0)), 9);
  EXPECT_EQ(categories().substr(2), "dd");
  memo.StartStopKeys().Clear();
  setText(" \t#x");
  EXPECT_EQ(categories(), "dddd");
  EXPECT_EQ(GetDynArray(*memo.Paragraphs().Par(0)).front().DynOffset, 0);
}
