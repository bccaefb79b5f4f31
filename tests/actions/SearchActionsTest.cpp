// Search and replace: Replace All against a plain model and against the
// control's own search driven one match at a time, as one undo step; the
// replace rules of the dialog's buttons; the search actions on a window.
#include <ZarvMemo/actions/SearchAction.h>
#include <ZarvMemo/actions/TextSearch.h>
#include <ZarvMemo/dialogs/FindDialog.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <tuple>

namespace zarv {
namespace {

QString Text(TZarvMemo& m) { return m.GetTextContent(); }

// The reference: every non-overlapping occurrence inside paragraphs, left to
// right, with ASCII case folding and the control's default separators.
QString ModelReplaceAll(const QString& text, const TzvSearchQuery& s, const QString& with, const QString& seps) {
  QString out;
  const auto sep = [&](int i) {
    return i < 0 || i >= text.size() || text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n') ||
           seps.contains(text[i]);
  };
  const Qt::CaseSensitivity cs = s.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  int i = 0;
  while (i < text.size()) {
    const bool here = QStringView(text).mid(i).startsWith(s.Text, cs) &&
                      !QStringView(text).mid(i, s.Text.size()).contains(QLatin1Char('\n')) &&
                      (!s.WholeWord || (sep(i - 1) && sep(i + int(s.Text.size()))));
    if (here) {
      out += with;
      i += int(s.Text.size());
    } else {
      out += text[i++];
    }
  }
  return out;
}

// Replace All done the slow way: the control's own search, one match at a
// time, continuing after each replacement.
QString NaiveReplaceAll(TZarvMemo& m, const TzvSearchQuery& s, const QString& with) {
  m.setSelStart(0);
  for (int guard = 0; guard < 100000 && m.FindTxt(s.Text, true, s.MatchCase, s.WholeWord, false); ++guard)
    m.setSelText(with);
  return Text(m);
}

TEST(ReplaceAllTest, AgreesWithTheModelAndTheControlsOwnSearchAndUndoesInOneStep) {
  std::mt19937 rng(20261208);
  const QString alphabet = QStringLiteral("aAb ,.\n");
  const QString keys[] = {QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("Ab"), QStringLiteral("aa"),
                          QStringLiteral("b a")};
  const QString withs[] = {QString(), QStringLiteral("x"), QStringLiteral("aab"), QStringLiteral("ab ab")};
  TZarvMemo memo;
  for (int round = 0; round < 300; ++round) {
    QString text;
    const int len = int(rng() % 60);
    for (int i = 0; i < len; ++i)
      text += alphabet[int(rng() % alphabet.size())];
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const TzvSearchQuery query{keys[rng() % 5], true, rng() % 2 == 0, rng() % 2 == 0};
    const QString with = withs[rng() % 4];
    SCOPED_TRACE(::testing::Message() << "round " << round << " text [" << text.toStdString() << "] key ["
                                      << query.Text.toStdString() << "] case " << query.MatchCase << " whole "
                                      << query.WholeWord << " with [" << with.toStdString() << "]");
    memo.SetTextBuf(text);
    memo.ClearUndo();
    const QString expected = ModelReplaceAll(text, query, with, QStringLiteral("\t $%&,./:;<=>"));
    const int32_t n = TzvTextSearch::ReplaceAll(memo, query, with, 0, memo.getCharCount());
    ASSERT_EQ(Text(memo), expected);
    EXPECT_EQ(n > 0, expected != text);
    memo.Undo();
    ASSERT_EQ(Text(memo), text) << "one Undo restores the whole text";
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_EQ(NaiveReplaceAll(memo, query, with), expected);
  }
}

TEST(ReplaceAllTest, TenThousandMatchesAreOneUndoStep) {
  QString text;
  for (int i = 0; i < 10000; ++i)
    text += (i % 7 == 0 ? QStringLiteral("foo\r\n") : QStringLiteral("foo bar "));
  TZarvMemo memo;
  memo.SetTextBuf(text);
  memo.ClearUndo();
  ASSERT_EQ(TzvTextSearch::ReplaceAll(memo, {QStringLiteral("foo"), true, true, true}, QStringLiteral("foofoo"), 0,
                                      memo.getCharCount()),
            10000);
  QString expected = text;
  expected.replace(QStringLiteral("foo"), QStringLiteral("foofoo"));
  EXPECT_EQ(Text(memo), expected);
  memo.Undo();
  EXPECT_EQ(Text(memo), text);
  EXPECT_FALSE(memo.CanUndo());
  memo.Redo();
  EXPECT_EQ(Text(memo), expected);
}

// Replacing over several paragraphs at once would make them anew: the
// paragraphs' own colours and blocks must survive, and Undo must not lose
// them either.
TEST(ReplaceAllTest, ParagraphColoursAndBlocksSurviveReplaceAllAndItsUndo) {
  TZarvMemo memo;
  QString text;
  for (int i = 0; i < 40; ++i)
    text += (i % 3 == 0 ? QStringLiteral("foo %1 foo\r\n") : QStringLiteral("line %1\r\n")).arg(i);
  memo.SetTextBuf(text);
  memo.setParBackgnd(4, 0x00FF00);
  memo.setParForegnd(9, 0x0000FF);
  memo.setParWrapable(13, false);
  memo.setParBackgnd(21, 0xFF0000); // a paragraph with matches
  ASSERT_TRUE(memo.MakeCollapsibleBlock(25, 31));
  memo.ClearUndo();
  auto attributes = [&] {
    return std::tuple(memo.getParBackgnd(4), memo.getParForegnd(9), memo.getParWrapable(13), memo.getParBackgnd(21),
                      memo.GetBlocksStates(28).size());
  };
  const auto before = attributes();
  ASSERT_EQ(TzvTextSearch::ReplaceAll(memo, {QStringLiteral("foo"), true, true, true}, QStringLiteral("bar"), 0,
                                      memo.getCharCount()),
            28);
  EXPECT_EQ(attributes(), before);
  QString expected = text;
  EXPECT_EQ(Text(memo), expected.replace(QStringLiteral("foo"), QStringLiteral("bar")));
  memo.Undo();
  EXPECT_EQ(Text(memo), text);
  EXPECT_EQ(attributes(), before);
}

TEST(ReplaceAllTest, AnEmptyFindTextReplacesNothing) {
  TZarvMemo memo;
  memo.SetTextBuf(QStringLiteral("abc"));
  EXPECT_EQ(TzvTextSearch::ReplaceAll(memo, {QString(), true, false, false}, QStringLiteral("x"), 0, 3), 0);
  EXPECT_EQ(Text(memo), QStringLiteral("abc"));
  TzvFindDialog d(true);
  EXPECT_FALSE(d.ReplaceAllButton().isEnabled());
  d.setFindText(QStringLiteral("a"));
  EXPECT_TRUE(d.ReplaceAllButton().isEnabled());
}

// A window whose control the Replace and Find actions act on, with the
// dialog's widgets driven as a user would.
class SearchActionsTest : public ::testing::Test {
protected:
  void SetUp() override {
    fWindow = std::make_unique<QMainWindow>();
    fMemo = new TZarvMemo(fWindow.get());
    fWindow->setCentralWidget(fMemo);
    fReplace = new TzvSearchReplace(fWindow.get());
    fFind = new TzvSearchFind(fWindow.get());
    fFirst = new TzvSearchFindFirst(fWindow.get());
    fNext = new TzvSearchFindNext(fWindow.get());
    fNext->setFindAction(fFind);
    for (TzvSearchAction* a : {fReplace, fFind, fFirst, fNext}) {
      fWindow->addAction(a);
      a->OnMessage = [this](const QString& m) { fMessages << m; };
    }
    fWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow.get()));
    fMemo->setFocus();
    QApplication::processEvents();
  }
  void Open(TzvSearchAction* a, const QString& find, const QString& with, bool matchCase, bool down = true) {
    fMemo->setFocus();
    QApplication::processEvents();
    a->trigger();
    TzvFindDialog& d = *a->Dialog();
    ASSERT_TRUE(d.isVisible());
    d.FindEdit().setText(find);
    d.ReplaceEdit().setText(with);
    if (d.MatchCaseBox().isChecked() != matchCase)
      QTest::mouseClick(&d.MatchCaseBox(), Qt::LeftButton, {}, QPoint(6, d.MatchCaseBox().height() / 2));
    QAbstractButton* direction = down ? &d.DownButton() : &d.UpButton();
    QTest::mouseClick(direction, Qt::LeftButton, {}, QPoint(6, direction->height() / 2));
    ASSERT_EQ(d.MatchCaseBox().isChecked(), matchCase);
    ASSERT_TRUE(direction->isChecked());
  }
  void Select(int start, int length) {
    fMemo->setSelStart(start);
    fMemo->setSelLength(length);
  }
  std::unique_ptr<QMainWindow> fWindow;
  TZarvMemo* fMemo = nullptr;
  TzvSearchAction *fReplace = nullptr, *fFind = nullptr, *fFirst = nullptr, *fNext = nullptr;
  QStringList fMessages;
};

TEST_F(SearchActionsTest, ReplaceComparesTheSelectionWithTheDialogsCaseOption) {
  struct TRow {
    bool MatchCase;
    const char* Expected;
  };
  for (const TRow& r : {TRow{true, "FOO x"}, TRow{false, "x foo"}}) {
    fMemo->SetTextBuf(QStringLiteral("FOO foo"));
    Open(fReplace, QStringLiteral("foo"), QStringLiteral("x"), r.MatchCase);
    Select(0, 3);
    QTest::mouseClick(&fReplace->Dialog()->ReplaceButton(), Qt::LeftButton);
    EXPECT_EQ(Text(*fMemo), QString::fromLatin1(r.Expected)) << "match case " << r.MatchCase;
  }
}

TEST_F(SearchActionsTest, ReplaceAllByTheDialogCoversTheCaretToTheEdgeAndEnds) {
  struct TRow {
    bool Down;
    int SelStart, SelLength;
    const char* Expected;
  };
  // "ab" replaced by "abab": a replacement holding the find text ends.
  const TRow rows[] = {{true, 0, 0, "abab abab abab"},
                       {true, 3, 2, "ab abab abab"},  // the selection is the text: from its start
                       {true, 5, -1, "ab ab abab"},   // "b" selected: from the caret after it
                       {false, 5, 0, "abab abab ab"}, // upwards to the start
                       {false, 8, 0, "abab abab abab"}};
  for (const TRow& r : rows) {
    fMemo->SetTextBuf(QStringLiteral("ab ab ab"));
    fMemo->ClearUndo();
    Open(fReplace, QStringLiteral("ab"), QStringLiteral("abab"), true, r.Down);
    Select(r.SelStart, r.SelLength);
    QTest::mouseClick(&fReplace->Dialog()->ReplaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(Text(*fMemo), QString::fromLatin1(r.Expected)) << "down " << r.Down << " at " << r.SelStart;
    fMemo->Undo();
    EXPECT_EQ(Text(*fMemo), QStringLiteral("ab ab ab"));
  }
}

TEST_F(SearchActionsTest, ASelectionDifferingInCaseIsNotTakenBeforeReplaceAllSearches) {
  fMemo->SetTextBuf(QStringLiteral("FOO foo"));
  Open(fReplace, QStringLiteral("foo"), QStringLiteral("x"), false);
  Select(3, -3); // "FOO", the caret at its end
  QTest::mouseClick(&fReplace->Dialog()->ReplaceAllButton(), Qt::LeftButton);
  EXPECT_EQ(Text(*fMemo), QStringLiteral("FOO x"));
}

TEST_F(SearchActionsTest, FindFirstStartsAtTheEdgeTheDirectionLeavesFrom) {
  fMemo->SetTextBuf(QStringLiteral("ab ab ab"));
  for (bool down : {true, false}) {
    Select(4, 0);
    Open(fFirst, QStringLiteral("ab"), QString(), false, down);
    QTest::mouseClick(&fFirst->Dialog()->FindButton(), Qt::LeftButton);
    const int start = std::min(fMemo->getSelStart(), fMemo->getSelStart() + fMemo->getSelLength());
    EXPECT_EQ(start, down ? 0 : 6);
    QTest::mouseClick(&fFirst->Dialog()->FindButton(), Qt::LeftButton); // then on from there
    EXPECT_EQ(std::min(fMemo->getSelStart(), fMemo->getSelStart() + fMemo->getSelLength()), down ? 3 : 3);
  }
}

TEST_F(SearchActionsTest, FindNextRepeatsTheFindOrAsksForTheText) {
  fMemo->SetTextBuf(QStringLiteral("one two one"));
  fMemo->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(fNext->isEnabled());
  fNext->trigger(); // no text yet: the find dialog opens
  EXPECT_TRUE(fFind->Dialog()->isVisible());
  fFind->Dialog()->FindEdit().setText(QStringLiteral("one"));
  fFind->Dialog()->hide();
  fMemo->setFocus();
  Select(0, 0);
  fNext->trigger();
  EXPECT_EQ(fMemo->getSelText(), QStringLiteral("one"));
  fNext->trigger();
  EXPECT_EQ(fMemo->getSelStart(), 11);
  fNext->trigger();
  ASSERT_EQ(fMessages.size(), 1);
  EXPECT_TRUE(fMessages[0].contains(QStringLiteral("one")));
}

TEST_F(SearchActionsTest, EnabledStatesFollowTheControl) {
  fMemo->SetTextBuf(QString());
  EXPECT_FALSE(fFind->isEnabled());
  fMemo->SetTextBuf(QStringLiteral("x"));
  EXPECT_TRUE(fFind->isEnabled());
  EXPECT_TRUE(fReplace->isEnabled());
  fMemo->setReadOnly(true);
  EXPECT_TRUE(fFind->isEnabled());
  EXPECT_FALSE(fReplace->isEnabled());
  // The dialog keeps its control while it has the focus.
  fMemo->setReadOnly(false);
  fReplace->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowActive(fReplace->Dialog()));
  EXPECT_EQ(fReplace->Target().Widget(), fMemo);
  EXPECT_TRUE(fReplace->isEnabled());
}

} // namespace
} // namespace zarv
