// Undo steps as the user sees them: one step per edit (stripped code pairs
// and whole column blocks included), typing runs that lose blanks to
// zvoDiscardTrailingSpaces, the undo stream's refusal of records that split
// a line break, the limits trimming whole steps, the notice of a change too
// large to record, and the clean state behind Modified.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/FilerError.h>

#include <QBuffer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace zarv;

namespace {

std::unique_ptr<TZarvMemo> Control(const QString& text, TZarvMemoOptions extra = {}) {
  auto m = std::make_unique<TZarvMemo>();
  m->setUpdateMode(umImmediate);
  m->setScrollTime(0);
  m->setOptions(m->getOptions() | extra);
  m->resize(300, 200);
  m->SetTextBuf(text);
  m->ClearUndo();
  return m;
}

// The undo space invariant: exact accounting, and both limits after a
// change (Undo may let a swapped record grow past the space until the next
// change).
void ExpectSound(const TZarvMemo& m, bool afterChange, const char* where) {
  const TZarvUndoList& u = m.UndoList();
  ASSERT_TRUE(u.CheckIntegrity().isEmpty()) << where << ": " << u.CheckIntegrity().toStdString();
  if (m.getUndoMaxLevel() > 0) {
    ASSERT_LE(u.Steps(), m.getUndoMaxLevel() + 1) << where;
  }
  if (afterChange && m.getUndoMaxSpace() > 0) {
    ASSERT_LE(u.TotalSize(), m.getUndoMaxSpace()) << where;
  }
}

QString Text(const TZarvMemo& m) { return m.GetTextContent(); }

} // namespace

// ---- One edit, one step ------------------------------------------------------------------------------

// Blanks before the caret that discarding trailing spaces takes when Enter
// (or any break) continues a typing run come back with one Undo, whether
// the run typed them or they were there before it.
TEST(ZarvUndo, ATypingRunGivesBackTheBlanksABreakDiscarded) {
  struct Case {
    const char* what;
    QString text;
    int32_t caret;
    std::vector<char16_t> keys;
    QString after;
  };
  const std::vector<Case> cases{
      {"tab then Enter", QStringLiteral("ab x"), 3, {9, 13}, QStringLiteral("ab\r\nx")},
      {"blank then Enter", QStringLiteral("ab x"), 3, {u' ', 13}, QStringLiteral("ab\r\nx")},
      {"letter, blank, Enter", QStringLiteral("ab  x"), 4, {u'c', u' ', 13}, QStringLiteral("ab  c\r\nx")},
      {"blanks before the run", QStringLiteral("ab  x"), 4, {9, 13}, QStringLiteral("ab\r\nx")},
      {"a run of breaks", QStringLiteral("a  b"), 2, {u'c', 9, 13, 9, 13}, QStringLiteral("a c\r\n\r\n b")},
  };
  for (const Case& c : cases) {
    auto m = Control(c.text, zvoDiscardTrailingSpaces);
    m->setSelStart(c.caret);
    for (char16_t k : c.keys)
      m->KeyPress(k);
    ASSERT_EQ(Text(*m), c.after) << c.what;
    ExpectSound(*m, true, c.what);
    EXPECT_EQ(m->UndoList().Steps(), 1) << c.what << ": one run";
    for (int pass = 0; pass < 2; ++pass) {
      m->Undo();
      EXPECT_EQ(Text(*m), c.text) << c.what << ": undo, pass " << pass;
      EXPECT_FALSE(m->CanUndo()) << c.what;
      m->Redo();
      EXPECT_EQ(Text(*m), c.after) << c.what << ": redo, pass " << pass;
      ExpectSound(*m, false, c.what);
    }
  }
}

// Stripping a code pair that encloses nothing is part of the edit that
// left it: one Undo gives back exactly the text before that edit, whether
// the edit stood alone, was made under a lock or continued a typing run.
TEST(ZarvUndo, StrippingStrayCodesUndoesWithTheEditThatCausedIt) {
  const QString bold = QStringLiteral("a\x02\x02"
                                      "b");
  for (int variant = 0; variant < 3; ++variant) {
    auto m = Control(QStringLiteral("ab"));
    m->setStaticFormat(true);
    m->ClearUndo();
    m->setSelStart(1);
    QString before = QStringLiteral("ab");
    if (variant < 2) {
      m->SetBold();
      ASSERT_EQ(Text(*m), bold);
      before = bold;
      m->setSelStart(3); // after both codes: they stay empty
    }
    if (variant == 0) {
      m->KeyPress(u'x');
    } else if (variant == 1) {
      TZarvMemo::TUpdateLock lock(*m);
      m->setSelText(QStringLiteral("x"));
    } else {
      m->setSelText(QStringLiteral("x"));
      m->setSelText(QStringLiteral("\x02\x02")); // continues the run, and leaves an empty pair
    }
    ASSERT_EQ(Text(*m), QStringLiteral("axb")) << variant;
    ExpectSound(*m, true, "after the edit");
    m->Undo();
    EXPECT_EQ(Text(*m), before) << "variant " << variant;
    m->Redo();
    EXPECT_EQ(Text(*m), QStringLiteral("axb")) << "variant " << variant;
    while (m->CanUndo())
      m->Undo();
    EXPECT_EQ(Text(*m), QStringLiteral("ab")) << "variant " << variant;
    ExpectSound(*m, false, "after the undo");
  }
}

// ---- The undo stream ---------------------------------------------------------------------------------

namespace {

QByteArray Stream(int32_t level, const std::vector<TUndoRecord>& records) {
  QByteArray b;
  const auto put = [&b](int32_t v) {
    char le[4];
    qToLittleEndian<qint32>(v, le);
    b.append(le, 4);
  };
  put(level);
  put(int32_t(records.size()));
  for (const TUndoRecord& r : records) {
    const int32_t size = int32_t(r.UndoText.size()) + 13;
    put(size);
    QByteArray block(qsizetype(size) * 2, '\0');
    qToLittleEndian<qint32>(r.UndoStart, block.data());
    qToLittleEndian<qint32>(r.UndoStop, block.data() + 4);
    qToLittleEndian<qint32>(r.LockCount, block.data() + 8);
    qToLittleEndian<quint16>(r.UndoText.data(), qsizetype(r.UndoText.size()), block.data() + 24);
    b += block;
  }
  return b;
}

} // namespace

// A record whose range starts or ends between the CR and the LF of a break,
// or whose text holds half a break, cannot come from an edit (edits move
// such ends before the CR): the stream is refused and the list kept. The
// check follows the text each record leaves for the next.
TEST(ZarvUndo, LoadUndoRefusesRecordsThatSplitALineBreak) {
  struct Case {
    const char* what;
    int32_t level;
    std::vector<TUndoRecord> records;
    bool taken;
  };
  // "ab\r\ncdk": the LF is at 3.
  const std::vector<Case> cases{
      {"starts on the LF", 1, {{3, 4, 0, u"X"}}, false},
      {"ends on the LF", 1, {{1, 3, 0, u"X"}}, false},
      {"empty range on the LF", 1, {{3, 3, 0, u"X"}}, false},
      {"a redo record on the LF", 0, {{3, 3, 0, u""}}, false},
      {"text with a lone CR", 1, {{0, 1, 0, u"\rz"}}, false},
      {"text with a lone LF", 1, {{0, 1, 0, u"z\n"}}, false},
      {"text ending on a CR", 1, {{0, 1, 0, u"z\r"}}, false},
      {"an earlier record on the LF it leaves", 2, {{1, 1, 0, u""}, {0, 1, 0, u"\r\n"}}, false},
      {"whole breaks", 1, {{2, 4, 0, u"\r\nX\r\n"}}, true},
      {"an earlier record beside the break it leaves", 2, {{2, 2, 0, u""}, {0, 1, 0, u"\r\n"}}, true},
      {"a redo record after the break", 0, {{4, 4, 0, u"Y"}}, true},
  };
  for (const Case& c : cases) {
    auto m = Control(QStringLiteral("ab\r\ncd"));
    m->setSelStart(6);
    m->setSelText(QStringLiteral("k")); // a record of its own, to be kept
    QBuffer b;
    b.setData(Stream(c.level, c.records));
    b.open(QIODevice::ReadOnly);
    if (!c.taken) {
      EXPECT_THROW(m->LoadUndo(b), EReadError) << c.what;
      ASSERT_EQ(m->getUndoCount(), 1) << c.what;
      EXPECT_EQ(m->getUndoList(0).UndoStop, 7) << c.what;
      continue;
    }
    ASSERT_NO_THROW(m->LoadUndo(b)) << c.what;
    const QString now = Text(*m);
    while (m->CanUndo())
      m->Undo();
    while (m->CanRedo())
      m->Redo();
    while (m->CanUndo())
      m->Undo();
    while (m->CanRedo())
      m->Redo();
    EXPECT_NO_THROW(m->CheckIntegrity()) << c.what;
    if (c.level == int32_t(c.records.size())) {
      EXPECT_EQ(Text(*m), now) << c.what << ": undo and redo come back to the same text";
    }
  }
}

// Any list the control made is taken back by a control holding the same
// text, however many records and however scattered: a long history of
// edits with breaks, saved at a random level, loads and replays.
TEST(ZarvUndo, LoadUndoTakesEveryListAnEditingSessionMade) {
  QString text;
  for (int i = 0; i < 40; ++i)
    text += QStringLiteral("paragraph %1\r\n").arg(i);
  auto m = Control(text);
  std::mt19937 rng(21);
  std::vector<QString> seen{Text(*m)};
  for (int i = 0; i < 900; ++i) {
    int32_t a = int32_t(rng() % uint32_t(m->getCharCount() + 1));
    if (a > 0 && m->GetTextPart(a - 1, a) == QLatin1String("\r"))
      --a;
    m->setSelStart(a);
    m->setSelLength(m->GetTextPart(a, a + 1) == QLatin1String("\r") ? 2 : int32_t(rng() % 2));
    m->setSelText(rng() % 3 ? QStringLiteral("x\r\n") : QStringLiteral("y"));
    seen.push_back(Text(*m));
  }
  const int32_t back = int32_t(rng() % 900);
  for (int32_t i = 0; i < back; ++i)
    m->Undo();
  QBuffer saved;
  saved.open(QIODevice::ReadWrite);
  m->SaveUndo(saved);
  auto other = Control(Text(*m));
  saved.seek(0);
  ASSERT_NO_THROW(other->LoadUndo(saved));
  ASSERT_EQ(other->getUndoCount(), 900);
  while (other->CanRedo())
    other->Redo();
  ASSERT_EQ(Text(*other), seen.back());
  for (size_t i = seen.size() - 1; i-- > 0;) {
    other->Undo();
    ASSERT_EQ(Text(*other), seen[i]) << i;
  }
}

// ---- Limits trim whole steps -------------------------------------------------------------------------

// A column block of many lines is one step (one group) and is never
// trimmed in part, neither by the level limit nor by the space limit: Undo
// gives back the text before the paste, or the paste cannot be undone at
// all and the control says so.
TEST(ZarvUndo, AColumnBlockPasteIsOneStepThatTheLimitsNeverCut) {
  QString block;
  for (int i = 0; i < 300; ++i)
    block += QStringLiteral("ab\r\n");
  auto m = Control(QStringLiteral("start"));
  m->setUndoMaxLevel(5);
  m->setSelStart(2);
  m->KeyPress(u'z');
  m->setSelStart(2);
  m->InsertBlock(block);
  ExpectSound(*m, true, "after the paste");
  EXPECT_EQ(m->GetParCount(), 301);
  EXPECT_EQ(m->getParString(0), QStringLiteral("stabzart"));
  m->Undo();
  EXPECT_EQ(Text(*m), QStringLiteral("stzart"));
  m->Redo();
  EXPECT_EQ(m->getParString(0), QStringLiteral("stabzart"));
  m->Undo();
  m->Undo();
  EXPECT_EQ(Text(*m), QStringLiteral("start"));

  // Larger than the space: no part of it stays, and the drop is told once.
  auto s = Control(QStringLiteral("start"));
  s->setUndoMaxSpace(2000);
  QSignalSpy dropped(s.get(), &TZarvMemo::undoRecordDropped);
  s->setSelStart(2);
  s->KeyPress(u'z');
  s->setSelStart(2);
  s->InsertBlock(block);
  ExpectSound(*s, true, "after a paste too large");
  EXPECT_EQ(s->getUndoCount(), 0);
  EXPECT_FALSE(s->CanUndo());
  ASSERT_EQ(dropped.count(), 1);
  EXPECT_GT(dropped.at(0).at(0).toInt(), 2000);
}

// ---- The history walk -------------------------------------------------------------------------------

namespace {

// The texts a control went through, one per undo step, and where undo and
// redo stand among them; the clean position as the application marked it.
struct THistory {
  std::vector<QString> Texts;
  int32_t Pos = 0;
  int32_t Clean = 0; // -1: no undo or redo reaches it

  void Edited(const QString& text) {
    Texts.resize(size_t(Pos) + 1);
    Texts.push_back(text);
    if (Clean > Pos)
      Clean = -1; // on the discarded redo branch
    ++Pos;
  }
  // The list keeps only the newest `reach` undo steps.
  void Keep(int32_t reach) {
    const int32_t k = Pos - reach;
    Texts.erase(Texts.begin(), Texts.begin() + k);
    Pos -= k;
    Clean = Clean >= k ? Clean - k : -1;
  }
};

// One edit of one undo step, never a no-op: a replacement, a deletion, a
// bracket of replacements, a typing run, a column block inserted, or a
// column block typed over.
void RandomEdit(TZarvMemo& m, std::mt19937& rng, bool codes) {
  const auto pos = [&] {
    const QString t = m.GetTextContent();
    int32_t p = int32_t(rng() % uint32_t(t.size() + 1));
    if (p > 0 && p < t.size() && t[p] == QLatin1Char('\n'))
      --p;
    return p;
  };
  const auto text = [&] {
    static const char16_t* pieces[] = {u"w", u" ", u"\t", u"\r\n", u"\n", u"xy ", u"\x02", u"\x02\x02", u"\x03"};
    QString s = QStringLiteral("q");
    for (int n = int(rng() % 4); n > 0; --n)
      s += QString::fromUtf16(pieces[rng() % (codes ? 9 : 6)]);
    return s;
  };
  const auto replace = [&] {
    int32_t a = pos(), b = pos();
    if (a > b)
      std::swap(a, b);
    m.setSelStart(b);
    m.setSelLength(a - b);
    m.setSelText(text());
  };
  switch (rng() % 6) {
  case 0:
    replace();
    break;
  case 1: {
    const int32_t a = std::min(pos(), std::max(0, m.getCharCount() - 3));
    m.setSelStart(a);
    m.setSelLength(std::min(int32_t(1 + rng() % 30), m.getCharCount() - a));
    if (m.getSelLength() != 0 && m.GetTextPart(a, a + 1) != QLatin1String("\n")) {
      m.ClearSelection();
      break;
    }
    replace(); // nothing to delete
    break;
  }
  case 2: {
    TZarvMemo::TUpdateLock lock(m);
    for (int n = 2 + int(rng() % 3); n > 0; --n)
      replace();
    break;
  }
  case 3: {
    m.setSelStart(pos());
    m.KeyPress(u'k');
    for (int n = int(rng() % 5); n > 0; --n)
      m.KeyPress(std::vector<char16_t>{u'k', u' ', 9, 13}[rng() % 4]);
    break;
  }
  case 4: {
    QString block = QStringLiteral("b");
    for (int n = int(rng() % 6); n > 0; --n)
      block += QStringLiteral("\r\nb") + QString(int(rng() % 3), QLatin1Char('c'));
    m.setSelStart(pos());
    m.InsertBlock(block);
    break;
  }
  default: {
    const int32_t line = int32_t(rng() % uint32_t(m.GetParCount()));
    m.SelectBlock(int32_t(rng() % 4), line, int32_t(rng() % 6), line + int32_t(rng() % 3));
    m.setSelText(QStringLiteral("X"));
    break;
  }
  }
}

// Random edits, undos, redos and saves under tight limits: every undo and
// redo gives back a text the history holds (a step is never trimmed in
// part), the limits hold, and Modified is true exactly away from the clean
// position, told once per change of the flag.
void RunHistory(TZarvMemoOptions options, bool codes, int maxLevel, int maxSpace, uint32_t seed) {
  QString initial;
  for (int i = 0; i < 12; ++i)
    initial += QStringLiteral("line %1\tof  words\r\n").arg(i);
  auto m = Control(initial, options | zvoBlockSelection);
  m->setWordWrap(false); // column blocks
  m->setStaticFormat(codes);
  m->setUndoMaxLevel(maxLevel);
  m->setUndoMaxSpace(maxSpace);
  m->ClearUndo();
  m->SetModified(false);
  THistory h{{Text(*m)}};
  int dropped = 0;
  std::vector<bool> told;
  QObject::connect(m.get(), &TZarvMemo::undoRecordDropped, [&](int32_t) { ++dropped; });
  QObject::connect(m.get(), &TZarvMemo::modifiedChanged, [&](bool v) { told.push_back(v); });
  std::mt19937 rng(seed);
  bool modified = false;
  for (int step = 0; step < 500; ++step) {
    const int kind = int(rng() % 10);
    const size_t toldBefore = told.size();
    if (kind < 2 && m->CanUndo()) {
      m->Undo();
      ASSERT_EQ(Text(*m), h.Texts[size_t(--h.Pos)]) << "undo, step " << step;
    } else if (kind < 3 && m->CanRedo()) {
      m->Redo();
      ASSERT_EQ(Text(*m), h.Texts[size_t(++h.Pos)]) << "redo, step " << step;
    } else if (kind == 3) {
      m->SetModified(false);
      h.Clean = h.Pos;
    } else {
      const int droppedBefore = dropped;
      RandomEdit(*m, rng, codes);
      ASSERT_NO_FATAL_FAILURE(ExpectSound(*m, true, "after an edit"));
      if (dropped > droppedBefore)
        h = THistory{{Text(*m)}, 0, -1}; // nothing before the edit can be undone
      else
        h.Edited(Text(*m));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSound(*m, false, "after each step"));
    ASSERT_LE(m->UndoList().Steps(), h.Pos) << "step " << step;
    h.Keep(m->UndoList().Steps());
    ASSERT_EQ(m->CanRedo(), size_t(h.Pos) + 1 < h.Texts.size()) << "step " << step;
    ASSERT_EQ(m->Modified(), h.Clean != h.Pos) << "step " << step;
    if (m->Modified() != modified) {
      ASSERT_EQ(told.size(), toldBefore + 1) << "step " << step;
      ASSERT_EQ(told.back(), m->Modified());
      modified = m->Modified();
    } else {
      ASSERT_EQ(told.size(), toldBefore) << "step " << step;
    }
    ASSERT_NO_THROW(m->CheckIntegrity());
  }
  // All the way back and forth through what is left.
  while (h.Pos > 0) {
    m->Undo();
    ASSERT_EQ(Text(*m), h.Texts[size_t(--h.Pos)]);
  }
  EXPECT_FALSE(m->CanUndo());
  while (size_t(h.Pos) + 1 < h.Texts.size()) {
    m->Redo();
    ASSERT_EQ(Text(*m), h.Texts[size_t(++h.Pos)]);
  }
  EXPECT_GT(h.Texts.size(), 3u) << "the walk kept steps to undo";
}

} // namespace

TEST(ZarvUndo, UndoAndRedoWalkWholeStepsUnderTheLevelLimit) {
  RunHistory({}, false, 4, 0, 11);
  RunHistory(zvoDiscardTrailingSpaces, true, 6, 0, 12);
}

TEST(ZarvUndo, UndoAndRedoWalkWholeStepsUnderTheSpaceLimit) {
  RunHistory({}, false, 65536, 600, 13);
  RunHistory(zvoDiscardTrailingSpaces, true, 3, 400, 14);
}

// Typing or pasting over a column block deletes the block and inserts the
// text: one step.
TEST(ZarvUndo, TextPutOverAColumnBlockIsOneStep) {
  const QString text = QStringLiteral("abcd\r\nefgh\r\nijkl");
  for (int how = 0; how < 2; ++how) {
    auto m = Control(text, zvoBlockSelection);
    m->setWordWrap(false);
    m->SelectBlock(1, 0, 3, 2);
    if (how == 0)
      m->KeyPress(u'X');
    else
      m->setSelText(QStringLiteral("XY"));
    EXPECT_EQ(Text(*m), how == 0 ? QStringLiteral("aXd\r\neh\r\nil") : QStringLiteral("aXYd\r\neh\r\nil"));
    m->Undo();
    EXPECT_EQ(Text(*m), text) << how;
    EXPECT_FALSE(m->CanUndo()) << how;
  }
}

// ---- Telling the application -------------------------------------------------------------------------

// An edit whose record alone exceeds UndoMaxSpace cannot be undone; the
// control says so once the edit is complete (the text changed, the store
// consistent), also when the handler destroys it, and only then: records
// that fit, and older records trimmed to make room, are not told.
TEST(ZarvUndo, AnEditTooLargeToRecordIsToldWhenItIsComplete) {
  const QString big(5000, QLatin1Char('w'));
  auto m = Control(big);
  m->setUndoMaxSpace(4096);
  m->setSelStart(0);
  m->KeyPress(u'a');
  std::vector<int32_t> sizes, lengths;
  QObject::connect(m.get(), &TZarvMemo::undoRecordDropped, m.get(), [&](int32_t size) {
    sizes.push_back(size);
    lengths.push_back(m->getCharCount());
    EXPECT_NO_THROW(m->CheckIntegrity());
    EXPECT_FALSE(m->CanUndo());
  });
  m->setFocus();
  QTest::keyClick(m.get(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(m.get(), Qt::Key_Delete);
  ASSERT_EQ(sizes, std::vector<int32_t>{5001 + 13});
  EXPECT_EQ(lengths, std::vector<int32_t>{0}) << "told once the edit is made";
  m->KeyPress(u'b');
  m->setSelStart(0);
  m->setSelText(QString(5000, QLatin1Char('v')));
  for (int32_t n : {3000, 2000}) { // the second fits only once the first goes
    m->setSelStart(0);
    m->setSelLength(n);
    m->ClearSelection();
  }
  EXPECT_EQ(sizes.size(), 1u) << "records that fit are not told";
  EXPECT_EQ(m->getUndoCount(), 1);
  EXPECT_EQ(m->UndoList().TotalSize(), 2013);

  // Inside a bracket: told at its end, once, with the size of all its records.
  m->SetTextBuf(big);
  {
    TZarvMemo::TUpdateLock lock(*m);
    m->setSelStart(0);
    m->setSelLength(2500);
    m->ClearSelection();
    m->setSelLength(2500);
    m->ClearSelection();
    m->SetTextBuf(QStringLiteral("x"));
    EXPECT_EQ(sizes.size(), 1u) << "not while the bracket is open";
  }
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes.back(), 2500 + 13 + 2500 + 13 + 13);
  EXPECT_EQ(lengths.back(), 1);
  EXPECT_EQ(m->getUndoCount(), 0) << "no part of the bracket stays";

  // The handler may destroy the control.
  auto* doomed = Control(big).release();
  doomed->setUndoMaxSpace(100);
  QPointer<TZarvMemo> alive(doomed);
  QObject::connect(doomed, &TZarvMemo::undoRecordDropped, doomed, [doomed] { delete doomed; });
  doomed->SelectAll();
  doomed->ClearSelection();
  EXPECT_TRUE(alive.isNull());
}

// Modified follows the clean position: undo back to the text as saved
// clears it, anything else sets it; a position trimmed away or on a
// discarded redo branch is never clean again; a load or a cleared list
// starts clean when Modified is false.
TEST(ZarvUndo, ModifiedIsClearedByUndoingBackToTheSavedText) {
  auto m = Control(QString());
  QSignalSpy told(m.get(), &TZarvMemo::modifiedChanged);
  m->SetModified(false);
  m->KeyPress(u'a');
  m->KeyPress(u'b');
  m->SetModified(false); // saved "ab"
  m->KeyPress(u'c');     // a run never continues past the saved text
  EXPECT_TRUE(m->Modified());
  m->Undo();
  EXPECT_EQ(Text(*m), QStringLiteral("ab"));
  EXPECT_FALSE(m->Modified());
  m->Undo();
  EXPECT_TRUE(m->Modified());
  m->Redo();
  EXPECT_FALSE(m->Modified());
  m->Redo();
  EXPECT_TRUE(m->Modified());
  ASSERT_EQ(told.count(), 7);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(told.at(i).at(0).toBool(), i % 2 == 0) << "set, cleared, set... by turns: " << i;
  m->SetModified(true);
  EXPECT_EQ(told.count(), 7) << "setting it again changes nothing";
  m->Undo();
  EXPECT_FALSE(m->Modified()) << "the saved text is still clean";

  m->Undo(); // ""; then a new edit discards the branch holding "ab"
  m->KeyPress(u'z');
  m->Undo();
  EXPECT_TRUE(m->Modified()) << "the saved text lies on a discarded branch";

  m->setUndoMaxLevel(1);
  m->SetModified(false); // saved ""
  for (char16_t c : {u'1', u'2', u'3'}) {
    m->setSelStart(0);
    m->KeyPress(c);
  }
  while (m->CanUndo())
    m->Undo();
  EXPECT_EQ(Text(*m), QStringLiteral("1"));
  EXPECT_TRUE(m->Modified()) << "the saved text was trimmed away";

  m->ClearUndo();
  EXPECT_TRUE(m->Modified());
  m->SetModified(false);
  m->ClearUndo();
  m->KeyPress(u'q');
  m->Undo();
  EXPECT_FALSE(m->Modified()) << "a cleared list starts clean when not modified";

  QBuffer file;
  file.setData(QByteArray("loaded\r\n"));
  file.open(QIODevice::ReadOnly);
  m->LoadFromStream(file, TzvsEncoding::Ansi);
  EXPECT_FALSE(m->CanUndo()) << "a load clears the list";
  EXPECT_TRUE(m->Modified());
  m->SetModified(false);
  m->KeyPress(u'q');
  m->Undo();
  EXPECT_EQ(Text(*m), QStringLiteral("loaded\r\n"));
  EXPECT_FALSE(m->Modified());
}
