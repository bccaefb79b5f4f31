// The key list editor driven through its widgets: a round trip through each
// file form, damaged files, the grey state of mixed selections, and what
// OK and Cancel do to the list.
#include <ZarvMemo/dialogs/KeysEditor.h>
#include <ZarvMemo/highlighters/ExtKeywordList.h>
#include <ZarvMemo/highlighters/ExtStartStopList.h>
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/ValueFiler.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace zarv {
namespace {

// Clicks a check or radio button on its indicator: a click past the
// caption does not toggle it.
void Toggle(QAbstractButton* b) {
  ASSERT_NE(b, nullptr);
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

class KeysEditorTest : public ::testing::Test {
protected:
  QString Path(const QString& name) const { return fDir.filePath(name); }
  // A dialog whose questions are answered by the test.
  std::unique_ptr<TDlgExtKeysEditor> Make(bool startStop, bool extended = true) {
    auto d = std::make_unique<TDlgExtKeysEditor>(startStop, extended, true);
    d->ChooseFile = [this](bool, const QString&) { return fFile; };
    d->ChooseColor = [this](const QColor&) { return fColor; };
    d->ShowMessage = [this](const QString& m) { fMessages << m; };
    d->show(); // in-place editors open on a shown list only
    return d;
  }
  void Click(TDlgExtKeysEditor& d, const char* button) {
    auto* b = d.findChild<QPushButton*>(QString::fromLatin1(button));
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
  }
  void Menu(TDlgExtKeysEditor& d, const QString& caption) {
    for (QAction* a : d.FileMenu().actions())
      if (a->text() == caption) {
        a->trigger();
        return;
      }
    ADD_FAILURE() << "no menu item " << caption.toStdString();
  }
  // Adds a key through the Add button and the row's in-place edit.
  void AddKey(TDlgExtKeysEditor& d, const QString& key, const QString& stop = QString()) {
    Click(d, "add"); // opens the new row's in-place editor
    QTreeWidgetItem* item = d.KeyList().currentItem();
    ASSERT_NE(item, nullptr);
    for (int column = 0; column < d.KeyList().columnCount(); ++column) {
      if (column > 0)
        d.KeyList().editItem(item, column);
      auto* editor = qobject_cast<QLineEdit*>(
          d.KeyList().indexWidget(d.KeyList().model()->index(d.KeyList().indexOfTopLevelItem(item), column)));
      ASSERT_NE(editor, nullptr) << "no editor in column " << column;
      editor->setText(column == 0 ? key : stop);
      QTest::keyClick(editor, Qt::Key_Return);
      QApplication::processEvents(); // the view commits the editor's text queued
    }
    ASSERT_EQ(item->text(0), key);
  }
  // Selects rows (by index) as a user would, with Ctrl held from the second.
  void SelectRows(TDlgExtKeysEditor& d, std::initializer_list<int> rows) {
    d.KeyList().clearSelection();
    for (int r : rows)
      d.KeyList().topLevelItem(r)->setSelected(true);
  }
  // A list of keys with varied attributes, made through the widgets.
  void Populate(TDlgExtKeysEditor& d, bool startStop) {
    AddKey(d, QStringLiteral("begin"), QStringLiteral("end"));
    Toggle(&d.Box(QStringLiteral("bold")));
    Toggle(&d.Box(QStringLiteral("matchCase")));
    d.ContextEdit().setValue(7);
    d.ScopeEdit().setValue(3);
    d.PriorityEdit().setValue(200);
    fColor = QColor(0x12, 0x34, 0x56);
    QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("foreground")), Qt::LeftButton);
    AddKey(d, QStringLiteral(":="), QStringLiteral("|x"));
    Toggle(d.PositionGroup().button(2));
    Toggle(&d.Box(QStringLiteral("wholeWords")));
    if (startStop) {
      Toggle(&d.Box(QStringLiteral("collapsible")));
      Toggle(&d.Box(QStringLiteral("crossPar")));
    }
    AddKey(d, QStringLiteral("a=b"), QString());
    Toggle(&d.Box(QStringLiteral("highlight")));
    d.CursorBox().setCurrentIndex(3);
    Q_EMIT d.CursorBox().activated(3);
  }

  QTemporaryDir fDir;
  QString fFile;
  std::optional<QColor> fColor;
  QStringList fMessages;
};

TEST_F(KeysEditorTest, EveryFileFormRoundTripsTheListThroughTheWidgets) {
  struct TRow {
    bool StartStop;
    int Kind; // plain list, ini, binary
    const char* File;
    bool KeysOnly;
  };
  const TRow rows[] = {{false, 0, "k.txt", true}, {false, 1, "k.ini", false}, {false, 2, "k.kbn", false},
                       {true, 0, "s.txt", true},  {true, 1, "s.ini", false},  {true, 2, "s.kbn", false}};
  const QString saves[] = {QStringLiteral("Save list (text)..."), QStringLiteral("Save list and attributes (text)..."),
                           QStringLiteral("Save list and attributes (binary)...")};
  const QString loads[] = {QStringLiteral("&Load list (text)..."), QStringLiteral("Load list and attributes (text)..."),
                           QStringLiteral("Load list and attributes (binary)...")};
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.File);
    fFile = Path(QString::fromLatin1(r.File));
    auto d = Make(r.StartStop);
    Populate(*d, r.StartStop);
    ASSERT_EQ(d->Works().size(), 3u);
    EXPECT_TRUE(d->Modified());
    Menu(*d, saves[r.Kind]);
    auto back = Make(r.StartStop);
    Menu(*back, loads[r.Kind]);
    ASSERT_TRUE(fMessages.isEmpty()) << fMessages.join('\n').toStdString();
    ASSERT_EQ(back->Works().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      TzvKeyWork expected = d->Works()[i];
      if (!r.StartStop)
        expected.StopKey.clear();
      if (r.KeysOnly) { // a plain list carries the keys alone
        const TzvKeyWork fresh;
        expected.Info = fresh.Info;
        expected.Flags = fresh.Flags;
        expected.Scope = expected.Priority = 0;
      }
      EXPECT_EQ(back->Works()[i], expected) << "key " << i;
    }
    EXPECT_EQ(back->KeyList().topLevelItemCount(), 3);
  }
}

TEST_F(KeysEditorTest, ADamagedFileShowsAMessageAndLeavesTheRows) {
  auto write = [&](const QString& name, const QByteArray& bytes) {
    QFile f(Path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return Path(name);
  };
  QByteArray foreign;
  {
    QBuffer b(&foreign);
    b.open(QIODevice::WriteOnly);
    TWriter w(b);
    w.WriteString(TzvKeyListFiles::kStartStopHeader);
  }
  QByteArray cut;
  {
    QBuffer b(&cut);
    b.open(QIODevice::WriteOnly);
    TWriter w(b);
    w.WriteString(TzvKeyListFiles::kKeywordHeader);
    TExtKeywordList l;
    l.AddExtKeyWord(QStringLiteral("kw"), {}, 1, 1, 0, 0, 0, clDefault, clDefault);
    l.WriteData(w);
  }
  cut.chop(3);
  struct TRow {
    QString File;
    int Kind;
    const char* Message; // part of the message
  };
  const TRow rows[] = {{write(QStringLiteral("a.kbn"), foreign), 2, "does not contain valid keyword list"},
                       {write(QStringLiteral("b.kbn"), cut), 2, ""},
                       {write(QStringLiteral("d.ini"), "[Keywords]\nkw=1,x,2\n"), 1, ""},
                       {write(QStringLiteral("e.ini"), "[Other]\nkw=1\n"), 1, "Keywords"},
                       {Path(QStringLiteral("missing.txt")), 0, ""}};
  auto d = Make(false);
  AddKey(*d, QStringLiteral("kept"));
  const TzvKeyWorks before = d->Works();
  const QString loads[] = {QStringLiteral("&Load list (text)..."), QStringLiteral("Load list and attributes (text)..."),
                           QStringLiteral("Load list and attributes (binary)...")};
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.File.toStdString());
    fMessages.clear();
    fFile = r.File;
    Menu(*d, loads[r.Kind]);
    ASSERT_EQ(fMessages.size(), 1);
    EXPECT_TRUE(fMessages[0].contains(QString::fromLatin1(r.Message))) << fMessages[0].toStdString();
    EXPECT_EQ(d->Works(), before);
    EXPECT_EQ(d->KeyList().topLevelItemCount(), 1);
  }
}

TEST_F(KeysEditorTest, MixedSelectionsShowGreyAndChangeOnlyTheOptionClicked) {
  auto d = Make(false);
  AddKey(*d, QStringLiteral("one"));
  Toggle(&d->Box(QStringLiteral("bold")));
  d->ContextEdit().setValue(5);
  AddKey(*d, QStringLiteral("two"));
  SelectRows(*d, {0, 1});
  EXPECT_EQ(d->Box(QStringLiteral("bold")).checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(d->Box(QStringLiteral("italic")).checkState(), Qt::Unchecked);
  EXPECT_EQ(d->SelCountLabel().text(), QStringLiteral("2 of 2 selected"));
  EXPECT_EQ(d->ContextEdit().palette().color(QPalette::Text), QColor(0x80, 0x80, 0x80));
  Toggle(&d->Box(QStringLiteral("italic")));
  EXPECT_EQ(d->Works()[0].Info.Style, fsBold | fsItalic);
  EXPECT_EQ(d->Works()[1].Info.Style, fsItalic);
  EXPECT_EQ(d->Works()[0].Info.ContextNumber, 5);
  EXPECT_EQ(d->Works()[1].Info.ContextNumber, 1);
  // The grey box, once clicked, sets the bit for both.
  Toggle(&d->Box(QStringLiteral("bold")));
  EXPECT_EQ(d->Works()[1].Info.Style, fsBold | fsItalic);
  // Move and delete keep rows and records together.
  SelectRows(*d, {1});
  d->KeyList().setCurrentItem(d->KeyList().topLevelItem(1), 0, QItemSelectionModel::NoUpdate);
  Click(*d, "moveup");
  EXPECT_EQ(d->Works()[0].Key, QStringLiteral("two"));
  EXPECT_EQ(d->KeyList().topLevelItem(0)->text(0), QStringLiteral("two"));
  Click(*d, "delete");
  ASSERT_EQ(d->Works().size(), 1u);
  EXPECT_EQ(d->Works()[0].Key, QStringLiteral("one"));
}

// The modal entry points: the dialog is reached through the active modal
// widget once its loop runs.
template <class Then>
void WhenModal(Then then) {
  QTimer::singleShot(0, [then] {
    auto* d = qobject_cast<TDlgExtKeysEditor*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    then(*d);
  });
}

QByteArray Bytes(const TKeywordList& l) {
  QByteArray out;
  QBuffer b(&out);
  b.open(QIODevice::WriteOnly);
  TWriter w(b);
  l.WriteData(w);
  return out;
}

TEST_F(KeysEditorTest, CancelOrAnUnchangedOkLeaveTheListAndOkRewritesItOnce) {
  TExtKeywordList list;
  list.AddExtKeyWord(QStringLiteral("alpha"), woMatchCase, fsBold, 2, 1, 5, 0, clDefault, 0x0000FF);
  list.AddExtKeyWord(QStringLiteral("beta"), {}, 0, 1, 0, 0, -21, clDefault, clDefault);
  const QByteArray before = Bytes(list);
  int changes = 0;
  list.OnChange = [&](TKeywordList&) { ++changes; };
  WhenModal([](TDlgExtKeysEditor& d) {
    Toggle(&d.Box(QStringLiteral("italic")));
    d.reject();
  });
  EXPECT_FALSE(EditKeywordList(list, true, true));
  EXPECT_EQ(Bytes(list), before);
  WhenModal([](TDlgExtKeysEditor& d) { d.accept(); });
  EXPECT_FALSE(EditKeywordList(list, true, true));
  EXPECT_EQ(Bytes(list), before);
  EXPECT_EQ(changes, 0);
  WhenModal([](TDlgExtKeysEditor& d) {
    Toggle(&d.Box(QStringLiteral("italic")));
    d.accept();
  });
  EXPECT_TRUE(EditKeywordList(list, true, true));
  EXPECT_EQ(changes, 1) << "the list is rebuilt once, not once per key";
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.getKeyInfo(0).Style, fsBold | fsItalic);
  EXPECT_EQ(list.getScope(0), 1);
  EXPECT_EQ(list.getPriority(0), 5);
  EXPECT_EQ(list.getKeyInfo(1).Cursor, -21);
}

TEST_F(KeysEditorTest, ALoadBeyondTheListsCapacityIsRefused) {
  QString text;
  for (int i = 0; i < TStartStopKeyList::kMaxEntries; ++i)
    text += QStringLiteral("k%1|\n").arg(i);
  fFile = Path(QStringLiteral("big.txt"));
  QFile f(fFile);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text.toUtf8());
  f.close();
  auto d = Make(true);
  AddKey(*d, QStringLiteral("one"), QStringLiteral("two"));
  Menu(*d, QStringLiteral("&Load list (text)..."));
  EXPECT_EQ(fMessages.size(), 1);
  EXPECT_EQ(d->Works().size(), 1u);
}

} // namespace
} // namespace zarv
