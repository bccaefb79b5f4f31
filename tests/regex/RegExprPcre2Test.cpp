// Differential test against PCRE2: random patterns from a small grammar of
// constructs both engines read alike, on random subjects, from several
// start offsets; the match and every group's bounds must agree.
//
// Settings that make PCRE2 mean what TRegExpr means: 16-bit code units
// without UTF, "." matching everything (modifier s is on by default), "$"
// only at the very end unless multi-line, and in multi-line mode "^" also
// after a final line feed. Subjects use LF as their only line separator and
// ASCII letters only, so both engines agree on lines and on case. Groups
// whose body may match empty are repeated too, by the unbounded quantifiers
// and "?", where both engines end a loop after an iteration that matched
// nothing (bounded ones differ: PCRE2 writes "{0,2}" out as nested optional
// copies that go on after an empty one). Patterns that this engine refuses
// because a repeated body may be empty (106) are left out. References point
// back only to groups already closed.
#include "RegexTestSupport.h"

#include <ZarvMemo/regex/RegExpr.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace zarv;

namespace {

class TPatternGen {
public:
  explicit TPatternGen(uint32_t seed) : fRng(seed) {}

  std::string Pattern() {
    fGroups = 0;
    fLooseLoops = 0;
    fClosed.clear();
    return Alternation(0, false);
  }
  int Groups() const { return fGroups; }
  // Repeated groups of the last pattern whose body was free to match empty.
  int LooseLoops() const { return fLooseLoops; }

  std::string Subject() {
    static const char alphabet[] = "aabbcAB1_ \n";
    std::string s;
    for (int n = Pick(12); n > 0; --n)
      s += alphabet[Pick(sizeof(alphabet) - 1)];
    return s;
  }
  int Pick(int n) { return int(fRng() % uint32_t(n)); }

private:
  // solid: must not match the empty string.
  std::string Alternation(int depth, bool solid) {
    std::string out = Sequence(depth, solid);
    for (int n = Pick(depth == 0 ? 3 : 2); n > 0; --n)
      out += "|" + Sequence(depth, solid);
    return out;
  }

  std::string Sequence(int depth, bool solid) {
    std::string out;
    const int items = 1 + Pick(3);
    for (int i = 0; i < items; ++i)
      out += Item(depth, solid && i == 0);
    return out;
  }

  std::string Item(int depth, bool solid) {
    for (;;) {
      switch (Pick(solid ? 6 : 8)) {
      case 0:
      case 1:
        return Quantified(std::string(1, "abcAB"[Pick(5)]), solid);
      case 2:
        return Quantified(Pick(4) == 0 ? "." : std::string("\\") + "dwsWD"[Pick(5)], solid);
      case 3: {
        static const char* const sets[] = {"[ab]", "[^a]", "[a-c]", "[^\\d ]", "[b-c1]"};
        return Quantified(sets[Pick(5)], solid);
      }
      case 4:
      case 5: {
        if (depth >= 3 || fGroups >= 9)
          continue;
        const int n = ++fGroups;
        const int kind = Pick(solid ? 2 : 3); // plain, repeated solid body, repeated loose body
        std::string body = "(" + Alternation(depth + 1, kind == 1 || solid) + ")";
        fClosed.push_back(n);
        if (kind == 2) {
          ++fLooseLoops;
          static const char* const unbounded[] = {"*", "+", "*?", "+?", "{1,}", "{2,}", "?", "??", "{0,}?"};
          return body + unbounded[Pick(9)];
        }
        return kind == 1 ? Quantified(body, solid) : body;
      }
      case 6: {
        if (fClosed.empty())
          continue;
        const std::string ref = "\\" + std::to_string(fClosed[size_t(Pick(int(fClosed.size())))]);
        return Pick(3) == 0 ? ref + "*" : ref;
      }
      default: {
        static const char* const anchors[] = {"^", "$", "\\b", "\\B"};
        return anchors[Pick(4)];
      }
      }
    }
  }

  std::string Quantified(const std::string& atom, bool solid) {
    static const char* const any[] = {"*", "?", "{0,2}", "*?", "??", "{0,1}?"};
    static const char* const some[] = {"", "", "", "+", "{2}", "{1,3}", "{2,}", "+?", "{1,2}?", "{2,}?"};
    if (!solid && Pick(3) == 0)
      return atom + any[Pick(6)];
    return atom + some[Pick(10)];
  }

  std::mt19937 fRng;
  int fGroups = 0;
  int fLooseLoops = 0;
  std::vector<int> fClosed;
};

// Bounds as "pos+len" per group, "-" for none; "no" when nothing matched.
std::string Ours(TRegExpr& r, bool found, int groups) {
  if (!found)
    return "no";
  std::string out;
  for (int i = 0; i <= groups; ++i)
    out += r.MatchPos(i) < 0 ? " -" : " " + std::to_string(r.MatchPos(i)) + "+" + std::to_string(r.MatchLen(i));
  return out;
}

std::string Theirs(pcre2_match_data* md, int rc, int groups) {
  if (rc == PCRE2_ERROR_NOMATCH)
    return "no";
  const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
  std::string out;
  for (int i = 0; i <= groups; ++i) {
    if (i >= rc || ov[2 * i] == PCRE2_UNSET)
      out += " -";
    else
      out += " " + std::to_string(ov[2 * i] + 1) + "+" + std::to_string(ov[2 * i + 1] - ov[2 * i]);
  }
  return out;
}

// One search by PCRE2 with the settings above, described like Ours.
std::string PcreSearch(const QString& pattern, bool caseless, const QString& subject, int offset, int groups) {
  int err = 0;
  PCRE2_SIZE erroff = 0;
  pcre2_code* code =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
                    PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | (caseless ? PCRE2_CASELESS : 0), &err, &erroff, nullptr);
  if (code == nullptr)
    return "PCRE2 compile error";
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
  const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.utf16()), PCRE2_SIZE(subject.size()),
                             PCRE2_SIZE(offset - 1), 0, md, nullptr);
  const std::string out = rc < 0 && rc != PCRE2_ERROR_NOMATCH ? "PCRE2 error" : Theirs(md, rc, groups);
  pcre2_match_data_free(md);
  pcre2_code_free(code);
  return out;
}

// Every match from the start on, each search continuing after the last
// match (after an empty one, one unit further), as ExecNext does; "!" and
// the error when a search fails with one.
std::string AllOurs(TRegExpr& r, const QString& subject, int groups) {
  std::string out;
  try {
    r.SetInputString(subject);
    for (bool found = r.Exec(); found; found = r.ExecNext())
      out += Ours(r, true, groups) + ";";
  } catch (const ERegExpr& e) {
    out += std::string("!") + e.what();
  }
  return out;
}

std::string AllTheirs(const pcre2_code* code, pcre2_match_data* md, pcre2_match_context* mctx, const QString& subject,
                      int groups) {
  std::string out;
  const PCRE2_SIZE n = PCRE2_SIZE(subject.size());
  for (PCRE2_SIZE start = 0; start <= n;) {
    const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.utf16()), n, start, 0, md, mctx);
    if (rc < 0)
      return rc == PCRE2_ERROR_NOMATCH ? out : out + "!PCRE2 error";
    out += Theirs(md, rc, groups) + ";";
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
    start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
  }
  return out;
}

} // namespace

// A search passes over the starts inside a run of units that a failed
// attempt's leading repeat counted: they would fail the same way. Starts
// that could still match must not be passed over: where a choice comes
// before the repeat, where the count was cut short by its maximum, where
// the repeat runs again in a later iteration, or where it failed at the
// unit after the run. Every match of each subject, against PCRE2.
TEST(RegExprPcre2, SearchesPassOverOnlyStartsThatMustFail) {
  const struct {
    const char* pattern;
    const char* subject;
  } cases[] = {
      {"[\\w.+-]+@[\\w-]+\\.[\\w.-]+", "mail jane.doe+x@example.org, bob@x.y and a@b, c@d.e."},
      {"\\w+ing\\b", "sing a thing, singing kings go ringing; ing"},
      {"\\b(\\w+)\\s+\\1\\b", "the the cat sat sat, a a; bb b b"},
      {"(bq!|)[a-z]+@", "xbq!a@ and zz@"},      // a choice before the repeat
      {"[a-z]{1,3}@", "abcdef@ ghij@ k@"},      // counts cut short by the maximum
      {"([a-z]+x)+y", "abxcdxy abxcd ay bxxy"}, // the repeat again in later iterations
      {"^[a-z]+(@|$)", "abc@def"},              // anchored: one start
      {"\\b[a-z]*\\d", "abc def1 g2 hh"},       // a repeat that may count nothing
      {"[a-z]*?[0-9]", "abc def1 g2 hh3"},      // lazily
      {"x*y|q", "xxxxq xxy xq y"},              // not the first node of every attempt
  };
  for (const auto& c : cases) {
    const QString pattern = QString::fromUtf8(c.pattern), subject = QString::fromUtf8(c.subject);
    const int groups = int(std::count(pattern.begin(), pattern.end(), QLatin1Char('(')));
    TRegExpr r;
    r.SetExpression(pattern);
    int err = 0;
    PCRE2_SIZE erroff = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
                                     PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY, &err, &erroff, nullptr);
    ASSERT_NE(code, nullptr) << c.pattern;
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    EXPECT_EQ(AllOurs(r, subject, groups), AllTheirs(code, md, nullptr, subject, groups)) << c.pattern;
    pcre2_match_data_free(md);
    pcre2_code_free(code);
  }
}

// A loop whose body can match empty ends after an iteration that matched
// nothing, as in PCRE2: greedy and lazy, "*", "+" and counted loops, at the
// end of the subject and in long subjects. A loop that went on instead
// would exhaust the guards, which are tight here.
TEST(RegExprPcre2, LoopsOverBodiesThatCanMatchEmptyStopAfterAnEmptyIteration) {
  const QString words = QString(QStringLiteral("ab  cd\tefg ")).repeated(2000);
  const struct {
    const char* pattern;
    QString subject;
  } cases[] = {
      {"(a{0,1})*b", QStringLiteral("b")},
      {"(a{0,1})*b", QStringLiteral("xaab")},
      {"(a{0,3})*b", QStringLiteral("aaaaaaab")},
      {"(a{0,3})*b", QStringLiteral("aaaaaaa")},
      {"(x{0,2}y{0,2})+z", QStringLiteral("xyyxxxyz")},
      {"(x{0,2}y{0,2})+z", QStringLiteral("xyq")},
      {"(\\s{0,2}\\w{0,9})*$", QStringLiteral("ab  cd\tefghijklmnop")},
      {"(\\s{0,2}\\w{0,9})*$", words},
      {"^(\\s{0,2}\\w{0,9})*x", QStringLiteral("ab  cd\tefg")},
      {"^(\\s{0,2}\\w{0,9})*x", QStringLiteral("ab  cd\tefg x")},
      {"(a{0,1})*?b", QStringLiteral("aab")},
      {"(a{0,1})+?b", QStringLiteral("b")},
      {"(a{0,1})+?$", QStringLiteral("aa")},
      {"(a{0,1}){2,}b", QStringLiteral("ab")},
      {"(a{0,1}){2,}?b", QStringLiteral("aab")},
      {"((a{0,1})|b)*c", QStringLiteral("abac")},
      {"(a{0,1}|b{0,1})*c", QStringLiteral("babxc")},
      {"(a{0,1})*(a{0,1})+b", QStringLiteral("aab")},
      {"(a{0,2}b{0,1})*\\1c", QStringLiteral("aabac")},
      {"((a{0,1})*x{0,1})*y", QStringLiteral("axaay")},
      {"(a{0,1})*(?i)B", QStringLiteral("AaB")},
  };
  for (const auto& c : cases) {
    const QString pattern = QString::fromUtf8(c.pattern);
    TRegExpr r;
    r.SetExpression(pattern);
    r.SetStepLimit(100 * (c.subject.size() + 10));
    r.SetBacktrackLimit(20 * (c.subject.size() + 10));
    const int groups = int(std::count(pattern.begin(), pattern.end(), QLatin1Char('(')));
    for (int offset = 1; offset <= std::min<int>(int(c.subject.size()), 4); ++offset) {
      std::string ours;
      try {
        r.SetInputString(c.subject);
        ours = Ours(r, r.ExecPos(offset), groups);
      } catch (const ERegExpr& e) {
        ours = e.what();
      }
      EXPECT_EQ(ours, PcreSearch(pattern, false, c.subject, offset, groups))
          << "/" << c.pattern << "/ from " << offset << " on " << c.subject.left(40).toStdString();
    }
  }
}

TEST(RegExprPcre2, RandomPatternsMatchLikePcre2) {
  TPatternGen gen(20240611);
  pcre2_match_context* mctx = pcre2_match_context_create(nullptr);
  pcre2_set_match_limit(mctx, 1'000'000);
  int compared = 0, matched = 0, failures = 0, refused = 0, looseLoops = 0;
  for (int iter = 0; iter < 4000 && failures < 10; ++iter) {
    const std::string pattern = gen.Pattern();
    const bool caseless = gen.Pick(4) == 0, multiLine = gen.Pick(4) == 0;
    const QString qpattern = QString::fromStdString(pattern);

    TRegExpr r;
    r.SetExpression(qpattern);
    r.SetModifierI(caseless);
    r.SetModifierM(multiLine);
    r.SetStepLimit(2'000'000);
    try {
      r.Compile();
    } catch (const ERegExpr& e) {
      if (e.ErrorCode == 106) { // a repeated body that may be empty, refused by design
        ++refused;
        continue;
      }
      ADD_FAILURE() << "/" << pattern << "/ does not compile: " << e.what();
      ++failures;
      continue;
    }
    looseLoops += gen.LooseLoops() > 0;
    uint32_t options = PCRE2_DOTALL | (multiLine ? PCRE2_MULTILINE | PCRE2_ALT_CIRCUMFLEX : PCRE2_DOLLAR_ENDONLY) |
                       (caseless ? PCRE2_CASELESS : 0);
    int err = 0;
    PCRE2_SIZE erroff = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(qpattern.utf16()), PCRE2_SIZE(qpattern.size()),
                                     options, &err, &erroff, nullptr);
    ASSERT_NE(code, nullptr) << pattern;
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);

    for (int k = 0; k < 6; ++k) {
      const QString subject = QString::fromStdString(gen.Subject());
      for (int offset = 1; offset <= subject.size() + 1; offset += 1 + gen.Pick(4)) {
        const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.utf16()), PCRE2_SIZE(subject.size()),
                                   PCRE2_SIZE(offset - 1), 0, md, mctx);
        if (rc < 0 && rc != PCRE2_ERROR_NOMATCH)
          continue; // PCRE2's own limit: nothing to compare
        bool found = false;
        try {
          r.SetInputString(subject);
          found = r.ExecPos(offset);
        } catch (const ERegExpr& e) {
          if (e.ErrorCode == reeStepLimitExceeded)
            continue;
          throw;
        }
        ++compared;
        matched += found;
        const std::string ours = Ours(r, found, gen.Groups()), theirs = Theirs(md, rc, gen.Groups());
        if (ours != theirs && ++failures <= 10)
          ADD_FAILURE() << "/" << pattern << "/" << (caseless ? "i" : "") << (multiLine ? "m" : "") << " on \""
                        << subject.toStdString() << "\" from " << offset << ": ours" << ours << ", PCRE2" << theirs;
      }
      // Every match in turn, which also carries what a search learnt about
      // the subject over to the next one.
      const std::string theirs = AllTheirs(code, md, mctx, subject, gen.Groups());
      const std::string ours = AllOurs(r, subject, gen.Groups());
      if (theirs.find('!') == std::string::npos && ours.find("Step Limit") == std::string::npos && ours != theirs &&
          ++failures <= 10)
        ADD_FAILURE() << "/" << pattern << "/" << (caseless ? "i" : "") << (multiLine ? "m" : "") << " on \""
                      << subject.toStdString() << "\", every match: ours " << ours << ", PCRE2 " << theirs;
    }
    pcre2_match_data_free(md);
    pcre2_code_free(code);
  }
  pcre2_match_context_free(mctx);
  // The comparison means something only if it compared enough matches and
  // enough failures to match.
  EXPECT_GT(compared, 50000);
  EXPECT_LT(refused, 2000);
  EXPECT_GT(looseLoops, 300); // patterns repeating a body free to match empty
  EXPECT_GT(matched, compared / 5);
  EXPECT_LT(matched, compared - compared / 5);
}
