// Tests of text positions: how an absolute offset maps to paragraph, offset,
// display line, column and style run, which way each tie is broken, the moves
// over style runs and words, what a navigator reads at its position, line
// numbers with wrapping and folding, locating paragraphs in large texts, and
// how navigators register with their control.
#include "support/store/StoreTestUtil.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/navigator/LinesList.h>

#include <QObject>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zarv::test {
namespace {

std::string Utf8(const QString& s) { return s.toStdString(); }
std::string Utf8(const std::u16string& s) { return QString::fromStdU16String(s).toStdString(); }

DynInfoRec Code(int32_t offset, int32_t context) {
  DynInfoRec d;
  d.DynOffset = offset;
  d.DynStyle = static_cast<uint8_t>(dsHasAttrib | fsBold);
  d.Context = context;
  return d;
}

// Gives paragraph `par` the codes (offset, context), in that order.
void SetCodes(TParagraphsList& store, int32_t par, const std::vector<std::pair<int32_t, int32_t>>& codes) {
  TDynInfoArray a;
  for (const auto& [offset, context] : codes)
    a.push_back(Code(offset, context));
  SetParDyns(*store.getParPointers(par), a);
}

// Recomputes every StartLine and both line counts from the display lines
// and hidden flags, the way line formatting and folding leave them.
void RenumberLines(TParagraphsList& store) {
  int32_t visible = 0, total = 0;
  for (int32_t i = 0; i < store.Count(); ++i) {
    ParInfo& p = *store.getParPointers(i);
    p.StartLine = visible;
    const int32_t n = GetLineCount(p);
    total += n;
    if (!(p.ParState & zvpHidden))
      visible += n;
  }
  store.fTrueLineCount = total;
  store.fVisibleLineCount = visible;
}

// Wraps paragraph `par` into display lines ending at each of `wraps` and
// at the paragraph end. Call after its codes are set: every line records
// the index of the first code at or after its start.
void WrapParagraph(TParagraphsList& store, int32_t par, const std::vector<int32_t>& wraps) {
  ParInfo& p = *store.getParPointers(par);
  const int32_t len = GetParLength(p);
  const auto& codes = GetDynArray(p);
  TLinesList lines(&p);
  lines.SetCount(static_cast<int32_t>(wraps.size()) + 1);
  int32_t start = 0;
  for (size_t i = 0; i <= wraps.size(); ++i) {
    LineInfo li;
    li.Start = start;
    li.Stop = i < wraps.size() ? wraps[i] : len;
    li.JustifyStart = len;
    li.TotalColumns = li.Stop - li.Start;
    for (const DynInfoRec& d : codes)
      li.StartDynNb += d.DynOffset < li.Start ? 1 : 0;
    lines.SetItem(static_cast<int32_t>(i), li);
    start = li.Stop;
  }
  RenumberLines(store);
}

void Hide(TParagraphsList& store, std::initializer_list<int32_t> pars) {
  for (int32_t i : pars)
    store.getParPointers(i)->ParState |= zvpHidden;
  RenumberLines(store);
}

struct Where {
  int32_t par;
  int32_t offset;
  bool operator==(const Where&) const = default;
};

Where At(TZarvNavigator& nav) { return {nav.GetParNb(), nav.GetOffset()}; }

std::ostream& operator<<(std::ostream& os, const Where& w) { return os << "(" << w.par << ", " << w.offset << ")"; }

// ---- Positions ------------------------------------------------------------------------------------

TEST(NavigatorPosition, BothHalvesOfABreakBelongToTheParagraphBeforeIt) {
  auto store = MakeStore(u"ab\r\ncd");
  struct Case {
    int32_t pos;
    Where where;
    char16_t text;
  };
  const Case cases[] = {
      {0, {0, 0}, u'a'}, {1, {0, 1}, u'b'}, {2, {0, 2}, u'\r'}, {3, {0, 3}, u'\n'},
      {4, {1, 0}, u'c'}, {5, {1, 1}, u'd'}, {6, {1, 2}, u'\r'},
  };
  // Fresh navigators locate from scratch; the walking one reuses its cached
  // paragraph forwards and then backwards.
  TZarvNavigator walker(store.get());
  for (const Case& c : cases) {
    TZarvNavigator nav(store.get());
    nav.SetPos(c.pos);
    EXPECT_EQ(At(nav), c.where) << "position " << c.pos;
    EXPECT_EQ(nav.GetText(), c.text) << "position " << c.pos;
    walker.SetPos(c.pos);
    EXPECT_EQ(At(walker), c.where) << "walking forward to " << c.pos;
  }
  for (auto it = std::rbegin(cases); it != std::rend(cases); ++it) {
    walker.SetPos(it->pos);
    EXPECT_EQ(At(walker), it->where) << "walking back to " << it->pos;
    EXPECT_EQ(walker.GetPos(), it->pos);
  }
  auto empty = MakeStore(u"");
  TZarvNavigator nav(empty.get());
  EXPECT_EQ(At(nav), (Where{0, 0})) << "an empty text is paragraph 0";
  EXPECT_EQ(nav.GetText(), u'\r');
}

TEST(NavigatorPosition, SetParOffsetStaysInsideTheParagraphText) {
  auto store = MakeStore(u"first\r\nhello\r\nlast");
  TZarvNavigator nav(store.get());
  nav.setParNb(1);
  for (const auto& [asked, got] : std::vector<std::pair<int32_t, int32_t>>{{100, 5}, {6, 5}, {5, 5}, {2, 2}, {-3, 0}}) {
    nav.setParOffset(asked);
    EXPECT_EQ(At(nav), (Where{1, got})) << "setParOffset(" << asked << ")";
    EXPECT_EQ(nav.GetPos(), 7 + got);
  }
}

// ---- Display lines and columns -------------------------------------------------------------------

TEST(NavigatorLines, AWrapPointStartsTheLowerLineUnlessSetParOffsetKnowsTheLine) {
  // A paragraph of 25 characters wrapped at 10 and 20, behind a short one.
  auto store = MakeStore(u"xy\r\n0123456789abcdefghijABCDE");
  WrapParagraph(*store, 1, {10, 20});
  ASSERT_STORE_OK(*store);
  struct Case {
    int32_t offset, line, col;
  };
  for (const Case& c : {Case{0, 0, 0}, Case{9, 0, 9}, Case{10, 1, 0}, Case{19, 1, 9}, Case{20, 2, 0}, Case{25, 2, 5}}) {
    TZarvNavigator nav(store.get());
    nav.SetPos(4 + c.offset);
    EXPECT_EQ(nav.GetParLine(), c.line) << "SetPos to offset " << c.offset;
    EXPECT_EQ(nav.GetColNb(), c.col) << "SetPos to offset " << c.offset;
  }
  for (const Case& c : {Case{10, 0, 10}, Case{11, 1, 1}, Case{20, 1, 10}, Case{25, 2, 5}}) {
    TZarvNavigator nav(store.get());
    nav.setParNb(1); // every index known
    nav.setParOffset(c.offset);
    EXPECT_EQ(nav.GetParLine(), c.line) << "setParOffset(" << c.offset << ")";
    EXPECT_EQ(nav.GetColNb(), c.col) << "setParOffset(" << c.offset << ")";
  }
  // With the line not yet known the lazy rule decides.
  TZarvNavigator lazy(store.get());
  lazy.SetPos(4 + 3);
  lazy.setParOffset(10);
  EXPECT_EQ(lazy.GetParLine(), 1);
}

TEST(NavigatorLineView, CompactParagraphsShowOneRebuiltLineAndRangesAreChecked) {
  auto store = MakeStore(u"hello\r\nwrapped text");
  TLinesList compact(store->getParPointers(0));
  ASSERT_EQ(compact.GetCount(), 1);
  const LineInfo li = compact.GetItem(0);
  EXPECT_EQ(li.Start, 0);
  EXPECT_EQ(li.Stop, 5);
  EXPECT_EQ(li.JustifyStart, 5);
  EXPECT_THROW(compact.GetLinesPointer(1), ERangeError);
  EXPECT_THROW(compact.GetLinesPointer(-1), ERangeError);

  ParInfo& p = *store->getParPointers(1);
  TLinesList lines(&p);
  lines.SetCount(0);
  EXPECT_EQ(lines.GetCount(), 1) << "a paragraph keeps at least one line";
  EXPECT_FALSE(p.ParState & zvpHasExtra);
  LineInfo second;
  second.Start = 7;
  second.Stop = 12;
  EXPECT_EQ(lines.Add(second), 1);
  EXPECT_TRUE(p.ParState & zvpHasExtra);
  LineInfo first = lines.GetItem(0);
  first.Stop = 7;
  lines.SetItem(0, first);
  EXPECT_EQ(lines.GetCount(), 2);
  EXPECT_EQ(lines.GetLinesPointer(1)->Start, 7);
  EXPECT_EQ(lines.GetLinesPointer(0)->Stop, 7);
  EXPECT_THROW(lines.SetItem(2, second), ERangeError);
  RenumberLines(*store);
  EXPECT_STORE_OK(*store);
}

// ---- Line numbers ---------------------------------------------------------------------------------

// Paragraphs of 1, 3, 1 and 2 display lines: lines 0 | 1 2 3 | 4 | 5 6.
class NavigatorLineNumbers : public ::testing::Test {
protected:
  void SetUp() override {
    memo.SetTextBuf(QStringLiteral("p0\r\n0123456789abcdefghijABCDE\r\np2\r\nwrapped in two"));
    TParagraphsList& s = memo.Paragraphs();
    SetCodes(s, 1, {{2, 1}, {12, 2}, {20, 3}});
    WrapParagraph(s, 1, {10, 20});
    WrapParagraph(s, 3, {8});
    ASSERT_STORE_OK(s);
  }
  TZarvMemo memo;
};

TEST_F(NavigatorLineNumbers, WithWordWrapLineNumbersCountDisplayLines) {
  memo.setWordWrap(true);
  struct Case {
    int32_t line;
    Where where;
    int32_t dynNb;
  };
  const Case cases[] = {{0, {0, 0}, 0}, {1, {1, 0}, 0}, {2, {1, 10}, 1}, {3, {1, 20}, 2}, {4, {2, 0}, 0},
                        {5, {3, 0}, 0}, {6, {3, 8}, 0}, {9, {3, 8}, 0},  {-4, {0, 0}, 0}};
  for (const Case& c : cases) {
    auto nav = std::make_unique<TZarvNavigator>(&memo);
    nav->SetPos(memo.Paragraphs().fTextLen); // start far from the target
    nav->SetLineNb(c.line);
    EXPECT_EQ(At(*nav), c.where) << "SetLineNb(" << c.line << ")";
    EXPECT_EQ(nav->GetDynNb(), c.dynNb) << "SetLineNb(" << c.line << ")";
    EXPECT_EQ(nav->GetColNb(), 0);
    EXPECT_EQ(nav->GetLineNb(), std::clamp(c.line, 0, 6));
  }
}

TEST_F(NavigatorLineNumbers, WithoutWordWrapLineNumbersAreParagraphsOnlyForLeftAlignedText) {
  memo.setWordWrap(false);
  auto nav = std::make_unique<TZarvNavigator>(&memo);
  for (const auto& [line, par] : std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {2, 2}, {3, 3}, {5, 3}, {-1, 0}}) {
    nav->SetPos(memo.Paragraphs().fTextLen);
    nav->SetLineNb(line);
    EXPECT_EQ(At(*nav), (Where{par, 0})) << "SetLineNb(" << line << ")";
    EXPECT_EQ(nav->GetLineNb(), par);
  }
  // Aligned text counts display lines even without wrapping.
  memo.setAlignment(taRightJustify);
  nav->SetLineNb(2);
  EXPECT_EQ(At(*nav), (Where{1, 10}));
}

// Word wrap on: P0 (line 0), P1 (lines 1, 2), P2 and P3 hidden (their three
// lines not shown), P4 (line 3), P5 (line 4), P6 hidden at the end.
class NavigatorHiddenLines : public ::testing::Test {
protected:
  void SetUp() override {
    memo.setWordWrap(true);
    memo.SetTextBuf(QStringLiteral("p0\r\nheader line\r\nh2\r\nhidden 3\r\np4\r\np5\r\nh6"));
    TParagraphsList& s = memo.Paragraphs();
    WrapParagraph(s, 1, {7});
    WrapParagraph(s, 3, {4});
    Hide(s, {2, 3, 6});
    ASSERT_STORE_OK(s);
    ASSERT_EQ(s.fVisibleLineCount, 5);
    ASSERT_EQ(s.fTrueLineCount, 9);
  }
  TZarvMemo memo;
};

TEST_F(NavigatorHiddenLines, SetVisibleLineNumberSkipsHiddenParagraphsFromAnyStartingPoint) {
  const std::pair<int32_t, Where> cases[] = {{0, {0, 0}}, {1, {1, 0}}, {2, {1, 7}}, {3, {4, 0}},
                                             {4, {5, 0}}, {9, {5, 0}}, {-2, {0, 0}}};
  TParagraphsList& s = memo.Paragraphs();
  for (int32_t from = 0; from < s.Count(); ++from) {
    for (const auto& [line, where] : cases) {
      auto nav = std::make_unique<TZarvNavigator>(&memo);
      nav->SetPos(s.Par(from)->StartOffset + 1);
      nav->setVisibleLineNumber(line);
      EXPECT_EQ(At(*nav), where) << "line " << line << " from paragraph " << from;
      EXPECT_TRUE(nav->getIsVisible());
    }
  }
}

TEST_F(NavigatorHiddenLines, HiddenParagraphsReportTheNextVisibleLine) {
  auto nav = std::make_unique<TZarvNavigator>(&memo);
  const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {1, 2}, {2, 3}, {3, 3}, {4, 3}, {5, 4}, {6, 5}};
  for (const auto& [par, visibleLine] : cases) {
    nav->setParNb(par);
    nav->setParOffset(8); // on the second line where there is one
    EXPECT_EQ(nav->getVisibleLineNumber(), visibleLine) << "paragraph " << par;
    EXPECT_EQ(nav->getIsVisible(), !(par == 2 || par == 3 || par == 6)) << "paragraph " << par;
  }
}

TEST_F(NavigatorHiddenLines, WithWordWrapSetLineNbReportsTheLineNumberItWasGiven) {
  // Line numbers follow StartLine, which a hidden paragraph shares with the
  // next visible line; lines before the folded paragraphs are unambiguous.
  const std::pair<int32_t, Where> cases[] = {{0, {0, 0}}, {1, {1, 0}}, {2, {1, 7}}};
  for (const auto& [line, where] : cases) {
    auto nav = std::make_unique<TZarvNavigator>(&memo);
    nav->SetPos(memo.Paragraphs().fTextLen);
    nav->SetLineNb(line);
    EXPECT_EQ(At(*nav), where) << "SetLineNb(" << line << ")";
  }
  for (int32_t line = 0; line < memo.Paragraphs().fVisibleLineCount; ++line) {
    auto nav = std::make_unique<TZarvNavigator>(&memo);
    nav->SetLineNb(line);
    EXPECT_EQ(nav->GetLineNb(), line);
    EXPECT_EQ(nav->GetColNb(), 0);
  }
}

TEST_F(NavigatorHiddenLines, WithoutWordWrapAHiddenParagraphIsNeverTakenDirectly) {
  memo.setWordWrap(false);
  TParagraphsList& s = memo.Paragraphs();
  WrapParagraph(s, 1, {});
  WrapParagraph(s, 3, {});
  // Lines are paragraphs now: P0 0, P1 1, P2 P3 hidden, P4 2, P5 3, P6 hidden.
  ASSERT_EQ(s.fVisibleLineCount, 4);
  const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {1, 1}, {2, 4}, {3, 5}, {4, 5}};
  for (const auto& [line, par] : cases) {
    for (int32_t from : {0, 6}) {
      auto nav = std::make_unique<TZarvNavigator>(&memo);
      nav->setParNb(from);
      nav->setVisibleLineNumber(line);
      EXPECT_EQ(At(*nav), (Where{par, 0})) << "line " << line << " from paragraph " << from;
    }
  }
}

// ---- Content ---------------------------------------------------------------------------------------

TEST(NavigatorContent, GetTextBufWritesBreaksAsCrLfAndStopsAtTheEnd) {
  auto store = MakeStore(u"ab\ncd\r\n\r\nef"); // loaded breaks of any kind read back as CR LF
  struct Case {
    int32_t pos, n;
    std::u16string text;
  };
  const Case cases[] = {
      {0, 100, u"ab\r\ncd\r\n\r\nef"},
      {3, 3, u"\ncd"}, // starting on the LF writes only the LF
      {2, 1, u"\r"},
      {2, 2, u"\r\n"},
      {5, 5, u"d\r\n\r\n"},
      {6, 3, u"\r\n\r"},
      {8, 2, u"\r\n"},
      {10, 9, u"ef"},
      {12, 4, u""},
      {1, 0, u""},
  };
  for (const Case& c : cases) {
    TZarvNavigator nav(store.get());
    nav.SetPos(c.pos);
    std::u16string buf(32, u'#');
    const int32_t n = nav.GetTextBuf(buf.data(), c.n);
    EXPECT_EQ(n, static_cast<int32_t>(c.text.size())) << "from " << c.pos << ", " << c.n;
    EXPECT_EQ(Utf8(buf.substr(0, c.text.size())), Utf8(c.text)) << "from " << c.pos << ", " << c.n;
    EXPECT_EQ(buf[c.text.size()], u'\0') << "terminated after the copy";
    EXPECT_EQ(buf[c.text.size() + 1], u'#') << "nothing written past the terminator";
    EXPECT_EQ(nav.GetPos(), c.pos) << "copying does not move the navigator";
  }
}

TEST(NavigatorContent, GetWordUsesTheControlSeparators) {
  TZarvMemo memo;
  memo.SetTextBuf(QStringLiteral("one-two three"));
  memo.setSeparators(QStringLiteral("-"));
  auto nav = std::make_unique<TZarvNavigator>(&memo);
  nav->SetPos(5);
  EXPECT_EQ(Utf8(nav->GetWord()), "two three");
  nav->SetPos(1);
  EXPECT_EQ(Utf8(nav->GetWord()), "one");
}

TEST(NavigatorContent, GetStyleTogglesTheLineStartStylesByEveryCodeBeforeTheOffset) {
  // a B b I c B d: bold from 2 to 5, italic from 4 on.
  auto store = MakeStore(u"a\x02"
                         u"b\x01"
                         u"c\x02"
                         u"d",
                         true);
  SetStartAttrib(*store->getParPointers(0), fsUnderline);
  const TZarvFontStyles U = fsUnderline, B = fsBold, I = fsItalic;
  const std::pair<int32_t, TZarvFontStyles> cases[] = {{0, U},         {1, U},         {2, U | B}, {3, U | B},
                                                       {4, U | B | I}, {5, U | B | I}, {6, U | I}, {7, U | I}};
  for (const auto& [pos, style] : cases) {
    TZarvNavigator nav(store.get());
    nav.SetPos(pos);
    EXPECT_EQ(nav.GetStyle(), style) << "position " << pos;
  }
  // A wrapped line starts from its own recorded styles.
  WrapParagraph(*store, 0, {4});
  TLinesList lines(store->getParPointers(0));
  LineInfo second = lines.GetItem(1);
  second.StartAttrib = fsStrikeOut;
  lines.SetItem(1, second);
  TZarvNavigator nav(store.get());
  nav.SetPos(6);
  EXPECT_EQ(nav.GetStyle(), fsStrikeOut | B);
  store->fStaticFormat = false;
  EXPECT_EQ(nav.GetStyle(), 0) << "without static format there are no code styles";
}

// ---- Dynamic codes -------------------------------------------------------------------------------

TEST(NavigatorCodes, ACodeAtTheOffsetIsInForceOnlyRightOfIt) {
  auto store = MakeStore(u"abcdefg");
  SetCodes(*store, 0, {{3, 7}, {3, 8}, {5, 9}});
  TZarvNavigator nav(store.get());
  nav.SetPos(3);
  EXPECT_EQ(nav.GetDynNb(), 0);
  EXPECT_EQ(nav.GetpDynInfo(), GetStartDynAttrib(*store->Par(0)));
  EXPECT_EQ(nav.GetContext(), 0);
  nav.RightOfDyn();
  EXPECT_EQ(nav.GetDynNb(), 2) << "right of both codes at the offset";
  EXPECT_EQ(nav.GetContext(), 8);
  EXPECT_EQ(nav.GetOffset(), 3);

  nav.SetPos(0);
  nav.SetPos(3);
  EXPECT_TRUE(nav.AdvanceDyn());
  EXPECT_EQ(nav.GetDynInfo().Context, 7);
  EXPECT_TRUE(nav.AdvanceDyn());
  EXPECT_FALSE(nav.AdvanceDyn()) << "the next code lies further on";
  EXPECT_EQ(nav.GetDynNb(), 2);
  nav.SetPos(4);
  EXPECT_EQ(nav.GetContext(), 8);
  nav.SetPos(6);
  EXPECT_EQ(nav.GetContext(), 9) << "moving forward passes the code at 5";
}

TEST(NavigatorCodes, SetDynNbStandsRightOfTheCodeBeforeTheIndex) {
  auto store = MakeStore(u"xx\r\nabcdefg");
  SetCodes(*store, 1, {{1, 1}, {4, 2}});
  TZarvNavigator nav(store.get());
  const std::pair<int32_t, int32_t> cases[] = {{2, 4}, {0, 0}, {1, 1}};
  for (const auto& [d, offset] : cases) {
    nav.SetPos(10);
    nav.setDynNb(d);
    EXPECT_EQ(At(nav), (Where{1, offset})) << "setDynNb(" << d << ")";
    EXPECT_EQ(nav.GetDynNb(), d);
    EXPECT_EQ(nav.GetContext(), d == 0 ? 0 : d);
  }
  for (int32_t d : {3, -1}) {
    nav.SetPos(10);
    nav.setDynNb(d);
    EXPECT_EQ(nav.GetPos(), 10) << "setDynNb(" << d << ") does nothing";
  }
}

// Codes at absolute positions 0, 3, 4 (twice), 15 and 18; paragraphs 1 and
// 3 have none.
class NavigatorCodeMoves : public ::testing::Test {
protected:
  void SetUp() override {
    store = MakeStore(u"abcdef\r\nghi\r\njklmno\r\npq");
    SetCodes(*store, 0, {{0, 1}, {3, 2}, {4, 3}, {4, 4}});
    SetCodes(*store, 2, {{2, 5}, {5, 6}});
    ASSERT_STORE_OK(*store);
  }
  struct Stop {
    int32_t pos;
    int32_t dynNb;
    int32_t context;
  };
  std::unique_ptr<TParagraphsList> store;
};

TEST_F(NavigatorCodeMoves, NextDynVisitsEveryCodeInTurnAndStandsRightOfIt) {
  TZarvNavigator nav(store.get());
  const Stop stops[] = {{0, 1, 1}, {3, 2, 2}, {4, 3, 3}, {4, 4, 4}, {15, 1, 5}, {18, 2, 6}};
  for (const Stop& s : stops) {
    ASSERT_TRUE(nav.NextDyn()) << "towards " << s.pos;
    EXPECT_EQ(nav.GetPos(), s.pos);
    EXPECT_EQ(nav.GetDynNb(), s.dynNb);
    EXPECT_EQ(nav.GetContext(), s.context);
  }
  EXPECT_FALSE(nav.NextDyn());
  EXPECT_EQ(nav.GetPos(), 18) << "no further code: the navigator stays";
  nav.SetPos(21); // the last paragraph has no codes
  EXPECT_FALSE(nav.NextDyn());
  EXPECT_EQ(nav.GetPos(), 21);
}

TEST_F(NavigatorCodeMoves, PreviousDynVisitsEveryCodeBeforeThePositionBackwards) {
  TZarvNavigator nav(store.get());
  nav.SetPos(store->fTextLen);
  const Stop stops[] = {{18, 2, 6}, {15, 1, 5}, {4, 4, 4}, {3, 2, 2}, {0, 1, 1}};
  for (const Stop& s : stops) {
    ASSERT_TRUE(nav.PreviousDyn()) << "towards " << s.pos;
    EXPECT_EQ(nav.GetPos(), s.pos);
    EXPECT_EQ(nav.GetDynNb(), s.dynNb);
    EXPECT_EQ(nav.GetContext(), s.context);
  }
  EXPECT_FALSE(nav.PreviousDyn());
  EXPECT_EQ(nav.GetPos(), 0);
  nav.SetPos(11); // paragraph 1, after the codes of paragraph 0
  ASSERT_TRUE(nav.PreviousDyn());
  EXPECT_EQ(nav.GetPos(), 4);
  EXPECT_EQ(nav.GetContext(), 4);
}

TEST_F(NavigatorCodeMoves, ForwardToDynStopsLeftOfEachCodeUpToTheLimit) {
  TZarvNavigator nav(store.get());
  const Stop stops[] = {{0, 0, 0}, {3, 1, 1}, {4, 2, 2}, {4, 3, 3}, {15, 0, 0}, {18, 1, 5}};
  for (const Stop& s : stops) {
    ASSERT_TRUE(nav.ForwardToDyn(100)) << "towards " << s.pos;
    EXPECT_EQ(nav.GetPos(), s.pos);
    EXPECT_EQ(nav.GetDynNb(), s.dynNb) << "left of the code";
    EXPECT_EQ(nav.GetContext(), s.context);
    EXPECT_TRUE(nav.AdvanceDyn());
  }
  EXPECT_FALSE(nav.ForwardToDyn(100));
  EXPECT_EQ(nav.GetPos(), 18);

  struct LimitCase {
    int32_t from, limit;
    bool found;
    int32_t pos;
  };
  const LimitCase limits[] = {
      {5, 15, true, 15}, // the code exactly at the limit counts
      {5, 14, false, 5}, // the paragraph holding it starts before the limit, the code lies beyond
      {5, 13, false, 5}, {1, 3, true, 3}, {1, 2, false, 1},
  };
  for (const LimitCase& c : limits) {
    nav.SetPos(c.from);
    EXPECT_EQ(nav.ForwardToDyn(c.limit), c.found) << "from " << c.from << " up to " << c.limit;
    EXPECT_EQ(nav.GetPos(), c.pos) << "from " << c.from << " up to " << c.limit;
  }
}

TEST_F(NavigatorCodeMoves, BackToDynStopsLeftOfEachEarlierCodeDownToTheLimit) {
  TZarvNavigator nav(store.get());
  nav.SetPos(store->fTextLen);
  const Stop stops[] = {{18, 1, 5}, {15, 0, 0}, {4, 3, 3}, {4, 2, 2}, {3, 1, 1}, {0, 0, 0}};
  for (const Stop& s : stops) {
    ASSERT_TRUE(nav.BackToDyn(0)) << "towards " << s.pos;
    EXPECT_EQ(nav.GetPos(), s.pos);
    EXPECT_EQ(nav.GetDynNb(), s.dynNb) << "left of the code";
    EXPECT_EQ(nav.GetContext(), s.context);
  }
  EXPECT_FALSE(nav.BackToDyn(0));
  EXPECT_EQ(nav.GetPos(), 0);

  struct LimitCase {
    int32_t from, limit;
    bool found;
    int32_t pos;
  };
  const LimitCase limits[] = {
      {14, 4, true, 4},                                            // crosses paragraph 1 back into paragraph 0
      {14, 5, false, 14}, {20, 18, true, 18}, {18, 16, false, 18}, // the code at 18 is not before the position
      {17, 15, true, 15},
  };
  for (const LimitCase& c : limits) {
    nav.SetPos(c.from);
    EXPECT_EQ(nav.BackToDyn(c.limit), c.found) << "from " << c.from << " down to " << c.limit;
    EXPECT_EQ(nav.GetPos(), c.pos) << "from " << c.from << " down to " << c.limit;
  }
}

TEST(NavigatorCodes, AddDynInsertsAtTheCodeIndexAndStandsRightOfTheNewCode) {
  auto store = MakeStore(u"abcdef\r\nplain");
  SetCodes(*store, 0, {{1, 1}, {2, 2}});
  TZarvNavigator nav(store.get());
  nav.SetPos(2);
  nav.AddDyn(Code(99, 9)); // the offset comes from the navigator
  const auto& codes = GetDynArray(*store->Par(0));
  ASSERT_EQ(codes.size(), 3u);
  EXPECT_EQ(codes[1].DynOffset, 2);
  EXPECT_EQ(codes[1].Context, 9);
  EXPECT_EQ(codes[2].Context, 2) << "the code already at the offset follows the new one";
  EXPECT_EQ(nav.GetDynNb(), 2);
  EXPECT_EQ(nav.GetContext(), 9);

  nav.SetPos(10); // a compact paragraph becomes extended
  nav.AddDyn(Code(0, 5));
  ASSERT_EQ(GetDynCount(*store->Par(1)), 1);
  EXPECT_EQ(GetDynArray(*store->Par(1))[0].DynOffset, 2);
  EXPECT_EQ(nav.GetContext(), 5);
  EXPECT_STORE_OK(*store);
}

TEST(NavigatorCodes, RemoveDynRemovesOnlyACodeAtTheOffset) {
  auto store = MakeStore(u"abcdef");
  SetCodes(*store, 0, {{1, 1}, {3, 2}});
  TZarvNavigator nav(store.get());
  for (int32_t pos : {0, 2, 6}) {
    nav.SetPos(pos);
    try {
      nav.RemoveDyn();
      ADD_FAILURE() << "RemoveDyn at " << pos << " did not throw";
    } catch (const EZarvError& e) {
      EXPECT_EQ(Utf8(e.message()), "Internal ZarvMemo error");
    }
    EXPECT_EQ(GetDynCount(*store->Par(0)), 2) << "nothing removed at " << pos;
  }
  nav.SetPos(1);
  nav.RightOfDyn(); // standing right of the only code at 1: none left at the code index
  EXPECT_THROW(nav.RemoveDyn(), EZarvError);
  EXPECT_EQ(GetDynCount(*store->Par(0)), 2);

  nav.SetPos(3);
  nav.RemoveDyn();
  ASSERT_EQ(GetDynCount(*store->Par(0)), 1);
  EXPECT_EQ(GetDynArray(*store->Par(0))[0].Context, 1);
  EXPECT_EQ(nav.GetDynNb(), 1);
}

// ---- Words ------------------------------------------------------------------------------------------

TEST(NavigatorWords, ToNextWordStopsAtWordStartsAndParagraphEndsAndNeverLeavesTheText) {
  auto store = MakeStore(u"one  two\r\n\r\n three");
  const TCharSet delims = DefaultDelimiters();
  TZarvNavigator nav(store.get());
  const int32_t stops[] = {5, 8, 10, 12, 13, 18, 18};
  for (int32_t expected : stops) {
    nav.ToNextWord(delims);
    EXPECT_EQ(nav.GetPos(), expected);
  }
  nav.SetPos(9); // on the LF
  nav.ToNextWord(delims);
  EXPECT_EQ(nav.GetPos(), 10);
}

TEST(NavigatorWords, ToPreviousWordStepsBackToWordStartsAcrossBreaks) {
  auto store = MakeStore(u"one  two\r\n\r\n three");
  const TCharSet delims = DefaultDelimiters();
  TZarvNavigator nav(store.get());
  nav.SetPos(18);
  for (int32_t expected : {13, 5, 0, 0}) {
    nav.ToPreviousWord(delims);
    EXPECT_EQ(nav.GetPos(), expected);
  }
  nav.SetPos(7);
  nav.ToPreviousWord(delims);
  EXPECT_EQ(nav.GetPos(), 5) << "from inside a word to its start";
}

// ---- Locating paragraphs in large texts ---------------------------------------------------------

// Paragraph lengths with a few very long ones among many short ones, so
// that positions are far from evenly spread.
std::vector<int32_t> UnevenLengths(int32_t count, uint32_t seed, int32_t longLength) {
  std::vector<int32_t> lengths;
  uint32_t r = seed;
  for (int32_t i = 0; i < count; ++i) {
    r = r * 1664525u + 1013904223u;
    lengths.push_back((r >> 24) < 3 ? longLength + static_cast<int32_t>(r % 97) : static_cast<int32_t>((r >> 8) % 40));
  }
  return lengths;
}

std::u16string TextOf(const std::vector<int32_t>& lengths) {
  std::u16string t;
  for (size_t i = 0; i < lengths.size(); ++i) {
    if (i > 0)
      t += u"\r\n";
    t.append(static_cast<size_t>(lengths[i]), static_cast<char16_t>(u'a' + i % 26));
  }
  return t;
}

// Checks the first character, the CR and the LF of every paragraph, each on a
// fresh navigator.
void ExpectEveryParagraphLocated(TParagraphsList& store, const std::vector<int32_t>& lengths, size_t step = 1) {
  int64_t start = 0;
  size_t failures = 0;
  for (size_t i = 0; i < lengths.size(); ++i) {
    if (i % step == 0 || lengths[i] > 1000 || i + 1 == lengths.size()) {
      for (int32_t off : {0, lengths[i] / 2, lengths[i], lengths[i] + 1}) {
        if (i + 1 == lengths.size() && off > lengths[i])
          continue;
        TZarvNavigator nav(&store);
        nav.SetPos(static_cast<int32_t>(start + off));
        const Where got = At(nav);
        if (!(got == Where{static_cast<int32_t>(i), off}) && ++failures <= 5)
          ADD_FAILURE() << "position " << start + off << ": " << got << ", expected (" << i << ", " << off << ")";
      }
    }
    start += lengths[i] + 2;
  }
  EXPECT_EQ(failures, 0u);
}

TEST(NavigatorLocation, FindsEveryParagraphOfAnUnevenTextOfMoreThan32768Paragraphs) {
  const std::vector<int32_t> lengths = UnevenLengths(70'000, 7, 3000);
  auto store = MakeStore(TextOf(lengths));
  ASSERT_EQ(store->Count(), 70'000);
  ExpectEveryParagraphLocated(*store, lengths);
}

TEST(NavigatorLocation, FindsParagraphsInTextsLongerThan2Pow24Characters) {
  constexpr int32_t kHuge = (1 << 24) + 12'345;
  // One huge paragraph first, in the middle and last, among 40 000 short ones.
  for (int where : {0, 1, 2}) {
    std::vector<int32_t> lengths = UnevenLengths(40'000, 11 + where, 200);
    lengths.insert(lengths.begin() + (where == 0 ? 0 : where == 1 ? 20'000 : 40'000), kHuge);
    auto store = MakeStore(TextOf(lengths));
    ASSERT_GT(store->fTextLen, 1 << 24);
    SCOPED_TRACE("huge paragraph at " + std::to_string(where));
    ExpectEveryParagraphLocated(*store, lengths, 7);
    TZarvNavigator nav(store.get());
    nav.SetPos(store->fTextLen);
    EXPECT_EQ(At(nav), (Where{40'000, lengths.back()}));
  }
}

// ---- Construction and registration ------------------------------------------------------------

TEST(NavigatorRegistration, AnObjectThatIsNotAControlIsRefused) {
  QObject plain;
  QWidget widget;
  for (QObject* o : {&plain, static_cast<QObject*>(&widget)}) {
    try {
      TZarvNavigator nav(o);
      ADD_FAILURE() << "accepted a " << o->metaObject()->className();
    } catch (const EZarvError& e) {
      EXPECT_EQ(Utf8(e.message()), "Internal error: component is not a TZarvMemo");
    }
  }
  TZarvNavigator detached(static_cast<QObject*>(nullptr));
  EXPECT_EQ(detached.Memo(), nullptr);
  EXPECT_EQ(detached.List(), nullptr);
  EXPECT_EQ(detached.GetPos(), 0);
}

TEST(NavigatorRegistration, NavigatorsOnAControlRegisterAndUnregisterThemselves) {
  TZarvMemo memo;
  memo.SetTextBuf(QStringLiteral("text"));
  const size_t before = memo.Navigators().size();
  auto a = std::make_unique<TZarvNavigator>(&memo);
  auto b = std::make_unique<TZarvNavigator>(&memo);
  ASSERT_EQ(memo.Navigators().size(), before + 2);
  EXPECT_EQ(memo.Navigators()[before], a.get());
  EXPECT_EQ(a->Memo(), static_cast<TZarvMemoHost*>(&memo));
  EXPECT_EQ(a->List(), &memo.Paragraphs());
  a.reset();
  ASSERT_EQ(memo.Navigators().size(), before + 1);
  EXPECT_EQ(memo.Navigators()[before], b.get());

  // An attached scratch navigator reads the control but is not in its list.
  TZarvNavigator scratch;
  scratch.AttachMemo(&memo);
  EXPECT_EQ(memo.Navigators().size(), before + 1);
  scratch.SetPos(2);
  EXPECT_EQ(scratch.GetText(), u'x');
  scratch.AttachMemo(nullptr);
}

TEST(NavigatorRegistration, OnFreeIsCalledWithTheNavigatorWhenItIsDestroyed) {
  // Navigators are recorded by address value: they are gone when compared.
  std::vector<uintptr_t> freed;
  auto onFree = [&freed](TZarvNavigator& sender) { freed.push_back(reinterpret_cast<uintptr_t>(&sender)); };
  auto store = MakeStore(u"x");
  auto own = std::make_unique<TZarvNavigator>(store.get());
  own->fOnFree = onFree;
  const uintptr_t ownId = reinterpret_cast<uintptr_t>(own.get());
  own.reset();
  ASSERT_EQ(freed, std::vector<uintptr_t>{ownId});

  // The control frees the navigators still registered when it goes.
  freed.clear();
  auto memo = std::make_unique<TZarvMemo>();
  std::vector<uintptr_t> ids;
  std::vector<TZarvNavigator*> navs;
  for (int i = 0; i < 3; ++i) {
    navs.push_back(new TZarvNavigator(memo.get())); // owned by the control
    navs.back()->fOnFree = onFree;
    ids.push_back(reinterpret_cast<uintptr_t>(navs.back()));
  }
  delete navs[1]; // freed early: unregistered, not freed again
  ASSERT_EQ(freed, std::vector<uintptr_t>{ids[1]});
  memo.reset();
  std::sort(freed.begin(), freed.end());
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(freed, ids) << "each navigator freed exactly once";
}

} // namespace
} // namespace zarv::test
