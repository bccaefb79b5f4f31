// Update modes and scrolling of the control: the three modes give the same
// layout and highlighting (differential), background slices stay within
// their budget and report progress, the control survives being destroyed
// or reloaded with slices pending, and the scroll bars, the wheel and
// ScrollInView land where they should, on small and on 2-million-paragraph
// texts.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/store/StoreDump.h>

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace zarv;

namespace {

// A C-like text whose block comments cross paragraphs, with lines long
// enough to wrap in a narrow window.
QString CommentedText(int paragraphs, uint32_t seed) {
  std::mt19937 rng(seed);
  const QString pieces[] = {QStringLiteral("int x = 1;"),         QStringLiteral("/* opens a comment"),
                            QStringLiteral("still inside */ y;"), QStringLiteral("// to the end"),
                            QStringLiteral("while (a) b();"),     QStringLiteral("\"str /* not */ ing\"")};
  QString s;
  for (int p = 0; p < paragraphs; ++p) {
    if (p > 0)
      s += QStringLiteral("\r\n");
    const int n = int(rng() % 9);
    for (int i = 0; i < n; ++i)
      s += pieces[rng() % std::size(pieces)] + QLatin1Char(' ');
  }
  return s;
}

void SetUpKeys(TZarvMemo& m) {
  m.Keywords().AddKeyWord(QStringLiteral("while"), woMatchCase | woWholeWordsOnly, fsBold, 1, 0, clNone, clBlue);
  m.StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, fsItalic, 2, 0, clNone,
                                    clGreen, false);
  m.StartStopKeys().AddStartStopKey(QStringLiteral("//"), QString(), woMatchCase, fsItalic, 3, 0, clNone, clGreen,
                                    true);
  m.StartStopKeys().AddStartStopKey(QStringLiteral("\""), QStringLiteral("\""), woMatchCase, 0, 4, 0, clNone, clRed,
                                    true);
}

std::unique_ptr<TZarvMemo> MakeMemo(TzvUpdateMode mode, int width = 260, int height = 200) {
  auto m = std::make_unique<TZarvMemo>();
  m->setUpdateMode(mode);
  m->setScrollTime(0);
  SetUpKeys(*m);
  m->resize(width, height);
  m->show();
  return m;
}

// Pumps events until background formatting has finished.
void Settle(TZarvMemo& m) {
  for (int i = 0; i < 100000 && m.getFormatCompleted() < m.GetParCount(); ++i)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// What the layout and highlighting are made of, in every paragraph.
QString Layout(TZarvMemo& m) {
  const TParagraphsList& L = m.Paragraphs();
  QString s = DumpStore(L, TDumpParts(dpText | dpCodes | dpLines));
  for (int32_t p = 0; p < L.Count(); ++p)
    s += QStringLiteral("%1 starts at line %2\n").arg(p).arg(L.Par(p)->StartLine);
  return s + QStringLiteral("lines %1 visible %2\n").arg(L.fTrueLineCount).arg(L.fVisibleLineCount);
}

// A fake clock: every reading is one millisecond later.
struct TFakeClock {
  uint32_t Now = 1000;
  int64_t Reads = 0;
  std::function<uint32_t()> Source() {
    return [this] {
      ++Reads;
      return ++Now;
    };
  }
};

} // namespace

// The same text and edits in the three modes give the same line breaks,
// start lines, counts and style runs as highlighting from scratch; in the
// background mode progress arrives with rising positions and ends at the
// paragraph count.
TEST(ZarvMemoUpdateModes, AllModesAgreeWithAFullFormatAndHighlightFromScratch) {
  const QString text = CommentedText(600, 7);
  auto immediate = MakeMemo(umImmediate), onNeed = MakeMemo(umOnNeed), background = MakeMemo(umBackground);
  std::vector<int32_t> progress;
  background->OnProgress = [&](TZarvMemo& m) { progress.push_back(m.getFormatCompleted()); };
  TFakeClock clock; // slices of 25 readings keep the test's slice count stable
  background->SetTickSource(clock.Source());
  std::mt19937 rng(3);
  for (int round = 0; round < 4; ++round) {
    for (TZarvMemo* m : {immediate.get(), onNeed.get(), background.get()}) {
      if (round == 0) {
        m->SetTextBuf(text);
      } else {
        std::mt19937 same(round); // the same edits in every control
        for (int e = 0; e < 5; ++e) {
          const int32_t p = int32_t(same() % m->GetParCount());
          m->setParString(p, e % 2 ? QStringLiteral("/* a new comment") : QStringLiteral("*/ closed"));
        }
      }
    }
    if (round == 2) // a width change re-wraps everything
      for (TZarvMemo* m : {immediate.get(), onNeed.get(), background.get()})
        m->resize(320, 200);
    progress.clear();
    Settle(*background);
    onNeed->getLineString(1 << 30); // touches every line
    onNeed->FormatNow(0, onNeed->GetParCount() - 1);
    ASSERT_EQ(background->getFormatCompleted(), background->GetParCount());
    ASSERT_FALSE(progress.empty()) << "round " << round;
    EXPECT_EQ(progress.back(), background->GetParCount()) << "the last notice says done";
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end())) << "round " << round;
    // Highlighting from scratch in a fresh control with the same text and width.
    auto scratch = MakeMemo(umImmediate, immediate->width(), immediate->height());
    scratch->SetTextBuf(immediate->GetTextContent());
    QApplication::processEvents(); // the scroll bar shows
    HighlightAll(*scratch);
    scratch->Reformat();
    const QString want = Layout(*scratch);
    for (TZarvMemo* m : {immediate.get(), onNeed.get(), background.get()}) {
      ASSERT_NO_THROW(m->CheckIntegrity());
      const QString diff = FirstDifference(want, Layout(*m));
      ASSERT_TRUE(diff.isEmpty()) << "round " << round << " mode " << int(m->getUpdateMode()) << "\n"
                                  << diff.toStdString();
    }
  }
  EXPECT_GT(background->SliceCount(), 4);
}

// A slice checks its budget before each paragraph: with a clock that moves
// one millisecond a reading, no slice wraps more than 25 paragraphs, and the
// text takes many slices.
TEST(ZarvMemoUpdateModes, BackgroundSlicesStayWithinTheirBudget) {
  auto m = MakeMemo(umBackground);
  TFakeClock clock;
  m->SetTickSource(clock.Source());
  m->SetTextBuf(CommentedText(2000, 11));
  const int64_t wrapsBefore = m->WrapCount();
  Settle(*m);
  EXPECT_LE(m->LargestSlice(), 25);
  EXPECT_GE(m->SliceCount(), int32_t((m->WrapCount() - wrapsBefore) / 25));
  EXPECT_EQ(m->getFormatCompleted(), m->GetParCount());
}

// Loading new text, changing the font and switching modes while slices are
// pending leave a consistent control; destroying it with slices queued
// touches nothing freed (the sanitizer build checks).
TEST(ZarvMemoUpdateModes, PendingSlicesSurviveReloadsFontChangesModeSwitchesAndDestruction) {
  auto m = MakeMemo(umBackground);
  m->SetTextBuf(CommentedText(3000, 5));
  QApplication::processEvents(QEventLoop::AllEvents, 1);
  m->SetTextBuf(CommentedText(500, 6)); // a smaller text while slices are queued
  QApplication::processEvents(QEventLoop::AllEvents, 1);
  m->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 14));
  m->resize(0, 0);
  QApplication::processEvents();
  m->resize(300, 200);
  Settle(*m);
  ASSERT_NO_THROW(m->CheckIntegrity());
  EXPECT_EQ(m->getFormatCompleted(), m->GetParCount());
  m->SetTextBuf(CommentedText(3000, 8));
  m->setUpdateMode(umImmediate); // the rest is formatted at once
  EXPECT_EQ(m->getFormatCompleted(), m->GetParCount());
  m->setUpdateMode(umBackground);
  m->Reformat();
  m.reset(); // slices still asked for
  QApplication::processEvents();
}

// ---- Scrolling ----------------------------------------------------------------------------------

namespace {

std::unique_ptr<TZarvMemo> LinesMemo(int lines, int lineHeight = 20) {
  auto m = std::make_unique<TZarvMemo>();
  m->setUpdateMode(umImmediate);
  m->setWordWrap(false);
  m->setScrollTime(0);
  m->setScrollBars(ssBoth);
  m->setLineHeight(lineHeight);
  m->resize(300, 10 * lineHeight + 40);
  m->show();
  QString s;
  for (int i = 0; i < lines; ++i)
    s += QStringLiteral("line %1%2").arg(i).arg(i + 1 < lines ? QStringLiteral("\r\n") : QString());
  m->SetTextBuf(s);
  return m;
}

} // namespace

// Every bar request, through the bar itself, against the positions it must
// give; the bar's own range stays within 32 760 units.
TEST(ZarvMemoScroll, BarRequestsLandOnTheirLines) {
  auto m = LinesMemo(40000);
  const int32_t lh = 20, h = m->viewport()->height(), shown = m->DisplayLines();
  EXPECT_EQ(m->VScrollFact(), 25) << "800 000 pixels in units of 25";
  EXPECT_LE(m->verticalScrollBar()->maximum(), 32760);
  QScrollBar* v = m->verticalScrollBar();
  struct Step {
    const char* name;
    std::function<void()> act;
    int64_t top;
  };
  const std::vector<Step> steps = {
      {"line down", [&] { v->triggerAction(QAbstractSlider::SliderSingleStepAdd); }, lh},
      {"page down", [&] { v->triggerAction(QAbstractSlider::SliderPageStepAdd); }, (1 + shown - 1) * lh},
      {"fine offset", [&] { m->setTopOrigin(m->getTopOrigin() + 7); }, shown * lh + 7},
      {"line up to the top line's start", [&] { v->triggerAction(QAbstractSlider::SliderSingleStepSub); }, shown * lh},
      {"line up a whole line", [&] { v->triggerAction(QAbstractSlider::SliderSingleStepSub); }, (shown - 1) * lh},
      {"page up", [&] { v->triggerAction(QAbstractSlider::SliderPageStepSub); }, lh},
      {"to the bottom", [&] { v->triggerAction(QAbstractSlider::SliderToMaximum); }, int64_t(40000 - shown + 2) * lh},
      {"to the top", [&] { v->triggerAction(QAbstractSlider::SliderToMinimum); }, 0},
      {"thumb", [&] { v->setSliderPosition(1000); }, 1000 * 25},
      {"past the end is clamped", [&] { m->setTopOrigin(INT32_MAX); }, int64_t(40000 - 1) * lh},
  };
  v->setTracking(true);
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(m->getTopOrigin(), s.top) << s.name;
    EXPECT_EQ(v->value(), std::min(m->getTopOrigin() / 25, v->maximum())) << s.name << ": the bar shows the view";
  }
  (void)h;
  // With whole lines only, the thumb leaves a whole line at the top.
  m->setOptions(m->getOptions() | zvoNoFineScroll);
  v->setSliderPosition(1001);
  EXPECT_EQ(m->getTopOrigin() % lh, 0);
  EXPECT_EQ(m->getTopOrigin(), 1001 * 25 / lh * lh);
  // Folded text: the bottom counts visible lines only.
  m->setTopOrigin(0);
  ASSERT_TRUE(m->MakeCollapsibleBlock(10, 29999));
  ASSERT_TRUE(m->CollapseBlock(10, 1));
  v->triggerAction(QAbstractSlider::SliderToMaximum);
  const int32_t visible = m->Paragraphs().fVisibleLineCount;
  EXPECT_EQ(visible, 40000 - 29999 + 10);
  EXPECT_EQ(m->getTopOrigin(), int64_t(visible - shown + 2) * lh);
}

TEST(ZarvMemoScroll, HorizontalRequestsStayWithinTheWidestLine) {
  auto m = LinesMemo(50);
  m->setParString(3, QString(400, QLatin1Char('w')));
  const int32_t w = m->viewport()->width();
  const int32_t right = m->fMaxLineWidth - w + m->getLeftMargin() + m->getRightMargin() + 2;
  ASSERT_GT(right, w);
  m->HScroll(SB_LINERIGHT);
  EXPECT_EQ(m->getDisplayLeft(), w / 20 + 1);
  m->HScroll(SB_PAGERIGHT);
  EXPECT_EQ(m->getDisplayLeft(), w / 20 + 1 + w - w / 20);
  m->HScroll(SB_LINELEFT);
  EXPECT_EQ(m->getDisplayLeft(), w - w / 20);
  m->HScroll(SB_RIGHT);
  EXPECT_EQ(m->getDisplayLeft(), right);
  m->HScroll(SB_PAGERIGHT);
  EXPECT_EQ(m->getDisplayLeft(), right) << "no further than the widest line";
  m->HScroll(SB_PAGELEFT);
  m->HScroll(SB_LEFT);
  EXPECT_EQ(m->getDisplayLeft(), 0);
  m->setDisplayLeft(-5);
  EXPECT_EQ(m->getDisplayLeft(), 0);
}

// 120 a notch, MouseWheelFactor lines a notch, the remainder kept for the
// next event; the wheel never leaves the text.
TEST(ZarvMemoScroll, TheWheelScrollsByNotchesAndKeepsTheRemainder) {
  auto m = LinesMemo(200);
  m->setMouseWheelFactor(3);
  const int32_t lh = 20;
  auto wheel = [&](int dy) {
    QWheelEvent e(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(m->viewport(), &e);
  };
  m->setTopLine(50);
  wheel(240);
  EXPECT_EQ(m->getTopOrigin(), 44 * lh) << "two notches of three lines up";
  wheel(60);
  EXPECT_EQ(m->getTopOrigin(), 43 * lh) << "half a notch of three lines: one line, half a line kept";
  wheel(60);
  EXPECT_EQ(m->getTopOrigin(), 41 * lh) << "the kept half completes the rest";
  wheel(-120 * 100);
  EXPECT_EQ(m->getTopOrigin(), (200 * lh - m->viewport()->height() + 3)) << "stops at the end of the text";
  wheel(120 * 1000);
  EXPECT_EQ(m->getTopOrigin(), 0);
}

// After random caret moves (word wrap on and off, folds), ScrollInView
// leaves the caret's line inside the window.
TEST(ZarvMemoScroll, ScrollInViewShowsTheCaret) {
  std::mt19937 rng(21);
  for (bool wrap : {false, true}) {
    auto m = MakeMemo(umBackground, 240, 160);
    m->setWordWrap(wrap);
    m->SetTextBuf(CommentedText(3000, 9) + QString(300, QLatin1Char('x')));
    m->MakeCollapsibleBlock(100, 200);
    m->CollapseBlock(100, 1);
    for (int i = 0; i < 60; ++i) {
      if (i % 10 == 9)
        QApplication::processEvents(QEventLoop::AllEvents, 2);
      m->setSelStart(int32_t(rng() % uint32_t(m->getCharCount() + 1)));
      m->ScrollInView();
      const int32_t y = m->CaretY(), x = m->CaretX();
      ASSERT_GE(y, 0) << "step " << i;
      ASSERT_LE(y + m->getLineHeight(), m->viewport()->height()) << "step " << i;
      if (!wrap) {
        ASSERT_GE(x, 0) << "step " << i;
        ASSERT_LT(x, m->viewport()->width()) << "step " << i;
      }
      ASSERT_NO_THROW(m->CheckIntegrity());
    }
  }
}

// With ScrollTime set a page move is animated (many clock readings, one
// notice); a repeat within 200 ms jumps at once; both end exactly.
TEST(ZarvMemoScroll, PageMovesAnimateUnlessRepeatedQuickly) {
  auto m = LinesMemo(500);
  TFakeClock clock;
  m->SetTickSource(clock.Source());
  m->setScrollTime(300);
  int notices = 0;
  m->OnVScroll = [&](TZarvMemo&) { ++notices; };
  const int32_t shown = m->DisplayLines();
  m->VScroll(SB_PAGEDOWN);
  const int64_t animatedReads = clock.Reads;
  EXPECT_EQ(m->getTopOrigin(), (shown - 1) * 20);
  EXPECT_EQ(notices, 1);
  clock.Reads = 0;
  m->VScroll(SB_PAGEDOWN);
  EXPECT_EQ(m->getTopOrigin(), 2 * (shown - 1) * 20);
  EXPECT_GT(animatedReads, 10);
  EXPECT_LT(clock.Reads, 10) << "a repeat within 200 ms is not animated";
  clock.Now += 1000;
  m->setScrollTime(-50); // constant speed
  m->VScroll(SB_PAGEUP);
  EXPECT_EQ(m->getTopOrigin(), (2 * (shown - 1) - shown + 2) * 20);
}

// Two million paragraphs, formatted only as far as shown: the bars stay in
// 32-bit ranges and the thumb and the ends reach the right lines.
TEST(ZarvMemoScroll, TwoMillionParagraphsScrollByThumbAndEnds) {
  auto m = std::make_unique<TZarvMemo>();
  m->setScrollTime(0);
  m->resize(400, 300);
  m->show();
  QString s;
  s.reserve(2000000 * 4);
  for (int i = 0; i < 2000000; ++i)
    s += QStringLiteral("ab\r\n");
  m->SetTextBuf(s);
  const int32_t lh = m->getLineHeight(), shown = m->DisplayLines();
  const int32_t lines = m->Paragraphs().fVisibleLineCount;
  ASSERT_EQ(lines, 2000001);
  QScrollBar* v = m->verticalScrollBar();
  EXPECT_LE(v->maximum(), 32760);
  v->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(m->getTopLine(), lines - shown + 2);
  v->setSliderPosition(v->maximum() / 2);
  EXPECT_EQ(m->getTopOrigin(), int64_t(v->maximum() / 2) * m->VScrollFact());
  EXPECT_NEAR(double(m->getTopLine()) / lines, 0.5 * v->maximum() * m->VScrollFact() / (double(lines) * lh), 0.001);
  m->setSelStart(m->getCharCount());
  m->ScrollInView();
  EXPECT_LE(m->CaretY() + lh, m->viewport()->height());
  EXPECT_GE(m->CaretY(), 0);
  EXPECT_EQ(m->getSelLine(), lines - 1);
  ASSERT_NO_THROW(m->CheckIntegrity());
}
