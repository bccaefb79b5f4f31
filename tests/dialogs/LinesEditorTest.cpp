// The lines editor over an edited control: what Apply, OK and Cancel leave
// in the edited control (text and undo list), the save name rule, the
// style commands' availability and the search.
#include <ZarvMemo/dialogs/FindDialog.h>
#include <ZarvMemo/dialogs/LinesEditor.h>
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace zarv {
namespace {

// The edited control with an undo history of its own.
class LinesEditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    fEdited.SetTextBuf(QStringLiteral("one\r\ntwo"));
    fEdited.ClearUndo();
    fEdited.setSelStart(3);
    fEdited.setSelText(QStringLiteral("!"));
    ASSERT_EQ(fEdited.getUndoCount(), 1);
  }
  std::unique_ptr<TFrmZarvLines> Make() {
    auto f = std::make_unique<TFrmZarvLines>(fEdited);
    f->ShowMessage = [this](const QString& m) { fMessages << m; };
    return f;
  }
  void Type(TFrmZarvLines& f, const QString& s) {
    f.Editor().setSelStart(f.Editor().getCharCount());
    f.Editor().setSelText(s);
  }
  TZarvMemo fEdited;
  QStringList fMessages;
};

TEST_F(LinesEditorTest, OkCancelAndApplyTouchTheEditedControlOnlyWhenTheyMust) {
  struct TRow {
    bool Edit, Apply, Cancel;
    const char* Text;
    int UndoSteps; // the edited control's undo records afterwards
  };
  const TRow rows[] = {
      {false, false, true, "one!\r\ntwo", 1},   // Cancel without Apply: nothing touched
      {true, false, true, "one!\r\ntwo", 1},    // edits never applied
      {true, true, true, "one!\r\ntwo", -1},    // applied, then restored
      {true, false, false, "one!\r\ntwo+", -1}, // OK applies
      {true, true, false, "one!\r\ntwo+", -1},  {false, false, false, "one!\r\ntwo", 1},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.Edit << r.Apply << r.Cancel);
    SetUp();
    auto f = Make();
    EXPECT_FALSE(f->ApplyButton().isEnabled());
    if (r.Edit)
      Type(*f, QStringLiteral("+"));
    EXPECT_EQ(f->ApplyButton().isEnabled(), r.Edit);
    if (r.Apply)
      QTest::mouseClick(&f->ApplyButton(), Qt::LeftButton);
    QTest::mouseClick(f->findChild<QPushButton*>(r.Cancel ? QStringLiteral("cancel") : QStringLiteral("ok")),
                      Qt::LeftButton);
    EXPECT_EQ(fEdited.GetTextContent(), QString::fromLatin1(r.Text));
    if (r.UndoSteps >= 0) {
      EXPECT_EQ(fEdited.getUndoCount(), r.UndoSteps);
    }
    // Whatever reached the edited control undoes step by step back to the
    // text it had.
    while (fEdited.CanUndo() && fEdited.GetTextContent() != QStringLiteral("one!\r\ntwo"))
      fEdited.Undo();
    EXPECT_EQ(fEdited.GetTextContent(), QStringLiteral("one!\r\ntwo"));
  }
}

TEST_F(LinesEditorTest, ApplyIsOneUndoStepInTheEditedControl) {
  auto f = Make();
  Type(*f, QStringLiteral("\r\nthree"));
  f->Editor().setSelStart(0);
  f->Editor().setSelText(QStringLiteral("zero "));
  f->Apply();
  EXPECT_EQ(fEdited.GetTextContent(), QStringLiteral("zero one!\r\ntwo\r\nthree"));
  fEdited.Undo();
  EXPECT_EQ(fEdited.GetTextContent(), QStringLiteral("one!\r\ntwo"));
}

TEST_F(LinesEditorTest, SaveNamesGetTheTextExtensionOnlyWhenTheyHaveNone) {
  const std::pair<const char*, const char*> rows[] = {{"/tmp/notes", "/tmp/notes.TXT"},
                                                      {"/tmp/notes.", "/tmp/notes."},
                                                      {"/tmp/notes.md", "/tmp/notes.md"},
                                                      {"/tmp/a.b/notes", "/tmp/a.b/notes.TXT"}};
  for (const auto& [in, out] : rows)
    EXPECT_EQ(TFrmZarvLines::WithDefaultExtension(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
  QTemporaryDir dir;
  auto f = Make();
  f->ChooseFile = [&](bool) { return dir.filePath(QStringLiteral("saved")); };
  ASSERT_TRUE(f->SaveAs());
  EXPECT_EQ(f->EditFile(), dir.filePath(QStringLiteral("saved.TXT")));
  auto g = Make();
  ASSERT_TRUE(g->LoadFile(f->EditFile()));
  EXPECT_EQ(g->Editor().GetTextContent(), fEdited.GetTextContent());
}

TEST_F(LinesEditorTest, StyleCommandsNeedStaticText) {
  for (bool staticText : {false, true}) {
    fEdited.setStaticFormat(staticText);
    auto f = Make();
    for (const char* name : {"bold", "italic", "underline", "highlight", "altFont"})
      EXPECT_EQ(f->Command(QString::fromLatin1(name)).isEnabled(), staticText) << name;
  }
}

TEST_F(LinesEditorTest, SearchFindsOrSaysSo) {
  auto f = Make();
  f->show();
  f->Command(QStringLiteral("find")).trigger();
  ASSERT_NE(f->FindDialog(), nullptr);
  EXPECT_TRUE(f->FindDialog()->WholeWordBox().isHidden());
  f->FindDialog()->FindEdit().setText(QStringLiteral("two"));
  QTest::mouseClick(&f->FindDialog()->FindButton(), Qt::LeftButton);
  EXPECT_EQ(f->Editor().getSelText(), QStringLiteral("two"));
  EXPECT_EQ(f->ParLabel().text(), QStringLiteral("2"));
  EXPECT_TRUE(f->Command(QStringLiteral("findNext")).isEnabled());
  f->Command(QStringLiteral("findNext")).trigger();
  EXPECT_EQ(fMessages, QStringList{QStringLiteral("Search string not found")});
}

} // namespace
} // namespace zarv
