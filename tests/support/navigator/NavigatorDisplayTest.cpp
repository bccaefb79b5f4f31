// Tests of the pixel coordinates of positions on a real control with a real
// font: the x of every character boundary and the boundary hit by an x must
// be exact inverses on lines with tabs, style runs, static codes,
// justification, every alignment and horizontal scroll; tabs, styles and
// alignment must move x the way the layout says; and y, whole points and
// character widths must agree with the visible line numbering.
//
// Pixel values depend on the font's metrics, so the tests assert relations
// between measurements rather than constants.
#include "PinnedFont.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/layout/LineFormat.h>
#include <ZarvMemo/support/navigator/LinesList.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace zarv::test {
namespace {

DynInfoRec StyleCode(int32_t offset, uint8_t style) {
  DynInfoRec d;
  d.DynOffset = offset;
  d.DynStyle = style;
  return d;
}

// Members are public: the table-driven cases set the fixture up through a
// reference to it.
class NavigatorDisplay : public ::testing::Test {
public:
  void SetUp() override {
    ZARV_REQUIRE_FONT("DejaVu Sans");
    ZARV_REQUIRE_FONT("DejaVu Sans Mono");
    memo.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    memo.setAltFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));
    memo.resize(600, 300);
    memo.show(); // lays the viewport out: the text width is the viewport's
    ASSERT_GT(memo.ClientWidth(), 500);
    ASSERT_GT(memo.fSpaceWidth, 1);
    nav = std::make_unique<TZarvNavigator>(&memo);
  }

  void SetText(const QString& text) {
    memo.SetTextBuf(text);
    nav->SetPos(0);
  }

  TParagraphsList& Store() { return memo.Paragraphs(); }
  ParInfo& Par(int32_t p) { return *Store().getParPointers(p); }

  // Edits display line `line` of paragraph p in place.
  void EditLine(int32_t p, int32_t line, const std::function<void(LineInfo&)>& edit) {
    TLinesList lines(&Par(p));
    LineInfo li = lines.GetItem(line);
    edit(li);
    lines.SetItem(line, li);
  }

  // Wraps paragraph p once, at offset `at`.
  void WrapAt(int32_t p, int32_t at) {
    TLinesList lines(&Par(p));
    LineInfo first = lines.GetItem(0), second = first;
    first.Stop = at;
    second.Start = at;
    second.StartDynNb = 0;
    for (const DynInfoRec& d : GetDynArray(Par(p)))
      second.StartDynNb += d.DynOffset < at ? 1 : 0;
    lines.SetCount(2);
    lines.SetItem(0, first);
    lines.SetItem(1, second);
    int32_t visible = 0, total = 0;
    for (int32_t i = 0; i < Store().Count(); ++i) {
      Par(i).StartLine = visible;
      total += GetLineCount(Par(i));
      visible += (Par(i).ParState & zvpHidden) ? 0 : GetLineCount(Par(i));
    }
    Store().fTrueLineCount = total;
    Store().fVisibleLineCount = visible;
    ASSERT_TRUE(Store().CheckIntegrity().isEmpty()) << Store().CheckIntegrity().toStdString();
  }

  // Puts the navigator on column c of display line `line` of paragraph p.
  void Place(int32_t p, int32_t line, int32_t c) {
    nav->setParNb(p);
    nav->SetParLine(line);
    nav->SetColNb(c);
  }

  LineInfo Line(int32_t p, int32_t line) {
    TLinesList lines(&Par(p));
    return lines.GetItem(line);
  }

  // x of every character boundary of a display line.
  std::vector<int32_t> Xs(int32_t p, int32_t line = 0) {
    const LineInfo li = Line(p, line);
    std::vector<int32_t> xs;
    for (int32_t c = 0; c <= li.Stop - li.Start; ++c) {
      Place(p, line, c);
      xs.push_back(nav->GetDisplayX());
    }
    return xs;
  }

  // The column SetDisplayX picks for x on a display line.
  int32_t Hit(int32_t p, int32_t line, int32_t x) {
    Place(p, line, 0);
    nav->SetDisplayX(x);
    EXPECT_EQ(nav->GetParLine(), line) << "hit-testing stays on its line";
    return nav->GetColNb();
  }

  TZarvMemo memo;
  std::unique_ptr<TZarvNavigator> nav;
};

// The character hit by x, from the boundaries alone: the first character
// that has a width and whose middle lies right of x, else the line end.
int32_t ColumnFromBoundaries(const std::vector<int32_t>& xs, int32_t x) {
  for (size_t j = 0; j + 1 < xs.size(); ++j) {
    const int32_t w = xs[j + 1] - xs[j];
    if (w > 0 && xs[j] + w / 2 > x)
      return static_cast<int32_t>(j);
  }
  return static_cast<int32_t>(xs.size()) - 1;
}

struct DisplayCase {
  const char* name;
  QString text;
  std::function<void(NavigatorDisplay&)> setup;
  int32_t line;
};

TEST_F(NavigatorDisplay, GetDisplayXAndSetDisplayXAreInverseOnEveryBoundary) {
  const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog.");
  const QString tabs = QStringLiteral("a\tbc\t\tdef\tg h\ti");
  const std::vector<DisplayCase> cases = {
      {"plain text", sentence, {}, 0},
      {"tabs", tabs, {}, 0},
      {"tabs at fixed pixel stops", tabs, [](NavigatorDisplay& t) { t.memo.setTabStops(-37); }, 0},
      {"tabs without width", tabs, [](NavigatorDisplay& t) { t.memo.setTabStops(0); }, 0},
      {"style runs", QStringLiteral("plain bold italic mono back\tand more"),
       [](NavigatorDisplay& t) {
         SetParDyns(t.Par(0), {StyleCode(0, dsHasAttrib | fsItalic), StyleCode(6, dsHasAttrib | fsBold),
                               StyleCode(11, dsHasAttrib | fsItalic | fsBold), StyleCode(18, dsHasAttrib | fsAltFont),
                               StyleCode(18, dsHasAttrib | fsAltFont | fsBold), StyleCode(23, 0),
                               StyleCode(28, dsHasAttrib | fsUnderline | fsHighlight)});
       },
       0},
      {"static codes",
       QStringLiteral("ab\x02"
                      "cd\x01"
                      "ef\x03"
                      "gh\x04"
                      "ij\x15"
                      "kl\x02\x01"
                      "mn\t\x02o"),
       [](NavigatorDisplay& t) { t.memo.setStaticFormat(true); }, 0},
      {"justified", QStringLiteral("one two  three four five\tsix"),
       [](NavigatorDisplay& t) {
         t.memo.setJustified(true);
         t.EditLine(0, 0, [](LineInfo& li) {
           li.JustifyStart = 4; // the first blank keeps its width
           li.Spaces = 4;
           li.LineWidth = 351;
         });
       },
       0},
      {"right aligned", sentence,
       [](NavigatorDisplay& t) {
         t.memo.setAlignment(taRightJustify);
         t.EditLine(0, 0, [](LineInfo& li) { li.LineWidth = 200; });
       },
       0},
      {"centred", tabs,
       [](NavigatorDisplay& t) {
         t.memo.setAlignment(taCenter);
         t.EditLine(0, 0, [](LineInfo& li) { li.LineWidth = 201; });
       },
       0},
      {"scrolled horizontally", tabs, [](NavigatorDisplay& t) { t.memo.fDisplayLeft = 37; }, 0},
      {"second line of a wrapped paragraph",
       QStringLiteral("ab\x02"
                      "cdefgh ij\tkl mn"),
       [](NavigatorDisplay& t) {
         t.memo.setStaticFormat(true);
         SetParDyns(t.Par(0), {StyleCode(1, dsHasAttrib | fsAltFont), StyleCode(12, dsHasAttrib | fsItalic)});
         t.WrapAt(0, 6);
         t.EditLine(0, 1, [](LineInfo& li) { li.StartAttrib = fsBold; });
         t.memo.fDisplayLeft = -5;
       },
       1},
  };
  for (const DisplayCase& c : cases) {
    SCOPED_TRACE(c.name);
    memo.setTabStops(8);
    memo.setJustified(false);
    memo.setAlignment(taLeftJustify);
    memo.setStaticFormat(false);
    memo.fDisplayLeft = 0;
    SetText(c.text);
    if (c.setup)
      c.setup(*this);
    if (HasFatalFailure())
      return;
    const std::vector<int32_t> xs = Xs(0, c.line);
    const int32_t n = static_cast<int32_t>(xs.size()) - 1;
    for (int32_t k = 0; k < n; ++k)
      ASSERT_LE(xs[static_cast<size_t>(k)], xs[static_cast<size_t>(k) + 1]) << "x decreases after column " << k;
    ASSERT_GT(xs.back(), xs.front() + 40) << "the line has a width";
    // Every boundary maps back to itself; a boundary before a character
    // without width maps to the next boundary at the same x.
    for (int32_t k = 0; k <= n; ++k) {
      const int32_t col = Hit(0, c.line, xs[static_cast<size_t>(k)]);
      const int32_t w = k < n ? xs[static_cast<size_t>(k) + 1] - xs[static_cast<size_t>(k)] : 2;
      if (w >= 2) {
        EXPECT_EQ(col, k) << "boundary " << k << " at x " << xs[static_cast<size_t>(k)];
      } else if (w == 0) {
        EXPECT_EQ(xs[static_cast<size_t>(col)], xs[static_cast<size_t>(k)]) << "boundary " << k;
      }
    }
    // Every x in and around the line hits the character whose middle
    // follows it.
    for (int32_t x = xs.front() - 4; x <= xs.back() + 4; ++x)
      ASSERT_EQ(Hit(0, c.line, x), ColumnFromBoundaries(xs, x)) << "x " << x;
  }
}

TEST_F(NavigatorDisplay, TabsLandOnMultiplesOfTheTabWidthFromTheLineStart) {
  const QString text = QStringLiteral("a\tbc\t\tdefghijklm\tn\t");
  for (int32_t stops : {8, 4, 1, -45}) {
    memo.setTabStops(stops);
    for (int32_t left : {0, 13}) {
      memo.fDisplayLeft = left;
      SetText(text);
      const int32_t tabWidth = stops > 0 ? stops * memo.fSpaceWidth : -stops;
      const std::vector<int32_t> xs = Xs(0);
      for (int32_t k = 0; k < text.size(); ++k) {
        if (text[k] != u'\t')
          continue;
        const int32_t after = xs[static_cast<size_t>(k) + 1] - xs.front();
        EXPECT_EQ(after % tabWidth, 0) << "tab at " << k << ", tab stops " << stops;
        EXPECT_GT(xs[static_cast<size_t>(k) + 1], xs[static_cast<size_t>(k)]) << "tab at " << k;
        EXPECT_LE(xs[static_cast<size_t>(k) + 1] - xs[static_cast<size_t>(k)], tabWidth) << "tab at " << k;
      }
      EXPECT_EQ(xs.front(), memo.fLeftMargin - left);
    }
  }
  memo.setTabStops(0);
  SetText(text);
  const std::vector<int32_t> xs = Xs(0);
  EXPECT_EQ(xs[1], xs[2]) << "with no tab stops a tab has no width";
}

TEST_F(NavigatorDisplay, StyleRunsChangeWidthsOnlyWhereTheirFontDoes) {
  memo.setStaticFormat(true);
  SetText(QStringLiteral("wwwwwiiiii\r\nwwwwwiiiii\r\n\x02wwwww\x02wwwww\r\n\x03wwwww\x04iiiii"));
  const std::vector<int32_t> plain = Xs(0);
  auto span = [](const std::vector<int32_t>& xs, int a, int b) {
    return xs[static_cast<size_t>(b)] - xs[static_cast<size_t>(a)];
  };

  // Bold from 0, the default again from 5 (a code without attributes), then
  // the alternative monospaced font, whose i is wider.
  SetParDyns(Par(1), {StyleCode(0, dsHasAttrib | fsBold), StyleCode(5, 0), StyleCode(7, dsHasAttrib | fsAltFont)});
  const std::vector<int32_t> styled = Xs(1);
  EXPECT_GT(span(styled, 0, 5), span(plain, 0, 5)) << "bold w is wider";
  EXPECT_EQ(span(styled, 5, 7), span(plain, 5, 7)) << "the default style is back";
  EXPECT_GT(span(styled, 7, 10), span(plain, 7, 10)) << "monospaced i is wider";

  // Static codes take no width; bold toggles on and off.
  const std::vector<int32_t> codes = Xs(2);
  EXPECT_EQ(codes[0], codes[1]);
  EXPECT_EQ(codes[6], codes[7]);
  EXPECT_GT(span(codes, 1, 6), span(codes, 7, 12));
  EXPECT_EQ(span(codes, 7, 12), span(plain, 0, 5));

  // The highlight code changes no width; the alternative font code does.
  const std::vector<int32_t> extra = Xs(3);
  EXPECT_EQ(span(extra, 1, 6), span(plain, 0, 5));
  EXPECT_GT(span(extra, 7, 12), span(plain, 5, 10));

  // A wrapped line starts with the static styles recorded for it.
  SetText(QStringLiteral("wwwww\r\nwwwwwwwwww"));
  WrapAt(1, 5);
  EditLine(1, 1, [](LineInfo& li) { li.StartAttrib = fsBold; });
  const std::vector<int32_t> upper = Xs(1, 0), lower = Xs(1, 1), reference = Xs(0);
  EXPECT_EQ(span(upper, 0, 5), span(reference, 0, 5));
  EXPECT_GT(span(lower, 0, 5), span(reference, 0, 5)) << "bold from the line start";
  SetText(QStringLiteral("wwwwwiiiii\r\nwwwwwiiiii\r\n\x02wwwww\x02wwwww"));
  SetParDyns(Par(1), {StyleCode(0, dsHasAttrib | fsBold), StyleCode(5, 0), StyleCode(7, dsHasAttrib | fsAltFont)});

  // A character's own width follows its style too.
  nav->SetPos(Par(1).StartOffset + 1);
  const int32_t boldW = nav->getDisplayWidth();
  nav->SetPos(1);
  const int32_t plainW = nav->getDisplayWidth();
  EXPECT_GT(boldW, plainW);
  EXPECT_GT(plainW, 0);
  nav->SetPos(Par(2).StartOffset + 3);
  EXPECT_GT(nav->getDisplayWidth(), plainW) << "bold from the static code before it";
  nav->SetPos(Par(2).StartOffset);
  EXPECT_EQ(nav->getDisplayWidth(), 0) << "a static code has no width";
  nav->SetPos(10);
  EXPECT_EQ(nav->getDisplayWidth(), 0) << "a paragraph end has no width";
}

TEST_F(NavigatorDisplay, AlignmentPlacesTheLineBetweenTheMargins) {
  const QString text = QStringLiteral("centre\tme please");
  SetText(text);
  memo.setLeftMargin(11);
  memo.setRightMargin(23);
  const std::vector<int32_t> left = Xs(0);
  const int32_t width = left.back() - left.front();
  EXPECT_EQ(left.front(), 11);
  EditLine(0, 0, [width](LineInfo& li) { li.LineWidth = width; });

  memo.setAlignment(taRightJustify);
  const std::vector<int32_t> right = Xs(0);
  EXPECT_EQ(right.back(), memo.ClientWidth() - 23) << "a right-aligned line ends at the right margin";
  memo.setAlignment(taCenter);
  const std::vector<int32_t> centre = Xs(0);
  const int32_t gapLeft = centre.front() - 11, gapRight = memo.ClientWidth() - 23 - centre.back();
  EXPECT_LE(std::abs(gapLeft - gapRight), 1) << "a centred line has equal gaps";
  memo.fDisplayLeft = 29;
  const std::vector<int32_t> scrolled = Xs(0);
  for (size_t k = 0; k < centre.size(); ++k)
    EXPECT_EQ(scrolled[k], centre[k] - 29) << "scrolling moves every boundary";
  // Relative positions inside the line do not depend on the alignment,
  // except that tabs are measured from the line start.
  for (size_t k = 0; k < left.size(); ++k) {
    EXPECT_EQ(right[k] - right.front(), left[k] - left.front());
    EXPECT_EQ(centre[k] - centre.front(), left[k] - left.front());
  }
}

TEST_F(NavigatorDisplay, JustifiedLinesSpreadTheFreeWidthOverTheirBlanks) {
  // Five blanks from offset 5 on (at 7, 11, 17, 21 and 28); the one at 4
  // lies before the justification start.
  const QString text = QStringLiteral("lead in the words are spread out");
  const int32_t blanks[] = {7, 11, 17, 21, 28};
  constexpr int32_t kSpaces = 5;
  SetText(text);
  memo.setJustified(true);
  memo.setAlignment(taRightJustify); // ignored by justified lines
  const int32_t textWidth = memo.ClientWidth() - memo.fLeftMargin - memo.fRightMargin;
  // First with no free width, to learn the natural width of the line
  // measured the justified way.
  EditLine(0, 0, [&](LineInfo& li) {
    li.JustifyStart = 5;
    li.Spaces = kSpaces;
    li.LineWidth = textWidth;
  });
  const std::vector<int32_t> natural = Xs(0);
  ASSERT_LT(natural.back() - natural.front(), textWidth / 2);

  // Each blank gets the share E div 5; the E mod 5 extra pixels go one by
  // one to the blanks where a running remainder, starting half-way, fills up.
  const std::vector<int32_t> extraPixelsAt[kSpaces] = {{}, {5}, {2, 5}, {2, 3, 5}, {1, 2, 4, 5}};
  constexpr int32_t kShare = 20;
  for (int32_t r = 0; r < kSpaces; ++r) {
    const int32_t free = kShare * kSpaces + r;
    EditLine(0, 0, [&](LineInfo& li) { li.LineWidth = textWidth - free; });
    const std::vector<int32_t> xs = Xs(0);
    EXPECT_EQ(xs.front(), memo.fLeftMargin);
    EXPECT_EQ(xs.back() - natural.back(), free) << "the free width is handed out completely";
    std::vector<int32_t> got;
    for (int32_t k = 0; k < text.size(); ++k) {
      const int32_t extra = (xs[static_cast<size_t>(k) + 1] - xs[static_cast<size_t>(k)]) -
                            (natural[static_cast<size_t>(k) + 1] - natural[static_cast<size_t>(k)]);
      const auto blank = std::find(std::begin(blanks), std::end(blanks), k);
      if (blank == std::end(blanks)) {
        EXPECT_EQ(extra, 0) << "character at " << k;
        continue;
      }
      EXPECT_TRUE(extra == kShare || extra == kShare + 1) << "blank at " << k << " got " << extra;
      if (extra == kShare + 1)
        got.push_back(static_cast<int32_t>(blank - std::begin(blanks)) + 1);
    }
    EXPECT_EQ(got, extraPixelsAt[r]) << "extra pixels for a remainder of " << r;
  }
  // A line whose justification starts at the paragraph end is aligned.
  EditLine(0, 0, [&](LineInfo& li) {
    li.JustifyStart = static_cast<int32_t>(text.size());
    li.LineWidth = 123;
  });
  nav->SetPos(0);
  EXPECT_EQ(nav->GetDisplayX(), memo.ClientWidth() - memo.fRightMargin - 123);
}

TEST_F(NavigatorDisplay, AtAWrapPointTheTwoLinesGiveDifferentXs) {
  SetText(QStringLiteral("first line second line"));
  WrapAt(0, 11);
  const std::vector<int32_t> upper = Xs(0, 0), lower = Xs(0, 1);
  nav->SetPos(11); // belongs to the lower line
  EXPECT_EQ(nav->GetDisplayX(), lower.front());
  EXPECT_EQ(nav->GetDisplayX(), memo.fLeftMargin);
  nav->setParNb(0);
  nav->setParOffset(11); // the end of the upper line
  EXPECT_EQ(nav->GetDisplayX(), upper.back());
  EXPECT_GT(upper.back(), lower.front());
}

TEST_F(NavigatorDisplay, FormattedLinesEndWhereLineFormattingMeasuredThem) {
  // Line formatting and hit-testing measure the same runs: every formatted
  // line ends at its recorded widths, in every alignment.
  memo.setStaticFormat(true);
  SetText(QStringLiteral("Some words\tand tabs, \x02bold\x02 runs and a code run that wraps over\t\tseveral "
                         "lines of this control because it is long enough to need wrapping at least twice   "));
  SetParDyns(Par(0), {StyleCode(20, dsHasAttrib | fsBold), StyleCode(44, dsHasAttrib | fsAltFont), StyleCode(60, 0)});
  int32_t startLine = 0, stopLine = 0, linesDelta = 0, count = 0, space = 0, overhang = 0;
  uint64_t fontState = 0;
  ReformatParP(memo, &memo.Canvas(), true, memo.ClientWidth(), nullptr, 0, startLine, stopLine, true, fontState, space,
               overhang, linesDelta, count);
  ASSERT_GE(count, 3);
  const QString text = ParText(Par(0));
  for (TAlignment a : {taLeftJustify, taRightJustify, taCenter}) {
    memo.setAlignment(a);
    for (int32_t line = 0; line < count; ++line) {
      const LineInfo li = Line(0, line);
      // The visible text of a wrapped line ends before its trailing blanks;
      // the last line of a paragraph counts them.
      int32_t end = li.Stop;
      while (line + 1 < count && end > li.Start && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
      const std::vector<int32_t> xs = Xs(0, line);
      EXPECT_EQ(xs[static_cast<size_t>(end - li.Start)] - xs.front(), li.LineWidth) << "line " << line;
      EXPECT_EQ(xs.back() - xs.front(), li.TotalWidth) << "line " << line;
      if (a == taRightJustify) {
        EXPECT_EQ(xs[static_cast<size_t>(end - li.Start)], memo.ClientWidth() - memo.fRightMargin) << "line " << line;
      }
    }
  }
}

// Hostile sizes and settings: coordinates are computed without overflow
// (the sanitizer build aborts on one), x positions on a line saturate like
// its widths, and hit-testing still finds the line's ends.
TEST_F(NavigatorDisplay, CoordinatesSaturateOnHugeLinesAndExtremeSettings) {
  const auto format = [](NavigatorDisplay& t) {
    int32_t startLine = 0, stopLine = 0, linesDelta = 0, count = 0, space = 0, overhang = 0;
    uint64_t fontState = 0;
    ReformatParP(t.memo, &t.memo.Canvas(), true, t.memo.ClientWidth(), nullptr, 0, startLine, stopLine, true, fontState,
                 space, overhang, linesDelta, count);
  };
  QString manyWords;
  for (int i = 0; i < 16000; ++i)
    manyWords += QStringLiteral("WWWW ");
  QString manyBlanks;
  for (int i = 0; i < 60000; ++i)
    manyBlanks += QStringLiteral("a ");
  struct Case {
    const char* name;
    QString text;
    std::function<void(NavigatorDisplay&)> setup;
    int32_t endX;    // x of the line end; INT32_MIN: not checked
    bool startsLeft; // the line starts left of x = 2^31 - 1, so that x hits its end
  };
  const std::vector<Case> cases = {
      {"a line wider than 2^31 pixels", manyWords,
       [&](NavigatorDisplay& t) {
         QFont f(QStringLiteral("DejaVu Sans"));
         f.setPixelSize(40000);
         t.memo.setFont(f);
         t.memo.setWordWrap(false);
         format(t);
       },
       kMaxPixelWidth + 8, true},
      {"tab stops of -10^9 pixels", QStringLiteral("a\tb\tc\td"),
       [&](NavigatorDisplay& t) {
         t.memo.setTabStops(-1000000000);
         t.memo.setWordWrap(false);
         format(t);
       },
       kMaxPixelWidth + 8, true},
      {"right-aligned, extreme margins and scroll", QStringLiteral("abc\tdef"),
       [](NavigatorDisplay& t) {
         t.memo.setAlignment(taRightJustify);
         t.memo.fRightMargin = INT32_MIN;
         t.memo.fDisplayLeft = INT32_MIN;
         t.memo.fTabStops = INT32_MIN;
         t.EditLine(0, 0, [](LineInfo& li) { li.LineWidth = kMaxPixelWidth; });
       },
       INT32_MAX, false},
      {"centred, extreme margins and scroll", QStringLiteral("abc def"),
       [](NavigatorDisplay& t) {
         t.memo.setAlignment(taCenter);
         t.memo.fLeftMargin = INT32_MAX;
         t.memo.fRightMargin = INT32_MIN;
         t.memo.fDisplayLeft = INT32_MAX;
       },
       INT32_MIN, true},
      {"justified, 60 000 blanks sharing a free width of -50 000", manyBlanks,
       [](NavigatorDisplay& t) {
         t.memo.setWordWrap(false); // one line of 60 000 blanks, as the line record below says
         t.memo.setJustified(true);
         t.EditLine(0, 0, [&](LineInfo& li) {
           li.JustifyStart = 0;
           li.Spaces = 60000;
           li.LineWidth = t.memo.ClientWidth() - 16 + 50000;
         });
       },
       INT32_MIN, true},
      {"justified, free width below -2^31", QStringLiteral("abc def ghi"),
       [](NavigatorDisplay& t) {
         t.memo.setJustified(true);
         t.memo.fLeftMargin = t.memo.fRightMargin = INT32_MAX;
         t.EditLine(0, 0, [](LineInfo& li) {
           li.JustifyStart = 0;
           li.Spaces = 1;
           li.LineWidth = kMaxPixelWidth;
         });
       },
       INT32_MIN, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    memo.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    memo.setWordWrap(true);
    memo.setTabStops(8);
    memo.setLeftMargin(8);
    memo.setRightMargin(8);
    memo.setJustified(false);
    memo.setAlignment(taLeftJustify);
    memo.fDisplayLeft = 0;
    SetText(c.text);
    c.setup(*this);
    const int32_t n = static_cast<int32_t>(c.text.size());
    int32_t last = INT32_MIN;
    for (int32_t k : {0, 1, 2, n / 2, n - 1, n}) {
      Place(0, 0, k);
      const int32_t x = nav->GetDisplayX();
      if (!memo.fJustified) {
        EXPECT_GE(x, last) << "column " << k;
      }
      last = x;
    }
    if (c.endX != INT32_MIN) {
      EXPECT_EQ(last, c.endX);
    }
    EXPECT_EQ(Hit(0, 0, INT32_MIN), 0);
    EXPECT_EQ(Hit(0, 0, INT32_MAX), c.startsLeft ? n : 0);
  }

  // 33 000 lines 65 535 pixels high would pass 2^31: the height set is
  // lowered so that the last line's y still fits...
  QString lines;
  for (int i = 0; i < 33000; ++i)
    lines += QStringLiteral("x\r\n");
  SetText(lines);
  memo.setLineHeight(65535);
  EXPECT_LT(memo.fLineHeight, 65535);
  nav->SetPos(Store().fTextLen);
  const int64_t y = nav->GetDisplayY();
  EXPECT_GT(y, int64_t(INT32_MAX) / 2);
  EXPECT_LT(y, INT32_MAX);
  // ... and a height forced past that saturates instead of wrapping.
  memo.fLineHeight = 65535;
  nav->SetPos(0);
  nav->SetPos(Store().fTextLen);
  EXPECT_EQ(nav->GetDisplayY(), INT32_MAX);
}

// Paragraph 0 wrapped in two lines, paragraphs 2 and 3 hidden.
class NavigatorDisplayLines : public NavigatorDisplay {
protected:
  void SetUp() override {
    NavigatorDisplay::SetUp();
    if (HasFatalFailure() || IsSkipped())
      return;
    SetText(QStringLiteral("wrapped\tparagraph\r\nshort\r\nhidden\r\nhidden too\r\nvisible\r\n\r\nlast one"));
    Par(2).ParState |= zvpHidden;
    Par(3).ParState |= zvpHidden;
    WrapAt(0, 8);
    ASSERT_EQ(Store().fVisibleLineCount, 6);
    memo.fTopOrigin = 7;
    memo.fDisplayLeft = 3;
  }
};

TEST_F(NavigatorDisplayLines, GetDisplayYStepsOneLineHeightPerVisibleLine) {
  const int32_t lh = memo.fLineHeight;
  ASSERT_GT(lh, 1);
  const std::pair<int32_t, int32_t> firsts[] = {{0, 0}, {1, 2}, {2, 3}, {3, 3}, {4, 3}, {5, 4}, {6, 5}};
  for (const auto& [par, line] : firsts) {
    nav->setParNb(par);
    EXPECT_EQ(nav->GetDisplayY(), memo.fLineBase - memo.fTopOrigin + line * lh) << "paragraph " << par;
  }
  nav->SetPos(10); // the lower line of paragraph 0
  EXPECT_EQ(nav->GetDisplayY(), memo.fLineBase - memo.fTopOrigin + lh);
}

TEST_F(NavigatorDisplayLines, SetDisplayYTakesTheVisibleLineUnderThePoint) {
  const int32_t lh = memo.fLineHeight;
  const int32_t textLen = Store().fTextLen;
  const std::pair<int32_t, int32_t> starts[] = {{0, 0}, {1, 8}, {2, 19}, {3, 46}, {4, 55}, {5, 57}};
  for (const auto& [line, pos] : starts) {
    for (int32_t dy : {0, 1, lh / 2, lh - 1}) {
      nav->SetPos(textLen);
      nav->setDisplayY(line * lh - memo.fTopOrigin + dy);
      EXPECT_EQ(nav->GetPos(), pos) << "line " << line << " + " << dy;
      EXPECT_EQ(nav->getVisibleLineNumber(), line);
    }
  }
  nav->setDisplayY(-50);
  EXPECT_EQ(nav->GetPos(), 0) << "above the text: the first line";
  nav->SetPos(5);
  nav->setDisplayY(6 * lh - memo.fTopOrigin);
  EXPECT_EQ(nav->GetPos(), textLen) << "below the last line: the end of the text";
}

TEST_F(NavigatorDisplayLines, SetDisplayPosFindsEveryVisiblePositionFromItsPoint) {
  const int32_t textLen = Store().fTextLen;
  auto other = std::make_unique<TZarvNavigator>(&memo);
  int checked = 0;
  for (int32_t p = 0; p < Store().Count(); ++p) {
    if (Par(p).ParState & zvpHidden)
      continue;
    for (int32_t off = 0; off <= GetParLength(Par(p)); ++off) {
      nav->SetPos(Par(p).StartOffset + off);
      QPoint pt = nav->GetDisplayPos();
      pt.ry() -= memo.fLineBase; // the top of the line
      other->SetPos(0);
      other->SetDisplayPos(pt);
      EXPECT_EQ(other->GetPos(), nav->GetPos()) << "paragraph " << p << " offset " << off;
      ++checked;
    }
  }
  EXPECT_GT(checked, 40);
  nav->SetPos(0);
  nav->SetDisplayPos(QPoint(-100, 1));
  EXPECT_EQ(nav->GetPos(), 0) << "left of the text: the line start";
  nav->SetDisplayPos(QPoint(5000, memo.fLineHeight + 1));
  EXPECT_EQ(nav->GetPos(), Par(0).StartOffset + GetParLength(Par(0))) << "right of the text: the line end";
  nav->SetDisplayPos(QPoint(20, 6 * memo.fLineHeight));
  EXPECT_EQ(nav->GetPos(), textLen) << "below the last line: the end of the text";
}

} // namespace
} // namespace zarv::test
