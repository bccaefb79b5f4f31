// The mouse on a shown control: clicks land on the offset the navigator
// puts at that pixel (differential, scrolled both ways), word, line and
// column-block selections and Shift+click, text drags checked against a
// string model with one undo step each, the auto-scroll choice table and
// its timer, context runs and the pointer's shapes.
#include "PinnedFont.h"
#include "memo/PaintTestSupport.h"

#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

using namespace zarv;
using zarv::test::MakeMemo;

namespace {

// The viewport point of the boundary before offset `pos` (mid-line), and a
// point just inside the character at `pos`.
QPoint PointAt(TZarvMemo& m, int32_t pos, int dx = 0) {
  TZarvNavigator nav(static_cast<QObject*>(&m));
  nav.SetPos(pos);
  const int y = nav.getVisibleLineNumber() * m.getLineHeight() - m.getTopOrigin() + m.getLineHeight() / 2;
  return QPoint(nav.GetDisplayX() + dx, y);
}
QPoint PointIn(TZarvMemo& m, int32_t pos) { return PointAt(m, pos, 2); }

struct Sel {
  int32_t start, stop, caret;
  bool operator==(const Sel&) const = default;
};
Sel SelOf(TZarvMemo& m) {
  const int32_t caret = m.getSelStart(), len = m.getSelLength();
  return len >= 0 ? Sel{caret, caret + len, caret} : Sel{caret + len, caret, caret};
}
std::ostream& operator<<(std::ostream& o, const Sel& s) {
  return o << "[" << s.start << ".." << s.stop << " caret " << s.caret << "]";
}

void Press(TZarvMemo& m, QPoint p, Qt::KeyboardModifiers k = {}) {
  QTest::mousePress(m.viewport(), Qt::LeftButton, k, p);
}
void Move(TZarvMemo& m, QPoint p, Qt::KeyboardModifiers k = {}) {
  QMouseEvent e(QEvent::MouseMove, p, m.viewport()->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, k);
  QApplication::sendEvent(m.viewport(), &e);
}
void Release(TZarvMemo& m, QPoint p, Qt::KeyboardModifiers k = {}) {
  QTest::mouseRelease(m.viewport(), Qt::LeftButton, k, p);
}
void Click(TZarvMemo& m, QPoint p, Qt::KeyboardModifiers k = {}) {
  Press(m, p, k);
  Release(m, p, k);
}
void DoubleClick(TZarvMemo& m, QPoint p) {
  Click(m, p);
  QTest::mouseDClick(m.viewport(), Qt::LeftButton, {}, p);
}

// Three paragraphs: 0..16, 18..31, 33..47.
const QString kText = QStringLiteral("alpha beta gamma\r\ndelta epsilon\r\nzeta eta theta");

} // namespace

TEST(ZarvMemoMouse, ClickAtEveryBoundaryGivesTheNavigatorsOffsetAlsoWhenScrolled) {
  QString text;
  for (int p = 0; p < 40; ++p)
    text += QStringLiteral("%1\tx%2 %3 long line of some width to scroll sideways\r\n")
                .arg(p)
                .arg(QString(p % 7, QLatin1Char('w')))
                .arg(QString(p % 5, QChar(0x00E9)));
  auto m = MakeMemo(text, 400, 200);
  m->setTopOrigin(3 * m->getLineHeight() + 5);
  m->setDisplayLeft(13);
  ASSERT_EQ(m->getDisplayLeft(), 13);
  TZarvNavigator nav(static_cast<QObject*>(m.get()));
  int checked = 0;
  for (int line = 3; line < 3 + m->DisplayLines() - 1; ++line) {
    nav.setVisibleLineNumber(line);
    const int32_t p = nav.GetParNb(), len = m->getParString(p).size();
    for (int32_t o = 0; o <= len; ++o) {
      nav.SetParPos(p, o);
      const QPoint pt = PointAt(*m, nav.GetPos());
      if (pt.x() < 0 || pt.x() >= m->viewport()->width() || pt.y() < 0 || pt.y() >= m->viewport()->height())
        continue;
      Click(*m, pt);
      ASSERT_EQ(SelOf(*m), (Sel{nav.GetPos(), nav.GetPos(), nav.GetPos()})) << "line " << line << " offset " << o;
      ++checked;
    }
  }
  EXPECT_GT(checked, 200);
  // Below the last line: the end of the text.
  auto shortMemo = MakeMemo(kText);
  Click(*shortMemo, QPoint(40, shortMemo->viewport()->height() - 3));
  EXPECT_EQ(shortMemo->getSelStart(), shortMemo->getCharCount());
}

TEST(ZarvMemoMouse, WordLineBlockAndShiftSelections) {
  ZARV_REQUIRE_FONT("DejaVu Sans Mono");
  // Gestures as steps at character offsets (M: in the left margin).
  enum Op { Clk, Dbl, Prs, Mov, Rel };
  struct Step {
    Op op;
    int32_t pos;
    bool margin = false;
    Qt::KeyboardModifiers k = {};
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Sel want;
  };
  const bool M = true;
  const Qt::KeyboardModifiers S = Qt::ShiftModifier;
  const Case cases[] = {
      {"double click selects the word", {{Dbl, 7}, {Rel, 7}}, {6, 10, 6}},
      {"a drag after a double click grows by words", {{Dbl, 7}, {Mov, 26}, {Rel, 26}}, {6, 31, 31}},
      {"... backwards keeping the clicked word", {{Dbl, 7}, {Mov, 2}, {Rel, 2}}, {0, 10, 0}},
      {"a margin click selects the line and its break", {{Clk, 20, M}}, {18, 33, 33}},
      {"the last line has no break", {{Clk, 40, M}}, {33, 47, 47}},
      {"a margin drag selects whole lines upward", {{Prs, 35, M}, {Mov, 3}, {Rel, 3}}, {0, 47, 0}},
      {"a triple click selects the line", {{Dbl, 24}, {Rel, 24}, {Clk, 24}}, {18, 33, 33}},
      {"Shift+click extends from the anchor", {{Clk, 2}, {Clk, 21, false, S}, {Clk, 4, false, S}}, {2, 4, 4}},
      {"a plain drag selects from the press", {{Prs, 40}, {Mov, 12}, {Rel, 12}}, {12, 40, 12}},
  };
  for (const Case& c : cases) {
    auto m = MakeMemo(kText);
    for (const Step& st : c.steps) {
      const QPoint p = st.margin ? QPoint(2, PointAt(*m, st.pos).y()) : PointIn(*m, st.pos);
      st.op == Clk   ? Click(*m, p, st.k)
      : st.op == Dbl ? DoubleClick(*m, p)
      : st.op == Prs ? Press(*m, p, st.k)
      : st.op == Mov ? Move(*m, p, st.k)
                     : Release(*m, p, st.k);
    }
    EXPECT_EQ(SelOf(*m), c.want) << c.name;
    EXPECT_FALSE(m->BlockSelection()) << c.name;
  }

  // A column block: Alt+drag with zvoBlockSelection; the pointer beyond the
  // shorter line's end gives virtual columns.
  auto m = MakeMemo(kText);
  m->setWordWrap(false);
  m->setOptions(m->getOptions() | zvoBlockSelection);
  const int sw = QFontMetrics(m->font()).horizontalAdvance(QLatin1Char(' '));
  Press(*m, PointAt(*m, 1), Qt::AltModifier);
  Move(*m, PointAt(*m, 18 + 13) + QPoint(2 * sw, 0), Qt::AltModifier);
  Release(*m, PointAt(*m, 18 + 13) + QPoint(2 * sw, 0), Qt::AltModifier);
  ASSERT_TRUE(m->BlockSelection());
  EXPECT_EQ(m->GetColumnBlockXY(), QRect(QPoint(1, 0), QPoint(15, 1)));
  EXPECT_EQ(m->ExtraCols(), QStringLiteral("  "));
  EXPECT_EQ(m->SelectedBlockText(), QStringLiteral("lpha beta gamm\r\nelta epsilon"));
  // With word wrap the same gesture makes a stream selection.
  m->setWordWrap(true);
  Press(*m, PointAt(*m, 1), Qt::AltModifier);
  Move(*m, PointAt(*m, 20), Qt::AltModifier);
  Release(*m, PointAt(*m, 20), Qt::AltModifier);
  EXPECT_FALSE(m->BlockSelection());
  EXPECT_EQ(SelOf(*m), (Sel{1, 20, 20}));
  m->CheckIntegrity();
}

TEST(ZarvMemoMouse, PersistentBlocksVirtualColumnsAndWrappedLines) {
  auto m = MakeMemo(kText);
  m->setWordWrap(false);
  m->setOptions(m->getOptions() | zvoPersistentBlocks | zvoKeepColumnPos);
  m->setSelStart(0);
  m->setSelLength(5);
  const int sw = QFontMetrics(m->font()).horizontalAdvance(QLatin1Char(' '));
  // A click moves the caret apart from the kept selection, here beyond the
  // line's end: virtual columns.
  Click(*m, PointAt(*m, 31) + QPoint(3 * sw + 1, 0));
  EXPECT_EQ(m->getSelText(), QStringLiteral("alpha"));
  EXPECT_EQ(m->getSelStart(), 31);
  EXPECT_EQ(m->ExtraCols(), QStringLiteral("   "));
  // Shift+click restarts the selection at the caret.
  Click(*m, PointAt(*m, 40), Qt::ShiftModifier);
  EXPECT_EQ(SelOf(*m), (Sel{31, 40, 40}));
  m->CheckIntegrity();

  // With word wrap a margin click takes one display line, not the paragraph.
  auto w = MakeMemo(QString(30, QLatin1Char('x')).append(QStringLiteral(" ")).repeated(6), 200, 200);
  ASSERT_GT(w->getTotalLineCount(), 3);
  TZarvNavigator a(static_cast<QObject*>(w.get())), b(static_cast<QObject*>(w.get()));
  a.setVisibleLineNumber(1);
  b.setVisibleLineNumber(2);
  Click(*w, QPoint(2, w->getLineHeight() * 3 / 2));
  EXPECT_EQ(SelOf(*w), (Sel{a.GetPos(), b.GetPos(), b.GetPos()}));
}

// Random selections dragged to random places, moved or copied, against a
// string model; each drop is one undo step.
TEST(ZarvMemoMouse, DragAndDropMovesOrCopiesAsOneUndoStep) {
  std::mt19937 rng(7);
  const QString words[] = {QStringLiteral("ab"), QStringLiteral("cde"), QStringLiteral("fghi"), QStringLiteral("j")};
  int dropped = 0;
  for (int round = 0; round < 60; ++round) {
    QString text;
    const int pars = 1 + int(rng() % 4);
    for (int p = 0; p < pars; ++p) {
      if (p)
        text += QStringLiteral("\r\n");
      for (int w = int(rng() % 5) + 1; w > 0; --w)
        text += words[rng() % 4] + QLatin1Char(' ');
    }
    auto m = MakeMemo(text);
    const int32_t n = m->getCharCount();
    // Positions inside paragraphs only (never between CR and LF).
    auto valid = [&](int32_t pos) { return pos == n || (text[pos] != QLatin1Char('\n')); };
    int32_t a = int32_t(rng() % n), b = int32_t(rng() % n);
    if (a > b)
      std::swap(a, b);
    if (a == b || !valid(a) || !valid(b) || text[a] == QLatin1Char('\r'))
      continue;
    int32_t d = int32_t(rng() % (n + 1));
    if (!valid(d) || (d >= a && d <= b))
      continue;
    const bool copy = rng() % 2;
    m->setSelStart(a);
    m->setSelLength(b - a);
    const int undo = m->getUndoCount();
    const QPoint from = PointIn(*m, a), to = PointAt(*m, d);
    const Qt::KeyboardModifiers k = copy ? Qt::ControlModifier : Qt::NoModifier;
    Press(*m, from);
    Move(*m, from + QPoint(0, QApplication::startDragDistance() + 1));
    Move(*m, to, k);
    Release(*m, to, k);
    const QString piece = text.mid(a, b - a);
    QString want = text;
    int32_t at = d;
    if (!copy) {
      want.remove(a, b - a);
      if (d > b)
        at -= b - a;
    }
    want.insert(at, piece);
    ASSERT_EQ(m->GetTextContent(), want) << text.toStdString() << " " << a << ".." << b << " to " << d;
    EXPECT_EQ(SelOf(*m), (Sel{at, at + int32_t(piece.size()), at + int32_t(piece.size())}));
    m->CheckIntegrity();
    ASSERT_EQ(m->getUndoCount(), undo + (copy ? 1 : 2));
    m->Undo();
    EXPECT_EQ(m->GetTextContent(), text);
    m->CheckIntegrity();
    ++dropped;
  }
  EXPECT_GT(dropped, 15);
}

TEST(ZarvMemoMouse, DropInsideTheSelectionOrEscOnlyMoveTheCaret) {
  for (const bool esc : {false, true}) {
    auto m = MakeMemo(kText);
    m->setSelStart(6);
    m->setSelLength(10); // "beta gamma"
    const int undo = m->getUndoCount();
    Press(*m, PointIn(*m, 7));
    Move(*m, PointIn(*m, 7) + QPoint(0, QApplication::startDragDistance() + 1));
    Move(*m, PointAt(*m, 12));
    EXPECT_EQ(m->viewport()->cursor().shape(), Qt::DragMoveCursor);
    if (esc) {
      QTest::keyClick(m.get(), Qt::Key_Escape);
      EXPECT_EQ(m->viewport()->cursor().shape(), Qt::IBeamCursor);
      Move(*m, PointAt(*m, 40)); // ignored until the release
    }
    Release(*m, esc ? PointAt(*m, 40) : PointAt(*m, 12));
    EXPECT_EQ(m->GetTextContent(), kText);
    EXPECT_EQ(m->getUndoCount(), undo);
    EXPECT_EQ(SelOf(*m), (Sel{12, 12, 12})) << (esc ? "esc" : "inside");
    EXPECT_NE(m->viewport()->cursor().shape(), Qt::DragMoveCursor);
    m->CheckIntegrity();
  }
  // A click inside the selection without a drag collapses it there.
  auto m = MakeMemo(kText);
  m->setSelStart(6);
  m->setSelLength(10);
  Click(*m, PointAt(*m, 8));
  EXPECT_EQ(SelOf(*m), (Sel{8, 8, 8}));
}

TEST(ZarvMemoMouse, ExternalDropInsertsAtTheDropPointAsOneUndoStep) {
  auto m = MakeMemo(kText);
  QMimeData mime;
  mime.setText(QStringLiteral("NEW\r\nLINE"));
  const QPoint p = PointAt(*m, 20);
  QDragEnterEvent enter(p, Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(m->viewport(), &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(p), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(m->viewport(), &drop);
  EXPECT_TRUE(drop.isAccepted());
  QString want = kText;
  want.insert(20, mime.text());
  EXPECT_EQ(m->GetTextContent(), want);
  EXPECT_EQ(SelOf(*m), (Sel{20, 29, 29}));
  m->CheckIntegrity();
  m->Undo();
  EXPECT_EQ(m->GetTextContent(), kText);
  m->setReadOnly(true);
  QDragEnterEvent refused(p, Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(m->viewport(), &refused);
  EXPECT_FALSE(refused.isAccepted());
}

TEST(ZarvMemoMouse, AutoScrollChoiceTable) {
  struct Row {
    int x, y;
    bool drag;
    TAutoScroll want;
  };
  const int W = 300, H = 200;
  const Row rows[] = {
      {10, 100, false, {}},
      {10, 230, false, {msDown, 10, 0}},
      {10, 206, false, {msDown, 2, 300}},
      {10, 201, false, {msDown, 1, 400}}, // rate 0 counts as 1
      {10, -3, false, {}},
      {10, -4, false, {msUp, 1, 400}},
      {10, -21, false, {msUp, 7, 30}},
      {-30, 100, false, {msLeft, 10, 0}},
      {315, 100, false, {msRight, 5, 78}},
      {312, 100, false, {msRight, 4, 130}},
      {10, -15, false, {msUp, 5, 78}},
      {10, -18, false, {msUp, 6, 48}},
      {-30, 230, false, {msDown, 10, 0}}, // vertical wins
      {10, 230, true, {}},                // text drags: only near the edge
      {10, 224, true, {msDown, 8, 0}},
      {10, -27, true, {msUp, 9, 0}},
      {10, -28, true, {}},
      {-5, 210, true, {msLeft, 1, 400}}, // vertical only while X is near
      {320, 100, true, {msRight, 6, 48}},
      {330, 100, true, {}},
      {-10, 120, true, {msLeft, 3, 200}},
  };
  for (const Row& r : rows)
    EXPECT_EQ(ChooseAutoScroll(r.x, r.y, W, H, r.drag), r.want) << r.x << "," << r.y << (r.drag ? " drag" : "");
}

TEST(ZarvMemoMouse, HoldingTheButtonBelowTheWindowScrollsAndExtends) {
  QString text;
  for (int p = 0; p < 300; ++p)
    text += QStringLiteral("line %1\r\n").arg(p);
  auto m = MakeMemo(text);
  const QPoint below(30, m->viewport()->height() + 30);
  Press(*m, PointAt(*m, 2));
  Move(*m, below);
  QElapsedTimer t;
  t.start();
  while (m->getTopLine() < 20 && t.elapsed() < 10000)
    QApplication::processEvents();
  EXPECT_GE(m->getTopLine(), 20);
  const Sel s = SelOf(*m);
  EXPECT_EQ(s.start, 2);
  EXPECT_GT(s.stop, 20 * 9);
  // The caret follows the bottom line of the window.
  EXPECT_GE(m->CaretY(), m->viewport()->height() - 2 * m->getLineHeight());
  // The release, a focus loss or the control's end stop the steps.
  for (int way = 0; way < 3; ++way) {
    if (way > 0) {
      Press(*m, PointAt(*m, 2));
      Move(*m, below);
      QApplication::processEvents();
    }
    if (way == 0)
      Release(*m, below);
    QFocusEvent out(QEvent::FocusOut);
    if (way == 1)
      QApplication::sendEvent(m.get(), &out);
    if (way == 2)
      m.reset();
    const int32_t top = m ? m->getTopOrigin() : 0;
    for (int i = 0; i < 20; ++i)
      QApplication::processEvents();
    if (m) {
      EXPECT_EQ(m->getTopOrigin(), top) << way;
      m->CheckIntegrity();
    }
  }
  QWidget other; // QTest's button state back to none
  QTest::mouseRelease(&other, Qt::LeftButton);
}

TEST(ZarvMemoMouse, ContextRunsAndPointerShapes) {
  auto m = MakeMemo(kText);
  m->SetDynStyle(6, 10, 0, false, 42, -21, clNone, clNone, false); // "beta": a hand, context 42
  std::vector<std::array<int32_t, 3>> seen;
  m->OnContext = [&](TZarvMemo&, int32_t c, int32_t a, int32_t b) { seen.push_back({c, a, b}); };
  QSignalSpy spy(m.get(), &TZarvMemo::contextClicked);
  struct : IzvsNotify {
    TzvEvents got;
    void Notify(QObject*, TzvEvents e) override { got |= e & (zveContext | zveRightContext); }
  } listener;
  m->AddNotify(&listener);
  auto shapeAt = [&](QPoint p) {
    m->MouseMove(Qt::NoButton, {}, p.x(), p.y());
    return m->viewport()->cursor().shape();
  };
  EXPECT_EQ(shapeAt(PointIn(*m, 7)), Qt::PointingHandCursor);
  EXPECT_EQ(shapeAt(PointIn(*m, 2)), Qt::IBeamCursor);
  EXPECT_EQ(shapeAt(QPoint(2, PointAt(*m, 2).y())), Qt::BitmapCursor); // the drawn right arrow
  Click(*m, PointIn(*m, 9));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (std::array<int32_t, 3>{42, 6, 10}));
  EXPECT_EQ(spy.count(), 1);
  EXPECT_EQ(listener.got, TzvEvents(zveContext));
  listener.got = {};
  QTest::mouseClick(m->viewport(), Qt::RightButton, {}, PointIn(*m, 6));
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(listener.got, TzvEvents(zveRightContext));
  m->RemoveNotify(&listener);
  // A run over a paragraph break: clicked in its second paragraph.
  m->SetDynStyle(12, 22, 0, false, 9, 0, clNone, clNone, false);
  Click(*m, PointIn(*m, 19));
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2], (std::array<int32_t, 3>{9, 12, 22}));
  // A drag across the run, a click elsewhere: no context.
  Press(*m, PointIn(*m, 7));
  Move(*m, PointIn(*m, 25));
  Release(*m, PointIn(*m, 25));
  Click(*m, PointIn(*m, 24));
  EXPECT_EQ(seen.size(), 3u);
  // Over a selection that can be dragged: the arrow.
  EXPECT_EQ(shapeAt(PointIn(*m, 24)), Qt::IBeamCursor);
  m->setSelStart(0);
  m->setSelLength(5);
  EXPECT_EQ(shapeAt(PointIn(*m, 2)), Qt::ArrowCursor);
  m->setReadOnly(true);
  EXPECT_EQ(shapeAt(PointIn(*m, 2)), Qt::IBeamCursor);
}
