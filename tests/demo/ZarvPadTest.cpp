// ZarvPad driven as a user would: files written byte by byte, keys typed
// into the editor, the window's commands, then the bytes on disk compared
// with the bytes expected. Message boxes are replaced by recorders so that
// nothing waits for a click.
//
// The window is linked in only when the demo is built (ZARVPAD_LINKED).
#ifdef ZARVPAD_LINKED

#include "ZarvPadFixture.h"

#include <ZarvMemo/highlighters/CPPHighlighter.h>

#include "SaveOptionsDialog.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace zarv;
using namespace zarv::pad;
using namespace zarv::pad::test;

namespace {

TEST_F(ZarvPadTest, TypeSaveUndoSaveKeepsBomAndCrLf) {
  const QByteArray original("\xEF\xBB\xBFint x;\r\nhello\r\n");
  Open(QStringLiteral("a.cpp"), original);
  Focus(); // the window's shortcuts need it active on a real display
  EXPECT_EQ(W().StatusBar().FormatText(), QStringLiteral("CR LF UTF-8 BOM"));
  EXPECT_FALSE(W().isWindowModified());
  EXPECT_NE(M().Highlighter(), nullptr); // a .cpp file is highlighted

  QTest::keyClicks(&M(), QStringLiteral("ab"));
  EXPECT_TRUE(W().isWindowModified());
  EXPECT_EQ(W().StatusBar().CaretText(), QStringLiteral("Ln 1, Col 3"));
  // Ctrl+S is the window's: the editor must let it through.
  QTest::keyClick(&M(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ReadAll(Path("a.cpp")), QByteArray("\xEF\xBB\xBF"
                                               "abint x;\r\nhello\r\n"));
  EXPECT_FALSE(W().isWindowModified());

  // Ctrl+Z is the editor's: the typed run goes as one step.
  QTest::keyClick(&M(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), QStringLiteral("int x;\r\nhello\r\n"));
  QTest::keyClick(&M(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ReadAll(Path("a.cpp")), original);
  EXPECT_TRUE(fErrors.isEmpty());
}

TEST_F(ZarvPadTest, SaveToWritesTheChosenEncodingAndLineBreak) {
  const QStringList pars = {QStringLiteral("caf\u00E9"), QStringLiteral("zwei")};
  Open(QStringLiteral("in.txt"), Encode(pars, QStringLiteral("\r\n"), {TzvsEncoding::Utf8, false}));
  struct Case {
    TzvsTextFormat Format;
    TZarvLineBreak Break;
    const char* BreakText;
    const char* Shown;
  };
  const Case cases[] = {{{TzvsEncoding::Utf16LE, true}, zbLF, "\n", "LF UTF-16 LE BOM"},
                        {{TzvsEncoding::Utf16BE, false}, zbCR, "\r", "CR UTF-16 BE"},
                        {{TzvsEncoding::Ansi, false}, zbLFCR, "\n\r", "LF CR 8-bit"},
                        {{TzvsEncoding::Utf8, true}, zbCRLF, "\r\n", "CR LF UTF-8 BOM"}};
  int i = 0;
  for (const Case& c : cases) {
    const QString name = Path(QStringLiteral("out%1.txt").arg(i++));
    ASSERT_TRUE(W().SaveTo(name, c.Format, c.Break)) << c.Shown;
    EXPECT_EQ(ReadAll(name), Encode(pars, QString::fromLatin1(c.BreakText), c.Format)) << c.Shown;
    EXPECT_EQ(W().FileName(), name);
    EXPECT_EQ(W().StatusBar().FormatText(), QString::fromLatin1(c.Shown));
  }
  // The UTF-16 file reads back the same, in the format it was written in.
  ASSERT_TRUE(W().OpenFile(Path("out0.txt")));
  EXPECT_EQ(Text(), QStringLiteral("caf\u00E9\r\nzwei\r\n"));
  EXPECT_EQ(W().StatusBar().FormatText(), QStringLiteral("LF UTF-16 LE BOM"));
  EXPECT_TRUE(fErrors.isEmpty());

  // Every file saved or opened is remembered, newest first, across windows.
  const QStringList expected = {Path("out0.txt"), Path("out3.txt"), Path("out2.txt"), Path("out1.txt"), Path("in.txt")};
  EXPECT_EQ(W().RecentFiles().Files(), expected);
  fWindow.reset();
  EXPECT_EQ(TZarvPadWindow(Path("settings.ini")).RecentFiles().Files(), expected);
}

TEST_F(ZarvPadTest, LoadingShowsItsProgressInTheStatusBar) {
  QByteArray bytes;
  for (int i = 0; i < 20000; ++i)
    bytes += "int value" + QByteArray::number(i) + " = " + QByteArray::number(i * 7) + ";\n";
  WriteAll(Path("big.cpp"), bytes);
  // Every report let through: the control's clock moves a second a call.
  M().setProgressInterval(0);
  uint32_t clock = 0;
  M().SetTickSource([&clock] { return clock += 1000; });
  std::vector<int> shown; // per mille of the bytes, as the bar showed them
  QObject::connect(&M(), &TZarvMemo::progressed, [this, &shown] {
    if (M().LoadingContent())
      shown.push_back(W().StatusBar().ProgressVisible() ? W().StatusBar().ProgressValue() : -1);
  });
  ASSERT_TRUE(W().OpenFile(Path("big.cpp")));
  ASSERT_GE(shown.size(), 2u);
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
  EXPECT_GE(shown.front(), 0); // shown from the first report
  EXPECT_LT(shown.back(), 1000);
  EXPECT_GT(shown.back(), shown.front());
  EXPECT_EQ(M().GetParCount(), 20001);
}

TEST_F(ZarvPadTest, FailuresAreReportedAndTheDocumentStays) {
  Open(QStringLiteral("keep.txt"), "keep me\n");
  QTest::keyClicks(&M(), QStringLiteral("X"));
  const QString text = Text();

  EXPECT_FALSE(W().OpenFile(Path("missing.txt")));
  EXPECT_FALSE(W().OpenFile(fDir.path())); // a folder
  ASSERT_EQ(fErrors.size(), 2);
  EXPECT_TRUE(fErrors[0].contains(QStringLiteral("missing.txt")));
  EXPECT_EQ(Text(), text);
  EXPECT_EQ(W().FileName(), Path("keep.txt"));
  EXPECT_TRUE(M().Modified());

  EXPECT_FALSE(W().SaveTo(Path("no/such/folder/x.txt"), {TzvsEncoding::Utf16BE, true}, zbCR));
  EXPECT_EQ(fErrors.size(), 3);
  EXPECT_EQ(W().FileName(), Path("keep.txt"));
  EXPECT_EQ(W().StatusBar().FormatText(), QStringLiteral("LF UTF-8")); // the format stays too
  EXPECT_TRUE(M().Modified());
  EXPECT_EQ(ReadAll(Path("keep.txt")), QByteArray("keep me\n"));
}

TEST_F(ZarvPadTest, UnsavedChangesAreAskedAboutBeforeClosing) {
  Open(QStringLiteral("c.txt"), "one\n");
  EXPECT_TRUE(W().close()); // nothing changed: no question
  EXPECT_EQ(fPrompts, 0);
  W().show();
  QTest::keyClicks(&M(), QStringLiteral("new "));

  fAnswer = QMessageBox::Cancel;
  EXPECT_FALSE(W().close());
  EXPECT_TRUE(W().isVisible());
  fAnswer = QMessageBox::Save;
  EXPECT_TRUE(W().close());
  EXPECT_EQ(fPrompts, 2);
  EXPECT_EQ(ReadAll(Path("c.txt")), QByteArray("new one\n"));
}

TEST_F(ZarvPadTest, FindGoesRoundAndSaysNotFound) {
  Open(QStringLiteral("f.txt"), "foo Foo food foo\nbar\n");
  TFindBar& bar = W().FindBar();
  bar.setText(QStringLiteral("foo"));
  bar.setMatchCase(true);
  bar.setWholeWords(true);
  auto selection = [this] {
    return std::pair(std::min(M().getSelStart(), M().getSelStart() + M().getSelLength()), std::abs(M().getSelLength()));
  };
  ASSERT_TRUE(W().Find(true));
  EXPECT_EQ(selection(), std::pair(0, 3));
  ASSERT_TRUE(W().Find(true));
  EXPECT_EQ(selection(), std::pair(13, 3));
  ASSERT_TRUE(W().Find(false));
  EXPECT_EQ(selection(), std::pair(0, 3));
  ASSERT_TRUE(W().Find(false)); // round from the bottom
  EXPECT_EQ(selection(), std::pair(13, 3));

  bar.setText(QStringLiteral("FOOD"));
  EXPECT_FALSE(W().Find(true));
  EXPECT_TRUE(W().StatusBar().currentMessage().contains(QStringLiteral("not found")));
  EXPECT_EQ(selection(), std::pair(13, 3));
  bar.setMatchCase(false);
  ASSERT_TRUE(W().Find(true));
  EXPECT_EQ(selection(), std::pair(8, 4));
}

TEST_F(ZarvPadTest, GoToLineAndPlainTextAfterSaveAs) {
  Open(QStringLiteral("g.cpp"), "a\nbb\nccc\ndddd\n");
  W().GoToLine(3);
  EXPECT_EQ(M().getSelPar(), 2);
  QTest::keyClicks(&M(), QStringLiteral("xy"));
  EXPECT_EQ(W().StatusBar().CaretText(), QStringLiteral("Ln 3, Col 3"));
  W().GoToLine(99); // past the end: the last line
  EXPECT_EQ(M().getSelPar(), M().GetParCount() - 1);

  ASSERT_TRUE(W().SaveTo(Path("g.txt"), M().TextFormat(), M().getLineBreak()));
  EXPECT_EQ(qobject_cast<TCPPHighlighter*>(M().Highlighter()), nullptr);
  EXPECT_EQ(ReadAll(Path("g.txt")), QByteArray("a\nbb\nxyccc\ndddd\n"));
}

TEST_F(ZarvPadTest, SavingAsEightBitWarnsOfCharactersItCannotHold) {
  Open(QStringLiteral("e.txt"), "caf\xC3\xA9\n");
  ASSERT_TRUE(W().SaveTo(Path("e.txt"), {TzvsEncoding::Ansi, false}, zbLF));
  int asked = 0;
  bool answer = false;
  W().setConfirm([&](const QString&) {
    ++asked;
    return answer;
  });
  // Typed as keys that give text (keyClicks takes ASCII only).
  auto type = [this](const QString& s) {
    for (QChar c : s)
      QTest::sendKeyEvent(QTest::Click, &M(), Qt::Key_unknown, QString(c), Qt::NoModifier);
  };
  type(QStringLiteral("\u00E0 ")); // fits in 8 bits
  EXPECT_TRUE(W().Save());
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(ReadAll(Path("e.txt")), QByteArray("\xE0 caf\xE9\n"));

  type(QStringLiteral("\u20AC")); // the euro sign does not
  EXPECT_FALSE(W().Save());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(ReadAll(Path("e.txt")), QByteArray("\xE0 caf\xE9\n"));
  EXPECT_TRUE(M().Modified());
  answer = true;
  EXPECT_TRUE(W().Save());
  EXPECT_EQ(ReadAll(Path("e.txt")).size(), 8);
}

TEST_F(ZarvPadTest, ReopenedInAnotherEncodingTheBytesReadOtherwise) {
  Open(QStringLiteral("r.txt"), "caf\xC3\xA9\n");
  EXPECT_EQ(Text(), QStringLiteral("caf\u00E9\r\n"));
  ASSERT_TRUE(W().OpenFile(Path("r.txt"), TzvsEncoding::Ansi));
  EXPECT_EQ(Text(), QStringLiteral("caf\u00C3\u00A9\r\n"));
  EXPECT_EQ(W().StatusBar().FormatText(), QStringLiteral("LF 8-bit"));
  EXPECT_FALSE(M().Modified());
  ASSERT_TRUE(W().Save()); // the same bytes back
  EXPECT_EQ(ReadAll(Path("r.txt")), QByteArray("caf\xC3\xA9\n"));
}

TEST_F(ZarvPadTest, EditMenuActsOnTheEditor) {
  Open(QStringLiteral("m.txt"), "one two\n");
  EXPECT_FALSE(Action(QStringLiteral("Cu&t"))->isEnabled()); // nothing selected
  Action(QStringLiteral("Select &all"))->trigger();
  EXPECT_TRUE(Action(QStringLiteral("Cu&t"))->isEnabled());
  Action(QStringLiteral("&Copy"))->trigger();
  EXPECT_EQ(Text(), QStringLiteral("one two\r\n"));
  Action(QStringLiteral("Cu&t"))->trigger();
  EXPECT_EQ(Text(), QString());
  EXPECT_TRUE(Action(QStringLiteral("&Undo"))->isEnabled());
  Action(QStringLiteral("&Undo"))->trigger();
  EXPECT_EQ(Text(), QStringLiteral("one two\r\n"));
  Action(QStringLiteral("&Redo"))->trigger();
  EXPECT_EQ(Text(), QString());
  Action(QStringLiteral("&Paste"))->trigger();
  Action(QStringLiteral("&Paste"))->trigger();
  EXPECT_EQ(Text(), QStringLiteral("one two\r\none two\r\n"));
}

TEST_F(ZarvPadTest, FindBarByKeyboardAndBackToTheEditor) {
  Open(QStringLiteral("k.txt"), "alpha beta alpha\n");
  W().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow.get()));
  M().setFocus();
  auto selection = [this] {
    return std::pair(std::min(M().getSelStart(), M().getSelStart() + M().getSelLength()), std::abs(M().getSelLength()));
  };
  // Ctrl+F is the window's even while the editor has the focus.
  QTest::keyClick(&M(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(W().FindBar().isVisible());
  QWidget* edit = QApplication::focusWidget();
  ASSERT_NE(edit, nullptr);
  ASSERT_EQ(edit->objectName(), QStringLiteral("findText"));
  QTest::keyClicks(edit, QStringLiteral("alpha")); // found as it is typed
  EXPECT_EQ(selection(), std::pair(0, 5));
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(selection(), std::pair(11, 5));
  QTest::keyClick(edit, Qt::Key_Return); // round from the top
  EXPECT_EQ(selection(), std::pair(0, 5));
  QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier); // round from the bottom
  EXPECT_EQ(selection(), std::pair(11, 5));
  QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(selection(), std::pair(0, 5));
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_FALSE(W().FindBar().isVisible());
  EXPECT_EQ(QApplication::focusWidget(), &M());
  QTest::keyClick(&M(), Qt::Key_F3);
  EXPECT_EQ(selection(), std::pair(11, 5));
  EXPECT_EQ(Text(), QStringLiteral("alpha beta alpha\r\n")); // no key typed into the text
}

TEST_F(ZarvPadTest, ViewSettingsApplyAndAreKept) {
  W().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow.get()));
  M().setFocus();
  const int size = M().font().pointSize();
  QTest::keyClick(&M(), Qt::Key_Equal, Qt::ControlModifier);
  QTest::keyClick(&M(), Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_EQ(M().font().pointSize(), size + 2);
  QTest::keyClick(&M(), Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(M().font().pointSize(), size);

  EXPECT_FALSE(M().getWordWrap());
  Action(QStringLiteral("&Word Wrap"))->trigger();
  EXPECT_TRUE(M().getWordWrap());
  fWindow.reset();
  TZarvPadWindow again(Path("settings.ini"));
  EXPECT_TRUE(again.Memo().getWordWrap());
}

TEST(SaveOptionsDialogTest, OpensOnTheDocumentsFormat) {
  const TSaveOptionsDialog utf16(TzvsTextFormat{TzvsEncoding::Utf16BE, false}, zbLFCR);
  EXPECT_EQ(utf16.Format(), (TzvsTextFormat{TzvsEncoding::Utf16BE, false}));
  EXPECT_EQ(utf16.LineBreak(), zbLFCR);
  // 8-bit text has no mark, whatever the format says.
  const TSaveOptionsDialog ansi(TzvsTextFormat{TzvsEncoding::Ansi, true}, zbCR);
  EXPECT_EQ(ansi.Format(), (TzvsTextFormat{TzvsEncoding::Ansi, false}));
  EXPECT_EQ(ansi.LineBreak(), zbCR);
}

} // namespace

#endif
