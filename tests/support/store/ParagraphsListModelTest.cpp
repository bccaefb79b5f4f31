// Seeded random model test of the paragraph store.
//
// Long runs of random replacements are applied both to a store and to a plain
// UTF-16 string that holds the same text with every break as CR LF (the
// store's own addressing). After every step the store must hold exactly the
// model's text, pass its own integrity check, and report the deltas,
// navigator positions, modified and formatting ranges that follow from the
// edit. Separate runs mix in static format codes, the trailing-blank rule,
// paragraphs around the 65 535-character compact limit, and style runs with
// shared start records.
#include "support/store/StoreTestUtil.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace zarv::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kStepDivisor = 2; // sanitizers slow every step down
#else
constexpr int kStepDivisor = 1;
#endif

constexpr char16_t CR = u'\r';
constexpr char16_t LF = u'\n';

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The pieces of a buffer between its breaks; CR LF and LF CR pairs are one
// break, a lone CR or LF is one break.
std::vector<std::u16string> SplitPieces(const std::u16string& buf) {
  std::vector<std::u16string> pieces(1);
  for (size_t i = 0; i < buf.size(); ++i) {
    const char16_t c = buf[i];
    if (c != CR && c != LF) {
      pieces.back() += c;
      continue;
    }
    if (i + 1 < buf.size() && (buf[i + 1] == CR || buf[i + 1] == LF) && buf[i + 1] != c)
      ++i;
    pieces.emplace_back();
  }
  return pieces;
}

TZarvFontStyles XorCodes(TZarvFontStyles f, const char16_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    XORStyleCode(f, p[i]);
  return f;
}

// The codes that switch the styles in `f` back, in their fixed order.
std::u16string ClosingCodes(TZarvFontStyles f) {
  std::u16string z;
  if (f & fsUnderline)
    z += chUnderlineCode;
  if (f & fsItalic)
    z += chItalicCode;
  if (f & fsBold)
    z += chBoldCode;
  if (f & fsHighlight)
    z += chHighlightCode;
  if (f & fsAltFont)
    z += chAltFontCode;
  return z;
}

struct Config {
  const char* name;
  uint32_t seed;
  int steps;
  int initialPars;
  int minPars, maxPars; // the generator steers the paragraph count into this band
  bool staticFormat;
  int checkFormatPercent; // share of edits with format checking on
  int discardPercent;     // share of edits with the trailing-blank rule on
  bool longPars;          // paragraphs around the compact length limit
  bool dynCodes;          // style runs and shared start records
};

// A style run of the model, at an absolute position. A run at a paragraph's
// end sits on the CR of its break.
struct ModelCode {
  int32_t pos;
  int32_t context;
  bool attrib;
};

class ModelRun {
public:
  explicit ModelRun(const Config& cfg) : fCfg(cfg), fRng(cfg.seed) {}

  void Run() {
    fLiveBefore = LiveStartRecords();
    BuildInitialText();
    {
      fStore = MakeStore(fText, fCfg.staticFormat);
      if (fCfg.dynCodes)
        AddInitialCodes();
      ASSERT_NO_FATAL_FAILURE(CheckAll(true));
      // The long-paragraph run is cheap and needs all its steps to reach
      // enough crossings of the limit.
      const int steps = fCfg.longPars ? fCfg.steps : fCfg.steps / kStepDivisor;
      for (fStep = 0; fStep < steps; ++fStep) {
        ASSERT_NO_FATAL_FAILURE(OneStep());
      }
      EXPECT_TRUE(StoreText(*fStore) == fText) << fCfg.name << ": the whole text differs at the end";
      // The run must have reached the situations it is meant to cover.
      if (fCfg.maxPars > fStore->ElementsPerBuffer() + 100) {
        EXPECT_GT(fChunkCrossings, 5) << fCfg.name;
      }
      if (fCfg.longPars) {
        EXPECT_GT(fLimitCrossings, 40) << fCfg.name;
        EXPECT_GT(fCompactGrown, 10) << fCfg.name;
      }
      fStore.reset();
    }
    EXPECT_EQ(LiveStartRecords(), fLiveBefore) << fCfg.name << ": start records leaked";
  }

private:
  // ---- Random material --------------------------------------------------------

  int Rand(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(fRng); }
  bool Chance(int percent) { return Rand(0, 99) < percent; }

  char16_t RandomChar() {
    static const char16_t plain[] = u"abcdefghijklmnopqrstuvwxyzABCDEF0123456789  \t.,;\x00e9\x20ac\xd83d";
    static const char16_t codes[] = {1, 2, 3, 4, 21, 5, 20, 22};
    if (fCfg.staticFormat && Chance(12))
      return codes[Rand(0, 7)];
    return plain[Rand(0, static_cast<int>(std::size(plain)) - 2)];
  }

  std::u16string RandomLine(int len) {
    std::u16string s;
    s.reserve(static_cast<size_t>(len) + 3);
    for (int i = 0; i < len; ++i)
      s += RandomChar();
    if (fCfg.discardPercent > 0 && Chance(35))
      s.append(static_cast<size_t>(Rand(1, 3)), Chance(70) ? u' ' : u'\t');
    return s;
  }

  int RandomPieceLength() {
    const int r = Rand(0, 99);
    if (r < 25)
      return 0;
    if (r < 80)
      return Rand(1, 8);
    if (r < 97)
      return Rand(9, 60);
    return Rand(61, fCfg.longPars ? 3000 : 400);
  }

  std::u16string RandomBreak() {
    static const char16_t* kinds[] = {u"\r\n", u"\n\r", u"\r", u"\n"};
    return kinds[Rand(0, 3)];
  }

  // A buffer of `breaks` breaks of random kinds between random pieces.
  std::u16string RandomBuffer(int breaks) {
    std::u16string buf = RandomLine(RandomPieceLength());
    for (int i = 0; i < breaks; ++i) {
      buf += RandomBreak();
      buf += RandomLine(RandomPieceLength());
    }
    return buf;
  }

  int32_t ParCount() const { return static_cast<int32_t>(std::count(fText.begin(), fText.end(), LF)) + 1; }

  // A position that is not between the CR and the LF of a break.
  int32_t Settle(int32_t pos) const {
    pos = std::clamp<int32_t>(pos, 0, static_cast<int32_t>(fText.size()));
    if (pos < static_cast<int32_t>(fText.size()) && fText[static_cast<size_t>(pos)] == LF)
      --pos;
    return pos;
  }

  void BuildInitialText() {
    fText.clear();
    for (int i = 0; i < fCfg.initialPars; ++i) {
      if (i > 0)
        fText += u"\r\n";
      if (fCfg.longPars && i % 7 == 3) // just below, at and just above the limit
        fText += std::u16string(static_cast<size_t>(65531 + (i / 7) % 3 * 3), u'L');
      else
        fText += RandomLine(Rand(0, 14));
    }
    if (fCfg.staticFormat) {
      TZarvFontStyles running = 0;
      size_t pos = 0;
      fAttrs.clear();
      for (;;) {
        fAttrs.push_back(running);
        const size_t cr = fText.find(CR, pos);
        const size_t end = cr == std::u16string::npos ? fText.size() : cr;
        running = XorCodes(running, fText.data() + pos, end - pos);
        if (cr == std::u16string::npos)
          break;
        pos = cr + 2;
      }
    }
  }

  // Gives random paragraphs style runs and runs of paragraphs shared start records.
  void AddInitialCodes() {
    const int32_t n = fStore->Count();
    fStartCtx.assign(static_cast<size_t>(n), 0);
    int32_t runLeft = 0;
    DynInfoRec* shared = nullptr;
    for (int32_t i = 0; i < n; ++i) {
      ParInfo& p = *fStore->Par(i);
      if (runLeft == 0 && Chance(8)) {
        runLeft = Rand(1, 40);
        DynInfoRec rec;
        rec.DynStyle = dsHasAttrib | fsItalic;
        rec.Context = ++fNextContext;
        SetStartDynAttrib(p, &rec, true);
        shared = GetStartDynAttrib(p);
        fStartCtx[static_cast<size_t>(i)] = rec.Context;
        --runLeft;
      } else if (runLeft > 0) {
        SetStartDynAttrib(p, shared, false);
        fStartCtx[static_cast<size_t>(i)] = shared->Context;
        --runLeft;
      }
      if (Chance(30)) {
        const int32_t len = GetParLength(p);
        std::vector<int32_t> offsets;
        for (int c = Rand(1, 3); c > 0; --c)
          offsets.push_back(Rand(0, len));
        std::sort(offsets.begin(), offsets.end());
        offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
        TDynInfoArray codes;
        for (int32_t off : offsets) {
          DynInfoRec d;
          d.DynOffset = off;
          const bool attrib = Chance(80);
          d.DynStyle = static_cast<uint8_t>((attrib ? dsHasAttrib : 0) | fsBold);
          d.Context = ++fNextContext;
          codes.push_back(d);
          fCodes.push_back({p.StartOffset + off, d.Context, attrib});
        }
        SetParDyns(p, codes);
      }
    }
  }

  // ---- One step ------------------------------------------------------------------

  struct Edit {
    int32_t from, to;
    std::u16string buf;
    bool discard, checkFormat;
  };

  Edit RandomEdit() {
    Edit ed;
    ed.discard = Chance(fCfg.discardPercent);
    ed.checkFormat = Chance(fCfg.checkFormatPercent);
    if (fCfg.longPars)
      RandomLongEdit(ed);
    else
      RandomShortEdit(ed);
    if (ed.to < ed.from)
      ed.to = ed.from;
    return ed;
  }

  // Edits on short paragraphs, steering the paragraph count into its band so
  // that it keeps crossing chunk boundaries.
  void RandomShortEdit(Edit& ed) {
    const int32_t len = static_cast<int32_t>(fText.size());
    const int32_t count = ParCount();
    const bool tooMany = count > fCfg.maxPars;
    const bool tooFew = count < fCfg.minPars;
    ed.from = Settle(Rand(0, len));
    int32_t span = 0;
    const int r = Rand(0, 999);
    if (r < 2) {
      ed.from = 0; // everything
      span = len;
    } else if (r < 40 || (tooMany && r < 200)) {
      span = Rand(200, std::max(200, std::min(len / 4, 30000))); // many paragraphs
    } else if (r < 180) {
      span = Rand(10, 200);
    } else if (r < 550) {
      span = Rand(1, 12);
    }
    ed.to = Settle(static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(ed.from) + span, len)));

    int breaks = 0;
    const int b = Rand(0, 99);
    if (tooFew && b < 50)
      breaks = Rand(50, 700);
    else if (b < 55)
      breaks = 0;
    else if (b < 85)
      breaks = Rand(1, 3);
    else if (b < 97 && !tooMany)
      breaks = Rand(4, 60);
    else if (!tooMany)
      breaks = Rand(61, 400);
    if (b < 55 && Chance(25))
      ed.buf.clear(); // nil buffer: delete only
    else
      ed.buf = RandomBuffer(breaks);
  }

  // Mostly small edits inside the long paragraphs, biased so that their
  // lengths swing around the compact length limit; now and then a join, a
  // split, a medium edit anywhere, and long insertions or deletions that keep
  // the text between 150 000 and 450 000 characters.
  void RandomLongEdit(Edit& ed) {
    const int32_t len = static_cast<int32_t>(fText.size());
    ed.from = Settle(Rand(0, len));
    ed.to = ed.from;
    const int r = Rand(0, 99);
    if (len < 150000 && r < 10) {
      ed.buf = std::u16string(static_cast<size_t>(Rand(20000, 70000)), u'M');
    } else if (len > 450000 && r < 10) {
      ed.to = Settle(std::min(len, ed.from + Rand(20000, 70000)));
    } else if (r < 16) {
      // Join two paragraphs, one of them short (so that joins do not pile
      // the long paragraphs into one).
      const size_t cr = fText.find(CR, static_cast<size_t>(ed.from));
      if (cr != std::u16string::npos) {
        const int32_t before = static_cast<int32_t>(cr) - StartOfParAt(static_cast<int32_t>(cr));
        const size_t next = fText.find(CR, cr + 2);
        const int32_t after = static_cast<int32_t>((next == std::u16string::npos ? fText.size() : next) - cr - 2);
        if (std::min(before, after) < 1000) {
          ed.from = static_cast<int32_t>(cr);
          ed.to = ed.from + 2;
        }
      }
    } else if (r < 30) {
      ed.to = Settle(std::min(len, ed.from + Rand(0, 300)));
      ed.buf = RandomLine(Rand(0, 300));
      if (Chance(10))
        ed.buf.insert(static_cast<size_t>(Rand(0, static_cast<int>(ed.buf.size()))), RandomBreak());
    } else {
      EditNearTheLimit(ed);
    }
  }

  void EditNearTheLimit(Edit& ed) {
    std::vector<std::pair<int32_t, int32_t>> longPars; // start, length
    size_t start = 0;
    for (;;) {
      const size_t cr = fText.find(CR, start);
      const size_t end = cr == std::u16string::npos ? fText.size() : cr;
      if (end - start >= 40000)
        longPars.emplace_back(static_cast<int32_t>(start), static_cast<int32_t>(end - start));
      if (cr == std::u16string::npos)
        break;
      start = cr + 2;
    }
    if (longPars.empty())
      return;
    const auto [parStart, parLen] = longPars[static_cast<size_t>(Rand(0, static_cast<int>(longPars.size()) - 1))];
    // Home in on the limit, then wander across it.
    int del = Rand(0, 8), ins = Rand(0, 8);
    const int32_t off = parLen - 65535;
    if (std::abs(off) > 40) {
      const int homing = std::abs(off) > 2000 ? Rand(1000, 3000) : std::abs(off) > 500 ? Rand(100, 600) : 8;
      (off > 0 ? del : ins) += homing;
    }
    if (Chance(8)) {
      // A break just before the end leaves a new record near the limit.
      ed.from = ed.to = parStart + parLen - Rand(0, 30);
      ed.buf = RandomBreak();
      return;
    }
    ed.from = parStart + Rand(0, parLen);
    ed.to = std::min(parStart + parLen, ed.from + del);
    ed.buf = RandomLine(ins);
  }

  // What the edit must do, worked out on the model alone.
  struct Outcome {
    int32_t from, to; // after the trailing-blank rule moved the start
    std::u16string inserted;
    int32_t S, E, k;
    int32_t startOfS, startOfLast; // in the new text
    bool dynsChanged;
    int32_t newStartCtx;
  };

  int32_t ParOf(int32_t pos) const { return static_cast<int32_t>(std::count(fText.begin(), fText.begin() + pos, LF)); }
  int32_t StartOfParAt(int32_t pos) const {
    const size_t lf = pos == 0 ? std::u16string::npos : fText.rfind(LF, static_cast<size_t>(pos - 1));
    return lf == std::u16string::npos ? 0 : static_cast<int32_t>(lf) + 1;
  }
  bool AtParEnd(int32_t pos) const {
    return pos == static_cast<int32_t>(fText.size()) || fText[static_cast<size_t>(pos)] == CR;
  }

  Outcome Predict(const Edit& ed) const {
    Outcome o;
    o.from = ed.from;
    o.to = ed.to;
    o.S = ParOf(ed.from);
    o.E = o.S + static_cast<int32_t>(std::count(fText.begin() + ed.from, fText.begin() + ed.to, LF));
    const int32_t startS = StartOfParAt(ed.from);
    std::vector<std::u16string> pieces = SplitPieces(ed.buf);
    o.k = static_cast<int32_t>(pieces.size()) - 1;

    if (ed.discard) {
      const bool stopAtEnd = AtParEnd(ed.to);
      if ((o.k > 0 || stopAtEnd) && std::all_of(pieces[0].begin(), pieces[0].end(), IsBlank))
        while (o.from > startS && IsBlank(fText[static_cast<size_t>(o.from - 1)]))
          --o.from;
      for (size_t i = 0; i < pieces.size(); ++i) {
        if (static_cast<int32_t>(i) == o.k && !stopAtEnd)
          continue;
        while (!pieces[i].empty() && IsBlank(pieces[i].back()))
          pieces[i].pop_back();
      }
    }

    std::u16string z;
    if (fCfg.staticFormat && ed.checkFormat) {
      TZarvFontStyles f = XorCodes(0, ed.buf.data(), ed.buf.size());
      f = XorCodes(f, fText.data() + o.from, static_cast<size_t>(o.to - o.from));
      z = ClosingCodes(f);
    }
    o.startOfS = startS;
    o.startOfLast = startS;
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) {
        o.inserted += u"\r\n";
        o.startOfLast = o.from + static_cast<int32_t>(o.inserted.size());
      }
      o.inserted += pieces[i];
    }
    o.inserted += z;

    o.dynsChanged = false;
    o.newStartCtx = 0;
    if (fCfg.dynCodes) {
      const ModelCode* inForce = nullptr;
      for (const ModelCode& c : fCodes) {
        if (c.pos >= startS && c.pos < o.from)
          inForce = &c;
        if (c.pos >= o.from && c.pos < o.to)
          o.dynsChanged = true;
      }
      o.newStartCtx = inForce ? (inForce->attrib ? inForce->context : 0) : fStartCtx[static_cast<size_t>(o.S)];
    }
    return o;
  }

  // Applies the outcome to the model.
  void Commit(const Outcome& o) {
    const int32_t delta = static_cast<int32_t>(o.inserted.size()) - (o.to - o.from);
    if (fCfg.staticFormat) {
      std::vector<TZarvFontStyles> fresh;
      TZarvFontStyles running = fAttrs[static_cast<size_t>(o.S)];
      std::u16string newText = fText.substr(0, static_cast<size_t>(o.from)) + o.inserted;
      size_t pos = static_cast<size_t>(o.startOfS);
      for (int32_t j = 1; j <= o.k; ++j) {
        const size_t cr = newText.find(CR, pos);
        running = XorCodes(running, newText.data() + pos, cr - pos);
        fresh.push_back(running);
        pos = cr + 2;
      }
      fAttrs.erase(fAttrs.begin() + o.S + 1, fAttrs.begin() + o.E + 1);
      fAttrs.insert(fAttrs.begin() + o.S + 1, fresh.begin(), fresh.end());
    }
    if (fCfg.dynCodes) {
      std::vector<ModelCode> kept;
      for (const ModelCode& c : fCodes) {
        if (c.pos < o.from)
          kept.push_back(c);
        else if (c.pos >= o.to)
          kept.push_back({c.pos + delta, c.context, c.attrib});
      }
      fCodes.swap(kept);
      fStartCtx.erase(fStartCtx.begin() + o.S + 1, fStartCtx.begin() + o.E + 1);
      fStartCtx.insert(fStartCtx.begin() + o.S + 1, static_cast<size_t>(o.k), o.newStartCtx);
    }
    fText.replace(static_cast<size_t>(o.from), static_cast<size_t>(o.to - o.from), o.inserted);
  }

  void OneStep() {
    const Edit ed = RandomEdit();
    const Outcome o = Predict(ed);
    TParagraphsList& st = *fStore;
    const int32_t n0 = st.Count();
    const int32_t oldLen = st.fTextLen;
    ASSERT_EQ(n0, ParCount());

    // Ranges the edit must widen or move.
    const bool resetMods = Chance(50);
    if (resetMods) {
      st.fModStartPar = 0;
      st.fModStopPar = -1;
      st.fModStartLine = 0;
      st.fModLinesOffset = 0;
    }
    const bool modsEmpty = st.fModStopPar < st.fModStartPar;
    const int32_t modStart = st.fModStartPar, modStop = st.fModStopPar, modLine = st.fModStartLine;
    const int32_t modLinesOffset = st.fModLinesOffset;
    st.fLastStartStopParsed = Rand(-1, n0 - 1);
    const int32_t lastParsed = st.fLastStartStopParsed;
    if (Chance(50)) {
      st.fUpdateStartPar = Rand(0, n0 - 1);
      st.fUpdateStopPar = Chance(20) ? -1 : Rand(st.fUpdateStartPar, n0 - 1);
    }
    const int32_t updStart = st.fUpdateStartPar, updStop = st.fUpdateStopPar;
    st.fModified = false;
    const int32_t oldLenS = GetParLength(*st.Par(o.S));
    const bool wasCompact = !(st.Par(o.S)->ParState & zvpHasExtra);

    TZarvNavigator a(&st), b(&st);
    a.SetPos(ed.from);
    b.SetPos(ed.to);
    int32_t offsetDelta = 0, lineDelta = 0;
    bool dyns = false;
    st.InsertBuf(ed.buf.empty() ? nullptr : ed.buf.c_str(), a, b, ed.discard, ed.checkFormat, offsetDelta, lineDelta,
                 dyns);
    Commit(o);

    const std::string where = std::string(fCfg.name) + " step " + std::to_string(fStep) + ": replace " +
                              std::to_string(ed.from) + ".." + std::to_string(ed.to) + " (paragraphs " +
                              std::to_string(o.S) + ".." + std::to_string(o.E) + ") by " +
                              std::to_string(ed.buf.size()) + " chars with " + std::to_string(o.k) + " breaks" +
                              (ed.discard ? ", discarding blanks" : "") + (ed.checkFormat ? ", checking format" : "");
    const int32_t d = o.k - (o.E - o.S);
    const bool multi = o.k > 0 || o.S < o.E;

    ASSERT_EQ(st.CheckIntegrity().toStdString(), std::string()) << where;
    ASSERT_NO_FATAL_FAILURE(CheckText()) << where;
    ASSERT_EQ(st.Count(), n0 + d) << where;
    EXPECT_EQ(offsetDelta, static_cast<int32_t>(fText.size()) - oldLen) << where;
    EXPECT_EQ(lineDelta, d) << where;
    EXPECT_EQ(st.fTrueLineCount, st.Count()) << where;
    EXPECT_EQ(st.fVisibleLineCount, st.Count()) << where;
    EXPECT_EQ(dyns, o.dynsChanged) << where;
    EXPECT_TRUE(st.fModified) << where;

    // Navigators: StartNav at the new text, StopNav just after it.
    const int32_t stopPos = o.from + static_cast<int32_t>(o.inserted.size());
    EXPECT_EQ(a.GetPos(), o.from) << where;
    EXPECT_EQ(b.GetPos(), stopPos) << where;
    EXPECT_EQ(a.GetParNb(), o.S) << where;
    EXPECT_EQ(a.GetOffset(), o.from - o.startOfS) << where;
    EXPECT_EQ(b.GetParNb(), o.S + o.k) << where;
    EXPECT_EQ(b.GetOffset(), stopPos - o.startOfLast) << where;
    EXPECT_EQ(a.GetDynNb(), CodesBefore(o.S, a.GetOffset())) << where;
    EXPECT_EQ(b.GetDynNb(), CodesBefore(o.S + o.k, b.GetOffset())) << where;

    // Modified range: widened to S, then moved with the paragraphs.
    const int32_t expStart = modsEmpty ? o.S : std::min(modStart, o.S);
    const int32_t expStop = (modsEmpty ? o.E : std::max(modStop, o.E)) + d;
    EXPECT_EQ(st.fModStartPar, expStart) << where;
    EXPECT_EQ(st.fModStopPar, expStop) << where;
    EXPECT_LE(st.fModStartPar, o.S) << where;
    EXPECT_GE(st.fModStopPar, o.S + o.k) << where;
    // Every paragraph is one visible line, so paragraph S starts line S.
    const int32_t expLine = modsEmpty ? o.S : (o.S <= modStart ? std::min(o.S, modLine) : modLine);
    EXPECT_EQ(st.fModStartLine, expLine) << where;
    EXPECT_EQ(st.fModLinesOffset, modLinesOffset + d) << where;
    EXPECT_EQ(st.fLastStartStopParsed, lastParsed >= o.S ? o.S - 1 : lastParsed) << where;
    if (multi) {
      EXPECT_FALSE(st.fNoCompleteFormat) << where;
      const int32_t expUpdStart = updStart > o.S ? (updStart <= o.E ? o.S : updStart + d) : updStart;
      const int32_t expUpdStop = updStop > o.E ? updStop + d : o.S + o.k;
      EXPECT_EQ(st.fUpdateStartPar, expUpdStart) << where;
      EXPECT_EQ(st.fUpdateStopPar, expUpdStop) << where;
    } else {
      EXPECT_EQ(st.fUpdateStartPar, updStart) << where;
      EXPECT_EQ(st.fUpdateStopPar, updStop) << where;
    }

    // The record chunks are trimmed after the paragraph count changes.
    const int32_t per = st.ElementsPerBuffer();
    const int32_t bound = st.Count() + st.Count() / 16 + 8;
    EXPECT_LE(st.Capacity(), ((bound - 1) / per + 1) * per) << where;

    ASSERT_NO_FATAL_FAILURE(CheckAll(fStep % 1000 == 0)) << where;

    const int32_t newLenS = GetParLength(*st.Par(o.S));
    if ((oldLenS < 65535) != (newLenS < 65535))
      ++fLimitCrossings;
    if (wasCompact && !multi && newLenS >= 65535)
      ++fCompactGrown;

    if ((n0 - 1) / per != (st.Count() - 1) / per)
      ++fChunkCrossings;
  }

  // ---- Checks ----------------------------------------------------------------------

  int32_t CodesBefore(int32_t par, int32_t offset) const {
    int32_t n = 0;
    for (const DynInfoRec& d : GetDynArray(*fStore->getParPointers(par)))
      if (d.DynOffset < offset)
        ++n;
    return n;
  }

  // Every paragraph's offset and text against the model, without building
  // the whole text.
  void CheckText() const {
    const TParagraphsList& st = *fStore;
    size_t pos = 0;
    const int32_t n = st.Count();
    for (int32_t i = 0; i < n; ++i) {
      const ParInfo& p = *st.Par(i);
      const size_t len = static_cast<size_t>(GetParLength(p));
      ASSERT_EQ(p.StartOffset, static_cast<int32_t>(pos)) << "paragraph " << i;
      ASSERT_LE(pos + len, fText.size()) << "paragraph " << i << " runs past the model text";
      if (len > 0) {
        ASSERT_NE(p.ParText, nullptr) << "paragraph " << i;
        if (std::memcmp(p.ParText, fText.data() + pos, len * sizeof(char16_t)) != 0) {
          size_t at = 0;
          while (p.ParText[at] == fText[pos + at])
            ++at;
          FAIL() << "paragraph " << i << " differs from the model at offset " << at << " of " << len;
        }
        ASSERT_EQ(p.ParText[len], 0) << "paragraph " << i << " is not NUL-terminated";
      }
      pos += len;
      if (i + 1 < n) {
        ASSERT_TRUE(pos + 2 <= fText.size() && fText[pos] == CR && fText[pos + 1] == LF)
            << "the model has no break after paragraph " << i;
        pos += 2;
      }
    }
    ASSERT_EQ(pos, fText.size()) << "the model has more text than the store";
    ASSERT_EQ(st.fTextLen, static_cast<int32_t>(fText.size()));
  }

  void CheckAll(bool wholeText) {
    const TParagraphsList& st = *fStore;
    if (wholeText) {
      ASSERT_EQ(st.CheckIntegrity().toStdString(), std::string());
      ASSERT_TRUE(StoreText(st) == fText) << "Text() differs from the model";
      ASSERT_NO_FATAL_FAILURE(CheckText());
    }
    if (fCfg.staticFormat) {
      ASSERT_EQ(fAttrs.size(), static_cast<size_t>(st.Count()));
      for (int32_t i = 0; i < st.Count(); ++i)
        ASSERT_EQ(GetStartAttrib(*st.Par(i)), fAttrs[static_cast<size_t>(i)]) << "start attribute of paragraph " << i;
    }
    if (fCfg.dynCodes) {
      ASSERT_NO_FATAL_FAILURE(CheckCodes());
    }
  }

  void CheckCodes() const {
    const TParagraphsList& st = *fStore;
    ASSERT_EQ(fStartCtx.size(), static_cast<size_t>(st.Count()));
    size_t next = 0;
    std::unordered_set<const DynInfoRec*> heap;
    for (int32_t i = 0; i < st.Count(); ++i) {
      const ParInfo& p = *st.Par(i);
      const DynInfoRec* start = GetStartDynAttrib(p);
      ASSERT_EQ(start->Context, fStartCtx[static_cast<size_t>(i)]) << "start record of paragraph " << i;
      if (start != DefaultDynInfo())
        heap.insert(start);
      const int32_t end = p.StartOffset + GetParLength(p);
      for (const DynInfoRec& d : GetDynArray(p)) {
        ASSERT_LT(next, fCodes.size()) << "paragraph " << i << " has a code the model lacks";
        const ModelCode& m = fCodes[next++];
        ASSERT_EQ(p.StartOffset + d.DynOffset, m.pos) << "code of paragraph " << i;
        ASSERT_EQ(d.Context, m.context) << "code of paragraph " << i;
        ASSERT_LE(m.pos, end);
      }
      ASSERT_TRUE(next == fCodes.size() || fCodes[next].pos > end) << "paragraph " << i << " lost a code";
    }
    ASSERT_EQ(next, fCodes.size());
    ASSERT_EQ(LiveStartRecords() - fLiveBefore, static_cast<int64_t>(heap.size()))
        << "heap start records alive without a paragraph pointing at them";
  }

  const Config& fCfg;
  std::mt19937 fRng;
  std::unique_ptr<TParagraphsList> fStore;
  std::u16string fText;
  std::vector<TZarvFontStyles> fAttrs; // start attribute per paragraph (static format)
  std::vector<ModelCode> fCodes;       // style runs (absolute positions, increasing)
  std::vector<int32_t> fStartCtx;      // context of each paragraph's start record; 0 = default
  int32_t fNextContext = 1000;
  int64_t fLiveBefore = 0;
  int fStep = 0;
  int fChunkCrossings = 0; // edits that moved the last record into another chunk
  int fLimitCrossings = 0; // edits that took paragraph S across the compact length limit
  int fCompactGrown = 0;   // edits inside one compact paragraph that made it extended
};

// Together the runs make over 100 000 replacements.
TEST(ParagraphsListModel, RandomReplacementsMatchAPlainStringAcrossChunkBoundaries) {
  const Config cfg{"plain", 20240611u, 50000, 1500, 700, 3200, false, 100, 0, false, false};
  ModelRun(cfg).Run();
}

TEST(ParagraphsListModel, RandomReplacementsWithStaticFormatAddTheClosingCodes) {
  const Config cfg{"static format", 7u, 20000, 1200, 700, 2600, true, 85, 0, false, false};
  ModelRun(cfg).Run();
}

TEST(ParagraphsListModel, RandomReplacementsFollowTheTrailingBlankRule) {
  const Config cfg{"trailing blanks", 99u, 15000, 600, 300, 1500, false, 100, 70, false, false};
  ModelRun(cfg).Run();
}

TEST(ParagraphsListModel, RandomReplacementsWithStaticFormatAndTrailingBlanksTogether) {
  const Config cfg{"static format and trailing blanks", 4242u, 6000, 300, 150, 1200, true, 80, 60, false, false};
  ModelRun(cfg).Run();
}

TEST(ParagraphsListModel, ParagraphsCrossingTheCompactLengthLimitKeepTheirText) {
  const Config cfg{"long paragraphs", 65535u, 3000, 40, 15, 120, false, 100, 0, true, false};
  ModelRun(cfg).Run();
}

TEST(ParagraphsListModel, RandomReplacementsKeepStyleRunsAndShareStartRecords) {
  const Config cfg{"style runs", 31337u, 15000, 1300, 700, 2600, false, 100, 0, false, true};
  ModelRun(cfg).Run();
}

} // namespace
} // namespace zarv::test
