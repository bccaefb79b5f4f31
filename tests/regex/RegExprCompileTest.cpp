// The regex compiler: the program each construct compiles to (through the
// Dump listing), the search hints, every compile error with its position,
// the modifiers and their text form, and patterns too large or too deep.
#include "RegexTestSupport.h"

#include <ZarvMemo/regex/RegExpr.h>
#include <ZarvMemo/regex/RegExprProgram.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace zarv;
using zarv::regextest::Q;

namespace {

QString DumpOf(const char* pattern, const char* modifiers = "") {
  TRegExpr r;
  r.SetExpression(Q(pattern));
  r.SetModifierStr(Q(modifiers));
  return r.Dump();
}

struct ListingCase {
  const char* pattern;
  const char* modifiers;
  const char* listing;
};

// Each construct in a small pattern, with its whole listing: node indexes,
// links, counts and operands all have to agree.
const ListingCase kListings[] = {
    {"ab", "", " 1BRANCH (10) \n 4EXACTLY (10) ab\n10END (0) \nstart char: a\n"},
    {"abc|x?|", "",
     " 1BRANCH (11) \n 4EXACTLY (34) abc\n11BRANCH (28) \n14BRANCH (22) \n17EXACTLY (25) x\n22BRANCH (25) \n"
     "25NOTHING (34) \n28BRANCH (34) \n31NOTHING (34) \n34END (0) \n"},
    {"^a$", "", " 1BRANCH (15) \n 4BOL (7) \n 7EXACTLY (12) a\n12EOL (15) \n15END (0) \nanchored\n"},
    {"^a$|b", "",
     " 1BRANCH (15) \n 4BOL (7) \n 7EXACTLY (12) a\n12EOL (23) \n15BRANCH (23) \n18EXACTLY (23) b\n23END (0) \n"},
    {"^a$", "m", " 1BRANCH (15) \n 4BOLML (7) \n 7EXACTLY (12) a\n12EOLML (15) \n15END (0) \n"},
    {"(?-s).", "", " 1BRANCH (10) \n 4COMMENT (7) \n 7ANYML (10) \n10END (0) \n"},
    {".\\d\\D\\w\\W\\s\\S\\b\\B\\A\\Z", "",
     " 1BRANCH (37) \n 4ANY (7) \n 7ANYDIGIT (10) \n10NOTDIGIT (13) \n13ANYLETTER (16) \n16NOTLETTER (19) \n"
     "19ANYSPACE (22) \n22NOTSPACE (25) \n25BOUND (28) \n28NOTBOUND (31) \n31BOL (34) \n34EOL (37) \n37END (0) \n"},
    // A quantifier after a run takes only the run's last character.
    {"ab*", "", " 1BRANCH (17) \n 4EXACTLY (9) a\n 9STAR (17) \n12EXACTLY (0) b\n17END (0) \nstart char: a\n"},
    {"a+?", "", " 1BRANCH (12) \n 4PLUSNG (12) \n 7EXACTLY (0) a\n12END (0) \n"},
    {"a??", "", " 1BRANCH (16) \n 4BRACESNG (16) {0,1}\n11EXACTLY (0) a\n16END (0) \n"},
    {"(?-g)a*b+c?", "",
     " 1BRANCH (35) \n 4COMMENT (7) \n 7STARNG (15) \n10EXACTLY (0) a\n15PLUSNG (23) \n18EXACTLY (0) b\n"
     "23BRACESNG (35) {0,1}\n30EXACTLY (0) c\n35END (0) \n"},
    {"a{2,}", "", " 1BRANCH (16) \n 4BRACES (16) {2,2147483646}\n11EXACTLY (0) a\n16END (0) \n"},
    {"a{2,5}?", "", " 1BRANCH (16) \n 4BRACESNG (16) {2,5}\n11EXACTLY (0) a\n16END (0) \n"},
    {"a{3}?", "", " 1BRANCH (16) \n 4BRACESNG (16) {3,3}\n11EXACTLY (0) a\n16END (0) \n"},
    {"(ab)?", "",
     " 1BRANCH (28) \n 4BRANCH (22) \n 7OPEN[1] (10) \n10BRANCH (19) \n13EXACTLY (19) ab\n19CLOSE[1] (25) \n"
     "22BRANCH (25) \n25NOTHING (28) \n28END (0) \n"},
    {"(a|b)*c", "",
     " 1BRANCH (43) \n 4BRANCH (32) \n 7OPEN[1] (10) \n10BRANCH (18) \n13EXACTLY (26) a\n18BRANCH (26) \n"
     "21EXACTLY (26) b\n26CLOSE[1] (29) \n29BACK (4) \n32BRANCH (35) \n35NOTHING (38) \n38EXACTLY (43) c\n"
     "43END (0) \nmust have: c\n"},
    {"(ab)+", "",
     " 1BRANCH (31) \n 4OPEN[1] (7) \n 7BRANCH (16) \n10EXACTLY (16) ab\n16CLOSE[1] (19) \n19BRANCH (25) \n"
     "22BACK (4) \n25BRANCH (28) \n28NOTHING (31) \n31END (0) \n"},
    {"(ab)*?", "",
     " 1BRANCH (31) \n 4LOOPENTRY (22) \n 7OPEN[1] (10) \n10BRANCH (19) \n13EXACTLY (19) ab\n19CLOSE[1] (22) \n"
     "22LOOPNG (31)  -> (7) {0,2147483646}\n31END (0) \n"},
    {"(ab)+?", "",
     " 1BRANCH (31) \n 4LOOPENTRY (22) \n 7OPEN[1] (10) \n10BRANCH (19) \n13EXACTLY (19) ab\n19CLOSE[1] (22) \n"
     "22LOOPNG (31)  -> (7) {1,2147483646}\n31END (0) \n"},
    {"(abc){2,3}x", "",
     " 1BRANCH (37) \n 4LOOPENTRY (23) \n 7OPEN[1] (10) \n10BRANCH (20) \n13EXACTLY (20) abc\n20CLOSE[1] (23) \n"
     "23LOOP (32)  -> (7) {2,3}\n32EXACTLY (37) x\n37END (0) \nmust have: x\n"},
    {"[a-c-]", "", " 1BRANCH (12) \n 4ANYOF (12) abc-\n12END (0) \n"},
    {"[^]a]", "", " 1BRANCH (10) \n 4ANYBUT (10) ]a\n10END (0) \n"},
    {"[-a\\d-z]", "", " 1BRANCH (22) \n 4ANYOF (22) -a0123456789-z\n22END (0) \n"},
    {"[a-\\d]", "", " 1BRANCH (20) \n 4ANYOF (20) a-0123456789\n20END (0) \n"},
    {"[\\x41-\\x45\\t\\]]", "", " 1BRANCH (15) \n 4ANYOF (15) ABCDE\t]\n15END (0) \n"},
    {"(?i)[^a-c\\d]", "", " 1BRANCH (24) \n 4COMMENT (7) \n 7ANYBUT/CI (24) abc0123456789\n24END (0) \n"},
    // Russian ranges hold the whole alphabets, "ё" and "Ё" included.
    {"[а-я]", "", " 1BRANCH (41) \n 4ANYOF (41) абвгдеёжзийклмнопрстуфхцчшщъыьэюя\n41END (0) \n"},
    {"[а-Я]", "",
     " 1BRANCH (74) \n 4ANYOF (74) абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ\n74END (0) \n"},
    {"[а-в]", "-r", " 1BRANCH (11) \n 4ANYOF (11) абв\n11END (0) \n"},
    {"(a)\\1", "",
     " 1BRANCH (22) \n 4OPEN[1] (7) \n 7BRANCH (15) \n10EXACTLY (15) a\n15CLOSE[1] (18) \n18BSUBEXP (22) \n"
     "22END (0) \n"},
    {"(?i)a[b]\\1", "",
     " 1BRANCH (21) \n 4COMMENT (7) \n 7EXACTLY/CI (12) a\n12ANYOF/CI (17) b\n17BSUBEXP/CI (21) \n21END (0) \n"},
    // An inline modifier lasts to the end of its group.
    {"(?i)x(?-i)y(z(?i)w)v", "",
     " 1BRANCH (47) \n 4COMMENT (7) \n 7EXACTLY/CI (12) x\n12COMMENT (15) \n15EXACTLY (20) y\n20OPEN[1] (23) \n"
     "23BRANCH (39) \n26EXACTLY (31) z\n31COMMENT (34) \n34EXACTLY/CI (39) w\n39CLOSE[1] (42) \n"
     "42EXACTLY (47) v\n47END (0) \n"},
    {"(?#c)x", "", " 1BRANCH (12) \n 4COMMENT (7) \n 7EXACTLY (12) x\n12END (0) \n"},
    {"(?x) a b # c\nd", "",
     " 1BRANCH (24) \n 4COMMENT (7) \n 7COMMENT (10) \n10EXACTLY (16) ab\n16COMMENT (19) \n19EXACTLY (24) d\n"
     "24END (0) \n"},
    {"a{x}", "", " 1BRANCH (16) \n 4EXACTLY (9) a\n 9EXACTLY (16) {x}\n16END (0) \nstart char: a\n"},
    {"\\x41\\x{263a}\\.", "",
     " 1BRANCH (19) \n 4EXACTLY (9) A\n 9EXACTLY (14) ☺\n14EXACTLY (19) .\n19END (0) \nstart char: A\n"},
    // "\x00" can never match (the subject ends at a 0 unit): an empty set.
    {"\\x00", "", " 1BRANCH (8) \n 4ANYOF (8) \n 8END (0) \n"},
};

} // namespace

TEST(RegExprCompile, EachConstructCompilesToItsListing) {
  for (const ListingCase& c : kListings)
    EXPECT_EQ(DumpOf(c.pattern, c.modifiers), Q(c.listing)) << c.pattern << " /" << c.modifiers;
}

TEST(RegExprCompile, MustHaveIsTheLongestLiteralOfABranchStartingWithARepeat) {
  EXPECT_TRUE(DumpOf("x*abc.de").endsWith(Q("must have: abc\n")));
  EXPECT_TRUE(DumpOf("x*ab.cd").endsWith(Q("must have: cd\n"))); // the later of equal lengths
  EXPECT_FALSE(DumpOf("xab*cde").contains(Q("must have")));      // no leading repeat
  EXPECT_FALSE(DumpOf("x*(?i)abc").contains(Q("must have")));    // a caseless literal is no filter
  EXPECT_FALSE(DumpOf("x*a|b").contains(Q("must have")));        // two branches
}

namespace {

struct ErrorCase {
  const char* pattern;
  int32_t code;
  int32_t pos;
};

const ErrorCase kErrors[] = {
    {"(a(b)", 103, 5},
    {"a)", 104, 1},
    {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)(o)", 102, 43},
    {"\\b*", 106, 2},
    {"(a|)+", 106, 4},
    {"^{2}", 106, 1},
    {"a**", 107, 2},
    {"a+?+", 107, 3},
    {"x{2}{3}", 107, 4},
    {"\\xG1", 108, 2},
    {"\\x{}", 108, 3},
    {"[\\x4", 108, 4},
    {"[z-a]", 109, 4},
    {"(?-r)[а-Я]", 109, 9},
    {"[a\\", 110, 3},
    {"[a-\\", 110, 4},
    {"\\x", 111, 2},
    {"\\x{12", 111, 5},
    {"\\x{10000}", 112, 7},
    {"[ab", 113, 3},
    {"[]", 113, 2},
    {"*a", 115, 1},
    {"a|?", 115, 3},
    {"a\\", 116, 2},
    {"a{123456789}", 122, 11},
    {"a{1,123456789}", 122, 13},
    {"a{2,1}", 124, 6},
    {"(?#abc", 125, 6},
    {"(?q)", 127, 2},
    {"(?i", 127, 3},
    {"(?:a)", 127, 2},
};

} // namespace

TEST(RegExprCompile, EachMalformedPatternRaisesItsCodeAtItsPosition) {
  for (const ErrorCase& c : kErrors) {
    TRegExpr r;
    r.SetExpression(Q(c.pattern));
    try {
      r.Compile();
      ADD_FAILURE() << c.pattern << " compiled";
    } catch (const ERegExpr& e) {
      EXPECT_EQ(e.ErrorCode, c.code) << c.pattern;
      EXPECT_EQ(e.CompilerErrorPos, c.pos) << c.pattern;
      EXPECT_EQ(e.message(), r.ErrorMsg(c.code) + QStringLiteral(" (pos %1)").arg(c.pos)) << c.pattern;
      EXPECT_EQ(r.LastError(), c.code);
      EXPECT_EQ(r.LastError(), 0); // read once
    }
  }
}

TEST(RegExprCompile, AFailedCompileLeavesTheObjectUsable) {
  TRegExpr r;
  r.SetExpression(Q("(a"));
  EXPECT_THROW(r.Exec(Q("a")), ERegExpr);
  EXPECT_EQ(r.CompilerErrorPos(), 0);     // only meaningful while compiling
  EXPECT_THROW(r.Exec(Q("a")), ERegExpr); // still no program: tries again
  r.SetExpression(Q("(a)"));
  EXPECT_TRUE(r.Exec(Q("xa")));
  EXPECT_EQ(r.MatchPos(1), 2);
}

TEST(RegExprCompile, ErrorTextsAndTheMessageRule) {
  TRegExpr r;
  EXPECT_EQ(r.ErrorMsg(0), Q("No errors"));
  EXPECT_EQ(r.ErrorMsg(110), Q("TRegExpr(comp): Parse Atom Trailing \\"));
  EXPECT_EQ(r.ErrorMsg(128),
            Q("TRegExpr(comp): LinePairedSeparator must countain two different chars or no chars at all"));
  EXPECT_TRUE(r.ErrorMsg(126).endsWith(Q("'*?', '+?', '?"
                                         "?' for complex cases - remove '.' from {.$DEFINE "
                                         "ComplexBraces}")));
  EXPECT_EQ(r.ErrorMsg(1013), Q("Unknown error"));
  EXPECT_EQ(r.ErrorMsg(1015), Q("TRegExpr(exec): Loop Without LoopEntry !"));
  try {
    r.Compile(); // no expression
    ADD_FAILURE();
  } catch (const ERegExpr& e) {
    EXPECT_EQ(e.ErrorCode, 1003);
    EXPECT_EQ(e.message(), Q("TRegExpr(exec): Not Assigned Expression Property")); // no position from 1000 up
  }
  r.SetExpression(Q("a"));
  r.SetExpression(QString()); // empty means none
  EXPECT_THROW(r.Compile(), ERegExpr);
}

TEST(RegExprCompile, GroupLimitBoundsTheParserWhateverTheNesting) {
  TRegExpr r;
  QString fourteen;
  for (char c = 'a'; c < 'a' + 14; ++c)
    fourteen += QStringLiteral("(%1)").arg(QLatin1Char(c));
  r.SetExpression(fourteen);
  EXPECT_NO_THROW(r.Compile());
  // Deep nesting fails at the 15th "(" instead of recursing on.
  r.SetExpression(QString(200000, QLatin1Char('(')) + QLatin1Char('a') + QString(200000, QLatin1Char(')')));
  try {
    r.Compile();
    ADD_FAILURE();
  } catch (const ERegExpr& e) {
    EXPECT_EQ(e.ErrorCode, 102);
    EXPECT_EQ(e.CompilerErrorPos, 15);
  }
}

TEST(RegExprCompile, LongPatternsCompileAndMatch) {
  // Many alternatives and many pieces: linking must not walk the whole
  // pattern for each addition.
  TRegExpr r;
  QString alts, pieces;
  for (int i = 0; i < 50000; ++i) {
    alts += QStringLiteral("w%1|").arg(i);
    pieces += QStringLiteral("[a-c]\\d?");
  }
  r.SetExpression(alts + QStringLiteral("end"));
  EXPECT_TRUE(r.Exec(QStringLiteral("w49999")));
  EXPECT_EQ(r.MatchLen(0), 2); // the first alternative that matches wins: "w4"
  r.SetExpression(pieces);
  EXPECT_TRUE(r.Exec(QString(50000, QLatin1Char('b'))));
}

TEST(RegExprCompile, ModifierStrListsOnLettersThenOffLetters) {
  TRegExpr r;
  EXPECT_EQ(r.ModifierStr(), Q("gsr-imx"));
  r.SetModifierStr(Q("i"));
  EXPECT_EQ(r.ModifierStr(), Q("igsr-mx"));
  r.SetModifierStr(Q("-gsr"));
  EXPECT_EQ(r.ModifierStr(), Q("i-rsgmx"));
  r.SetModifierStr(Q("MX-I"));
  EXPECT_EQ(r.ModifierStr(), Q("xm-irsg"));
  r.SetModifierStr(Q("irsgmx"));
  EXPECT_EQ(r.ModifierStr(), Q("ixmgsr")); // nothing off: no "-"
  EXPECT_TRUE(r.ModifierI() && r.ModifierR() && r.ModifierS() && r.ModifierG() && r.ModifierM() && r.ModifierX());
}

TEST(RegExprCompile, BadModifiersRaise1013AndChangeNothing) {
  TRegExpr r;
  for (const char* bad : {"q", "i q", "(i)"}) {
    try {
      r.SetModifierStr(Q(bad));
      ADD_FAILURE() << bad;
    } catch (const ERegExpr& e) {
      EXPECT_EQ(e.ErrorCode, 1013);
      EXPECT_EQ(e.message(), Q("Unknown error"));
    }
  }
  EXPECT_EQ(r.ModifierStr(), Q("gsr-imx"));
  EXPECT_THROW(r.GetModifier(0), ERegExpr);
  EXPECT_THROW(r.SetModifier(7, true), ERegExpr);
}

TEST(RegExprCompile, ChangingModifiersRecompilesOnTheNextUse) {
  TRegExpr r;
  r.SetExpression(Q("a"));
  EXPECT_FALSE(r.Exec(Q("A")));
  r.SetModifierI(true);
  EXPECT_TRUE(r.Exec(Q("A")));
  EXPECT_TRUE(r.Dump().contains(Q("EXACTLY/CI")));
}

TEST(RegExprCompile, LinePairedSeparatorTakesTwoDifferentUnitsOrNone) {
  TRegExpr r;
  EXPECT_EQ(r.LinePairedSeparator(), Q("\r\n"));
  for (const char* bad : {"a", "aa", "abc"}) {
    try {
      r.SetLinePairedSeparator(Q(bad));
      ADD_FAILURE() << bad;
    } catch (const ERegExpr& e) {
      EXPECT_EQ(e.ErrorCode, 128);
      EXPECT_EQ(e.message(), r.ErrorMsg(128) + Q(" (pos 0)"));
    }
  }
  EXPECT_EQ(r.LinePairedSeparator(), Q("\r\n"));
  r.SetLinePairedSeparator(Q("ab"));
  EXPECT_EQ(r.LinePairedSeparator(), Q("ab"));
  // With no separators of either kind "^" and "$" stay plain even under m.
  r.SetLinePairedSeparator(QString());
  r.SetLineSeparators(QString());
  r.SetExpression(Q("^$"));
  r.SetModifierM(true);
  EXPECT_EQ(r.Dump(), Q(" 1BRANCH (10) \n 4BOL (7) \n 7EOL (10) \n10END (0) \nanchored\n"));
}

TEST(RegExprCompile, SetsTakeTheClassCharactersOfCompileTime) {
  TRegExpr r;
  r.SetWordChars(Q("xy"));
  r.SetSpaceChars(Q("_"));
  r.SetExpression(Q("[\\w\\s]"));
  EXPECT_EQ(r.Dump(), Q(" 1BRANCH (11) \n 4ANYOF (11) xy_\n11END (0) \n"));
}

TEST(RegExprCompile, InvertCaseFunctionMapsOneUnitToOne) {
  const std::pair<char16_t, char16_t> cases[] = {
      {u'a', u'A'}, {u'Z', u'z'}, {u'5', u'5'},     {u'ä', u'Ä'},
      {u'ё', u'Ё'}, {u'Σ', u'σ'}, {0x20AC, 0x20AC}, {0xFF41, 0xFF41}, // above the cut-off even where a case exists
  };
  for (auto [in, out] : cases)
    EXPECT_EQ(TRegExpr::InvertCaseFunction(in), out) << int(in);
  EXPECT_EQ(TRegExpr::VersionMajor(), 0);
  EXPECT_EQ(TRegExpr::VersionMinor(), 952);
}

// A wide range costs the program three units, however many members it has;
// the listing still spells out every member, and the set still matches
// them all (the mark unit standing for a range is a member like any other).
TEST(RegExprCompile, WideRangesStayRangesInTheProgram) {
  QString members;
  for (char16_t u = u'a'; u <= u'z'; ++u)
    members += QChar(u);
  for (char16_t u = 0x400; u <= 0x4FF; ++u)
    members += QChar(u);
  // "a-z" is short enough to stay a list; the Cyrillic block becomes a range.
  EXPECT_EQ(DumpOf("[a-z\\x{400}-\\x{4FF}]"), Q(" 1BRANCH (37) \n 4ANYOF (37) ") + members + Q("\n37END (0) \n"));

  const QString copies = Q("[\\x01-\\x{FFFF}]").repeated(300);
  TRegExpr r;
  r.SetExpression(copies);
  r.Compile();
  EXPECT_EQ(r.ProgramSize(), 1 + 3 + 300 * (3 + 3 + 1) + 3);
  QString subject;
  for (int i = 0; i < 300; ++i)
    subject += QChar(char16_t(1 + i * 218)); // spread over the range, 0xFFFF included
  subject[299] = QChar(char16_t(0xFFFF));
  EXPECT_TRUE(r.Exec(subject));
  EXPECT_EQ(r.MatchLen(0), 300);
  r.SetExpression(Q("[\\x{FFFF}][^\\x{FFFF}]"));
  const QChar mark(char16_t(0xFFFF)), below(char16_t(0xFFFE));
  EXPECT_TRUE(r.Exec(QString(below) + mark + below));
  EXPECT_EQ(r.MatchPos(0), 2);
  EXPECT_FALSE(r.Exec(QString(mark) + mark));
}

// Sets against a model of their members: random single units, short and
// long ranges (below, across and above 256, up to the last unit), digits,
// negation and case-insensitivity, over a subject holding every unit once.
TEST(RegExprCompile, SetsMatchExactlyTheirMembers) {
  QString everyUnit;
  for (uint32_t u = 1; u <= 0xFFFF; ++u)
    everyUnit += QChar(char16_t(u));
  std::mt19937 rng(7);
  auto pick = [&](uint32_t lo, uint32_t hi) { return lo + rng() % (hi - lo + 1); };
  for (int iter = 0; iter < 24; ++iter) {
    std::vector<bool> in(65536, false);
    QString pattern = Q("[");
    const bool negate = iter % 3 == 1, caseless = iter % 4 == 3;
    if (negate)
      pattern += Q("^");
    for (int n = 1 + int(rng() % 5); n > 0; --n) {
      const uint32_t kind = rng() % 4;
      const uint32_t top = kind == 0 ? 300 : 0xFFFF;
      uint32_t lo = pick(1, top), hi = lo + (kind == 3 ? 0 : pick(0, kind == 1 ? 5 : 3000));
      hi = std::min<uint32_t>(hi, 0xFFFF);
      if (kind == 2 && rng() % 3 == 0)
        hi = 0xFFFF;
      pattern += QStringLiteral("\\x{%1}-\\x{%2}").arg(lo, 0, 16).arg(hi, 0, 16);
      for (uint32_t u = lo; u <= hi; ++u)
        in[u] = true;
      if (rng() % 4 == 0) {
        pattern += Q("\\d");
        for (char16_t u = u'0'; u <= u'9'; ++u)
          in[u] = true;
      }
    }
    pattern += Q("]");
    TRegExpr r;
    r.SetExpression(pattern);
    r.SetModifierI(caseless);
    std::vector<int32_t> expected, found;
    for (uint32_t u = 1; u <= 0xFFFF; ++u) {
      const char16_t inv = TRegExpr::InvertCaseFunction(char16_t(u));
      if ((in[u] || (caseless && in[inv])) != negate)
        expected.push_back(int32_t(u));
    }
    for (bool ok = r.Exec(everyUnit); ok; ok = r.ExecNext())
      found.push_back(r.MatchPos(0));
    EXPECT_EQ(found, expected) << pattern.toStdString() << (caseless ? " (i)" : "");
  }
}

// A program past MaxProgramUnits is refused with 101 before it is built,
// from a long literal or from sets that the class characters blow up; one
// just within the limit compiles and matches, and a refused pattern leaves
// the object usable.
TEST(RegExprCompile, ProgramsPastTheSizeLimitRaise101) {
  // A literal of n units compiles to n + 11: magic, BRANCH, EXACTLY, the
  // literal and its 0, END.
  const int32_t fits = regexprog::MaxProgramUnits - 11;
  TRegExpr r;
  r.SetExpression(QString(fits, QLatin1Char('a')));
  r.Compile();
  EXPECT_EQ(r.ProgramSize(), regexprog::MaxProgramUnits);
  EXPECT_TRUE(r.Exec(QString(fits, QLatin1Char('a'))));

  QString spread; // no two members adjacent, so none of them forms a range
  for (int i = 0; i < 40'000; ++i)
    spread += QChar(char16_t(0x100 + 2 * i));
  const struct {
    QString pattern;
    QString wordChars;
  } tooBig[] = {
      {QString(fits + 1, QLatin1Char('a')), QString()},
      {Q("x[\\w]").repeated(120), spread},
      {Q("[\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w"
         "\\w\\w"
         "\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w"
         "\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w]"),
       spread},
  };
  for (const auto& c : tooBig) {
    TRegExpr big;
    if (!c.wordChars.isEmpty())
      big.SetWordChars(c.wordChars);
    big.SetExpression(c.pattern);
    try {
      big.Compile();
      ADD_FAILURE() << c.pattern.left(20).toStdString() << " compiled to " << big.ProgramSize() << " units";
    } catch (const ERegExpr& e) {
      EXPECT_EQ(e.ErrorCode, 101);
      EXPECT_GT(e.CompilerErrorPos, 0);
      EXPECT_LE(e.CompilerErrorPos, c.pattern.size());
      EXPECT_EQ(e.message(), QStringLiteral("TRegExpr(comp): Regexp Too Big (pos %1)").arg(e.CompilerErrorPos));
    }
    EXPECT_EQ(big.ProgramSize(), 0);
    big.SetExpression(Q("(a|b)c"));
    EXPECT_TRUE(big.Exec(Q("xbc")));
  }
}
