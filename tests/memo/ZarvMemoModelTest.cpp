// The editor control as a component: property defaults and the effect of
// setting each, the notification protocol (order, listeners leaving or
// destroying the control mid-walk, swallowed events), the update lock, the
// lifecycle with linked components in both destruction orders, window
// creation with background formatting, and the integrity check.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/folding/CollapseHandler.h>
#include <ZarvMemo/support/highlight/Highlighter.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace zarv;

namespace {

// Records the events it is told, tagged with a name.
class TRecorder : public IzvsNotify {
public:
  TRecorder(std::vector<std::string>& log, std::string name) : fLog(log), fName(std::move(name)) {}
  void Notify(QObject*, TzvEvents events) override {
    for (auto [bit, text] : {std::pair{zveBeforeChange, "before"}, {zveChange, "change"}, {zveFontChanged, "font"}})
      if (events.testFlag(bit))
        fLog.push_back(fName + ":" + text);
    if (OnNotify)
      OnNotify(events);
  }
  std::function<void(TzvEvents)> OnNotify;

private:
  std::vector<std::string>& fLog;
  std::string fName;
};

class TFakeCollapseHandler : public TzvsCollapseHandler, public IzvCollapseHandler {
public:
  std::vector<std::pair<QObject*, bool>> Links;
  void LinkMemo(QObject* memo, bool link) override { Links.emplace_back(memo, link); }
  void PaintLine(QObject*, QPainter*, int, int, const ParInfo&, const LineInfo&) override {}
};

} // namespace

TEST(ZarvMemoModel, ANewControlHoldsOneEmptyParagraphAndThePropertyDefaults) {
  TZarvMemo m;
  EXPECT_EQ(m.getCharCount(), 0);
  EXPECT_EQ(m.GetParCount(), 1);
  EXPECT_EQ(m.getTotalLineCount(), 1);
  EXPECT_EQ(m.Paragraphs().fVisibleLineCount, 1);
  m.CheckIntegrity();
  // Published properties through the meta-object, as a form loader sees them.
  const std::vector<std::pair<const char*, QVariant>> defaults = {
      {"WordWrap", true},
      {"Justified", false},
      {"LeftMargin", 8},
      {"RightMargin", 8},
      {"TabStops", 8},
      {"ColumnWrap", 0},
      {"CaretWidth", 1},
      {"RightLinePos", 0},
      {"WordWrapChars", QString()},
      {"ApplyKeyWords", true},
      {"ApplyStartStopKeys", true},
      {"StaticFormat", false},
      {"HideSelection", true},
      {"WantTabs", true},
      {"DisplayOnly", false},
      {"ReadOnly", false},
      {"Overwrite", false},
      {"EnableHotKeys", true},
      {"PassOverCodes", true},
      {"ShowEndParSelected", true},
      {"HighlightColor", int(clRed)},
      {"HighlightBackgnd", int(clWindow)},
      {"SelBackColor", int(clHighlight)},
      {"SelTextColor", int(clHighlightText)},
      {"MouseWheelFactor", -1},
      {"ScrollTime", 300},
      {"ProgressInterval", 300u},
      {"UndoMaxLevel", 65536},
      {"UndoMaxSpace", 4194304},
      {"Separators", QStringLiteral("\t\n\r $%&,./:;<=>")},
  };
  for (const auto& [name, value] : defaults)
    EXPECT_EQ(m.property(name), value) << name << " is " << m.property(name).toString().toStdString();
  EXPECT_EQ(m.getOptions(), kDefaultMemoOptions);
  EXPECT_EQ(m.getOptions().toInt(), 0x5Eu) << "bits 1, 2, 3, 4 and 6";
  EXPECT_EQ(m.getScrollBars(), ssVertical);
  EXPECT_EQ(m.getLineBreak(), zbCRLF);
  EXPECT_EQ(m.getUpdateMode(), umBackground);
  EXPECT_EQ(m.getEndOfTextMark().Color, clRed);
  EXPECT_EQ(m.getRightLinePen().Color, clGray);
  EXPECT_EQ(m.font().family(), QStringLiteral("Arial"));
  EXPECT_EQ(m.size(), QSize(100, 60));
}

// Equal values change nothing; layout setters re-wrap only where the text
// can wrap differently (and repaint the lines they re-wrap); look setters
// repaint.
TEST(ZarvMemoModel, SettersReformatOrRepaintOnlyWhenTheValueChanges) {
  struct Case {
    const char* name;
    QVariant value;
    bool reformat;
    bool repaint;
  };
  const Case cases[] = {
      {"WordWrap", false, true, true},  {"LeftMargin", 20, true, true},    {"RightMargin", 3, true, true},
      {"TabStops", 4, true, true},      {"ColumnWrap", 40, true, true},    {"WordWrapChars", "-", true, true},
      {"Justified", true, false, true}, {"RightLinePos", 80, false, true}, {"HighlightColor", int(clBlue), false, true},
      {"ReadOnly", true, false, false}, {"WantTabs", false, false, false},
  };
  for (const Case& c : cases) {
    TZarvMemo m;
    m.show();
    const QVariant old = m.property(c.name);
    int32_t reformats = m.ReformatCount(), repaints = m.RepaintCount();
    m.setProperty(c.name, old);
    EXPECT_EQ(m.ReformatCount(), reformats) << c.name << ": equal value";
    EXPECT_EQ(m.RepaintCount(), repaints) << c.name << ": equal value";
    m.setProperty(c.name, c.value);
    EXPECT_EQ(m.property(c.name), c.value) << c.name;
    EXPECT_EQ(m.ReformatCount() > reformats, c.reformat) << c.name;
    EXPECT_EQ(m.RepaintCount() > repaints, c.repaint) << c.name;
  }
  // Without word wrap, margins change no line break.
  TZarvMemo m;
  m.setWordWrap(false);
  const int32_t reformats = m.ReformatCount();
  m.setLeftMargin(30);
  EXPECT_EQ(m.ReformatCount(), reformats);
}

TEST(ZarvMemoModel, SeparatorsAlwaysHoldCrAndLfAndReadBackInCodeOrder) {
  TZarvMemo m;
  m.setSeparators(QString());
  EXPECT_EQ(m.getSeparators(), QStringLiteral("\n\r"));
  m.setSeparators(QStringLiteral("z a"));
  EXPECT_EQ(m.getSeparators(), QStringLiteral("\n\r az"));
}

TEST(ZarvMemoModel, LineHeightAndCaretWidthFollowTheirAutomaticRules) {
  TZarvMemo m;
  m.setLineHeight(28);
  m.setCaretWidth(0);
  EXPECT_EQ(m.CaretPixelWidth(), 3);
  EXPECT_EQ(m.getCaretWidth(), 0);
  m.setLineHeight(100000);
  EXPECT_EQ(m.getLineHeight(), 65535) << "capped";
  m.setLineHeight(0);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(13);
  m.setFont(f);
  EXPECT_EQ(m.getLineHeight(), 14) << "automatic: the font's pixel height + 1 before the display exists";
  m.SetComponentState(csDesigning);
  EXPECT_EQ(m.getLineHeight(), 0) << "an automatic height is not stored at design time";
}

TEST(ZarvMemoModel, SwitchingOnDiscardTrailingSpacesReloadsTheTextAndKeepsTheModifiedFlag) {
  TZarvMemo m;
  m.SetTextBuf(QStringLiteral("ab  \r\ncd\t\r\n\u00e9 "));
  m.SetModified(false);
  m.setOptions(m.getOptions() | zvoDiscardTrailingSpaces);
  EXPECT_EQ(m.GetTextContent(), QStringLiteral("ab\r\ncd\r\n\u00e9")) << "every character survives the reload";
  EXPECT_FALSE(m.Modified());
  m.CheckIntegrity();
}

// zveBeforeChange, then zveChange, then OnChange and changed(): once per
// change, and once per outermost EndUpdate for changes inside a lock.
TEST(ZarvMemoModel, AChangeIsToldBeforeAndAfterAndOncePerOutermostUpdate) {
  TZarvMemo m;
  std::vector<std::string> log;
  TRecorder gutter(log, "gutter");
  m.AddNotify(&gutter);
  m.OnChange = [&](TZarvMemo&) { log.push_back("OnChange"); };
  QSignalSpy spy(&m, &TZarvMemo::changed);
  m.SetTextBuf(QStringLiteral("one"));
  EXPECT_EQ(log, (std::vector<std::string>{"gutter:before", "gutter:change", "OnChange"}));
  EXPECT_EQ(spy.count(), 1);
  log.clear();
  {
    TZarvMemo::TUpdateLock outer(m);
    {
      TZarvMemo::TUpdateLock inner(m);
      m.SetTextBuf(QStringLiteral("two"));
    }
    m.SetTextBuf(QStringLiteral("three"));
    EXPECT_EQ(log, (std::vector<std::string>{"gutter:before", "gutter:before"})) << "no change told inside the lock";
  }
  EXPECT_EQ(log.back(), "OnChange");
  EXPECT_EQ(std::count(log.begin(), log.end(), "gutter:change"), 1);
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(m.LockedCount(), 0);
}

// A listener that leaves during the walk is skipped, the list is compacted
// afterwards, and one destroying the control ends the walk safely.
TEST(ZarvMemoModel, ListenersMayLeaveOrDestroyTheControlWhileBeingNotified) {
  auto m = std::make_unique<TZarvMemo>();
  std::vector<std::string> log;
  TRecorder a(log, "a"), b(log, "b"), c(log, "c");
  a.OnNotify = [&](TzvEvents) { m->RemoveNotify(&b); };
  for (TRecorder* r : {&a, &b, &c})
    m->AddNotify(r);
  m->SetTextBuf(QStringLiteral("x"));
  EXPECT_EQ(log, (std::vector<std::string>{"a:before", "c:before", "a:change", "c:change"}));
  EXPECT_EQ(m->NotifyList().size(), 2u) << "the left slot is compacted";

  c.OnNotify = [&](TzvEvents e) {
    if (e.testFlag(zveChange))
      m.reset(); // the control is destroyed inside its own notification
  };
  m->SetTextBuf(QStringLiteral("y")); // must not touch the freed control (ASan)
  EXPECT_EQ(m, nullptr);
}

// Message listeners see every event before and after the control; a result
// of 127 keeps the event from it.
TEST(ZarvMemoModel, AMessageListenerCanSwallowAnEvent) {
  TZarvMemo m;
  std::vector<std::string> log;
  TRecorder spy(log, "msg");
  std::vector<QEvent::Type> before, after;
  spy.OnNotify = [&](TzvEvents e) {
    if (e.testFlag(zveMessage)) {
      before.push_back(m.WinMsg.Event->type());
      if (m.WinMsg.Event->type() == QEvent::FontChange)
        m.WinMsg.Result = kMsgSwallowed;
    }
    if (e.testFlag(zveAfterMessage))
      after.push_back(m.WinMsg.Event->type());
  };
  auto seen = [](const std::vector<QEvent::Type>& v, QEvent::Type t) { return std::count(v.begin(), v.end(), t); };
  m.AddMsgListener(&spy);
  QEvent other(QEvent::StyleChange);
  QApplication::sendEvent(&m, &other);
  EXPECT_EQ(seen(before, QEvent::StyleChange), 1);
  EXPECT_EQ(seen(after, QEvent::StyleChange), 1);
  const int32_t lineHeight = m.getLineHeight();
  QFont big = m.font();
  big.setPixelSize(40);
  m.setFont(big); // the FontChange event is swallowed: metrics stay
  EXPECT_EQ(m.getLineHeight(), lineHeight);
  EXPECT_GE(seen(before, QEvent::FontChange), 1);
  EXPECT_EQ(seen(after, QEvent::FontChange), 0);
}

// The collapse handler is linked and unlinked; whichever goes first, the
// other is left with no dangling pointer (ASan).
TEST(ZarvMemoModel, LinkedComponentsAndTheControlMayBeDestroyedInEitherOrder) {
  {
    auto handler = std::make_unique<TFakeCollapseHandler>();
    auto highlighter = std::make_unique<TZarvHighlighter>();
    auto m = std::make_unique<TZarvMemo>();
    m->setCollpsHandler(handler.get());
    m->setHighlighter(highlighter.get());
    ASSERT_EQ(handler->Links.size(), 1u);
    EXPECT_TRUE(handler->Links[0].second);
    handler.reset();
    highlighter.reset();
    EXPECT_EQ(m->getCollpsHandler(), nullptr);
    EXPECT_EQ(m->Highlighter(), nullptr);
    m->SetTextBuf(QStringLiteral("still works"));
  }
  {
    TFakeCollapseHandler handler;
    TZarvHighlighter highlighter;
    auto m = std::make_unique<TZarvMemo>();
    QObject* memo = m.get();
    m->setCollpsHandler(&handler);
    m->setHighlighter(&highlighter);
    m.reset();
    ASSERT_EQ(handler.Links.size(), 2u);
    EXPECT_EQ(handler.Links[1], std::make_pair(memo, false)) << "unlinked when the control goes";
    EXPECT_TRUE(highlighter.MemoList.empty());
  }
}

// Showing the control creates its line buffer and, in background mode, the
// format thread, whose slices wrap the whole text.
TEST(ZarvMemoModel, TheDisplayAppearsWithTheWindowAndBackgroundSlicesFormatEverything) {
  TZarvMemo m;
  m.resize(300, 200);
  QString text;
  for (int i = 0; i < 3000; ++i)
    text += QStringLiteral("paragraph %1 with enough words to wrap in a narrow window\r\n").arg(i);
  m.SetTextBuf(text);
  EXPECT_FALSE(m.DisplayReady());
  m.show();
  ASSERT_TRUE(m.DisplayReady());
  QElapsedTimer t;
  t.start();
  while (m.Paragraphs().fUpdateStopPar >= 0 && t.elapsed() < 20000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_LT(m.Paragraphs().fUpdateStopPar, 0) << "everything formatted";
  EXPECT_GT(m.getTotalLineCount(), m.GetParCount()) << "lines wrapped";
  m.CheckIntegrity();
  m.setUpdateMode(umImmediate);
  m.setLeftMargin(40);
  EXPECT_LT(m.Paragraphs().fUpdateStopPar, 0) << "immediate mode formats at once";
  m.CheckIntegrity();
}

TEST(ZarvMemoModel, IntegrityFailuresNameTheErrorAndTheVersion) {
  TZarvMemo m;
  m.SetTextBuf(QStringLiteral("a\r\nb"));
  m.Paragraphs().Par(1)->StartLine = 7;
  try {
    m.CheckIntegrity();
    FAIL() << "no error";
  } catch (const EZarvError& e) {
    EXPECT_TRUE(e.message().startsWith(QStringLiteral("Error 1"))) << e.message().toStdString();
    EXPECT_TRUE(e.message().endsWith(m.getVersion()));
  }
  m.Paragraphs().Par(1)->StartLine = 1;
  EXPECT_THROW(m.getParString(2), ERangeError);
  EXPECT_THROW(m.getParString(-1), ERangeError);
}
