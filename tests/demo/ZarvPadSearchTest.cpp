// ZarvPad's Search and Tools menus on the real window: Replace by its key,
// Replace All as one undo step, and the list editor reached from Tools.
#ifdef ZARVPAD_LINKED

#include "ZarvPadFixture.h"

#include <ZarvMemo/actions/SearchAction.h>
#include <ZarvMemo/dialogs/FindDialog.h>
#include <ZarvMemo/dialogs/KeysEditor.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

using namespace zarv;
using namespace zarv::pad;
using namespace zarv::pad::test;

namespace {

TEST_F(ZarvPadTest, ReplaceByItsKeyReplacesAllAsOneUndoStep) {
  QByteArray text;
  for (int i = 0; i < 5000; ++i)
    text += "old new older old\n";
  Open(QStringLiteral("r.txt"), text);
  Focus();
  const QString before = Text();
  QTest::keyClick(&M(), Qt::Key_H, Qt::ControlModifier);
  auto* dialog = W().findChild<TzvFindDialog*>();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  EXPECT_TRUE(dialog->ReplaceMode());
  QTest::keyClicks(&dialog->FindEdit(), QStringLiteral("old"));
  dialog->ReplaceEdit().setText(QStringLiteral("gold old"));
  QTest::mouseClick(&dialog->WholeWordBox(), Qt::LeftButton, {}, QPoint(6, dialog->WholeWordBox().height() / 2));
  QTest::mouseClick(&dialog->ReplaceAllButton(), Qt::LeftButton);
  QString expected = before;
  expected.replace(QStringLiteral("old new older old"), QStringLiteral("gold old new older gold old"));
  EXPECT_EQ(Text(), expected);
  EXPECT_EQ(dialog->Status(), QStringLiteral("10000 replaced"));
  dialog->close();
  Focus();
  QTest::keyClick(&M(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), before);
  EXPECT_FALSE(Action(QStringLiteral("&Undo"))->isEnabled()) << "one step undid it all";
  EXPECT_TRUE(Action(QStringLiteral("&Redo"))->isEnabled());
}

TEST_F(ZarvPadTest, ToolsEditsTheEditorsKeywordList) {
  Open(QStringLiteral("t.txt"), "alpha beta\n");
  QTimer::singleShot(0, [] {
    auto* d = qobject_cast<TDlgExtKeysEditor*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    d->AddKey(false);
    QApplication::processEvents();
    d->KeyList().topLevelItem(0)->setText(0, QStringLiteral("beta"));
    d->accept();
  });
  Action(QStringLiteral("Edit Highlighter &Lists..."))->trigger();
  ASSERT_EQ(M().Keywords().GetCount(), 1);
  EXPECT_EQ(M().Keywords().Get(0), QStringLiteral("beta"));
}

} // namespace

#endif
