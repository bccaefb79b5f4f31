// Randomised checks of text positions against brute force.
//
// Random texts (one of them with more than 32 768 paragraphs) get hand-made
// display lines and style runs; a plain description of them (paragraph
// lengths, line stops, code offsets and the flat text) answers every question
// a navigator answers, by scanning. Fresh navigators at random positions and
// one navigator driven through random moves must agree with it after every
// step. Then random replacements run on a control with registered
// navigators, and each navigator must end where the adjustment rule puts it,
// with cached values that match a fresh location.
#include "support/store/StoreTestUtil.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/navigator/LinesList.h>
#include <ZarvMemo/support/navigator/NavigatorAdjust.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace zarv::test {
namespace {

constexpr char16_t CR = u'\r';
constexpr char16_t LF = u'\n';

// ---- The brute-force description of a text ---------------------------------------------------

struct Oracle {
  std::vector<std::u16string> pars;
  std::vector<std::vector<int32_t>> stops; // line stops of each paragraph, the last is its length
  std::vector<std::vector<int32_t>> codes; // code offsets of each paragraph, ascending
  std::vector<int32_t> starts, lineStarts, codesBefore;
  std::u16string flat;
  int32_t totalLines = 0, totalCodes = 0;

  void Finish() {
    starts.clear();
    lineStarts.clear();
    codesBefore.clear();
    flat.clear();
    int32_t line = 0, code = 0;
    for (size_t i = 0; i < pars.size(); ++i) {
      if (i > 0)
        flat += u"\r\n";
      starts.push_back(static_cast<int32_t>(flat.size()));
      lineStarts.push_back(line);
      codesBefore.push_back(code);
      flat += pars[i];
      line += static_cast<int32_t>(stops[i].size());
      code += static_cast<int32_t>(codes[i].size());
    }
    totalLines = line;
    totalCodes = code;
  }

  int32_t Count() const { return static_cast<int32_t>(pars.size()); }
  int32_t Len(int32_t p) const { return static_cast<int32_t>(pars[static_cast<size_t>(p)].size()); }
  int32_t TextLen() const { return static_cast<int32_t>(flat.size()); }

  int32_t ParOf(int32_t pos) const {
    return static_cast<int32_t>(std::upper_bound(starts.begin(), starts.end(), pos) - starts.begin()) - 1;
  }
  int32_t LineStart(int32_t p, int32_t l) const {
    return l == 0 ? 0 : stops[static_cast<size_t>(p)][static_cast<size_t>(l - 1)];
  }
  int32_t LineCount(int32_t p) const { return static_cast<int32_t>(stops[static_cast<size_t>(p)].size()); }
  // The display line of an offset when nothing is known: the first line
  // whose stop lies beyond it, else the last.
  int32_t LazyLine(int32_t p, int32_t off) const {
    const auto& s = stops[static_cast<size_t>(p)];
    for (size_t l = 0; l + 1 < s.size(); ++l)
      if (off < s[l])
        return static_cast<int32_t>(l);
    return static_cast<int32_t>(s.size()) - 1;
  }
  int32_t CodesBelow(int32_t p, int32_t off, bool orAt) const {
    int32_t n = 0;
    for (int32_t c : codes[static_cast<size_t>(p)])
      n += (c < off || (orAt && c == off)) ? 1 : 0;
    return n;
  }
  // Global code number g: its paragraph and index there.
  std::pair<int32_t, int32_t> CodeAt(int32_t g) const {
    // Paragraphs without codes share their number with the next one, so
    // the last paragraph starting at or before g holds it.
    const int32_t p =
        static_cast<int32_t>(std::upper_bound(codesBefore.begin(), codesBefore.end(), g) - codesBefore.begin()) - 1;
    return {p, g - codesBefore[static_cast<size_t>(p)]};
  }
  int32_t CodePos(int32_t g) const {
    const auto [p, i] = CodeAt(g);
    return starts[static_cast<size_t>(p)] + codes[static_cast<size_t>(p)][static_cast<size_t>(i)];
  }
  // The display line holding visible line number n.
  std::pair<int32_t, int32_t> LineOf(int32_t n) const {
    const int32_t p =
        static_cast<int32_t>(std::upper_bound(lineStarts.begin(), lineStarts.end(), n) - lineStarts.begin()) - 1;
    return {p, n - lineStarts[static_cast<size_t>(p)]};
  }
};

bool IsDelim(const TCharSet& d, char16_t c) { return d.test(zvChar(c)); }

// ---- Building texts -----------------------------------------------------------------------------

struct TextConfig {
  const char* name;
  uint32_t seed;
  int32_t paragraphs;
  int32_t maxLength;   // of ordinary paragraphs
  int32_t longPercent; // paragraphs many times longer
};

class Generator {
public:
  explicit Generator(uint32_t seed) : fRng(seed) {}
  int Rand(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(fRng); }
  bool Chance(int percent) { return Rand(0, 99) < percent; }

  std::u16string Line(int len) {
    static const char16_t chars[] = u"abcdefghij  ..,;\t-xyz\x00e9\x4e2d";
    std::u16string s;
    for (int i = 0; i < len; ++i)
      s += chars[Rand(0, static_cast<int>(std::size(chars)) - 2)];
    return s;
  }

  // Paragraph texts with random wraps and random codes (several may share
  // an offset; one may sit at the paragraph end).
  Oracle Text(const TextConfig& cfg) {
    Oracle o;
    for (int32_t i = 0; i < cfg.paragraphs; ++i) {
      int len = Chance(20) ? 0 : Rand(1, cfg.maxLength);
      if (Chance(cfg.longPercent))
        len = Rand(cfg.maxLength * 20, cfg.maxLength * 60);
      o.pars.push_back(Line(len));
      std::vector<int32_t> stops;
      if (len > 4 && Chance(40)) {
        for (int w = Rand(1, 4); w > 0; --w)
          stops.push_back(Rand(1, len - 1));
        if (Chance(10))
          stops.push_back(stops.back()); // an empty display line
        std::sort(stops.begin(), stops.end());
      }
      stops.push_back(len);
      o.stops.push_back(stops);
      std::vector<int32_t> codes;
      if (Chance(35)) {
        for (int c = Rand(1, 5); c > 0; --c)
          codes.push_back(Rand(0, len));
        std::sort(codes.begin(), codes.end());
      }
      o.codes.push_back(codes);
    }
    o.Finish();
    return o;
  }

private:
  std::mt19937 fRng;
};

// Gives the store the codes and display lines of the oracle.
void Apply(TParagraphsList& store, const Oracle& o) {
  for (int32_t p = 0; p < o.Count(); ++p) {
    ParInfo& par = *store.getParPointers(p);
    const auto& codes = o.codes[static_cast<size_t>(p)];
    if (!codes.empty()) {
      TDynInfoArray a;
      for (size_t i = 0; i < codes.size(); ++i) {
        DynInfoRec d;
        d.DynOffset = codes[i];
        d.DynStyle = dsHasAttrib | fsItalic;
        d.Context = static_cast<int32_t>(o.codesBefore[static_cast<size_t>(p)] + i + 1);
        a.push_back(d);
      }
      SetParDyns(par, a);
    }
    const auto& stops = o.stops[static_cast<size_t>(p)];
    if (stops.size() > 1) {
      TLinesList lines(&par);
      lines.SetCount(static_cast<int32_t>(stops.size()));
      for (int32_t l = 0; l < static_cast<int32_t>(stops.size()); ++l) {
        LineInfo li;
        li.Start = o.LineStart(p, l);
        li.Stop = stops[static_cast<size_t>(l)];
        li.JustifyStart = o.Len(p);
        li.StartDynNb = static_cast<uint32_t>(o.CodesBelow(p, li.Start, false));
        lines.SetItem(l, li);
      }
    }
    par.StartLine = o.lineStarts[static_cast<size_t>(p)];
  }
  store.fTrueLineCount = store.fVisibleLineCount = o.totalLines;
}

// ---- Derived values of fresh and travelling navigators ------------------------------------------

class DerivedValuesRun {
public:
  DerivedValuesRun(const TextConfig& cfg) : fCfg(cfg), fGen(cfg.seed) {}

  void Run(int freshChecks, int moves) {
    fO = fGen.Text(fCfg);
    fMemo.setWordWrap(true);
    fMemo.SetTextBuf(QString::fromStdU16String(fO.flat));
    TParagraphsList& store = fMemo.Paragraphs();
    ASSERT_EQ(store.Count(), fO.Count());
    Apply(store, fO);
    ASSERT_STORE_OK(store);
    if (fCfg.paragraphs > 32768) {
      ASSERT_GT(store.Count(), 32768);
    }

    for (int i = 0; i < freshChecks; ++i) {
      const int32_t pos = fGen.Rand(0, fO.TextLen());
      auto nav = std::make_unique<TZarvNavigator>(&fMemo);
      nav->SetPos(pos);
      ASSERT_NO_FATAL_FAILURE(ExpectFresh(*nav, pos)) << fCfg.name << ", fresh navigator at " << pos;
    }

    fWalker = std::make_unique<TZarvNavigator>(&fMemo);
    for (fStep = 0; fStep < moves; ++fStep)
      ASSERT_NO_FATAL_FAILURE(Move()) << fCfg.name << ", move " << fStep;
  }

private:
  // A navigator that has only been placed reports exactly what scanning
  // finds.
  void ExpectFresh(TZarvNavigator& nav, int32_t pos) {
    const int32_t p = fO.ParOf(pos), off = pos - fO.starts[static_cast<size_t>(p)];
    ASSERT_EQ(nav.GetParNb(), p);
    ASSERT_EQ(nav.GetOffset(), off);
    const int32_t line = fO.LazyLine(p, off);
    EXPECT_EQ(nav.GetParLine(), line);
    EXPECT_EQ(nav.GetColNb(), off - fO.LineStart(p, line));
    EXPECT_EQ(nav.GetLineNb(), fO.lineStarts[static_cast<size_t>(p)] + line);
    EXPECT_EQ(nav.getVisibleLineNumber(), fO.lineStarts[static_cast<size_t>(p)] + line);
    EXPECT_EQ(nav.GetText(), CharAt(pos));
    EXPECT_EQ(nav.GetDynNb(), fO.CodesBelow(p, off, false));
    const int32_t d = nav.GetDynNb();
    EXPECT_EQ(nav.GetContext(), d == 0 ? 0 : fO.codesBefore[static_cast<size_t>(p)] + d);

    // What it reads: its display line, the word around it, and text from it
    // on with breaks as CR LF.
    const std::u16string& t = fO.pars[static_cast<size_t>(p)];
    const int32_t ls = fO.LineStart(p, line), le = fO.stops[static_cast<size_t>(p)][static_cast<size_t>(line)];
    EXPECT_EQ(nav.GetLine().toStdU16String(), t.substr(static_cast<size_t>(ls), static_cast<size_t>(le - ls)));
    const TCharSet& delims = fMemo.fDelimiters;
    const int32_t len = fO.Len(p);
    int32_t end = std::min(off, len);
    while (end < len && !IsDelim(delims, t[static_cast<size_t>(end)]))
      ++end;
    int32_t start = end;
    while (start > 0 && !IsDelim(delims, t[static_cast<size_t>(start) - 1]))
      --start;
    EXPECT_EQ(nav.GetWord().toStdU16String(), t.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
    const int32_t n = fGen.Rand(0, 40);
    std::u16string buf(static_cast<size_t>(n) + 1, u'#');
    const std::u16string expected = fO.flat.substr(static_cast<size_t>(pos), static_cast<size_t>(n));
    EXPECT_EQ(nav.GetTextBuf(buf.data(), n), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(buf.substr(0, expected.size()), expected);
    EXPECT_EQ(buf[expected.size()], u'\0');
  }

  char16_t CharAt(int32_t pos) const { return pos < fO.TextLen() ? fO.flat[static_cast<size_t>(pos)] : CR; }

  // Whatever the history, the cached values must describe the position:
  // the code index lies between the codes before it and those at it, and
  // the line holds the offset (at a wrap point the upper line may keep it,
  // across empty lines too).
  // SetPos, moving forward or not, always follows the lazy rule
  // (`exactLine`).
  void ExpectConsistent(int32_t expectedPos, bool exactLine = false) {
    TZarvNavigator& w = *fWalker;
    ASSERT_EQ(w.GetPos(), expectedPos);
    const int32_t p = fO.ParOf(expectedPos), off = expectedPos - fO.starts[static_cast<size_t>(p)];
    ASSERT_EQ(w.GetParNb(), p);
    ASSERT_EQ(w.GetOffset(), off);
    ASSERT_EQ(w.GetText(), CharAt(expectedPos));
    if (fGen.Chance(70)) {
      const int32_t d = w.GetDynNb();
      EXPECT_GE(d, fO.CodesBelow(p, off, false));
      EXPECT_LE(d, fO.CodesBelow(p, off, true));
    }
    if (fGen.Chance(70)) {
      const int32_t line = w.GetParLine(), lazy = fO.LazyLine(p, off);
      const bool endOfUpper =
          !exactLine && line < lazy && off == fO.stops[static_cast<size_t>(p)][static_cast<size_t>(line)];
      EXPECT_TRUE(line == lazy || endOfUpper) << "line " << line << " for offset " << off << ", lazily " << lazy;
      EXPECT_EQ(w.GetColNb(), off - fO.LineStart(p, line));
    }
  }

  void Move() {
    TZarvNavigator& w = *fWalker;
    const int32_t pos = w.GetPos();
    const int32_t p = w.GetParNb();
    const int32_t off = w.GetOffset();
    const int32_t len = fO.Len(p);
    const int32_t textLen = fO.TextLen();
    // The word moves take any delimiter set; some leave the breaks out.
    const TCharSet delimSets[] = {DefaultDelimiters(), MakeCharSet(" ."), MakeCharSet(" \r"), MakeCharSet("\t\n")};
    const TCharSet& delims = delimSets[fGen.Rand(0, 3)];
    const int op = fGen.Rand(0, 15);
    switch (op) {
    case 0:
    case 1: { // small steps stay in the paragraph most of the time
      const int32_t to = std::clamp(pos + fGen.Rand(-6, 12), 0, textLen);
      w.SetPos(to);
      return ExpectConsistent(to, true);
    }
    case 2: {
      const int32_t to = fGen.Rand(0, textLen);
      w.SetPos(to);
      return ExpectConsistent(to, true);
    }
    case 3: {
      const int32_t o = fGen.Rand(-2, len + 5);
      w.setParOffset(o);
      return ExpectConsistent(fO.starts[static_cast<size_t>(p)] + std::clamp(o, 0, len));
    }
    case 4: {
      const int32_t q = fGen.Rand(0, fO.Count() - 1);
      w.setParNb(q);
      EXPECT_EQ(w.GetDynNb(), 0);
      EXPECT_EQ(w.GetParLine(), 0);
      return ExpectConsistent(fO.starts[static_cast<size_t>(q)]);
    }
    case 5: {
      const int32_t l = fGen.Rand(0, fO.LineCount(p) + 1);
      const int32_t line = std::min(l, fO.LineCount(p) - 1);
      w.SetParLine(l);
      EXPECT_EQ(w.GetParLine(), line);
      return ExpectConsistent(fO.starts[static_cast<size_t>(p)] + fO.LineStart(p, line));
    }
    case 6: {
      const int32_t line = w.GetParLine();
      const int32_t from = fO.LineStart(p, line), to = fO.stops[static_cast<size_t>(p)][static_cast<size_t>(line)];
      const int32_t c = fGen.Rand(-1, to - from + 3);
      w.SetColNb(c);
      EXPECT_EQ(w.GetParLine(), line) << "a column move stays on its line";
      return ExpectConsistent(fO.starts[static_cast<size_t>(p)] + from + std::clamp(c, 0, to - from));
    }
    case 7:
      w.RightOfDyn();
      EXPECT_EQ(w.GetDynNb(), fO.CodesBelow(p, off, true));
      return ExpectConsistent(pos);
    case 8:
      return NextDyn();
    case 9:
      return PreviousDyn();
    case 10:
      return ForwardToDyn(fGen.Rand(pos - 3, std::min(textLen, pos + 60)));
    case 11:
      return BackToDyn(fGen.Rand(std::max(-2, pos - 60), pos + 3));
    case 12: {
      // To the next word start, or over the break at a paragraph end.
      int32_t expected = pos;
      if (off >= len) {
        if (p + 1 < fO.Count())
          expected = fO.starts[static_cast<size_t>(p + 1)];
      } else {
        const std::u16string& t = fO.pars[static_cast<size_t>(p)];
        int32_t o = off;
        while (o < len && !IsDelim(delims, t[static_cast<size_t>(o)]))
          ++o;
        while (o < len && IsDelim(delims, t[static_cast<size_t>(o)]))
          ++o;
        expected = fO.starts[static_cast<size_t>(p)] + o;
      }
      w.ToNextWord(delims);
      EXPECT_LE(w.GetPos(), textLen);
      return ExpectConsistent(expected);
    }
    case 13: {
      // Back over delimiters, then over a word, in the flat text; never on
      // the LF half of a break.
      int32_t q = pos;
      while (q > 0 && IsDelim(delims, fO.flat[static_cast<size_t>(q - 1)]))
        --q;
      while (q > 0 && !IsDelim(delims, fO.flat[static_cast<size_t>(q - 1)]))
        --q;
      if (q < textLen && fO.flat[static_cast<size_t>(q)] == LF)
        ++q;
      w.ToPreviousWord(delims);
      return ExpectConsistent(q);
    }
    case 14: {
      const int32_t n = fGen.Rand(-2, fO.totalLines + 2);
      const auto [lp, ll] = fO.LineOf(std::clamp(n, 0, fO.totalLines - 1));
      if (fGen.Chance(50))
        w.SetLineNb(n);
      else
        w.setVisibleLineNumber(n);
      EXPECT_EQ(w.GetParLine(), ll);
      EXPECT_EQ(w.GetDynNb(), fO.CodesBelow(lp, fO.LineStart(lp, ll), false));
      return ExpectConsistent(fO.starts[static_cast<size_t>(lp)] + fO.LineStart(lp, ll));
    }
    default: { // ToEndOfWord / ToStartOfWord stay in the paragraph
      const std::u16string& t = fO.pars[static_cast<size_t>(p)];
      auto at = [&](int32_t o) { return o < len ? t[static_cast<size_t>(o)] : CR; };
      if (fGen.Chance(50)) {
        int32_t o = off;
        while (o < len && !IsDelim(delims, at(o)))
          ++o;
        w.ToEndOfWord(delims);
        return ExpectConsistent(fO.starts[static_cast<size_t>(p)] + std::max(o, off));
      }
      int32_t o = std::min(off, len);
      while (o > 0 && IsDelim(delims, at(o)))
        --o;
      while (o > 0 && !IsDelim(delims, at(o - 1)))
        --o;
      w.ToStartOfWord(delims);
      return ExpectConsistent(fO.starts[static_cast<size_t>(p)] + o);
    }
    }
  }

  // The navigator's place among all codes of the text.
  int32_t GlobalCodeIndex() { return fO.codesBefore[static_cast<size_t>(fWalker->GetParNb())] + fWalker->GetDynNb(); }

  void NextDyn() {
    const int32_t pos = fWalker->GetPos();
    const int32_t g = GlobalCodeIndex();
    const bool found = fWalker->NextDyn();
    ASSERT_EQ(found, g < fO.totalCodes);
    if (!found)
      return ExpectConsistent(pos);
    const auto [cp, ci] = fO.CodeAt(g);
    EXPECT_EQ(fWalker->GetDynNb(), ci + 1) << "right of the code";
    ExpectConsistent(fO.CodePos(g));
  }

  void PreviousDyn() {
    const int32_t pos = fWalker->GetPos();
    int32_t g = fO.totalCodes - 1; // the last code before the position
    while (g >= 0 && fO.CodePos(g) >= pos)
      --g;
    const bool found = fWalker->PreviousDyn();
    ASSERT_EQ(found, g >= 0);
    if (!found)
      return ExpectConsistent(pos);
    EXPECT_EQ(fWalker->GetDynNb(), fO.CodeAt(g).second + 1) << "right of the code";
    ExpectConsistent(fO.CodePos(g));
  }

  void ForwardToDyn(int32_t limit) {
    const int32_t pos = fWalker->GetPos();
    const int32_t p = fWalker->GetParNb();
    const int32_t g = GlobalCodeIndex();
    bool expectFound = false;
    if (g < fO.totalCodes) {
      const int32_t cp = fO.CodeAt(g).first;
      // Later paragraphs are searched only while they start below the limit.
      const bool reachable = cp == p || fO.starts[static_cast<size_t>(cp)] < limit;
      expectFound = reachable && fO.CodePos(g) <= limit;
    }
    const bool found = fWalker->ForwardToDyn(limit);
    ASSERT_EQ(found, expectFound) << "limit " << limit;
    if (!found)
      return ExpectConsistent(pos);
    EXPECT_EQ(fWalker->GetDynNb(), fO.CodeAt(g).second) << "left of the code";
    ExpectConsistent(fO.CodePos(g));
  }

  void BackToDyn(int32_t limit) {
    const int32_t pos = fWalker->GetPos();
    const int32_t g = GlobalCodeIndex() - 1;
    const bool expectFound = g >= 0 && fO.CodePos(g) >= limit;
    const bool found = fWalker->BackToDyn(limit);
    ASSERT_EQ(found, expectFound) << "limit " << limit;
    if (!found)
      return ExpectConsistent(pos);
    EXPECT_EQ(fWalker->GetDynNb(), fO.CodeAt(g).second) << "left of the code";
    ExpectConsistent(fO.CodePos(g));
  }

  TextConfig fCfg;
  Generator fGen;
  Oracle fO;
  TZarvMemo fMemo;
  std::unique_ptr<TZarvNavigator> fWalker;
  int fStep = 0;
};

TEST(NavigatorRandom, DerivedValuesMatchAScanOfTheText) {
  const TextConfig configs[] = {
      {"tiny", 1, 3, 8, 0},
      {"short paragraphs", 2, 60, 20, 2},
      {"mixed", 3, 400, 60, 3},
      {"more than one chunk", 4, 3000, 30, 1},
      {"more than 32768 paragraphs", 5, 40'000, 25, 1},
  };
  for (const TextConfig& cfg : configs) {
    SCOPED_TRACE(cfg.name);
    DerivedValuesRun run(cfg);
    run.Run(2000, 4000);
    if (::testing::Test::HasFatalFailure())
      return;
  }
}

// ---- Navigators following random edits --------------------------------------------------------

// A buffer of pieces joined by breaks of every kind; pairs that would merge
// into one break are what the store sees too, so the expected text comes
// from scanning the buffer the way InsertBuf splits it.
std::u16string NormalizedBreaks(const std::u16string& buf) {
  std::u16string out;
  for (size_t i = 0; i < buf.size(); ++i) {
    const char16_t c = buf[i];
    if (c != CR && c != LF) {
      out += c;
      continue;
    }
    out += u"\r\n";
    if (i + 1 < buf.size() && (buf[i + 1] == CR || buf[i + 1] == LF) && buf[i + 1] != c)
      ++i;
  }
  return out;
}

struct Expectation {
  TZarvNavigator* nav;
  int32_t pos; // where it must end
  bool freed;  // listed for freeing instead
};

class AdjustRun {
public:
  explicit AdjustRun(uint32_t seed, int32_t paragraphs) : fGen(seed), fParagraphs(paragraphs) {}

  void Run(int edits) {
    const TextConfig cfg{"adjust", 0, fParagraphs, 30, 2};
    const Oracle o = fGen.Text(cfg);
    fText = o.flat;
    fMemo.SetTextBuf(QString::fromStdU16String(fText));
    Apply(fMemo.Paragraphs(), o);
    ASSERT_STORE_OK(fMemo.Paragraphs());
    for (int i = 0; i < 30; ++i)
      AddNavigator();
    for (int e = 0; e < edits; ++e)
      ASSERT_NO_FATAL_FAILURE(Edit()) << "edit " << e;
    EXPECT_GT(fFreed, 10) << "the run must have freed navigators";
    EXPECT_GT(fMovedInside, 20) << "the run must have moved navigators inside replaced text";
  }

private:
  void AddNavigator() {
    auto* nav = new TZarvNavigator(&fMemo); // owned by the control
    nav->SetPos(fGen.Rand(0, static_cast<int32_t>(fText.size())));
  }

  // Leaves each navigator with a random amount of cached state and random
  // flags, and some of them just at the edges of the coming edit.
  void Prepare(int32_t from, int32_t to) {
    for (TZarvNavigator* nav : fMemo.Navigators()) {
      if (fGen.Chance(25)) {
        const int32_t edges[] = {from, to, from - 1, to + 1, from + 1, to - 1};
        nav->SetPos(std::clamp(edges[fGen.Rand(0, 5)], 0, static_cast<int32_t>(fText.size())));
      } else if (fGen.Chance(30)) {
        nav->SetPos(fGen.Rand(0, static_cast<int32_t>(fText.size())));
      }
      nav->fAdjustRight = fGen.Chance(50);
      nav->fFreeOnDelete = fGen.Chance(30);
      switch (fGen.Rand(0, 2)) {
      case 0:
        nav->Invalidate();
        break;
      case 1:
        nav->GetParNb();
        break;
      default:
        nav->GetDynNb();
        nav->GetParLine();
        break;
      }
    }
  }

  std::u16string RandomBuffer() {
    static const char16_t* breaks[] = {u"\r\n", u"\n\r", u"\r", u"\n"};
    std::u16string buf = fGen.Line(fGen.Chance(30) ? 0 : fGen.Rand(1, 12));
    for (int b = fGen.Chance(50) ? 0 : fGen.Rand(1, 3); b > 0; --b) {
      buf += breaks[fGen.Rand(0, 3)];
      buf += fGen.Line(fGen.Rand(0, 10));
    }
    return buf;
  }

  void Edit() {
    const int32_t len = static_cast<int32_t>(fText.size());
    int32_t from = fGen.Rand(0, len), to = fGen.Chance(30) ? from : fGen.Rand(0, len);
    if (to < from)
      std::swap(from, to);
    if (to - from > 400)
      to = from + fGen.Rand(0, 400);
    Prepare(from, to);
    // The replaced range as the store takes it: a start on the LF of a
    // break moves to its CR, a stop there takes the whole break.
    const int32_t start = from < len && fText[static_cast<size_t>(from)] == LF ? from - 1 : from;
    const int32_t oldStop = to < len && fText[static_cast<size_t>(to)] == LF ? to + 1 : to;
    const std::u16string buf = RandomBuffer();
    const std::u16string inserted = NormalizedBreaks(buf);
    const int32_t newStop = start + static_cast<int32_t>(inserted.size());
    const bool deleted = oldStop > start;

    std::vector<Expectation> expected;
    for (TZarvNavigator* nav : fMemo.Navigators()) {
      const int32_t pos = nav->GetPos();
      Expectation e{nav, pos, false};
      if (pos > oldStop) {
        e.pos = pos + newStop - oldStop;
      } else if (pos >= start) {
        // Freed only when it stood in deleted text, not at either end.
        const bool inside = pos > start && pos < oldStop;
        e.freed = nav->fFreeOnDelete && deleted && inside;
        e.pos = nav->fAdjustRight ? newStop : start;
        fMovedInside += e.freed ? 0 : 1;
      }
      expected.push_back(e);
    }

    TParagraphsList& store = fMemo.Paragraphs();
    const int32_t countBefore = store.Count();
    TZarvNavigator a(&store), b(&store);
    a.SetPos(from);
    b.SetPos(to);
    int32_t offsetDelta = 0, lineDelta = 0;
    bool dynsChanged = false;
    store.InsertBuf(buf.empty() ? nullptr : buf.c_str(), a, b, false, true, offsetDelta, lineDelta, dynsChanged);
    ASSERT_STORE_OK(store);
    fText = fText.substr(0, static_cast<size_t>(start)) + inserted + fText.substr(static_cast<size_t>(oldStop));
    ASSERT_TRUE(StoreText(store) == fText);

    TEditRange edit;
    edit.StartPos = a.GetPos();
    edit.NewStopPos = b.GetPos();
    edit.OldStopPos = edit.NewStopPos - offsetDelta;
    edit.StartPar = a.GetParNb();
    edit.NewStopPar = b.GetParNb();
    edit.OldStopPar = edit.NewStopPar - (store.Count() - countBefore);
    ASSERT_EQ(edit.StartPos, start);
    ASSERT_EQ(edit.OldStopPos, oldStop);
    ASSERT_EQ(edit.NewStopPos, newStop);

    std::vector<TZarvNavigator*> toFree;
    AdjustNavigators(store, fMemo.Navigators(), edit, toFree);
    std::set<TZarvNavigator*> listed(toFree.begin(), toFree.end());
    ASSERT_EQ(listed.size(), toFree.size()) << "a navigator listed twice";
    for (const Expectation& e : expected) {
      ASSERT_EQ(listed.count(e.nav) == 1, e.freed)
          << "navigator " << (e.nav->fAdjustRight ? "adjusting right" : "adjusting left") << " at " << e.nav->GetPos()
          << ", edit " << start << ".." << oldStop;
      if (e.freed)
        continue;
      TZarvNavigator& nav = *e.nav;
      ASSERT_EQ(nav.GetPos(), e.pos) << "edit " << start << ".." << oldStop << " -> " << newStop;
      // The cached values must be those of a fresh location.
      TZarvNavigator fresh(&store);
      fresh.SetPos(e.pos);
      ASSERT_EQ(nav.GetParNb(), fresh.GetParNb()) << "at " << e.pos;
      ASSERT_EQ(nav.GetOffset(), fresh.GetOffset()) << "at " << e.pos;
      ASSERT_EQ(nav.GetPar(), fresh.GetPar()) << "at " << e.pos;
      ASSERT_EQ(nav.GetDynNb(), fresh.GetDynNb()) << "at " << e.pos;
      ASSERT_EQ(nav.GetParLine(), fresh.GetParLine()) << "at " << e.pos;
    }
    for (TZarvNavigator* nav : toFree)
      delete nav; // unregisters it
    fFreed += static_cast<int>(toFree.size());
    ASSERT_EQ(fMemo.Navigators().size(), expected.size() - toFree.size());
    while (fMemo.Navigators().size() < 30)
      AddNavigator();
  }

  Generator fGen;
  int32_t fParagraphs;
  TZarvMemo fMemo;
  std::u16string fText;
  int fFreed = 0;
  int fMovedInside = 0;
};

TEST(NavigatorRandom, RegisteredNavigatorsFollowRandomEditsByTheAdjustmentRule) {
  const std::pair<uint32_t, int32_t> runs[] = {{21, 5}, {22, 60}, {23, 1500}};
  for (const auto& [seed, paragraphs] : runs) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    AdjustRun run(seed, paragraphs);
    run.Run(600);
    if (::testing::Test::HasFatalFailure())
      return;
  }
}

} // namespace
} // namespace zarv::test
