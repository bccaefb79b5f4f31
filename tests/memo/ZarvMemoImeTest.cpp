// Input methods: text being composed shows at the caret without entering
// the text, its commit is typed as one undoable piece, and the queries
// report the caret's place and the text around it.
#include "PaintTestSupport.h"

#include <ZarvMemo/memo/ZarvMemo.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <gtest/gtest.h>

using namespace zarv;
using zarv::test::MakeMemo;
using zarv::test::Render;

namespace {

void SendIm(TZarvMemo& m, const QString& preedit, const QString& commit, int cursor) {
  QList<QInputMethodEvent::Attribute> attrs;
  attrs << QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, cursor, 1, QVariant());
  QInputMethodEvent e(preedit, attrs);
  if (!commit.isNull())
    e.setCommitString(commit);
  QApplication::sendEvent(&m, &e);
  QApplication::processEvents();
}

TEST(ZarvMemoIme, PreeditShowsWithoutTextAndTheCommitIsOneUndoStep) {
  auto m = MakeMemo(QStringLiteral("ab cd\r\nsecond line"));
  m->setFocusPolicy(Qt::StrongFocus);
  m->activateWindow();
  m->setFocus();
  QApplication::processEvents();
  m->setSelStart(3);
  int changes = 0;
  m->OnChange = [&](TZarvMemo&) { ++changes; };
  const QImage before = Render(*m);
  const int undo0 = m->getUndoCount();

  SendIm(*m, QStringLiteral("xy"), QString(), 1);
  EXPECT_EQ(m->GetTextPart(0, m->GetTextLen()), QStringLiteral("ab cd\r\nsecond line"));
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(m->getUndoCount(), undo0);
  if (m->hasFocus()) { // the composition is drawn only where the control has the focus
    EXPECT_NE(Render(*m), before);
  }

  SendIm(*m, QString(), QStringLiteral("\u00e9t\u00e9"), 0);
  EXPECT_EQ(m->GetTextPart(0, m->GetTextLen()), QStringLiteral("ab \u00e9t\u00e9cd\r\nsecond line"));
  EXPECT_EQ(m->getSelStart(), 6);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(m->getUndoCount(), undo0 + 1);
  m->Undo();
  EXPECT_EQ(m->GetTextPart(0, m->GetTextLen()), QStringLiteral("ab cd\r\nsecond line"));
  m->CheckIntegrity();

  // The queries describe the caret's paragraph and place (asked as the
  // input method asks, through QWidget).
  const QWidget* w = m.get();
  m->setSelStart(9);
  m->setSelLength(3);
  EXPECT_EQ(w->inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("second line"));
  EXPECT_EQ(w->inputMethodQuery(Qt::ImCursorPosition).toInt(), 2);
  EXPECT_EQ(w->inputMethodQuery(Qt::ImAnchorPosition).toInt(), 5);
  EXPECT_EQ(w->inputMethodQuery(Qt::ImCurrentSelection).toString(), QStringLiteral("con"));
  const QRect r = w->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  EXPECT_EQ(r.top(), m->viewport()->y() + m->fLineHeight);
  EXPECT_TRUE(w->inputMethodQuery(Qt::ImEnabled).toBool());
  m->setReadOnly(true);
  EXPECT_FALSE(w->inputMethodQuery(Qt::ImEnabled).toBool());
}

} // namespace
