// Every language highlighter, after random edits, gives the codes that
// highlighting the resulting text from scratch gives: an edit re-parses
// only as far as the states at line ends change, and that must never show.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/CPPHighlighter.h>
#include <ZarvMemo/highlighters/HtmlHighlighter.h>
#include <ZarvMemo/highlighters/OOPHighlighter.h>
#include <ZarvMemo/highlighters/SQLHighlighter.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

using namespace zarv;
using namespace zarv::test;

namespace {

struct TLanguage {
  const char* Name;
  std::function<std::unique_ptr<TZarvHighlighter>()> Make;
  // Pieces the random texts are made of: the language's keys, broken
  // ones, and line breaks.
  std::vector<const char*> Pieces;
};

std::ostream& operator<<(std::ostream& os, const TLanguage& l) { return os << l.Name; }

template <class T>
std::unique_ptr<TZarvHighlighter> Make() {
  return std::make_unique<T>();
}

const TLanguage kLanguages[] = {
    {"Cpp",
     Make<TCPPHighlighter>,
     {"int ", "x", " ", "\"", "\\", "'", "//", "/*", "*/", "#", "include", "0x1F", "12", "\r\n", "\r\n", "if(", ";"}},
    {"Pascal", Make<TOOPHighlighter>, {"begin ", "end", " ",  "asm ", "mov ", "'",  "#13",       "#",
                                       "{",      "}",   "{$", "(*",   "*)",   "//", "property ", "read ",
                                       ";",      "$FF", "12", "\r\n", "\r\n", "x",  ":="}},
    {"Sql",
     Make<TSQLHighlighter>,
     {"select ", "from", " ", "'", "\"", "--", "/*", "*/", "-", "(", "12", "x", "\r\n", "\r\n", "#", ";"}},
    {"Html", Make<THtmlHighlighter>, {"<",         ">",     "</", "b", "script", "style", " ",   "a=", "\"", "'",
                                      "x",         "&amp;", "&",  ";", "<!--",   "-->",   "<?",  "?>", "<%", "%>",
                                      "<![CDATA[", "]]>",   "/",  "=", "\r\n",   "\r\n",  "div", "<<"}},
    {"Xml",
     [] {
       auto h = std::make_unique<THtmlHighlighter>();
       h->setXMLSyntax(true);
       return std::unique_ptr<TZarvHighlighter>(std::move(h));
     },
     {"<", ">", "</", "item", " ", "id=", "\"", "x", "&lt;", "<!--", "-->", "<?xml", "?>", "<![CDATA[", "]]>", "/>",
      "\r\n", "\r\n"}},
};

QString RandomText(std::mt19937& rng, const TLanguage& l, int pieces) {
  QString s;
  for (int i = 0; i < pieces; ++i)
    s += QString::fromLatin1(l.Pieces[rng() % l.Pieces.size()]);
  return s;
}

class IncrementalHighlight : public ::testing::TestWithParam<TLanguage> {};

} // namespace

TEST_P(IncrementalHighlight, RandomEditsGiveTheCodesOfAFreshHighlighting) {
  const TLanguage& lang = GetParam();
  std::mt19937 rng(20261208);
  int64_t ranges = 0;
  int deepest = -1;
  for (int round = 0; round < 30; ++round) {
    std::unique_ptr<TZarvHighlighter> h = lang.Make(), fresh = lang.Make();
    TZarvMemo memo, scratch;
    memo.setHighlighter(h.get());
    scratch.setHighlighter(fresh.get());
    memo.SetTextBuf(RandomText(rng, lang, 120));
    HighlightAll(memo);
    for (int step = 0; step < 30; ++step) {
      const int32_t len = memo.Paragraphs().fTextLen;
      int32_t from = int32_t(rng() % uint32_t(len + 1));
      int32_t to = std::min(len, from + int32_t(rng() % 8));
      TZarvNavigator n(&memo.Paragraphs());
      n.SetPos(from);
      if (n.GetOffset() > GetParLength(*n.GetPar()))
        --from; // never split a CR LF pair
      n.SetPos(to);
      if (n.GetOffset() > GetParLength(*n.GetPar()))
        ++to;
      Edit(memo, from, to, RandomText(rng, lang, int(rng() % 4)));
      ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty()) << "round " << round << " step " << step;
      scratch.SetTextBuf(memo.GetTextContent());
      HighlightAll(scratch);
      const std::string diff = CodesDiffer(memo, scratch);
      ASSERT_TRUE(diff.empty()) << "round " << round << " step " << step << diff;
    }
    for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p)
      for (const DynInfoRec& d : GetDynArray(*memo.Paragraphs().Par(p))) {
        ranges += DynToLevel(d) >= 0;
        deepest = std::max(deepest, DynToLevel(d));
      }
    memo.setHighlighter(nullptr);
    scratch.setHighlighter(nullptr);
  }
  // The texts did get highlighted, and no input nests without bound.
  EXPECT_GT(ranges, 300) << ranges;
  EXPECT_LE(deepest, 2) << deepest;
}

INSTANTIATE_TEST_SUITE_P(Languages, IncrementalHighlight, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<TLanguage>& i) { return std::string(i.param.Name); });
