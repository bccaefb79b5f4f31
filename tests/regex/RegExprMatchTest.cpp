// The regex matcher: what each construct matches (tables grouped by
// construct), ExecNext and the match results, substitution, replace and
// split, the free functions, the QString surface and the run-time guards.
#include "RegexTestSupport.h"

#include <ZarvMemo/platform/StringList.h>
#include <ZarvMemo/regex/RegExpr.h>
#include <ZarvMemo/regex/RegExprFunctions.h>

#include <gtest/gtest.h>

#include <string>

using namespace zarv;
using zarv::regextest::Q;

namespace {

// "pos+len" of the match and of each group up to the last one set ("-" for
// a group that took no part), or "-" when nothing matched.
QString Describe(TRegExpr& r, bool found) {
  if (!found)
    return Q("-");
  QString out = QStringLiteral("%1+%2").arg(r.MatchPos(0)).arg(r.MatchLen(0));
  for (int i = 1; i <= r.SubExprMatchCount(); ++i)
    out += r.MatchPos(i) < 0 ? Q(" -") : QStringLiteral(" %1+%2").arg(r.MatchPos(i)).arg(r.MatchLen(i));
  return out;
}

struct MatchCase {
  const char* pattern;
  const char* subject;
  const char* expected;
  const char* modifiers = "";
};

void RunTable(const char* group, std::initializer_list<MatchCase> cases) {
  for (const MatchCase& c : cases) {
    TRegExpr r;
    r.SetExpression(Q(c.pattern));
    r.SetModifierStr(Q(c.modifiers));
    const bool found = r.Exec(Q(c.subject));
    EXPECT_EQ(Describe(r, found), Q(c.expected))
        << group << ": /" << c.pattern << "/" << c.modifiers << " on \"" << c.subject << '"';
  }
}

} // namespace

TEST(RegExprMatch, Anchors) {
  RunTable("anchors", {
                          {"^a", "ba", "-"},
                          {"a$", "ab", "-"},
                          {"a$", "ba", "2+1"},
                          {"\\Aa|b\\Z", "aab", "1+1"},
                          {"^b", "a\r\nb", "-"},
                          {"^b", "a\r\nb", "4+1", "m"},
                          {"a$", "a\r\nb", "1+1", "m"},
                          {"\\r$", "a\r\nb", "-", "m"}, // never between CR and LF
                          {"^\\n", "a\r\n", "-", "m"},
                          {"^\\n", "a\n\n", "3+1", "m"},
                          {"^$", "a\n\nb", "3+0", "m"},
                          {"^b", "a\u2028b", "3+1", "m"},
                          {"b$", "ab\u0085", "2+1", "m"},
                      });
}

TEST(RegExprMatch, ClassesAndSets) {
  RunTable("classes", {
                          {"\\d+", "ab123c", "3+3"},
                          {"\\D+", "12ab3", "3+2"},
                          {"\\w+", "  ab_9 ", "3+4"},
                          {"\\W+", "ab, c", "3+2"},
                          {"\\s+", "a \t\r\n\fb", "2+5"},
                          {"\\S+", "  xy ", "3+2"},
                          {"a.b", "a\nb", "1+3"},
                          {"a.b", "a\nb", "-", "-s"},
                          {"a..", "a\r\n", "-", "-s"},
                          {".+", "ab\u2029c", "1+2", "-s"},
                          {"[a-c]+", "xxbcay", "3+3"},
                          {"[^a-c]+", "abxyc", "3+2"},
                          {"[]x]+", "a]x", "2+2"},
                          {"[a-]+", "b-a", "2+2"},
                          {"[\\d.]+", "v1.25", "2+4"},
                          {"[a-c]+", "xBCay", "2+3", "i"},
                          {"[^a-c]+", "ABxyC", "3+2", "i"},
                          {"[а-я]+", "xёжy", "2+2"},
                          {"[а-я]+", "xёжy", "3+1", "-r"},
                          {"[а-Я]+", "ЁжЯ", "1+3"},
                          {"[\\x{100}-\\x{2000}]+", "a\u0100\u1234\u2001", "2+2"},
                          {"[^\\x{100}-\\x{2000}]+", "\u1234ab\u2001", "2+3"},
                          {"[\\x{3B1}-\\x{3B3}]+", "xΑΒγδ", "2+3", "i"},
                      });
}

TEST(RegExprMatch, QuantifiersGreedyAndLazy) {
  RunTable("quantifiers", {
                              {"a*", "bbb", "1+0"},
                              {"a+", "aaa", "1+3"},
                              {"a+?", "aaa", "1+1"},
                              {"x*?y", "xxy", "1+3"},
                              {"a?b", "b", "1+1"},
                              {"a??b", "ab", "1+2"},
                              {"a{2,3}", "aaaa", "1+3"},
                              {"a{2,3}?", "aaaa", "1+2"},
                              {"a{2}", "a", "-"},
                              {"a{2,}", "aaaaa", "1+5"},
                              {"a{0}b", "ab", "2+1"},
                              {"a*ab", "aaab", "1+4"},
                              {"\\d*5", "12345", "1+5"},
                              {"[ab]*?b", "aab", "1+3"},
                              {"a+", "aaa", "1+1", "-g"},
                              {"a*b", "aab", "1+3", "-g"},
                              {"(ab)*c", "ababc", "1+5 3+2"},
                              {"(ab)+", "ababx", "1+4 3+2"},
                              {"(ab)*?c", "ababc", "1+5 3+2"},
                              {"(ab)+?", "abab", "1+2 1+2"},
                              {"(ab)??c", "abc", "1+3 1+2"},
                              {"(ab)?", "x", "1+0"},
                              {"(ab){2}", "ababab", "1+4 3+2"},
                              {"(ab){2,}?", "ababab", "1+4 3+2"},
                              {"(a|b)*c", "xxabac", "3+4 5+1"},
                              {"(a|bc){2,3}d", "abcad", "1+5 4+1"},
                              {"(a|bc){1,2}?c", "abcc", "1+4 2+2"},
                              {"((ab){1,2}c){2}", "abcababc", "1+8 4+5 6+2"},
                          });
}

TEST(RegExprMatch, GroupsAndBackReferences) {
  RunTable("groups", {
                         {"(a)(b)?(c)", "ac", "1+2 1+1 - 2+1"},
                         {"((a)(b))", "ab", "1+2 1+2 1+1 2+1"},
                         {"(a)x|ab", "ab", "1+2"},
                         {"(\\w+)\\s\\1", "hello hello", "1+11 1+5"},
                         {"(ab)\\1", "abAB", "-"},
                         {"(ab)\\1", "abAB", "1+4 1+2", "i"},
                         {"(a)\\1*", "aaaa", "1+4 1+1"},
                         {"(ab)\\1*", "ababab", "1+6 1+2"},
                         {"(ab)\\1*ab", "ababab", "1+6 1+2"},
                         {"(ab)\\1{2}", "abababab", "1+6 1+2"},
                         {"(ab)\\1*?c", "ababc", "1+5 1+2"},
                         {"(a?)\\1*b", "b", "1+1 1+0"},
                         {"(a)?\\1", "b", "-"},
                         {"(a)?\\1*b", "b", "1+1"},
                     });
}

TEST(RegExprMatch, AlternationAndModifiers) {
  RunTable("alternation", {
                              {"cat|dog", "hotdog", "4+3"},
                              {"a|ab", "ab", "1+1"},
                              {"|a", "a", "1+0"},
                              {"x(a|b|)y", "xy", "1+2 2+0"},
                          });
  RunTable("modifiers", {
                            {"abc", "xAbC", "2+3", "i"},
                            {"(?i)ä", "Ä", "1+1"},
                            {"((?i)a)a", "AA", "-"},
                            {"((?i)a)a", "Aa", "1+2 1+1"},
                            {"a b # c", "ab", "1+2", "x"},
                            {"a\\ b", "a b", "1+3", "x"},
                            {"[ ]", " ", "1+1", "x"},
                            {"(?x)a b(?-x) c", "ab c", "1+4"},
                        });
}

TEST(RegExprMatch, LineSeparatorsAndWordCharsAreSettings) {
  TRegExpr r;
  r.SetModifierM(true);
  r.SetLineSeparators(Q("|"));
  r.SetExpression(Q("(?-s)^b.*$"));
  EXPECT_TRUE(r.Exec(Q("a|b\nc|d")));
  EXPECT_EQ(Describe(r, true), Q("3+3"));
  // A paired separator of its own: never a line start between its units.
  r.SetLinePairedSeparator(Q("xy"));
  r.SetLineSeparators(Q("xy"));
  r.SetExpression(Q("^y|^z"));
  EXPECT_TRUE(r.Exec(Q("axyz")));
  EXPECT_EQ(Describe(r, true), Q("4+1"));
  r.SetLinePairedSeparator(QString());
  EXPECT_TRUE(r.Exec(Q("axyz")));
  EXPECT_EQ(Describe(r, true), Q("3+1"));

  TRegExpr w;
  w.SetWordChars(Q("ab-"));
  w.SetExpression(Q("\\bb"));
  EXPECT_TRUE(w.Exec(Q("a-b c b")));
  EXPECT_EQ(w.MatchPos(0), 7);
  w.SetExpression(Q("\\w+"));
  EXPECT_TRUE(w.Exec(Q("xyb-az")));
  EXPECT_EQ(Describe(w, true), Q("3+3"));
  w.SetWordChars(Q("xy")); // read at match time: no recompilation needed
  EXPECT_TRUE(w.Exec());
  EXPECT_EQ(Describe(w, true), Q("1+2"));
  RunTable("boundaries", {{"\\bis\\b", "this is", "6+2"}, {"\\Bis\\b", "this is", "3+2"}, {"\\b", "", "-"}});
}

TEST(RegExprMatch, InvertCaseFunctionDecidesWhatIgnoringCaseMeans) {
  TRegExpr r;
  r.SetInvertCase([](char16_t c) { return c == u'x' ? u'y' : c == u'y' ? u'x' : c; });
  r.SetExpression(Q("x[x]"));
  r.SetModifierI(true);
  EXPECT_TRUE(r.Exec(Q("yy")));
  EXPECT_FALSE(r.Exec(Q("XX")));
  r.SetInvertCase(nullptr); // back to the default
  EXPECT_TRUE(r.Exec(Q("XX")));
}

TEST(RegExprMatch, ExecNextFindsEveryMatchIncludingEmptyOnes) {
  TRegExpr r;
  r.SetExpression(Q("a*"));
  ASSERT_TRUE(r.Exec(Q("bbb")));
  QString seen = Describe(r, true);
  while (r.ExecNext())
    seen += Q(" ") + Describe(r, true);
  EXPECT_EQ(seen, Q("1+0 2+0 3+0 4+0"));
  r.SetExpression(Q("\\d+"));
  ASSERT_TRUE(r.Exec(Q("a12b345")));
  r.SetExpression(Q("[a-z]")); // changed between calls: recompiled
  ASSERT_TRUE(r.ExecNext());
  EXPECT_EQ(Describe(r, true), Q("4+1"));
}

TEST(RegExprMatch, OffsetsAndResultsOutOfRange) {
  TRegExpr r;
  r.SetExpression(Q("$"));
  r.SetInputString(Q("abc"));
  try {
    r.Exec(0);
    ADD_FAILURE();
  } catch (const ERegExpr& e) {
    EXPECT_EQ(e.ErrorCode, 1006);
    EXPECT_EQ(e.message(), Q("TRegExpr(exec): Offset Must Be Greater Then 0"));
  }
  EXPECT_TRUE(r.Exec(4)); // the end itself
  EXPECT_EQ(r.MatchPos(0), 4);
  EXPECT_FALSE(r.Exec(5));
  EXPECT_FALSE(r.ExecPos(1000));
  EXPECT_TRUE(r.ExecPos(2));
  for (int idx : {-1, 1, 15})
    EXPECT_EQ(r.MatchPos(idx), -1) << idx;
  EXPECT_EQ(r.MatchLen(15), -1);
  EXPECT_EQ(r.Match(15), QString());
  EXPECT_EQ(r.SubExprMatchCount(), 0);
}

TEST(RegExprMatch, MissingSubjectOrMatchRaises) {
  TRegExpr r;
  r.SetExpression(Q("a"));
  const std::pair<std::function<void()>, int32_t> cases[] = {
      {[&] { r.Exec(); }, 1005},
      {[&] { r.InputString(); }, 1008},
      {[&] { r.ExecNext(); }, 1007},
      {[&] { r.Substitute(Q("$0")); }, 1005},
  };
  for (const auto& [call, code] : cases) {
    try {
      call();
      ADD_FAILURE() << code;
    } catch (const ERegExpr& e) {
      EXPECT_EQ(e.ErrorCode, code);
      EXPECT_EQ(e.CompilerErrorPos, 0);
    }
  }
  EXPECT_EQ(r.SubExprMatchCount(), -1);
  EXPECT_EQ(r.MatchPos(0), -1);
  EXPECT_FALSE(r.Exec(Q("b")));
  EXPECT_THROW(r.ExecNext(), ERegExpr); // a failed search leaves nothing to continue
}

TEST(RegExprMatch, SubstituteTemplates) {
  TRegExpr r;
  r.SetExpression(Q("(\\w+) (\\w+)"));
  ASSERT_TRUE(r.Exec(Q("ab cd")));
  const std::pair<const char*, const char*> cases[] = {
      {"$2-$1", "cd-ab"},   {"$3", ""},         {"\\$1", "$1"}, {"${1}x", "abx"}, {"$&|${&}", "ab cd|ab cd"},
      {"$12", ""},          {"$", "$"},         {"$x", "$x"},   {"${x}", "${x}"}, {"${}", "${}"},
      {"${1", "${1"},       {"\\\\$1", "\\ab"}, {"a\\", "a\\"}, {"", ""},         {"$01", "ab"},
      {"$99999999999", ""},
  };
  for (auto [tmpl, expected] : cases)
    EXPECT_EQ(r.Substitute(Q(tmpl)), Q(expected)) << tmpl;
}

TEST(RegExprMatch, ReplaceAndSplit) {
  TRegExpr r;
  r.SetExpression(Q(","));
  TStringList pieces;
  pieces.Add(Q("kept"));
  r.Split(Q("a,b,,c"), pieces);
  EXPECT_EQ(pieces.ToStringList(), QStringList({Q("kept"), Q("a"), Q("b"), Q(""), Q("c")}));

  r.SetExpression(Q("(\\d)(\\d)"));
  EXPECT_EQ(r.Replace(Q("a12b34"), Q("<$2$1>"), true), Q("a<21>b<43>"));
  EXPECT_EQ(r.Replace(Q("a12b34"), Q("<$2$1>")), Q("a<$2$1>b<$2$1>"));
  EXPECT_EQ(r.Replace(Q("a12b34"), [](TRegExpr& re) { return QString::number(re.MatchPos(0)); }), Q("a2b5"));
  r.SetExpression(Q("x*"));
  EXPECT_EQ(r.ReplaceEx(Q("ab"), [](TRegExpr&) { return Q("-"); }), Q("-a-b-"));
}

TEST(RegExprMatch, FreeFunctions) {
  EXPECT_TRUE(ExecRegExpr(Q("b+"), Q("abbc")));
  EXPECT_FALSE(ExecRegExpr(Q("B"), Q("abbc")));
  TStringList pieces;
  pieces.Add(Q("dropped"));
  SplitRegExpr(Q("\\s*;\\s*"), Q("a ; b;c"), pieces);
  EXPECT_EQ(pieces.ToStringList(), QStringList({Q("a"), Q("b"), Q("c")}));
  EXPECT_EQ(ReplaceRegExpr(Q("(a)"), Q("cat"), Q("[$1]"), true), Q("c[a]t"));
  EXPECT_EQ(ReplaceRegExpr(Q("(a)"), Q("cat"), Q("[$1]")), Q("c[$1]t"));

  const QString meta = Q("^$.[()|?+*\\{]}ok");
  EXPECT_EQ(QuoteRegExprMetaChars(meta), Q("\\^\\$\\.\\[\\(\\)\\|\\?\\+\\*\\\\\\{\\]\\}ok"));
  TRegExpr r; // quoted text matches itself and nothing else
  r.SetExpression(QuoteRegExprMetaChars(meta));
  EXPECT_TRUE(r.Exec(Q("x") + meta));
  EXPECT_EQ(r.MatchLen(0), meta.size());
}

TEST(RegExprMatch, RegExprSubExpressionsListsGroupsWithTheirPlaces) {
  TStringList list;
  EXPECT_EQ(RegExprSubExpressions(Q("a(b(c)\\(d)[(]e(?i)(f)"), list), 0);
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.ToStringList(), QStringList({Q("b(c)\\(d"), Q("c"), Q("f")}));
  const auto where = [&](int i) { return reinterpret_cast<intptr_t>(list.GetObject(i)); };
  EXPECT_EQ(where(0), 2 + 9 * 65536);
  EXPECT_EQ(where(1), 4 + 3 * 65536);
  EXPECT_EQ(where(2), 19 + 3 * 65536);
  // "#" comments count only with extended syntax, which "(?x)" switches on.
  EXPECT_EQ(RegExprSubExpressions(Q("#(\n(a)"), list), -1);
  EXPECT_EQ(RegExprSubExpressions(Q("#(\n(a)"), list, true), 0);
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_EQ(RegExprSubExpressions(Q("(?x)#(\n(a)"), list), 0);
  EXPECT_EQ(RegExprSubExpressions(Q("(?x-x)#(\n(a)"), list), -1);
  EXPECT_EQ(RegExprSubExpressions(Q("ab[cd"), list), -4);
  EXPECT_EQ(RegExprSubExpressions(Q("a)b"), list), 2);
}

TEST(RegExprMatch, QStringViewSubjectsAreMatchedInPlace) {
  const std::u16string text = u"key = value";
  TRegExpr r;
  r.SetExpression(Q("(\\w+)\\s*=\\s*(\\w+)"));
  ASSERT_TRUE(r.ExecView(QStringView(text)));
  EXPECT_EQ(r.MatchView(2).utf16(), text.data() + 6); // a view into the caller's text
  EXPECT_EQ(r.Match(1), Q("key"));
  EXPECT_EQ(r.InputString(), Q("key = value"));
  EXPECT_FALSE(r.ExecView(QStringView(text), 5));
  // A subject ends at its first 0 unit.
  EXPECT_FALSE(r.ExecView(QStringView(u"ab\0cd", 5)));
  r.SetExpression(Q("b$"));
  EXPECT_TRUE(r.Exec(QString::fromUtf16(u"ab\0cd", 5)));
}

TEST(RegExprMatch, CatastrophicBacktrackingEndsWithTheStepLimit) {
  TRegExpr r;
  r.SetExpression(Q("(a+)+b"));
  const QString subject = QString(30, QLatin1Char('a')) + Q("cb");
  r.SetStepLimit(2'000'000);
  try {
    r.Exec(subject);
    ADD_FAILURE();
  } catch (const ERegExpr& e) {
    EXPECT_EQ(e.ErrorCode, reeStepLimitExceeded);
    EXPECT_EQ(e.message(), Q("TRegExpr(exec): Step Limit Exceeded"));
  }
  EXPECT_EQ(r.MatchPos(0), -1);
  EXPECT_TRUE(r.Exec(Q("aaab"))); // usable afterwards
  EXPECT_EQ(Describe(r, true), Q("1+4 1+3"));
}

TEST(RegExprMatch, LongSubjectsNeverExhaustTheMachineStack) {
  TRegExpr r;
  r.SetExpression(Q("(a|b)*c"));
  QString subject;
  for (int i = 0; i < 500'000; ++i)
    subject += Q("ab");
  ASSERT_TRUE(r.Exec(subject + Q("c")));
  EXPECT_EQ(r.MatchLen(0), 1'000'001);
  EXPECT_EQ(r.MatchPos(1), 1'000'000);
  r.SetBacktrackLimit(10'000);
  try {
    r.Exec(subject + Q("c"));
    ADD_FAILURE();
  } catch (const ERegExpr& e) {
    EXPECT_EQ(e.ErrorCode, reeBacktrackLimitExceeded);
  }
}

TEST(RegExprMatch, NestedCountedLoopsAreLimitedToTen) {
  QString ten = Q("a"), eleven;
  for (int i = 0; i < 10; ++i)
    ten = Q("(") + ten + Q("){1,2}");
  eleven = Q("(") + ten + Q("){1,2}");
  TRegExpr r;
  r.SetExpression(ten);
  EXPECT_TRUE(r.Exec(Q("aa")));
  EXPECT_EQ(r.MatchLen(0), 2);
  r.SetExpression(eleven);
  try {
    r.Exec(Q("a"));
    ADD_FAILURE();
  } catch (const ERegExpr& e) {
    EXPECT_EQ(e.ErrorCode, 1014);
  }
}

// Every kind of work spends the step budget, not only the nodes visited:
// counting a simple repeat, backing off over counts that the following
// literal rules out, passing over alternatives and comparing a
// back-reference. Each of these searches does quadratic work over the
// subject, so a search that spends only node steps would run for seconds
// before failing where these stop at the limit. ("x*y|q" itself no longer
// is quadratic: a start inside the run of x that the last start counted
// needs no second count, and only the whole run can be followed by "y".)
TEST(RegExprMatch, EveryKindOfWorkSpendsTheStepBudget) {
  const QString xs(100'000, QLatin1Char('x'));
  const QString alternatives = Q("xq|") + QStringList(QList<QString>(2000, Q("z"))).join(QLatin1Char('|')) + Q("|xw");
  const struct {
    QString pattern;
    QString subject;
  } cases[] = {
      {Q("x{1,50000}y|q"), xs},  // counting, cut short by the maximum, at every start
      {Q("x{1,50000}?y|q"), xs}, // the same, lazily
      {Q(".*?y|q"), xs},         // backing off lazily
      {Q(".*y|q"), xs},          // "." takes the rest at once; backing off does not
      {alternatives, xs},        // alternatives passed over at every start
      {Q("^(x*)\\1\\1\\1\\1\\1\\1\\1y"), xs.left(50'000) + Q("zy")}, // long back-references
  };
  for (const auto& c : cases) {
    TRegExpr r;
    r.SetExpression(c.pattern);
    r.SetStepLimit(2'000'000);
    try {
      r.Exec(c.subject);
      ADD_FAILURE() << c.pattern.left(20).toStdString() << " ended within the budget";
    } catch (const ERegExpr& e) {
      EXPECT_EQ(e.ErrorCode, reeStepLimitExceeded) << c.pattern.left(20).toStdString();
    }
  }
}

// A unit that every match must contain is looked for once before a search
// tries any start: without it the search fails at once (here within a
// budget of a few steps, where trying the starts would take millions), and
// where it stands only the starts before it are tried.
TEST(RegExprMatch, ASearchWithoutARequiredUnitFailsWithoutTrying) {
  const QString ab = Q("ab").repeated(1'000'000);
  const struct {
    const char* pattern;
    QString subject;
    const char* expected;
  } cases[] = {
      {"a.*c", ab, "-"},
      {"a[ab]*c", ab, "-"},
      {"a.*?c", ab, "-"},
      {"(?i)a.*C", ab, "-"},                   // ignoring case: both forms are looked for
      {"(?i)a.*C", ab + Q("xc"), "1+2000002"}, // found in its other case
      {"a(b|x)*(yz|wz)", ab, "-"},             // required by every alternative
      {"[ab]+(cd){2}", ab, "-"},               // required by every iteration of a counted loop
      {"a.*c", Q("c") + ab, "-"},              // only before the starts
      {"a.*c", ab + Q("c"), "1+2000001"},
      // Units that only some matches contain are not required.
      {"a(bc|b)", ab, "1+2 2+1"},
      {"a(bc)?", ab, "1+1"},
      {"ab{0,2}c{0,1}", ab, "1+2"},
      {"a(c|b)*", ab, "1+2 2+1"},
  };
  for (const auto& c : cases) {
    TRegExpr r;
    r.SetExpression(Q(c.pattern));
    r.SetStepLimit(200);
    const bool found = r.Exec(c.subject);
    EXPECT_EQ(Describe(r, found), Q(c.expected)) << c.pattern;
  }
}
