// Fuzz target for the highlighting pass.
//
// The input chooses a start-stop list (keys from a small alphabet, so that
// entries chain and keys nest; empty stop keys, paragraph stops, whole
// words, ignored case), a few keywords, a text and a series of edits. The
// text is highlighted from scratch, then each edit is re-highlighted
// incrementally; after every step the store must pass its checks and hold
// exactly the codes that highlighting the same text from scratch gives. A
// pass that never returns is caught by libFuzzer's per-input timeout.
#include <ZarvMemo/memo/ZarvMemo.h>
#include <ZarvMemo/support/highlight/HighlightPass.h>
#include <ZarvMemo/support/navigator/Navigator.h>
#include <ZarvMemo/support/store/StoreDump.h>

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace zarv;

namespace {

// Reads the input a byte at a time; zeros once it is used up.
class TBytes {
public:
  TBytes(const uint8_t* data, size_t size) : fData(data), fSize(size) {}
  uint8_t next() { return fPos < fSize ? fData[fPos++] : 0; }
  bool done() const { return fPos >= fSize; }

private:
  const uint8_t* fData;
  size_t fSize;
  size_t fPos = 0;
};

const char16_t* const kPieces[] = {u"<", u">", u"/", u"*", u"\"",   u"[",  u"]",      u" ",
                                   u"a", u"b", u"A", u"q", u"\r\n", u"\t", u"\u00e9", u"\u00c9"};

std::u16string piecesOf(TBytes& in, int n) {
  std::u16string s;
  for (int i = 0; i < n; ++i)
    s += kPieces[in.next() % std::size(kPieces)];
  return s;
}

[[noreturn]] void Fail(const char* what, const QString& detail) {
  std::fprintf(stderr, "HighlightPassFuzz: %s\n%s\n", what, detail.toStdString().c_str());
  std::abort();
}

void Check(TZarvMemo& memo, const char* when) {
  const QString e = memo.Paragraphs().CheckIntegrity();
  if (!e.isEmpty())
    Fail(when, e);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TBytes in(data, size);
  TZarvMemo memo, scratch;
  const int entries = in.next() % 8;
  for (int i = 0; i < entries; ++i) {
    const uint8_t shape = in.next();
    const std::u16string start = piecesOf(in, 1 + (shape & 1) + ((shape >> 1) & 1));
    const std::u16string stop = piecesOf(in, (shape >> 2) & 3);
    TWordOptions options;
    if (shape & 0x10)
      options |= woMatchCase;
    if (shape & 0x20)
      options |= woWholeWordsOnly;
    for (TZarvMemo* m : {&memo, &scratch})
      m->StartStopKeys().AddStartStopKey(QString::fromStdU16String(start), QString::fromStdU16String(stop), options, 0,
                                         i + 1, 0, clNone, clNone, shape & 0x40);
  }
  const int keywords = in.next() % 4;
  for (int i = 0; i < keywords; ++i) {
    const uint8_t shape = in.next();
    const std::u16string key = piecesOf(in, 1 + (shape & 3));
    TWordOptions options;
    if (shape & 0x10)
      options |= woMatchCase;
    if (shape & 0x20)
      options |= woWholeWordsOnly;
    for (TZarvMemo* m : {&memo, &scratch})
      m->Keywords().AddKeyWord(QString::fromStdU16String(key), options, 0, 20 + i, 0, clNone, clNone);
  }
  memo.SetTextBuf(QString::fromStdU16String(piecesOf(in, in.next() % 64)));
  HighlightAll(memo);
  Check(memo, "after highlighting from scratch");

  while (!in.done()) {
    const int32_t len = memo.Paragraphs().fTextLen;
    const int32_t from = int32_t((in.next() | (in.next() << 8)) % (len + 1));
    const int32_t to = std::min(len, from + in.next() % 8);
    const std::u16string text = piecesOf(in, in.next() % 4);
    TZarvNavigator a(&memo.Paragraphs()), b(&memo.Paragraphs());
    a.SetPos(from);
    b.SetPos(to);
    int32_t od, ld;
    bool dc;
    memo.Paragraphs().InsertBuf(text.empty() ? nullptr : text.c_str(), a, b, false, false, od, ld, dc);
    memo.DropUpText();
    HighlightParagraphs(memo, a.GetParNb(), b.GetParNb());
    Check(memo, "after an edit");
    scratch.SetTextBuf(memo.GetTextContent());
    HighlightAll(scratch);
    const QString diff = FirstDifference(DumpStore(memo.Paragraphs()), DumpStore(scratch.Paragraphs()));
    if (!diff.isEmpty())
      Fail("incremental highlighting differs from highlighting from scratch", diff);
  }
  return 0;
}
