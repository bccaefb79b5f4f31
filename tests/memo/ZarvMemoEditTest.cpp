// Editing and undo: random edits against a plain string model, then random
// undo and redo walks against the texts seen after each step; highlighting
// and layout equal to a fresh control's; the undo limits; the undo stream's
// round trip and its refusal of bad streams.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/FilerError.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/StoreDump.h>

#include <QApplication>
#include <QBuffer>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace zarv;

namespace {

// Breaks of any style become CR LF, as the store reads them.
std::u16string Normalised(const std::u16string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c == u'\r' || c == u'\n') {
      if (i + 1 < s.size() && (s[i + 1] == u'\r' || s[i + 1] == u'\n') && s[i + 1] != c)
        ++i;
      out += u"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

// Where two texts part, with a little context, for failure messages.
std::string Parting(const std::u16string& a, const std::u16string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i])
    ++i;
  const auto around = [i](const std::u16string& s) {
    const size_t from = i > 20 ? i - 20 : 0;
    return QString::fromStdU16String(s.substr(from, 40)).toStdString();
  };
  return "at " + std::to_string(i) + ": [" + around(a) + "] vs [" + around(b) + "]";
}

void SetUpKeys(TZarvMemo& m) {
  m.Keywords().AddKeyWord(QStringLiteral("int"), woMatchCase | woWholeWordsOnly, fsBold, 1, 0, clNone, clBlue);
  m.StartStopKeys().AddStartStopKey(QStringLiteral("/*"), QStringLiteral("*/"), woMatchCase, fsItalic, 2, 0, clNone,
                                    clGreen, false);
  m.StartStopKeys().AddStartStopKey(QStringLiteral("\""), QStringLiteral("\""), woMatchCase, 0, 3, 0, clNone, clRed,
                                    true);
}

std::unique_ptr<TZarvMemo> Control(TZarvMemoOptions extra = {}) {
  auto m = std::make_unique<TZarvMemo>();
  m->setUpdateMode(umImmediate);
  m->setScrollTime(0);
  m->setUndoMaxSpace(0); // no space limit: the walk checks every step
  m->setOptions(m->getOptions() | extra);
  SetUpKeys(*m);
  m->resize(300, 200);
  m->show();
  return m;
}

// One undo step as the test made it: where its records put the caret
// after undo and after redo.
struct TStep {
  std::u16string Before, After;
  int32_t CaretAfterUndo, CaretAfterRedo;
  int32_t Calls; // undo steps the step takes: 1 for a group; a typing run
                 // that starts with a discarded blank makes two records
};

// Highlighting and wrapping of the whole text equal a fresh control's
// (set up like the default control, then by `setup`).
void ExpectLikeFresh(TZarvMemo& m, int step, const std::function<void(TZarvMemo&)>& setup = {}) {
  m.DoDynParse(0, m.GetParCount() - 1, false);
  m.FormatNow(0, m.GetParCount() - 1);
  auto fresh = Control();
  if (setup)
    setup(*fresh);
  fresh->setStaticFormat(m.getStaticFormat());
  const QString text = m.GetTextContent();
  QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  QBuffer device(&bytes);
  device.open(QIODevice::ReadOnly);
  fresh->LoadFromStream(device, TzvsEncoding::Utf16LE); // as it is, without format checks
  ASSERT_EQ(fresh->GetTextContent(), text);
  HighlightAll(*fresh);
  fresh->Reformat();
  const TDumpParts parts(dpText | dpCodes | dpLines);
  const QString diff = FirstDifference(DumpStore(fresh->Paragraphs(), parts), DumpStore(m.Paragraphs(), parts));
  ASSERT_TRUE(diff.isEmpty()) << "step " << step << "\n" << diff.toStdString();
}

// Random typing runs, pastes with every break style, deletions across
// paragraphs (and chunks of records) and BeginUpdate groups; after each
// step the text is the model's and the store consistent; then undo and redo
// walk the steps back and forth and give back each step's texts.
void RunModel(TZarvMemoOptions options, uint32_t seed, bool exactModel, bool staticFormat = false) {
  std::mt19937 rng(seed);
  auto m = Control(options);
  m->setStaticFormat(staticFormat);
  std::u16string model;
  for (int i = 0; i < 1500; ++i)
    model += (i % 7 == 0 ? u"int /* x */ \"s\" y;" : u"line with words") + std::u16string(u"\r\n");
  model += u"end";
  m->SetTextBuf(QString::fromStdU16String(model));
  m->ClearUndo();
  model = m->GetTextContent().toStdU16String();
  int changes = 0;
  m->OnChange = [&](TZarvMemo&) { ++changes; };
  const char16_t* breaks[] = {u"\r\n", u"\n", u"\r", u"\n\r"};
  std::vector<std::u16string> words{u"a", u"int", u"/*", u"*/", u"\"", u" ", u"\t", u"word "};
  if (staticFormat) // formatting codes: bold, highlight, underline
    words.insert(words.end(), {u"\x02", u"\x03", u"\x15", u"\x02x\x02"});
  auto randomPos = [&](const std::u16string& text) {
    int32_t p = int32_t(rng() % (text.size() + 1));
    if (p > 0 && p < int32_t(text.size()) && text[size_t(p)] == u'\n' && text[size_t(p - 1)] == u'\r')
      --p; // not inside a break
    return p;
  };
  auto randomText = [&]() {
    std::u16string s;
    const char16_t* br = breaks[rng() % 4];
    for (int n = int(rng() % 6); n > 0; --n)
      s += rng() % 4 == 0 ? std::u16string(br) : words[rng() % words.size()];
    return s;
  };
  std::vector<TStep> steps;
  for (int step = 0; step < 400; ++step) {
    TStep st;
    st.Before = model;
    const int kind = int(rng() % 4);
    const int changesBefore = changes;
    const int32_t levelBefore = m->UndoList().Level(), stepsBefore = m->UndoList().Steps();
    int edits = 1;
    int32_t firstStart = -1, firstRemoved = 0;
    auto replace = [&](int32_t a, int32_t b, const std::u16string& t) {
      m->setSelStart(b);
      m->setSelLength(a - b);
      m->setSelText(QString::fromStdU16String(t));
      const std::u16string n = Normalised(t);
      if (firstStart < 0) {
        firstStart = a;
        firstRemoved = b - a;
      }
      if (exactModel) {
        model.replace(size_t(a), size_t(b - a), n);
        ASSERT_EQ(m->getSelStart(), a + int32_t(n.size())) << "the caret ends after the new text, step " << step;
        ASSERT_EQ(m->getSelLength(), 0);
      } else {
        model = m->GetTextContent().toStdU16String();
      }
    };
    if (kind == 0) { // a typing run: one record
      const int32_t at = randomPos(model);
      m->setSelStart(at);
      std::u16string typed;
      edits = 1 + int(rng() % 5);
      for (int n = edits; n > 0; --n) {
        const std::u16string w = words[rng() % words.size()].substr(0, 1);
        m->setSelText(QString::fromStdU16String(w));
        typed += w;
      }
      firstStart = at;
      if (exactModel)
        model.insert(size_t(at), typed);
      else
        model = m->GetTextContent().toStdU16String();
    } else if (kind == 3) { // a group of changes, undone as one
      m->BeginUpdate();
      for (int n = 2 + int(rng() % 3); n > 0; --n) {
        int32_t a = randomPos(model), b = randomPos(model);
        if (a > b)
          std::swap(a, b);
        replace(a, b, randomText());
      }
      m->EndUpdate();
    } else {
      int32_t a = randomPos(model), b = randomPos(model);
      if (a > b)
        std::swap(a, b);
      if (b - a > 3000)
        b = a + int32_t(rng() % 3000); // still across many paragraphs
      if (b > a && model[size_t(b - 1)] == u'\r')
        --b;
      replace(a, b, kind == 1 ? randomText() : std::u16string());
    }
    ASSERT_TRUE(m->GetTextContent().toStdU16String() == model) << "step " << step;
    ASSERT_NO_THROW(m->CheckIntegrity()) << "step " << step;
    ASSERT_TRUE(m->UndoList().CheckIntegrity().isEmpty()) << m->UndoList().CheckIntegrity().toStdString();
    if (m->UndoList().Level() == levelBefore) { // nothing happened: no record, no notice
      ASSERT_TRUE(model == st.Before) << "step " << step;
      ASSERT_EQ(changes, changesBefore) << "step " << step;
      continue;
    }
    ASSERT_EQ(changes, changesBefore + edits) << "one notice per change or group, step " << step;
    st.After = model;
    st.Calls = kind == 3 ? 1 : m->UndoList().Steps() - stepsBefore;
    st.CaretAfterRedo = m->getSelStart();
    st.CaretAfterUndo = firstStart + (kind == 0 ? 0 : firstRemoved);
    steps.push_back(st);
    if (step % 100 == 99)
      ExpectLikeFresh(*m, step);
  }
  ASSERT_GT(steps.size(), 300u) << "most steps change the text";
  // Undo and redo walks: each undo gives back the text before its step.
  int32_t at = int32_t(steps.size());
  for (int walk = 0; walk < 300; ++walk) {
    if (rng() % 2 && at > 0) {
      --at;
      for (int32_t c = 0; c < steps[size_t(at)].Calls; ++c)
        m->Undo();
      ASSERT_TRUE(m->GetTextContent().toStdU16String() == steps[size_t(at)].Before) << "undo to " << at;
      if (exactModel) {
        ASSERT_EQ(m->getSelStart(), steps[size_t(at)].CaretAfterUndo) << "undo to " << at;
      }
    } else if (at < int32_t(steps.size())) {
      for (int32_t c = 0; c < steps[size_t(at)].Calls; ++c)
        m->Redo();
      ASSERT_TRUE(m->GetTextContent().toStdU16String() == steps[size_t(at)].After) << "redo of " << at;
      if (exactModel) {
        ASSERT_EQ(m->getSelStart(), steps[size_t(at)].CaretAfterRedo) << "redo of " << at;
      }
      ++at;
    }
    ASSERT_EQ(m->CanUndo(), at > 0);
    ASSERT_EQ(m->CanRedo(), at < int32_t(steps.size()));
    ASSERT_NO_THROW(m->CheckIntegrity());
    ASSERT_TRUE(m->UndoList().CheckIntegrity().isEmpty());
  }
  ExpectLikeFresh(*m, -1);
  while (at > 0) {
    --at;
    for (int32_t c = 0; c < steps[size_t(at)].Calls; ++c)
      m->Undo();
    ASSERT_TRUE(m->GetTextContent().toStdU16String() == steps[size_t(at)].Before)
        << "undo to " << at << " " << Parting(m->GetTextContent().toStdU16String(), steps[size_t(at)].Before);
  }
  m->Undo(); // past the first record: nothing
  EXPECT_TRUE(m->GetTextContent().toStdU16String() == steps.front().Before);
}

// x of every position in `offsets` (in the text's frame, not the scrolled
// window's) and the position each x hits, from a navigator of m, as
// "offset:x>hit" items.
std::string Xs(TZarvMemo& m, const std::vector<int32_t>& offsets) {
  TZarvNavigator n(&m.Paragraphs());
  n.AttachMemo(&m);
  std::string out;
  for (int32_t at : offsets) {
    n.SetPos(std::min(at, m.getCharCount()));
    const int32_t x = n.GetDisplayX();
    n.SetDisplayX(x + 1);
    out +=
        std::to_string(at) + ":" + std::to_string(int64_t(x) + m.fDisplayLeft) + ">" + std::to_string(n.GetPos()) + " ";
  }
  return out;
}

// Edits of paragraphs long enough for the control to re-wrap and re-measure
// them from the change only: after every step the lines (starts, widths,
// runs) equal a fresh control's, and so do x positions, hit-testing and the
// caret's x, with word wrap on (two widths) and off, tabs, styles by
// keywords and start-stop keys (which restyle up to a paragraph's end) and
// static codes.
void RunLongParagraphs(bool wrap, int width, bool staticFormat, TAlignment align, bool justified, uint32_t seed) {
  std::mt19937 rng(seed);
  const auto setup = [&](TZarvMemo& c) {
    c.setWordWrap(wrap);
    c.setAlignment(align);
    c.setJustified(justified);
    c.resize(width, 200);
  };
  auto m = Control();
  setup(*m);
  m->setStaticFormat(staticFormat);
  std::u16string text;
  const std::vector<std::u16string> words{u"int ", u"word ", u"x",      u"\t",         u" ",
                                          u"/*",   u"*/",    u"\"s\" ", u"longerword "};
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < 1500; ++i)
      text += words[rng() % words.size()];
    text += u"\r\n";
  }
  text += u"short tail";
  m->SetTextBuf(QString::fromStdU16String(text));
  std::vector<std::u16string> pieces{u"a", u"int", u" ", u"\t", u"/*", u"*/", u"\"", u"wordy ", u"xx yy"};
  if (staticFormat)
    pieces.insert(pieces.end(), {u"\x02", u"\x15"});
  for (int step = 0; step < 60; ++step) {
    const int32_t len = m->getCharCount();
    // Mostly inside the first long paragraph, near its start or end or
    // anywhere; sometimes a removal or a replacement.
    const int32_t firstLen = int32_t(m->getParString(0).size());
    int32_t at = int32_t(rng() % uint32_t(firstLen + 1));
    if (step % 5 == 1)
      at = std::min(firstLen, int32_t(rng() % 8));
    else if (step % 5 == 2)
      at = std::max(0, firstLen - int32_t(rng() % 8));
    else if (step % 7 == 3)
      at = int32_t(rng() % uint32_t(len + 1));
    const int kind = int(rng() % 4);
    int32_t stop = at;
    if (kind >= 2)
      stop = std::min(len, at + int32_t(rng() % 12));
    m->setSelStart(at);
    m->setSelLength(stop - at);
    if (m->getSelLength() != 0 || kind != 3)
      m->setSelText(kind == 2 ? QString() : QString::fromStdU16String(pieces[rng() % pieces.size()]));
    ExpectLikeFresh(*m, step, setup);
    if (::testing::Test::HasFatalFailure())
      return;
    // x positions and hits near the change, at the ends and far along.
    std::vector<int32_t> offsets{0, at, at + 1, int32_t(m->getParString(0).size())};
    for (int k = 0; k < 4; ++k)
      offsets.push_back(int32_t(rng() % uint32_t(m->getCharCount() + 1)));
    auto fresh = Control();
    setup(*fresh);
    fresh->setStaticFormat(staticFormat);
    fresh->SetTextBuf(m->GetTextContent());
    ASSERT_EQ(Xs(*fresh, offsets), Xs(*m, offsets)) << "step " << step;
    // The caret's x after End, where the window scrolls along.
    for (TZarvMemo* c : {m.get(), fresh.get()}) {
      c->setSelStart(at);
      QTest::keyClick(c, Qt::Key_End);
    }
    ASSERT_EQ(fresh->CaretX() + fresh->fDisplayLeft, m->CaretX() + m->fDisplayLeft) << "step " << step;
  }
}

} // namespace

TEST(ZarvMemoEdit, EditsOfLongParagraphsLayOutAndMeasureLikeAFreshControl) {
  struct TCase {
    bool Wrap;
    int Width;
    bool Codes;
    TAlignment Align;
    bool Justified;
  };
  // Unwrapped lines (left aligned without word wrap) keep x checkpoints;
  // the others are wrapped again from the change, justified or centred
  // ones included (centred text wraps at the window also without word wrap).
  for (const TCase& c : {TCase{false, 300, false, taLeftJustify, false}, TCase{true, 300, false, taLeftJustify, false},
                         TCase{true, 173, true, taLeftJustify, true}, TCase{false, 500, true, taLeftJustify, false},
                         TCase{false, 240, false, taCenter, false}}) {
    SCOPED_TRACE(std::string(c.Wrap ? "wrap " : "no wrap ") + std::to_string(c.Width) + (c.Codes ? " codes" : "") +
                 (c.Align == taCenter ? " centred" : "") + (c.Justified ? " justified" : ""));
    RunLongParagraphs(c.Wrap, c.Width, c.Codes, c.Align, c.Justified, uint32_t(c.Width) + c.Wrap);
    if (::testing::Test::HasFatalFailure())
      return;
  }
}

TEST(ZarvMemoEdit, RandomEditsMatchAStringModelAndUndoRedoWalkTheirHistory) { RunModel({}, 1, true); }

// Discarding trailing blanks changes what an edit leaves; undo must still
// give back every earlier text exactly, the blanks it took included.
TEST(ZarvMemoEdit, UndoGivesBackBlanksThatDiscardingTrailingSpacesTook) {
  RunModel(zvoDiscardTrailingSpaces, 2, false);
  auto m = Control(zvoDiscardTrailingSpaces);
  m->SetTextBuf(QStringLiteral("ab  cd"));
  m->ClearUndo();
  m->setSelStart(4);
  m->setSelLength(2);
  m->ClearSelection();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("ab"));
  m->Undo();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("ab  cd"));
}

// Static text: the format check adds closing codes and stray pairs go, in
// the step of their edit; undo and redo still walk every step's texts.
TEST(ZarvMemoEdit, UndoAndRedoWalkStaticFormatEdits) { RunModel({}, 3, false, true); }

// Typing merges into one record until the caret moves; a BeginUpdate group
// undoes as one step, but two groups are two steps.
TEST(ZarvMemoEdit, TypingRunsAndGroupsMakeOneUndoStepEach) {
  auto m = Control();
  for (QChar c : QStringLiteral("abc"))
    m->setSelText(QString(c));
  ASSERT_EQ(m->getUndoCount(), 1);
  const TUndoRecord r = m->getUndoList(0);
  EXPECT_EQ(r.UndoStart, 0);
  EXPECT_EQ(r.UndoStop, 3);
  EXPECT_TRUE(r.UndoText.empty());
  m->setSelStart(0);
  m->setSelStart(3);
  m->setSelText(QStringLiteral("d"));
  EXPECT_EQ(m->getUndoCount(), 2) << "a caret move breaks the run";
  for (int g = 0; g < 2; ++g) {
    TZarvMemo::TUpdateLock lock(*m);
    m->setSelStart(0);
    m->setSelText(QStringLiteral("x"));
    m->setSelStart(m->getCharCount());
    m->setSelText(QStringLiteral("y"));
  }
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("xxabcdyy"));
  m->Undo();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("xabcdy")) << "the second group alone";
  m->Undo();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("abcd"));
  m->Undo();
  m->Undo();
  EXPECT_EQ(m->GetTextContent(), QString());
  m->Redo();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("abc"));
  EXPECT_THROW(m->getUndoList(m->getUndoCount()), ERangeError);
}

// The limits: the level trims the oldest before an append (so one more
// than the limit can be undone right after), the space counts text + 13
// units a record, and the accounting stays exact under random edits.
TEST(ZarvMemoEdit, UndoLimitsDropTheOldestRecordsAndCountSizesExactly) {
  auto m = Control();
  m->setUndoMaxLevel(2);
  for (const char* s : {"a", "b", "c"}) {
    m->setSelStart(m->getCharCount());
    m->setSelText(QString::fromLatin1(s));
  }
  EXPECT_EQ(m->getUndoCount(), 3);
  m->setUndoMaxLevel(2);
  EXPECT_EQ(m->getUndoCount(), 2);
  EXPECT_EQ(m->getUndoList(0).UndoStart, 1) << "the oldest went";

  m->ClearUndo();
  m->setUndoMaxLevel(65536);
  m->setUndoMaxSpace(20);
  m->SetTextBuf(QStringLiteral("12345678 rest"));
  m->ClearUndo();
  m->setSelStart(0);
  m->setSelLength(8);
  m->ClearSelection();
  EXPECT_EQ(m->getUndoCount(), 0) << "8 + 13 units do not fit in 20";
  EXPECT_FALSE(m->CanUndo());

  std::mt19937 rng(5);
  m->setUndoMaxSpace(200);
  m->setUndoMaxLevel(7);
  for (int i = 0; i < 300; ++i) {
    const int32_t a = int32_t(rng() % uint32_t(m->getCharCount() + 1));
    m->setSelStart(a);
    m->setSelLength(int32_t(rng() % 30) - 15);
    m->setSelText(QString(int(rng() % 40), QLatin1Char('w')));
    const TZarvUndoList& u = m->UndoList();
    ASSERT_LE(u.TotalSize(), 200) << "after a change";
    if (i % 5 == 0)
      m->Undo(); // a swapped record may grow past the limit until the next change
    ASSERT_TRUE(u.CheckIntegrity().isEmpty()) << u.CheckIntegrity().toStdString();
    ASSERT_LE(u.Level(), 8);
  }
}

// Save, load into a fresh control holding the same text, undo everything:
// the same texts come back. Bad streams change nothing.
TEST(ZarvMemoEdit, TheUndoStreamRoundTripsAndBadStreamsChangeNothing) {
  auto m = Control();
  std::vector<QString> texts{m->GetTextContent()};
  std::mt19937 rng(8);
  for (int i = 0; i < 40; ++i) {
    const int32_t a = int32_t(rng() % uint32_t(m->getCharCount() + 1));
    m->setSelStart(a);
    m->setSelLength(std::min(int32_t(rng() % 6), m->getCharCount() - a));
    const int32_t records = m->getUndoCount();
    m->setSelText(i % 3 ? QStringLiteral("w\r\nx") : QString());
    if (m->getUndoCount() > records) // replacing a text by itself is a step too
      texts.push_back(m->GetTextContent());
  }
  // The control itself walks back.
  for (size_t i = texts.size() - 1; i-- > 0;) {
    m->Undo();
    ASSERT_EQ(m->GetTextContent(), texts[i]) << "own undo to " << i;
  }
  for (size_t i = 1; i < texts.size(); ++i)
    m->Redo();
  ASSERT_EQ(m->GetTextContent(), texts.back());
  m->Undo(); // one redo record travels too
  QBuffer saved;
  saved.open(QIODevice::ReadWrite);
  m->SaveUndo(saved);
  auto other = Control();
  other->SetTextBuf(m->GetTextContent());
  other->ClearUndo();
  saved.seek(0);
  other->LoadUndo(saved);
  EXPECT_EQ(other->UndoList().TotalSize(), m->UndoList().TotalSize());
  other->Redo();
  EXPECT_EQ(other->GetTextContent(), texts.back());
  for (size_t i = texts.size() - 1; i-- > 0;) {
    other->Undo();
    ASSERT_EQ(other->GetTextContent(), texts[i]) << "undo to " << i;
  }

  // Cut short anywhere, or made on another text: EReadError, nothing lost.
  const QByteArray bytes = saved.data();
  const int32_t count = m->getUndoCount();
  for (qsizetype cut = 0; cut < bytes.size(); cut += 7) {
    QBuffer shortStream;
    shortStream.setData(bytes.left(cut));
    shortStream.open(QIODevice::ReadOnly);
    ASSERT_THROW(m->LoadUndo(shortStream), EReadError) << "cut at " << cut;
    ASSERT_EQ(m->getUndoCount(), count);
  }
  auto shorter = Control();
  shorter->SetTextBuf(QStringLiteral("x"));
  shorter->setSelText(QStringLiteral("y"));
  const int32_t shorterCount = shorter->getUndoCount();
  QBuffer again;
  again.setData(bytes);
  again.open(QIODevice::ReadOnly);
  EXPECT_THROW(shorter->LoadUndo(again), EReadError) << "records past the end of this text";
  EXPECT_EQ(shorter->getUndoCount(), shorterCount);
  EXPECT_EQ(shorter->GetTextContent(), QStringLiteral("yx"));
  QByteArray forged = bytes;
  forged[8] = char(0x05); // a record size below the 13 units of a header
  forged[9] = forged[10] = forged[11] = 0;
  QBuffer bad;
  bad.setData(forged);
  bad.open(QIODevice::ReadOnly);
  EXPECT_THROW(m->LoadUndo(bad), EReadError);
  EXPECT_EQ(m->getUndoCount(), count);
}

// In static-format text a code followed by the same code, with only codes
// between, encloses nothing: both go after an edit, in the edit's step;
// undo puts back exactly the text before the edit, in one step.
TEST(ZarvMemoEdit, StrayCodePairsGoAfterAnEditOfStaticTextAndUndoPutsThemBack) {
  auto m = Control();
  m->setStaticFormat(true);
  m->SetTextBuf(QStringLiteral("ab cd"));
  m->ClearUndo();
  m->setSelStart(1);
  m->setSelText(QStringLiteral("\x02\x03\x02")); // bold, highlight, bold: the format check closes the highlight
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("ab cd")) << "every code enclosed nothing";
  EXPECT_EQ(m->getSelStart(), 1);
  ASSERT_NO_THROW(m->CheckIntegrity());
  m->Undo();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("ab cd"));
  EXPECT_FALSE(m->CanUndo()) << "one step";
  m->Redo();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("ab cd"));
  EXPECT_EQ(m->getSelStart(), 1);
}
