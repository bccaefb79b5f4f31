// Editing commands: a table of keys and commands from a text with a caret
// (or selection) to the text and caret they leave, each undone in one step;
// column blocks through the clipboard; the styled fragment's round trip and
// its refusal of malformed fragments.
#include "MarkedText.h"
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/store/StoreDump.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace zarv;

namespace {

using zarv::test::Parse;
using zarv::test::TMarked;

void Place(TZarvMemo& m, const QString& marked) {
  const TMarked t = Parse(marked);
  m.SetTextBuf(t.Text);
  m.ClearUndo();
  m.setSelStart(t.Caret);
  if (t.Anchor >= 0)
    m.setSelLength(t.Anchor - t.Caret);
}

std::unique_ptr<TZarvMemo> Control(TZarvMemoOptions extra = {}, TZarvMemoOptions without = {}) {
  auto m = std::make_unique<TZarvMemo>();
  m->setUpdateMode(umImmediate);
  m->setScrollTime(0);
  m->setWordWrap(false);
  m->setOptions((m->getOptions() | extra) & ~without);
  m->resize(400, 200);
  m->show();
  return m;
}

} // namespace

// Each row: options, the text before (with markers), the command, the text
// after and the caret's column in the caret's paragraph (-1: not checked),
// then one Undo must give the text before back.
TEST(ZarvMemoCommands, KeysAndCommandsLeaveTheirTextAndCaretAndUndoInOneStep) {
  struct Row {
    const char* name;
    TZarvMemoOptions with, without;
    bool staticFormat;
    const char* before;
    std::function<void(TZarvMemo&)> act;
    const char* after; // '|' marks the expected caret
    int32_t extraCols = 0;
  };
  const auto keys = [](const QString& s) {
    return [s](TZarvMemo& m) {
      for (QChar c : s)
        m.KeyPress(c.unicode());
    };
  };
  const Row rows[] = {
      {"auto-indent", zvoAutoIndent, {}, false, "    abc|", keys("\r"), "    abc\n    |"},
      {"auto-indent limited to the caret's column", zvoAutoIndent, {}, false, "  |  abc", keys("\r"), "  \n  |  abc"},
      {"auto-indent, blanks discarded: the indent is virtual",
       zvoAutoIndent | zvoDiscardTrailingSpaces,
       {},
       false,
       "    abc|",
       keys("\r"),
       "    abc\n|",
       4},
      {"Enter without auto-indent", {}, {}, false, "ab|cd", keys("\r"), "ab\n|cd"},
      {"back-indent to the indent above",
       zvoBackIndent,
       {},
       false,
       "    a\n        |b",
       [](TZarvMemo& m) { m.DoBackspace(); },
       "    a\n    |b"},
      {"Backspace joins paragraphs", {}, {}, false, "ab\n|cd", [](TZarvMemo& m) { m.DoBackspace(); }, "ab|cd"},
      {"Backspace takes a surrogate pair whole",
       {},
       {},
       false,
       "a\U0001F600|b",
       [](TZarvMemo& m) { m.DoBackspace(); },
       "a|b"},
      {"Ctrl+Backspace to the previous word",
       {},
       {},
       false,
       "one two three|",
       [](TZarvMemo& m) { m.DoBackspace(true); },
       "one two |"},
      {"Delete joins paragraphs", {}, {}, false, "ab|\ncd", [](TZarvMemo& m) { m.DoDelete(); }, "ab|cd"},
      {"Delete takes a surrogate pair whole",
       {},
       {},
       false,
       "a|\U0001F600b",
       [](TZarvMemo& m) { m.DoDelete(); },
       "a|b"},
      {"Shift+Delete without selection: the character before",
       {},
       {},
       false,
       "abc|d",
       [](TZarvMemo& m) { m.DoDelete(true); },
       "ab|d"},
      {"Ctrl+Delete to the end of the line",
       {},
       {},
       false,
       "ab|cdef\ngh",
       [](TZarvMemo& m) { m.DoDelete(false, true); },
       "ab|\ngh"},
      {"Backspace keeps the column of blanks it discarded",
       zvoDiscardTrailingSpaces | zvoKeepColumnPos,
       {},
       false,
       "ab  x|",
       [](TZarvMemo& m) { m.DoBackspace(); },
       "ab|",
       2},
      {"a blank at the end stays virtual", zvoDiscardTrailingSpaces, {}, false, "ab|", keys(" "), "ab|", 1},
      {"then a letter brings it in", zvoDiscardTrailingSpaces, {}, false, "ab|", keys(" x"), "ab x|"},
      {"without extra spaces only the letter", zvoDiscardTrailingSpaces, zvoPutExtraSpaces, false, "ab|", keys(" x"),
       "abx|"},
      {"no-overwrite blocks: typing goes in at the caret",
       zvoNoOverwriteBlocks,
       {},
       false,
       "a[bc]d",
       keys("x"),
       "abcx|d"},
      {"typing replaces the selection", {}, {}, false, "a[bc]d", keys("x"), "ax|d"},
      {"overwrite replaces the character",
       {},
       {},
       false,
       "a|bc",
       [](TZarvMemo& m) {
         m.setOverwrite(true);
         m.KeyPress(u'x');
       },
       "ax|c"},
      {"overwrite at a paragraph end appends",
       {},
       {},
       false,
       "ab|\ncd",
       [](TZarvMemo& m) {
         m.setOverwrite(true);
         m.KeyPress(u'x');
       },
       "abx|\ncd"},
      {"smart tab under the next word above",
       zvoSmartTabs,
       {},
       false,
       "int  value;\n|",
       keys("\t"),
       "int  value;\n     |"},
      {"a tab", {}, {}, false, "a|b", keys("\t"), "a\t|b"},
      {"bold with no selection leaves the caret between the codes",
       {},
       {},
       true,
       "ab|",
       [](TZarvMemo& m) { m.SetBold(); },
       "ab\x02|\x02"},
      {"bold around a selection keeps it selected",
       {},
       {},
       true,
       "a{bc}d",
       [](TZarvMemo& m) { m.SetBold(); },
       "a|\x02"
       "bc\x02"
       "d"},
      {"a column block pads short paragraphs",
       {},
       {},
       false,
       "abc|d\nab\nabcdefgh",
       [](TZarvMemo& m) { m.InsertBlock(QStringLiteral("X\nY\nZ\nW")); },
       "abcXd\nab Y\nabcZdefgh\n   W|"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    auto m = Control(r.with, r.without);
    m->setStaticFormat(r.staticFormat);
    Place(*m, QString::fromUtf8(r.before));
    const QString before = m->GetTextContent();
    r.act(*m);
    const TMarked want = Parse(QString::fromUtf8(r.after));
    EXPECT_EQ(m->GetTextContent(), want.Text);
    EXPECT_EQ(m->getSelStart(), want.Caret);
    EXPECT_EQ(m->ExtraCols().size(), r.extraCols) << "virtual columns";
    ASSERT_NO_THROW(m->CheckIntegrity());
    if (m->GetTextContent() != before) {
      m->Undo();
      EXPECT_EQ(m->GetTextContent(), before) << "one undo step";
    }
  }
}

// A column block copies as its rectangle (short rows give nothing) with
// the block marker, and pastes back as a block when blocks are on, as
// lines otherwise; plain text carries the control's line break.
TEST(ZarvMemoCommands, ColumnBlocksAndTextGoThroughTheClipboard) {
  auto m = Control(zvoBlockSelection);
  m->SetTextBuf(QStringLiteral("abcdef\r\nab\r\nabcdefgh"));
  m->SelectBlock(2, 0, 5, 2);
  EXPECT_EQ(m->SelectedBlockText(), QStringLiteral("cde\r\n\r\ncde"));
  m->CopyToClipboard();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data->hasFormat(TZarvMemo::kBlockMimeType));
  EXPECT_EQ(data->data(TZarvMemo::kBlockMimeType), QByteArray(1, '\x02'));

  auto other = Control(zvoBlockSelection);
  other->SetTextBuf(QStringLiteral("12\r\n12345\r\n1"));
  other->setSelStart(1);
  other->PasteFromClipboard();
  EXPECT_EQ(other->GetTextContent(), QStringLiteral("1cde2\r\n12345\r\n1cde"));
  other->Undo();
  EXPECT_EQ(other->GetTextContent(), QStringLiteral("12\r\n12345\r\n1")) << "a paste is one undo step";

  auto lines = Control(); // blocks off: the same clipboard pastes as lines
  lines->SetTextBuf(QStringLiteral("xy"));
  lines->setSelStart(1);
  lines->PasteFromClipboard();
  EXPECT_EQ(lines->GetTextContent(), QStringLiteral("xcde\r\n\r\ncdey"));

  for (TZarvLineBreak lb : {zbCRLF, zbLF, zbCR, zbLFCR}) {
    lines->setLineBreak(lb);
    lines->SetTextBuf(QStringLiteral("a\r\nb"));
    lines->SelectAll();
    lines->CutToClipboard();
    EXPECT_EQ(lines->GetTextContent(), QString());
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("a") +
                  QString::fromUtf16(LineBreakChars(ToStoreLineBreak(lb)).data(),
                                     qsizetype(LineBreakChars(ToStoreLineBreak(lb)).size())) +
                  QStringLiteral("b"));
    lines->PasteFromClipboard();
    EXPECT_EQ(lines->GetTextContent(), QStringLiteral("a\r\nb")) << "every break style pastes back";
  }
}

// Persistent blocks: typed keys go in at the caret, the block stays
// selected around its text, and one undo removes the typed word.
TEST(ZarvMemoCommands, PersistentBlocksStayWhileTypingAndTypingUndoesAtOnce) {
  auto m = Control(zvoPersistentBlocks | zvoNoOverwriteBlocks);
  Place(*m, "{cd}xyz"); // the caret at the block's start
  for (QChar c : QStringLiteral("word"))
    m->KeyPress(c.unicode());
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("wordcdxyz"));
  EXPECT_EQ(m->getSelText(), QStringLiteral("cd")) << "the block kept its text";
  EXPECT_EQ(m->getSelStart(), 4) << "the caret is where typing left it";
  m->Undo();
  EXPECT_EQ(m->GetTextContent(), QStringLiteral("cdxyz"));
}

// A fragment of unstyled text is its text + 62 units for the one record +
// 4 for the header; styled ranges read back into another control with the
// same runs; a malformed fragment changes nothing.
TEST(ZarvMemoCommands, StyledFragmentsRoundTripAndMalformedOnesAreRefused) {
  auto m = Control();
  m->SetTextBuf(QStringLiteral("0123456789 and some more text\r\nsecond paragraph here"));
  EXPECT_EQ(m->DynText(0, 10).size(), 76);
  EXPECT_EQ(m->DynText(5, 5), QString());
  std::mt19937 rng(4);
  for (int i = 0; i < 8; ++i) {
    const int32_t a = int32_t(rng() % 40), b = a + 1 + int32_t(rng() % 10);
    m->SetDynStyle(a, b, TZarvFontStyles(rng() % 16), false, 10 + i, 0, TColor(rng() % 0xFFFFFF),
                   TColor(rng() % 0xFFFFFF), false);
  }
  const QString fragment = m->DynText(3, 45);
  auto other = Control();
  other->SetTextBuf(QStringLiteral("[]"));
  other->SetDynText(1, 1, fragment);
  EXPECT_EQ(other->GetTextContent(), QStringLiteral("[") + m->GetTextPart(3, 45) + QStringLiteral("]"));
  EXPECT_TRUE(other->DynText(1, 43) == fragment) << "the same runs at the same offsets";
  ASSERT_NO_THROW(other->CheckIntegrity());

  // Runs starting or ending on the LF half of a break, or after breaks of
  // another style in a fragment's text, stay inside the paragraphs.
  other->SetDynStyle(2, 5, fsBold, false, 3, 0, clRed, clBlue, false);
  other->SetDynText(0, 0, m->DynText(8, 40).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  ASSERT_NO_THROW(other->CheckIntegrity());

  const QString before = other->GetTextContent();
  const QString malformed[] = {QString(3, QChar(1)), fragment.left(20),
                               QString(fragment).replace(0, 2, QString(2, QChar(0))),
                               QString(fragment).replace(4 + 58, 2, QStringLiteral("\x7f\x7f"))};
  for (const QString& bad : malformed) {
    EXPECT_THROW(other->SetDynText(0, 1, bad), EZarvError);
    EXPECT_EQ(other->GetTextContent(), before);
  }
}
