// The edit actions on a real window: their enabled states as the focused
// control's state changes (a truth table), focus moving between controls,
// and the commands run through shortcuts and menus.
#include <ZarvMemo/actions/EditAction.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace zarv {
namespace {

constexpr std::array kCommands = {TzvEditCommand::Cut,       TzvEditCommand::Copy,   TzvEditCommand::Paste,
                                  TzvEditCommand::SelectAll, TzvEditCommand::Delete, TzvEditCommand::Undo,
                                  TzvEditCommand::Redo};

// A window with two controls, a line edit, a check box and an Edit menu of
// the seven actions.
class EditActionsTest : public ::testing::Test {
protected:
  void SetUp() override {
    fWindow = std::make_unique<QMainWindow>();
    auto* central = new QWidget(fWindow.get());
    auto* column = new QVBoxLayout(central);
    fA = new TZarvMemo(central);
    fB = new TZarvMemo(central);
    fLine = new QLineEdit(central);
    fBox = new QCheckBox(QStringLiteral("box"), central);
    for (QWidget* w : std::initializer_list<QWidget*>{fA, fB, fLine, fBox})
      column->addWidget(w);
    fWindow->setCentralWidget(central);
    fMenu = fWindow->menuBar()->addMenu(QStringLiteral("&Edit"));
    for (TzvEditCommand c : kCommands) {
      auto* a = new TzvEditAction(c, fWindow.get());
      fMenu->addAction(a);
      fActions.push_back(a);
    }
    fA->SetTextBuf(QStringLiteral("alpha beta gamma"));
    fB->SetTextBuf(QStringLiteral("delta"));
    fA->ClearUndo();
    fB->ClearUndo();
    fWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow.get()));
  }
  void Focus(QWidget* w) {
    w->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), w);
  }
  TzvEditAction& Act(TzvEditCommand c) { return *fActions[size_t(c)]; }
  // The enabled states in command order, as a string of 0 and 1.
  std::string States() {
    std::string s;
    for (TzvEditAction* a : fActions)
      s += a->isEnabled() ? '1' : '0';
    return s;
  }

  std::unique_ptr<QMainWindow> fWindow;
  TZarvMemo* fA = nullptr;
  TZarvMemo* fB = nullptr;
  QLineEdit* fLine = nullptr;
  QCheckBox* fBox = nullptr;
  QMenu* fMenu = nullptr;
  std::vector<TzvEditAction*> fActions;
};

// The state is set while the control has the focus: the actions must learn
// it from the control's notices, not from a focus change.
TEST_F(EditActionsTest, EnabledStatesFollowTheFocusedControlsState) {
  struct TRow {
    bool ReadOnly, Selection, Clipboard, Edited, Undone;
    const char* Expected; // cut copy paste selectAll delete undo redo
  };
  const TRow rows[] = {
      {false, false, false, false, false, "0001000"}, {false, true, false, false, false, "1101100"},
      {false, false, true, false, false, "0011000"},  {false, true, true, false, false, "1111100"},
      {false, false, false, true, false, "0001010"},  {false, false, false, true, true, "0001001"},
      {true, true, true, true, false, "0101000"},     {true, false, true, true, true, "0001000"},
      {true, false, false, false, false, "0001000"},
  };
  Focus(fA);
  for (const TRow& r : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << r.Expected);
    fA->setReadOnly(false);
    fA->SetTextBuf(QStringLiteral("alpha beta gamma"));
    fA->ClearUndo();
    QGuiApplication::clipboard()->setText(r.Clipboard ? QStringLiteral("clip") : QString());
    if (r.Edited) {
      fA->setSelStart(0);
      fA->setSelText(QStringLiteral("x"));
    }
    if (r.Undone)
      fA->Undo();
    fA->setSelStart(2);
    fA->setSelLength(r.Selection ? 3 : 0);
    fA->setReadOnly(r.ReadOnly);
    EXPECT_EQ(States(), r.Expected);
  }
}

TEST_F(EditActionsTest, TheActionsFollowTheFocusFromControlToControl) {
  QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
  fA->setSelStart(0);
  fA->setSelLength(5);
  fB->setReadOnly(true);
  fLine->setText(QStringLiteral("line text"));
  Focus(fA);
  EXPECT_EQ(States(), "1111100");
  Focus(fB); // read-only, nothing selected
  EXPECT_EQ(States(), "0001000");
  Focus(fLine);
  fLine->setSelection(0, 4);
  EXPECT_EQ(States(), "1111100");
  fLine->setReadOnly(true); // told by an event, not a signal
  EXPECT_EQ(States(), "0101000");
  Focus(fBox); // nothing to drive and no default target
  EXPECT_EQ(States(), "0000000");
  Act(TzvEditCommand::SelectAll).setDefaultTarget(fB);
  EXPECT_TRUE(Act(TzvEditCommand::SelectAll).isEnabled());
  Focus(fA);
  fB->setReadOnly(false);
  fB->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(States(), "0011000");
}

TEST_F(EditActionsTest, ShortcutsAndMenuRunTheCommandsOnTheTarget) {
  for (TzvEditAction* a : fActions)
    a->setDefaultTarget(fA);
  Focus(fBox); // the keys reach the window's shortcuts
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::SelectAll);
  EXPECT_EQ(fA->getSelText(), QStringLiteral("alpha beta gamma"));
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Copy);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("alpha beta gamma"));
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Cut);
  EXPECT_EQ(fA->GetTextContent(), QString());
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Undo);
  EXPECT_EQ(fA->GetTextContent(), QStringLiteral("alpha beta gamma"));
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Redo);
  EXPECT_EQ(fA->GetTextContent(), QString());
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
  EXPECT_EQ(fA->GetTextContent(), QStringLiteral("alpha beta gammaalpha beta gamma"));
  // Through the menu: the Delete item, found by its caption.
  fA->setSelStart(0);
  fA->setSelLength(6);
  QAction* del = nullptr;
  for (QAction* a : fMenu->actions())
    if (a->text() == QStringLiteral("&Delete"))
      del = a;
  ASSERT_NE(del, nullptr);
  EXPECT_TRUE(del->isEnabled());
  fMenu->popup(QPoint(0, 0));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fMenu));
  fMenu->setActiveAction(del);
  QTest::keyClick(fMenu, Qt::Key_Return);
  EXPECT_EQ(fA->GetTextContent(), QStringLiteral("beta gammaalpha beta gamma"));
  EXPECT_FALSE(del->isEnabled()); // nothing selected any more
}

TEST_F(EditActionsTest, AnActionOutlivesItsTarget) {
  Focus(fB);
  EXPECT_TRUE(Act(TzvEditCommand::SelectAll).isEnabled());
  delete fB;
  fB = nullptr;
  QApplication::processEvents();
  EXPECT_EQ(Act(TzvEditCommand::SelectAll).Target().Adapter() != nullptr,
            Act(TzvEditCommand::SelectAll).Target().Widget() != nullptr);
  Act(TzvEditCommand::SelectAll).trigger(); // must not touch the freed control
}

} // namespace
} // namespace zarv
