// What application code may do to the control from its handlers, and what
// the control still owes it afterwards: a handler that destroys the control
// (every callout stops touching it; run under AddressSanitizer in CI, where
// a use after free fails the test), a handler that throws (every bracket
// the control opened is closed again), and the loads and saves around them.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/memo/ZarvMemoStrings.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/navigator/Navigator.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

using namespace zarv;

namespace {

// A listener that runs a function on the events it is given.
class TListener : public IzvsNotify {
public:
  TListener(TzvEvents events, std::function<void()> f) : fEvents(events), fF(std::move(f)) {}
  void Notify(QObject*, TzvEvents events) override {
    if (events & fEvents)
      fF();
  }

private:
  TzvEvents fEvents;
  std::function<void()> fF;
};

// Where a handler is installed.
enum class THook { ChangedSignal, OnChange, BeforeChangeListener, OnBeforeChange, OnProgress, ProgressSignal, OnParse };

const char* HookName(THook h) {
  switch (h) {
  case THook::ChangedSignal:
    return "changed()";
  case THook::OnChange:
    return "OnChange";
  case THook::BeforeChangeListener:
    return "zveBeforeChange";
  case THook::OnBeforeChange:
    return "OnBeforeChange";
  case THook::OnProgress:
    return "OnProgress";
  case THook::ProgressSignal:
    return "progressed()";
  case THook::OnParse:
    return "OnParse";
  }
  return "?";
}

// Installs `run` at the hook; the listener object (if any) is kept by the
// caller so that it outlives the control.
void Install(TZarvMemo& m, THook hook, const std::function<void()>& run, std::unique_ptr<TListener>& listener) {
  switch (hook) {
  case THook::ChangedSignal:
    QObject::connect(&m, &TZarvMemo::changed, run);
    break;
  case THook::OnChange:
    m.OnChange = [run](TZarvMemo&) { run(); };
    break;
  case THook::BeforeChangeListener:
    listener = std::make_unique<TListener>(zveBeforeChange, run);
    m.AddNotify(listener.get());
    break;
  case THook::OnBeforeChange:
    m.OnBeforeChange = [run](TZarvMemo&, QString&) { run(); };
    break;
  case THook::OnProgress:
    m.OnProgress = [run](TZarvMemo&) { run(); };
    break;
  case THook::ProgressSignal:
    QObject::connect(&m, &TZarvMemo::progressed, run);
    break;
  case THook::OnParse:
    m.OnParse = [run](TZarvMemo&, int32_t, int32_t) { run(); };
    break;
  }
}

struct TAction {
  const char* Name;
  std::function<void(TZarvMemo&)> Run;
};

std::vector<TAction> Actions() {
  return {
      {"TypeText", [](TZarvMemo& m) { m.TypeText(QStringLiteral("xy")); }},
      {"KeyPress", [](TZarvMemo& m) { m.KeyPress(u'x'); }},
      {"KeyPress Enter", [](TZarvMemo& m) { m.KeyPress(13); }},
      {"DoBackspace", [](TZarvMemo& m) { m.DoBackspace(); }},
      {"DoDelete", [](TZarvMemo& m) { m.DoDelete(); }},
      {"SetBold",
       [](TZarvMemo& m) {
         m.setSelStart(1);
         m.setSelLength(2);
         m.SetBold();
       }},
      {"Undo",
       [](TZarvMemo& m) {
         const QPointer<TZarvMemo> alive(&m);
         m.OnChange = nullptr; // the handler under test only sees the undo
         m.Undo();
         (void)alive;
       }},
      {"SetDynText", [](TZarvMemo& m) { m.SetDynText(0, 2, m.DynText(3, 6)); }},
      {"InsertBlock", [](TZarvMemo& m) { m.InsertBlock(QStringLiteral("ab\r\ncd\r\nef")); }},
      {"setParString", [](TZarvMemo& m) { m.setParString(1, QStringLiteral("new")); }},
      {"SetTextBuf", [](TZarvMemo& m) { m.SetTextBuf(QStringLiteral("other text")); }},
      {"LoadFromStream",
       [](TZarvMemo& m) {
         QByteArray bytes(200000, 'a');
         for (int i = 80; i < bytes.size(); i += 81)
           bytes[i] = '\n';
         QBuffer b(&bytes);
         b.open(QIODevice::ReadOnly);
         m.LoadFromStream(b);
       }},
      {"SaveToStream",
       [](TZarvMemo& m) {
         QBuffer b;
         b.open(QIODevice::WriteOnly);
         m.SaveToStream(b);
       }},
      {"PasteFromClipboard",
       [](TZarvMemo& m) {
         QApplication::clipboard()->setText(QStringLiteral("pasted"));
         m.PasteFromClipboard();
       }},
      {"CutToClipboard",
       [](TZarvMemo& m) {
         m.SelectAll();
         m.CutToClipboard();
       }},
      {"Clear", [](TZarvMemo& m) { m.Clear(); }},
  };
}

} // namespace

// Every action that calls out, with every handler that may destroy the
// control: the control is gone afterwards and nothing touched it (a use
// after free aborts the sanitizer build). Each handler destroys the control
// the first time it runs; an action that never reaches a handler leaves the
// control alive, which is fine too, but at least one action per hook must
// destroy it.
TEST(ZarvMemoHandlers, AHandlerMayDestroyTheControlInTheMiddleOfAnyAction) {
  for (THook hook : {THook::ChangedSignal, THook::OnChange, THook::BeforeChangeListener, THook::OnBeforeChange,
                     THook::OnProgress, THook::ProgressSignal, THook::OnParse}) {
    int destroyedCount = 0;
    for (const TAction& action : Actions()) {
      SCOPED_TRACE(std::string(HookName(hook)) + " during " + action.Name);
      auto* m = new TZarvMemo;
      m->resize(300, 200);
      m->show();
      m->setUpdateMode(umImmediate);
      m->setStaticFormat(true);
      m->setOptions(m->getOptions() | zvoBlockSelection);
      m->setProgressInterval(0); // progress on every buffer
      m->SetTextBuf(QStringLiteral("first line\r\nsecond line\r\nthird"));
      m->setSelStart(3);
      m->TypeText(QStringLiteral("t")); // something to undo
      QPointer<TZarvMemo> alive(m);
      std::unique_ptr<TListener> listener;
      Install(
          *m, hook, [&alive] { delete alive.data(); }, listener);
      try {
        action.Run(*m);
      } catch (const std::exception& e) {
        ADD_FAILURE() << "threw " << e.what();
      }
      if (!alive)
        ++destroyedCount;
      else
        delete m;
    }
    EXPECT_GT(destroyedCount, 0) << HookName(hook) << " never ran";
  }
}

// A listener that destroys the control while a key event is handled: the
// event wrapper returns without touching it.
TEST(ZarvMemoHandlers, AnEventHandlerThatDestroysTheControlEndsTheEventQuietly) {
  auto* m = new TZarvMemo;
  m->resize(300, 200);
  m->show();
  m->SetTextBuf(QStringLiteral("abc"));
  QPointer<TZarvMemo> alive(m);
  QObject::connect(m, &TZarvMemo::changed, [&alive] { delete alive.data(); });
  QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
  QApplication::sendEvent(m, &press);
  EXPECT_TRUE(alive.isNull());
}

// A handler that throws once: the exception reaches the caller, and the
// control is not left locked (typing goes on, changes are told again).
TEST(ZarvMemoHandlers, AHandlerThatThrowsOnceLeavesNoBracketOpen) {
  struct TCase {
    const char* Name;
    std::function<void(TZarvMemo&, bool& armed)> Arm;
    std::function<void(TZarvMemo&)> Act;
  };
  const std::vector<TCase> cases = {
      {"OnParse during an edit",
       [](TZarvMemo& m, bool& armed) {
         m.OnParse = [&armed](TZarvMemo&, int32_t, int32_t) {
           if (std::exchange(armed, false))
             throw std::runtime_error("refused");
         };
       },
       [](TZarvMemo& m) { m.TypeText(QStringLiteral("ab")); }},
      {"OnParse at the end of a load",
       [](TZarvMemo& m, bool& armed) {
         m.OnParse = [&armed](TZarvMemo&, int32_t, int32_t) {
           if (std::exchange(armed, false))
             throw std::runtime_error("refused");
         };
       },
       [](TZarvMemo& m) {
         QByteArray bytes("loaded text");
         QBuffer b(&bytes);
         b.open(QIODevice::ReadOnly);
         m.LoadFromStream(b);
       }},
      {"OnBeforeChange with kept blocks",
       [](TZarvMemo& m, bool& armed) {
         m.setOptions(m.getOptions() | zvoPersistentBlocks | zvoNoOverwriteBlocks);
         m.setSelStart(0);
         m.setSelLength(3);
         m.OnBeforeChange = [&armed](TZarvMemo&, QString&) {
           if (std::exchange(armed, false))
             throw std::runtime_error("refused");
         };
       },
       [](TZarvMemo& m) { m.KeyPress(u'k'); }},
      {"OnChange after a paste",
       [](TZarvMemo& m, bool& armed) {
         m.OnChange = [&armed](TZarvMemo&) {
           if (std::exchange(armed, false))
             throw std::runtime_error("refused");
         };
         QApplication::clipboard()->setText(QStringLiteral("P"));
       },
       [](TZarvMemo& m) { m.PasteFromClipboard(); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TZarvMemo m;
    m.setUpdateMode(umImmediate);
    m.SetTextBuf(QStringLiteral("some text"));
    bool armed = true;
    c.Arm(m, armed);
    EXPECT_THROW(c.Act(m), std::runtime_error);
    EXPECT_EQ(m.LockedCount(), 0);
    int changes = 0;
    m.OnChange = [&changes](TZarvMemo&) { ++changes; };
    const QString before = m.GetTextContent();
    m.setSelLength(0);
    m.TypeText(QStringLiteral("Z"));
    EXPECT_EQ(m.GetTextContent().size(), before.size() + 1) << "typing is ignored";
    EXPECT_EQ(changes, 1) << "the change was not told";
    EXPECT_NO_THROW(m.CheckIntegrity());
  }
}

// A new text starts a new undo list, however it arrives: the old records
// would edit the new text at their old offsets.
TEST(ZarvMemoLoading, ANewTextStartsWithAnEmptyUndoList) {
  const std::vector<std::pair<const char*, std::function<void(TZarvMemo&)>>> loads = {
      {"LoadFromStream",
       [](TZarvMemo& m) {
         QByteArray bytes("second");
         QBuffer b(&bytes);
         b.open(QIODevice::ReadOnly);
         m.LoadFromStream(b);
       }},
      {"LoadFromFile",
       [](TZarvMemo& m) {
         QTemporaryDir dir;
         const QString path = dir.filePath(QStringLiteral("second.txt"));
         QFile f(path);
         ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         f.write("second");
         f.close();
         m.LoadFromFile(path);
       }},
      {"Clear", [](TZarvMemo& m) { m.Clear(); }},
      {"a load that fails",
       [](TZarvMemo& m) {
         QBuffer b; // not open for reading
         EXPECT_THROW(m.LoadFromStream(b), EStreamError);
       }},
  };
  for (const auto& [name, load] : loads) {
    SCOPED_TRACE(name);
    TZarvMemo m;
    m.SetTextBuf(QStringLiteral("first document"));
    m.setSelStart(0);
    m.TypeText(QStringLiteral("XYZ "));
    ASSERT_TRUE(m.CanUndo());
    load(m);
    const QString loaded = m.GetTextContent();
    EXPECT_FALSE(m.CanUndo());
    m.Undo();
    EXPECT_EQ(m.GetTextContent(), loaded);
  }
}

// A named pipe is written into (its reader gets the text and it stays a
// pipe); a device that refuses the bytes is a failure, not a success, and
// stays a device. A regular file is still replaced as a whole.
TEST(ZarvMemoSaving, SpecialFilesAreWrittenIntoAndTheirFailuresReported) {
  TZarvMemo m;
  m.SetTextBuf(QStringLiteral("to the pipe"));
  QTemporaryDir dir;
  const QByteArray fifo = dir.filePath(QStringLiteral("fifo")).toLocal8Bit();
  ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
  QByteArray received;
  std::thread reader([&] {
    QFile f(QString::fromLocal8Bit(fifo));
    if (f.open(QIODevice::ReadOnly))
      received = f.readAll();
  });
  m.SaveToFile(QString::fromLocal8Bit(fifo));
  reader.join();
  EXPECT_EQ(received, QByteArray("to the pipe"));
  struct stat st {};
  ASSERT_EQ(stat(fifo.constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
    EXPECT_THROW(m.SaveToFile(QStringLiteral("/dev/full")), EStreamError);
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
}

// Replacement offsets from an input method are taken in 64 bits and kept
// within the caret's paragraph.
TEST(ZarvMemoInput, InputMethodReplacementsOutsideTheParagraphAreClamped) {
  struct TCase {
    int Start, Length;
    const char* Expected;
  };
  for (const TCase& c :
       {TCase{INT_MAX, 3, "01234\r\n0123456789X\r\nend"}, TCase{INT_MIN, 3, "01234\r\nX3456789\r\nend"},
        TCase{-2, 1, "01234\r\n012X456789\r\nend"}, TCase{3, INT_MAX, "01234\r\n01234567X\r\nend"}}) {
    SCOPED_TRACE(c.Start);
    TZarvMemo m;
    m.SetTextBuf(QStringLiteral("01234\r\n0123456789\r\nend"));
    m.setSelStart(7 + 5);
    QInputMethodEvent e(QString(), {});
    e.setCommitString(QStringLiteral("X"), c.Start, c.Length);
    QApplication::sendEvent(&m, &e);
    EXPECT_EQ(m.GetTextContent(), QString::fromUtf8(c.Expected));
  }
}

// A column block reads as its columns, row by row, as the clipboard gets it.
TEST(ZarvMemoSelection, AColumnBlockReadsAsItsColumns) {
  TZarvMemo m;
  m.setOptions(m.getOptions() | zvoBlockSelection);
  m.SetTextBuf(QStringLiteral("abcdef\r\nab\r\nabcdefgh"));
  m.setWordWrap(false);
  m.SelectBlock(2, 0, 5, 2);
  EXPECT_EQ(m.getSelText(), QStringLiteral("cde\r\n\r\ncde"));
}

// A text read through a converter the store does not speak is saved
// through it again, byte for byte.
TEST(ZarvMemoSaving, UtfThirtyTwoTextSavesBackToTheSameBytes) {
  for (auto enc : {QStringConverter::Utf32LE, QStringConverter::Utf32BE}) {
    for (bool bom : {false, true}) {
      SCOPED_TRACE(int(enc) * 2 + bom);
      QStringEncoder encode(enc, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
      QByteArray bytes = encode(QStringLiteral("line \u00e9\U0001F600\r\nnext"));
      QBuffer in(&bytes);
      in.open(QIODevice::ReadOnly);
      TZarvMemo m;
      m.Lines().LoadFromStream(in, enc);
      QBuffer out;
      out.open(QIODevice::WriteOnly);
      m.SaveToStream(out);
      EXPECT_EQ(out.data().toHex(), bytes.toHex());
    }
  }
}

// With very tall lines on many lines, every pixel offset still fits 32
// bits: the last line can be scrolled to and the caret is on screen.
TEST(ZarvMemoScrolling, TallLinesOnManyLinesStillReachTheEnd) {
  TZarvMemo m;
  m.resize(400, 300);
  m.show();
  QString text;
  for (int i = 0; i < 70000; ++i)
    text += QStringLiteral("l\r\n");
  m.SetTextBuf(text);
  m.setLineHeight(65535);
  const int64_t lh = m.getLineHeight();
  EXPECT_LE((int64_t(m.getTotalLineCount()) + 1) * lh, INT32_MAX);
  m.setSelStart(m.getCharCount());
  m.ScrollInView();
  EXPECT_GE(m.CaretY(), 0);
  EXPECT_LT(m.CaretY(), m.viewport()->height());
  EXPECT_EQ(m.getTopOrigin() / lh, m.getTotalLineCount() - 1);
}

// A text replaced while the control is locked keeps the view where it was.
TEST(ZarvMemoScrolling, ALockedControlKeepsItsScrollPositionWhenTheTextIsReplaced) {
  TZarvMemo m;
  m.resize(400, 300);
  m.show();
  m.setScrollTime(0);
  QString text;
  for (int i = 0; i < 300; ++i)
    text += QStringLiteral("line %1\r\n").arg(i);
  m.SetTextBuf(text);
  m.setTopLine(50);
  const int32_t top = m.getTopOrigin();
  ASSERT_GT(top, 0);
  m.BeginUpdate();
  m.SetTextBuf(text + QStringLiteral("more"));
  m.EndUpdate();
  EXPECT_EQ(m.getTopOrigin(), top);
}

// A position marked to go with deleted text stays when it stood at an end
// of the deleted range (a bookmark on the line after a deleted line).
TEST(ZarvMemoEditing, APositionAtTheEndOfADeletedRangeIsNotFreed) {
  std::vector<int32_t> freed; // outlives the control, which frees the rest
  TZarvMemo m;
  m.SetTextBuf(QStringLiteral("line one\r\nline two\r\nline three"));
  for (int32_t at : {10, 15, 20}) {
    auto* nav = new TZarvNavigator(static_cast<QObject*>(&m));
    nav->fFreeOnDelete = true;
    nav->SetPos(at);
    nav->fOnFree = [&freed, at](TZarvNavigator&) { freed.push_back(at); };
  }
  m.setSelStart(10);
  m.setSelLength(10);
  m.ClearSelection();
  EXPECT_EQ(freed, std::vector<int32_t>{15}); // only the one inside
  EXPECT_EQ(m.GetTextContent(), QStringLiteral("line one\r\nline three"));
}
