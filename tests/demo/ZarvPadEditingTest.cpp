// ZarvPad against what users expect of an editor: the modified mark and
// the quit prompt, keys, selection colours, find as you type, the status
// bar's column and selection counts, the horizontal scroll bar.
#ifdef ZARVPAD_LINKED

#include "ZarvPadFixture.h"

#include <QScrollBar>

using namespace zarv;
using namespace zarv::pad;
using namespace zarv::pad::test;

namespace {

std::pair<int32_t, int32_t> Selection(const TZarvMemo& m) {
  return {std::min(m.getSelStart(), m.getSelStart() + m.getSelLength()), std::abs(m.getSelLength())};
}

// After every step the title's mark, the status bar and the quit prompt
// agree with the control's Modified state, whatever the control decides
// it is after an undo or a redo.
TEST_F(ZarvPadTest, TheModifiedMarkAndTheQuitPromptFollowTheControl) {
  Open(QStringLiteral("m.txt"), "one\n");
  Focus();
  const std::function<void()> steps[] = {
      [&] { QTest::keyClicks(&M(), QStringLiteral("ab")); },
      [&] { QTest::keyClick(&M(), Qt::Key_S, Qt::ControlModifier); },
      [&] { QTest::keyClicks(&M(), QStringLiteral("c")); },
      [&] { QTest::keyClick(&M(), Qt::Key_Z, Qt::ControlModifier); },
      [&] { QTest::keyClick(&M(), Qt::Key_Z, Qt::ControlModifier); },
      [&] { QTest::keyClick(&M(), Qt::Key_Y, Qt::ControlModifier); },
      [&] { QTest::keyClick(&M(), Qt::Key_Y, Qt::ControlModifier); },
  };
  int step = 0;
  for (const auto& act : steps) {
    SCOPED_TRACE(step++);
    act();
    QCoreApplication::processEvents();
    const bool modified = M().Modified();
    EXPECT_EQ(W().isWindowModified(), modified);
    EXPECT_EQ(W().StatusBar().ModifiedText().isEmpty(), !modified);
    fPrompts = 0;
    fAnswer = QMessageBox::Cancel;
    EXPECT_EQ(W().close(), !modified);
    EXPECT_EQ(fPrompts, modified ? 1 : 0);
    W().show();
    Focus();
  }
}

// Ctrl+Y redoes as Ctrl+Shift+Z does; Home goes to the first non-blank
// character and to the line's start when pressed again, Shift+Home
// selecting alike; Alt+Z switches word wrap.
TEST_F(ZarvPadTest, RedoHomeAndWordWrapKeys) {
  Open(QStringLiteral("k.txt"), "    indented text\n\t\n");
  Focus();
  QTest::keyClick(&M(), Qt::Key_Delete);
  QTest::keyClick(&M(), Qt::Key_Z, Qt::ControlModifier);
  const std::pair<Qt::Key, Qt::KeyboardModifiers> redoKeys[] = {{Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier},
                                                                {Qt::Key_Y, Qt::ControlModifier}};
  for (const auto& [key, mods] : redoKeys) {
    QTest::keyClick(&M(), key, mods);
    EXPECT_EQ(Text(), QStringLiteral("   indented text\r\n\t\r\n"));
    QTest::keyClick(&M(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(), QStringLiteral("    indented text\r\n\t\r\n"));
  }

  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int32_t caret;  // offset in the first line after the key
    int32_t length; // selected characters
  };
  const Step steps[] = {
      {Qt::Key_End, Qt::NoModifier, 17, 0},     {Qt::Key_Home, Qt::NoModifier, 4, 0},
      {Qt::Key_Home, Qt::NoModifier, 0, 0},     {Qt::Key_Home, Qt::NoModifier, 4, 0},
      {Qt::Key_Right, Qt::NoModifier, 5, 0},    {Qt::Key_Home, Qt::NoModifier, 4, 0},
      {Qt::Key_End, Qt::NoModifier, 17, 0},     {Qt::Key_Home, Qt::ShiftModifier, 4, 13},
      {Qt::Key_Home, Qt::ShiftModifier, 0, 17}, {Qt::Key_Home, Qt::ShiftModifier, 4, 13},
  };
  for (const Step& s : steps) {
    QTest::keyClick(&M(), s.key, s.mods);
    EXPECT_EQ(M().getSelStart(), s.caret) << QKeySequence(s.key | s.mods).toString().toStdString();
    EXPECT_EQ(std::abs(M().getSelLength()), s.length);
  }
  // A line of blanks only: Home goes to its start.
  QTest::keyClick(&M(), Qt::Key_Down);
  QTest::keyClick(&M(), Qt::Key_End);
  QTest::keyClick(&M(), Qt::Key_Home);
  EXPECT_EQ(M().getSelStart(), M().getParsOffset(1));

  const bool wrap = M().getWordWrap();
  QTest::keyClick(&M(), Qt::Key_Z, Qt::AltModifier);
  EXPECT_EQ(M().getWordWrap(), !wrap);
  EXPECT_EQ(Text(), QStringLiteral("    indented text\r\n\t\r\n")); // no key typed into the text
}

// The selection is painted in the palette's Highlight colour (a palette
// change is followed); no end-of-text line is drawn below the text, and
// with non-printing characters shown the last paragraph, which ends
// without a break, has no paragraph mark.
TEST_F(ZarvPadTest, SelectionInDesktopColoursNoEndLineNoMarkAfterTheLastParagraph) {
  Open(QStringLiteral("c.txt"), "first line\nlast");
  M().setFocusPolicy(Qt::NoFocus); // no caret in the pictures
  W().setFocus();
  QPalette p = M().palette();
  for (QColor highlight : {QColor(0x30, 0x60, 0xC0), QColor(0xC0, 0x40, 0x20)}) {
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    M().setPalette(p);
    M().setSelStart(0);
    M().setSelLength(5);
    const QImage img = M().viewport()->grab().toImage();
    // The line's top row: above the glyphs.
    EXPECT_EQ(QColor(img.pixel(M().getLeftMargin() + 1, 0)), highlight);
  }
  M().setSelLength(0);
  const QImage plain = M().viewport()->grab().toImage();
  const QRgb base = M().palette().color(QPalette::Base).rgb();
  const int lh = M().getLineHeight();
  for (int y = 2 * lh; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x)
      ASSERT_EQ(plain.pixel(x, y), base) << x << "," << y;

  // Marks on: the first line gains its blank's dot and its mark, the last
  // line stays as it was.
  Action(QStringLiteral("&Non-printing Characters"))->setChecked(true);
  const QImage marks = M().viewport()->grab().toImage();
  Action(QStringLiteral("&Non-printing Characters"))->setChecked(false);
  EXPECT_NE(marks.copy(0, 0, marks.width(), lh), plain.copy(0, 0, plain.width(), lh));
  EXPECT_EQ(marks.copy(0, lh, marks.width(), lh), plain.copy(0, lh, plain.width(), lh));
}

// Each edit of the find text looks again from where the search began: the
// match grows while it matches, a text that is not found leaves the caret
// there and tints the bar, deleting letters finds again, an option change
// looks again, and Enter moves the start to the match it goes to.
TEST_F(ZarvPadTest, FindAsYouTypeSelectsTheMatchFromWhereTheSearchBegan) {
  Open(QStringLiteral("f.txt"), "alpha beta\nalphabet Alpha\nbet\n");
  Focus();
  QTest::keyClick(&M(), Qt::Key_Right);
  QTest::keyClick(&M(), Qt::Key_Right); // the search begins at offset 2
  QTest::keyClick(&M(), Qt::Key_F, Qt::ControlModifier);
  QWidget* edit = QApplication::focusWidget();
  ASSERT_EQ(edit->objectName(), QStringLiteral("findText"));
  struct Step {
    const char* keys; // typed, or "\b" for Backspace
    int32_t start, length;
    bool notFound;
  };
  const Step steps[] = {
      {"a", 4, 1, false},   {"l", 12, 2, false}, {"p", 12, 3, false},
      {"h", 12, 4, false},  {"a", 12, 5, false}, {"x", 2, 0, true},
      {"\b", 12, 5, false}, {"b", 12, 6, false}, {"\b\b\b\b\b\b", 2, 0, false},
      {"bet", 6, 3, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.keys);
    for (const char* k = s.keys; *k; ++k) {
      if (*k == '\b')
        QTest::keyClick(edit, Qt::Key_Backspace);
      else
        QTest::keyClicks(edit, QString(QLatin1Char(*k)));
    }
    EXPECT_EQ(Selection(M()), std::pair(s.start, s.length));
    EXPECT_EQ(W().FindBar().NotFoundShown(), s.notFound);
  }
  W().FindBar().setWholeWords(true); // looks again: "bet" alone is on line 3
  EXPECT_EQ(Selection(M()), std::pair(28, 3));
  W().FindBar().setWholeWords(false);
  QTest::keyClick(edit, Qt::Key_Return); // the next match after "bet" at 6
  EXPECT_EQ(Selection(M()), std::pair(17, 3));
  QTest::keyClicks(edit, QStringLiteral(" "));
  EXPECT_EQ(Selection(M()), std::pair(17, 4)); // "bet " grows where Enter went
  EXPECT_EQ(Text(), QStringLiteral("alpha beta\r\nalphabet Alpha\r\nbet\r\n"));
}

// "Col" counts a tab to its next stop and a surrogate pair as one column;
// "Sel" counts a line break as one character in any break style.
TEST_F(ZarvPadTest, StatusBarColumnsAndSelectionLengthsAreThoseAUserCounts) {
  struct Case {
    QByteArray bytes;
    int32_t caret;
    int32_t selLength;
    const char* caretText;
    const char* selText;
  };
  const Case cases[] = {
      {"a\tb\n", 2, 0, "Ln 1, Col 9", ""},
      {"abcdefgh\tx\n", 9, 0, "Ln 1, Col 17", ""},
      {"ab\tc\td\n", 6, 0, "Ln 1, Col 18", ""},
      {"\xF0\x9F\x98\x80x\n", 3, 0, "Ln 1, Col 3", ""},
      {"one\r\ntwo\r\nthree\r\n", 0, 13, "Ln 1, Col 1", "Sel 11"},
      {"one\ntwo\nthree\n", 0, 13, "Ln 1, Col 1", "Sel 11"},
      {"one\ntwo\nthree\n", 13, -13, "Ln 3, Col 4", "Sel 11"},
      {"one\rtwo\n", 1, 6, "Ln 1, Col 2", "Sel 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.toStdString());
    Open(QStringLiteral("s.txt"), c.bytes);
    M().setSelStart(c.caret);
    M().setSelLength(c.selLength);
    EXPECT_EQ(W().StatusBar().CaretText(), QString::fromLatin1(c.caretText));
    EXPECT_EQ(W().StatusBar().SelectionText(), QString::fromLatin1(c.selText));
  }
}

// The horizontal bar goes once nothing is wider than the window: after
// deleting all the text, and after emptying the one long line.
TEST_F(ZarvPadTest, TheHorizontalScrollBarGoesWhenNothingIsWiderThanTheWindow) {
  ASSERT_FALSE(M().getWordWrap());
  const QByteArray wide(400, 'w');
  Open(QStringLiteral("h.txt"), "short\n" + wide + "\nshort\n");
  Focus();
  QScrollBar* bar = M().horizontalScrollBar();
  EXPECT_TRUE(WaitFor([bar] { return bar->maximum() > 0; }));
  Action(QStringLiteral("Select &all"))->trigger();
  QTest::keyClick(&M(), Qt::Key_Delete);
  EXPECT_TRUE(WaitFor([bar] { return bar->maximum() == 0 && !bar->isVisible(); }));

  QTest::keyClick(&M(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(WaitFor([bar] { return bar->maximum() > 0; }));
  M().setSelPar(1);
  QTest::keyClick(&M(), Qt::Key_End, Qt::ShiftModifier);
  QTest::keyClick(&M(), Qt::Key_Backspace);
  EXPECT_TRUE(WaitFor([bar] { return bar->maximum() == 0; }));
}

} // namespace

#endif
