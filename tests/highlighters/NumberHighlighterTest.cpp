// The number highlighter against a model: a word (between separators) is a
// number when it matches one of the three forms, and it is styled only
// where the context of the code in force lets it.
#include "HighlighterTestSupport.h"

#include <ZarvMemo/highlighters/NumberHighlighter.h>

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <random>

using namespace zarv;
using namespace zarv::test;

namespace {

constexpr int32_t kStringContext = 2;

const char* kPieces[] = {"$", "$FF", "$fg", "0x", "0x1F", "0X1", "12", "12ab", "x1",  "1.5", " ",    " ", ",",
                         ".", "-",   "\"",  "a",  "9",    ";",   "\t", "0xg",  "007", "$",   "\r\n", "0x"};

// The model's number forms.
bool ModelNumber(const QString& word, bool cTypeHex) {
  static const QRegularExpression dollar(QStringLiteral("^\\$[0-9A-Fa-f]*$"));
  static const QRegularExpression hex(QStringLiteral("^0x[0-9A-Fa-f]*$"));
  static const QRegularExpression decimal(QStringLiteral("^[0-9]+$"));
  return dollar.match(word).hasMatch() || (cTypeHex && hex.match(word).hasMatch()) || decimal.match(word).hasMatch();
}

void AddStrings(TZarvMemo& m) {
  m.StartStopKeys().AddStartStopKey(QStringLiteral("\""), QStringLiteral("\""), woMatchCase, 0, kStringContext, 0,
                                    clNone, clNone, false);
}

struct TSetup {
  bool CTypeHex;
  int16_t Scope, Priority;
  int Veto; // 0: no handler; 1: the handler refuses everything; 2: allows everything
};

} // namespace

TEST(NumberHighlighter, NumbersAreTheWordsOfTheThreeFormsWhereTheContextAllows) {
  std::mt19937 rng(qEnvironmentVariableIsSet("ZARV_SEED") ? qEnvironmentVariableIntValue("ZARV_SEED") : 48);
  const TSetup setups[] = {{false, 0, 0, 0}, {true, 0, 0, 0}, {true, kStringContext, 0, 0},
                           {true, 0, 1, 0},  {true, 0, 0, 1}, {true, 0, 0, 2}};
  int numbers = 0;
  for (const TSetup& s : setups) {
    TNumberHighlighter h;
    h.setCTypeHex(s.CTypeHex);
    h.setScope(s.Scope);
    h.setPriority(s.Priority);
    if (s.Veto)
      h.OnQueryHilit = [&s](TCustomExtHighlighter&, int16_t, bool& ok) { ok = s.Veto == 2; };
    TZarvMemo memo, plain;
    AddStrings(memo);
    AddStrings(plain);
    memo.setHighlighter(&h);
    for (int round = 0; round < 40; ++round) {
      QString text;
      for (int i = 0; i < 40; ++i)
        text += QString::fromLatin1(kPieces[rng() % std::size(kPieces)]);
      memo.SetTextBuf(text);
      plain.SetTextBuf(text);
      HighlightAll(memo);
      HighlightAll(plain);
      ASSERT_TRUE(memo.Paragraphs().CheckIntegrity().isEmpty());
      for (int32_t p = 0; p < memo.Paragraphs().Count(); ++p) {
        const QString line = ParText(*memo.Paragraphs().Par(p));
        std::string expected;
        for (qsizetype i = 0; i < line.size();) {
          if (h.Delimiters().test(zvChar(line[i].unicode()))) {
            expected += '.';
            ++i;
            continue;
          }
          qsizetype j = i;
          while (j < line.size() && !h.Delimiters().test(zvChar(line[j].unicode())))
            ++j;
          const int32_t context = DynToContext(RunAt(plain, p, int32_t(i)));
          const bool allowed = s.Veto ? s.Veto == 2 : (context == s.Scope || s.Priority > 0);
          const bool number = allowed && ModelNumber(line.mid(i, j - i), s.CTypeHex);
          numbers += number;
          expected += std::string(size_t(j - i), number ? 'n' : '.');
          i = j;
        }
        const std::string actual = Runs(memo, p, [](const DynInfoRec& d) {
          return DynToContext(d) == TNumberHighlighter::kDefaultContext ? 'n' : '.';
        });
        ASSERT_EQ(actual, expected) << "text " << line.toStdString() << " scope " << s.Scope << " priority "
                                    << s.Priority << " veto " << s.Veto;
      }
    }
    memo.setHighlighter(nullptr);
  }
  EXPECT_GT(numbers, 200);
}

TEST(NumberHighlighter, NumbersTakeTheHighlightersLookAndCloseBeforeTheTextAfterThem) {
  TNumberHighlighter h;
  h.setStyle(fsItalic);
  h.setAltFont(true);
  h.setBackgnd(0x112233);
  TZarvMemo memo;
  memo.setHighlighter(&h);
  memo.SetTextBuf(QStringLiteral("a 42 b"));
  HighlightAll(memo);
  const DynInfoRec n = RunAt(memo, 0, 2);
  EXPECT_EQ(n.DynStyle, fsItalic | fsAltFont | dsHasLevel | dsHasAttrib);
  EXPECT_EQ(n.Backgnd, 0x112233);
  EXPECT_EQ(n.Foregnd, TNumberHighlighter::kDefaultForeground);
  EXPECT_EQ(n.Context, TNumberHighlighter::kDefaultContext);
  EXPECT_EQ(n.SS.StartKlen, 2);
  EXPECT_EQ(DynToContext(RunAt(memo, 0, 4)), 0);
  memo.setHighlighter(nullptr);
}
