// Tests of loading text from byte streams into the paragraph store and saving
// it back: break detection, both character widths, buffer changes on large
// texts, NUL handling, trailing blanks, static-format codes, progress reports,
// pipes and other devices that do not know their length, failing or
// oversized devices, and encodings: byte-order marks, UTF-8 found or not
// found in the bytes, sequences cut at every edge, and what saving cannot
// hold.
#include "support/store/StoreTestUtil.h"

#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/store/ParagraphsList.h>
#include <ZarvMemo/support/store/TextArena.h>

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zarv::test {
namespace {

using Pars = std::vector<std::u16string>;

constexpr int32_t kLoadBufferChars = 65500;
constexpr TzvsLineBreak kAllBreaks[] = {zsbCRLF, zsbLFCR, zsbCR, zsbLF};

const char* BreakName(TzvsLineBreak lb) {
  switch (lb) {
  case zsbCRLF:
    return "CRLF";
  case zsbLFCR:
    return "LFCR";
  case zsbCR:
    return "CR";
  case zsbLF:
    return "LF";
  }
  return "?";
}

// Printable form of a text for failure messages.
std::string Show(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) {
    if (c >= 0x20 && c < 0x7F && c != u'\\') {
      out += static_cast<char>(c);
    } else {
      char b[12];
      std::snprintf(b, sizeof b, c < 0x100 ? "\\x%02X" : "\\u%04X", static_cast<unsigned>(c));
      out += b;
    }
  }
  return out;
}

std::vector<std::string> ShowAll(const Pars& pars) {
  std::vector<std::string> out;
  for (const auto& p : pars)
    out.push_back(Show(p));
  return out;
}

// UTF-16LE bytes, or one low byte per character.
QByteArray Encode(std::u16string_view s, bool ansi) {
  QByteArray b;
  b.reserve(static_cast<qsizetype>(s.size()) * (ansi ? 1 : 2));
  for (char16_t c : s) {
    b.append(static_cast<char>(c & 0xFF));
    if (!ansi)
      b.append(static_cast<char>(c >> 8));
  }
  return b;
}

std::u16string Join(const Pars& pars, TzvsLineBreak lb) {
  std::u16string out;
  for (size_t i = 0; i < pars.size(); ++i) {
    if (i > 0)
      out += LineBreakChars(lb);
    out += pars[i];
  }
  return out;
}

Pars Paragraphs(const TParagraphsList& store) {
  Pars out;
  for (int32_t i = 0; i < store.Count(); ++i)
    out.push_back(store.ParString(i).toStdU16String());
  return out;
}

// Deterministic printable ASCII text, different for every seed.
std::u16string Pattern(size_t n, uint32_t seed = 1) {
  std::u16string s(n, u' ');
  uint32_t x = seed * 2654435761u + 12345;
  for (auto& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char16_t>(0x21 + (x >> 24) % 94);
  }
  return s;
}

struct LoadOptions {
  bool ansi = false;
  char16_t nullReplacement = 0;
  bool discard = false;
  bool staticFormat = false;
  uint32_t progressInterval = 300;
};

struct Loaded {
  std::unique_ptr<TParagraphsList> store = std::make_unique<TParagraphsList>();
  TzvsLineBreak lb = zsbCRLF;
  qint64 streamPos = 0;
};

Loaded LoadFrom(QIODevice& dev, const LoadOptions& o, TzvsLineBreak preset = zsbCRLF,
                const TProgressEvent& onProgress = {}) {
  Loaded r;
  r.store->fStaticFormat = o.staticFormat;
  r.lb = preset;
  r.store->LoadFromStream(dev, o.ansi, o.nullReplacement, o.discard, r.lb, onProgress, o.progressInterval);
  r.streamPos = dev.pos();
  return r;
}

Loaded LoadBytes(QByteArray bytes, const LoadOptions& o, TzvsLineBreak preset = zsbCRLF,
                 const TProgressEvent& onProgress = {}) {
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  return LoadFrom(buf, o, preset, onProgress);
}

Loaded LoadText(std::u16string_view text, const LoadOptions& o, TzvsLineBreak preset = zsbCRLF) {
  return LoadBytes(Encode(text, o.ansi), o, preset);
}

struct SaveOptions {
  bool ansi = false;
  bool strip = false;
  bool discard = false;
  TzvsLineBreak lb = zsbCRLF;
  uint32_t progressInterval = 300;
};

QByteArray SaveBytes(TParagraphsList& store, const SaveOptions& o, const TProgressEvent& onProgress = {}) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  store.SaveToStream(buf, o.ansi, o.strip, o.discard, o.lb, onProgress, o.progressInterval);
  return bytes;
}

// The store holds exactly `expected`, with offsets and length that agree.
void ExpectParagraphs(const TParagraphsList& store, const Pars& expected) {
  ASSERT_STORE_OK(store);
  const Pars actual = Paragraphs(store);
  if (actual.size() == expected.size() && actual.size() < 50) {
    EXPECT_EQ(ShowAll(actual), ShowAll(expected));
  } else {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
      ASSERT_TRUE(actual[i] == expected[i])
          << "paragraph " << i << " of length " << actual[i].size() << ", expected length " << expected[i].size();
  }
  int32_t offset = 0;
  for (int32_t i = 0; i < store.Count() && i < static_cast<int32_t>(expected.size()); ++i) {
    ASSERT_EQ(store.Par(i)->StartOffset, offset) << "paragraph " << i;
    offset += static_cast<int32_t>(expected[static_cast<size_t>(i)].size()) + 2;
  }
  EXPECT_EQ(store.fTextLen, offset - 2);
}

// ---- Devices that misbehave ---------------------------------------------------

// A random-access device over fixed bytes that fails every read once
// `failAfter` bytes were delivered.
class FailingReadDevice : public QIODevice {
public:
  FailingReadDevice(QByteArray data, qint64 failAfter) : fData(std::move(data)), fFailAfter(failAfter) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
  }
  qint64 size() const override { return fData.size(); }
  bool seek(qint64 pos) override {
    fOffset = pos;
    return QIODevice::seek(pos);
  }
  qint64 delivered = 0;

protected:
  qint64 readData(char* data, qint64 maxSize) override {
    if (fOffset >= fFailAfter || fOffset >= fData.size())
      return -1;
    const qint64 n = std::min({maxSize, fFailAfter - fOffset, fData.size() - fOffset});
    std::memcpy(data, fData.constData() + fOffset, static_cast<size_t>(n));
    fOffset += n;
    delivered += n;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

private:
  QByteArray fData;
  qint64 fFailAfter;
  qint64 fOffset = 0;
};

// A device that claims an enormous size and counts the reads asked of it;
// it never has bytes to give.
class HugeDevice : public QIODevice {
public:
  explicit HugeDevice(qint64 size) : fSize(size) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
  qint64 size() const override { return fSize; }
  int readCalls = 0;

protected:
  qint64 readData(char*, qint64) override {
    ++readCalls;
    return -1;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

private:
  qint64 fSize;
};

// A write-only device that accepts `failAfter` bytes and then refuses, and
// optionally sleeps on every write so that time visibly passes.
class RecordingWriteDevice : public QIODevice {
public:
  explicit RecordingWriteDevice(qint64 failAfter, int sleepMs = 0) : fFailAfter(failAfter), fSleepMs(sleepMs) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  }
  QByteArray written;

protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 n) override {
    if (fSleepMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(fSleepMs));
    const qint64 room = fFailAfter - written.size();
    if (room <= 0)
      return -1;
    const qint64 k = std::min(room, n);
    written.append(data, k);
    return k;
  }

private:
  qint64 fFailAfter;
  int fSleepMs;
};

// A sequential device (like a socket) over fixed bytes that hands them out
// in pieces of 1 to 7 bytes, and now and then has none until the reader
// waits for more. At the end it returns 0, or -1 as a closed socket does. With
// failAt >= 0 it fails there, saying why.
class TrickleDevice : public QIODevice {
public:
  TrickleDevice(QByteArray data, uint32_t seed, bool endsWithMinusOne = false, qint64 failAt = -1)
      : fData(std::move(data)), fSeed(seed), fMinusOne(endsWithMinusOne), fFailAt(failAt) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
  }
  bool isSequential() const override { return true; }
  bool waitForReadyRead(int) override {
    fReady = fOffset < fData.size() && fOffset != fFailAt;
    return fReady;
  }

protected:
  qint64 readData(char* data, qint64 maxSize) override {
    if (fOffset == fFailAt) {
      setErrorString(QStringLiteral("the line dropped"));
      return -1;
    }
    if (fOffset >= fData.size())
      return fMinusOne ? -1 : 0;
    if (!fReady)
      return 0;
    fSeed = fSeed * 1664525u + 1013904223u;
    qint64 n = std::min<qint64>({maxSize, 1 + (fSeed >> 24) % 7, fData.size() - fOffset});
    if (fFailAt >= 0)
      n = std::min(n, fFailAt - fOffset);
    std::memcpy(data, fData.constData() + fOffset, static_cast<size_t>(n));
    fOffset += n;
    fReady = (fSeed >> 8) % 3 != 0;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

private:
  QByteArray fData;
  uint32_t fSeed;
  bool fMinusOne;
  qint64 fFailAt;
  qint64 fOffset = 0;
  bool fReady = false;
};

// The bytes written into a real pipe(2) by another thread and read through
// QFile on the reading end; `load` runs on the open device.
template <class Fn>
void ThroughPipe(const QByteArray& bytes, Fn load) {
  std::signal(SIGPIPE, SIG_IGN); // a load that stops early must not kill the writer
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread writer([&] {
    for (qsizetype done = 0; done < bytes.size();) {
      const ssize_t n = write(fds[1], bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
      if (n <= 0)
        break;
      done += n;
    }
    close(fds[1]);
  });
  {
    QFile in;
    ASSERT_TRUE(in.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    ASSERT_TRUE(in.isSequential());
    load(in);
  }
  writer.join();
}

// Loads use buffers of `chars` characters while it lives.
struct SmallLoadBuffers {
  explicit SmallLoadBuffers(int32_t chars) { detail::SetLoadBufferCharsForTesting(chars); }
  ~SmallLoadBuffers() { detail::SetLoadBufferCharsForTesting(0); }
};

// ---- Break styles and round trips ------------------------------------------------

TEST(TextStreams, UniformBreaksAreDetectedAndSavingWithThemGivesBackTheSameBytes) {
  const Pars cases[] = {
      {u"a", u"b"},
      {u"a", u"", u"b"},
      {u"", u""},
      {u"", u"", u""},
      {u"one", u"two", u"three", u""},
      {u"", u"lead", u"  spaced  ", u"\t"},
  };
  for (bool ansi : {false, true}) {
    for (TzvsLineBreak lb : kAllBreaks) {
      for (const Pars& pars : cases) {
        const std::u16string text = Join(pars, lb);
        SCOPED_TRACE((ansi ? "8-bit " : "UTF-16 ") + std::string(BreakName(lb)) + " " + Show(text));
        const QByteArray bytes = Encode(text, ansi);
        Loaded l = LoadBytes(bytes, {.ansi = ansi}, lb == zsbCR ? zsbLF : zsbCR);
        ExpectParagraphs(*l.store, pars);
        EXPECT_EQ(BreakName(l.lb), BreakName(lb));
        EXPECT_EQ(SaveBytes(*l.store, {.ansi = ansi, .lb = lb}), bytes);
      }
    }
  }
}

TEST(TextStreams, MixedBreaksPairGreedilyAndReportTheLastBreakStyle) {
  struct Case {
    std::u16string text;
    Pars pars;
    TzvsLineBreak lb;
  };
  const Case cases[] = {
      {u"a\r\nb\nc", {u"a", u"b", u"c"}, zsbLF},
      {u"a\nb\r\nc", {u"a", u"b", u"c"}, zsbCRLF},
      {u"a\r\nb\rc", {u"a", u"b", u"c"}, zsbCR},
      {u"a\nb\n\rc", {u"a", u"b", u"c"}, zsbLFCR},
      // A pair is taken first; the break character after it starts anew.
      {u"a\n\r\nb", {u"a", u"", u"b"}, zsbLF},
      {u"a\r\n\rb", {u"a", u"", u"b"}, zsbCR},
      {u"a\r\r\nb", {u"a", u"", u"b"}, zsbCRLF},
      {u"a\n\n\rb", {u"a", u"", u"b"}, zsbLFCR},
      {u"\n\r\r\n", {u"", u"", u""}, zsbCRLF},
      // Another character between CR and LF breaks the pair.
      {u"a\rx\nb", {u"a", u"x", u"b"}, zsbLF},
      {u"a\r\x02\nb", {u"a", u"\x02", u"b"}, zsbLF},
  };
  for (bool ansi : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE((ansi ? "8-bit " : "UTF-16 ") + Show(c.text));
      Loaded l = LoadText(c.text, {.ansi = ansi});
      ExpectParagraphs(*l.store, c.pars);
      EXPECT_EQ(BreakName(l.lb), BreakName(c.lb));
    }
  }
}

TEST(TextStreams, TextWithoutBreaksIsOneParagraphAndLeavesTheBreakStyleAsItWas) {
  for (bool ansi : {false, true}) {
    for (TzvsLineBreak preset : kAllBreaks) {
      for (std::u16string_view text : {std::u16string_view(u""), std::u16string_view(u"just one line")}) {
        SCOPED_TRACE((ansi ? "8-bit " : "UTF-16 ") + std::string(BreakName(preset)) + " " + Show(text));
        Loaded l = LoadText(text, {.ansi = ansi}, preset);
        ExpectParagraphs(*l.store, {std::u16string(text)});
        EXPECT_EQ(BreakName(l.lb), BreakName(preset));
        EXPECT_EQ(SaveBytes(*l.store, {.ansi = ansi}), Encode(text, ansi));
      }
    }
  }
}

TEST(TextStreams, LoadingStartsAtTheStreamPositionAndReadsToTheEnd) {
  for (bool ansi : {false, true}) {
    QByteArray bytes = "HEADER" + Encode(u"x\r\ny", ansi);
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    buf.seek(6);
    Loaded l = LoadFrom(buf, {.ansi = ansi});
    ExpectParagraphs(*l.store, {u"x", u"y"});
    EXPECT_EQ(l.streamPos, bytes.size());

    // A stream already at its end is an empty text.
    buf.seek(bytes.size());
    Loaded atEnd = LoadFrom(buf, {.ansi = ansi});
    ExpectParagraphs(*atEnd.store, {u""});
  }
}

TEST(TextStreams, LoadedTextIsUnmodifiedAndWhollyDueForFormatting) {
  auto store = std::make_unique<TParagraphsList>();
  store->fModified = true;
  QByteArray bytes = Encode(u"a\r\nb\r\nc\r\nd", false);
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
  store->LoadFromStream(buf, false, 0, false, lb);
  EXPECT_STORE_OK(*store);
  EXPECT_FALSE(store->fModified);
  EXPECT_EQ(store->fModStartPar, 0);
  EXPECT_EQ(store->fModStartLine, 0);
  EXPECT_EQ(store->fModStopPar, 3);
  EXPECT_EQ(store->fModLinesOffset, 0);
  EXPECT_EQ(store->fLastStartStopParsed, -1);
  EXPECT_EQ(store->fUpdateStartPar, 0);
  EXPECT_EQ(store->fUpdateStopPar, 4);
  EXPECT_EQ(store->fTrueLineCount, 4);
  EXPECT_EQ(store->fVisibleLineCount, 4);
  for (int32_t i = 0; i < store->Count(); ++i)
    EXPECT_EQ(store->Par(i)->StartLine, i);
}

// ---- Character widths -------------------------------------------------------------

// Byte-order marks and surrogates included: units are taken as they come.
TEST(TextStreams, EveryCharacterOtherThanNulAndBreaksSurvivesARoundTripInBothWidths) {
  for (bool ansi : {false, true}) {
    std::u16string all;
    for (uint32_t c = 1; c <= (ansi ? 0xFFu : 0xFFFFu); ++c)
      if (c != 10 && c != 13)
        all += static_cast<char16_t>(c);
    SCOPED_TRACE(ansi ? "8-bit" : "UTF-16");
    const QByteArray bytes = Encode(all, ansi);
    Loaded l = LoadBytes(bytes, {.ansi = ansi});
    ExpectParagraphs(*l.store, {all});
    EXPECT_TRUE(SaveBytes(*l.store, {.ansi = ansi}) == bytes);
  }
}

TEST(TextStreams, EightBitBytesMapToTheSameCodesAndWideCharactersKeepTheirLowByte) {
  Loaded l = LoadBytes(QByteArray("caf\xE9"), {.ansi = true});
  ExpectParagraphs(*l.store, {u"caf\u00E9"});

  Loaded wide = LoadText(u"\u263A\u0141\u00E9x\r\n\u2028", {});
  EXPECT_EQ(SaveBytes(*wide.store, {.ansi = true}), QByteArray("\x3A\x41\xE9x\r\n\x28"));
  // Saving never changes the stored text.
  ExpectParagraphs(*wide.store, {u"\u263A\u0141\u00E9x", u"\u2028"});
}

// ---- Large texts and buffer changes -------------------------------------------------

// Paragraph layouts that put breaks, pairs and long paragraphs exactly at the
// places where the loader changes its working buffer.
TEST(TextStreams, BreaksAndParagraphsAtBufferBoundariesLoadExactly) {
  const int32_t B = kLoadBufferChars;
  Pars shortLines;
  for (uint32_t i = 0; i < 600; ++i)
    shortLines.push_back(Pattern(100, i));
  Pars manyThenHuge = shortLines;
  manyThenHuge.push_back(Pattern(150000, 9));
  manyThenHuge.push_back(u"end");

  struct Layout {
    const char* name;
    Pars pars;
    TzvsLineBreak lb;
  };
  const Layout layouts[] = {
      {"one paragraph of 200 000 characters", {Pattern(200000, 7)}, zsbCRLF},
      {"200 000 characters between two lines", {u"first", Pattern(200000, 7), u"last"}, zsbLF},
      {"short paragraph, then one spanning the boundary", {Pattern(1000), Pattern(80000, 2), u"z"}, zsbCRLF},
      {"nearly full buffer, then one spanning the boundary", {Pattern(60000), Pattern(20000, 2), u"z"}, zsbLF},
      {"CR LF split by the first boundary", {Pattern(B - 1), u"y"}, zsbCRLF},
      {"LF CR split by the first boundary", {Pattern(B - 1), u"y"}, zsbLFCR},
      {"LF ending the buffer, LF starting the next", {Pattern(B - 1), u"", u"y"}, zsbLF},
      {"CR ending the buffer, CR starting the next", {Pattern(B - 1), u"", u"y"}, zsbCR},
      {"second pair of two split by the boundary", {Pattern(B - 3), u"", u"", u"y"}, zsbCRLF},
      {"break filling the buffer exactly", {Pattern(B - 2), u"y"}, zsbCRLF},
      {"CR LF split at the end of a grown buffer", {Pattern(2 * B - 1), u"y"}, zsbCRLF},
      {"LF CR split at the end of a grown buffer", {Pattern(2 * B - 1), u"y"}, zsbLFCR},
      {"many short paragraphs, then an oversized one", manyThenHuge, zsbCRLF},
  };
  for (bool ansi : {false, true}) {
    for (const Layout& t : layouts) {
      SCOPED_TRACE(std::string(ansi ? "8-bit: " : "UTF-16: ") + t.name);
      const QByteArray bytes = Encode(Join(t.pars, t.lb), ansi);
      Loaded l = LoadBytes(bytes, {.ansi = ansi});
      ExpectParagraphs(*l.store, t.pars);
      EXPECT_EQ(BreakName(l.lb), BreakName(t.pars.size() > 1 ? t.lb : zsbCRLF));
      EXPECT_TRUE(SaveBytes(*l.store, {.ansi = ansi, .lb = t.lb}) == bytes);
    }
  }
}

// Random paragraphs of mixed lengths (a few of several thousand characters)
// over any character but NUL and the breaks.
Pars RandomParagraphs(size_t count, bool ansi, uint32_t seed) {
  uint32_t x = seed;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return x >> 8;
  };
  Pars pars(count);
  for (auto& p : pars) {
    const uint32_t len = next() % 500 == 0 ? 2000 + next() % 7000 : next() % 61;
    p.resize(len);
    for (auto& c : p) {
      do
        c = static_cast<char16_t>(ansi ? 1 + next() % 255 : 1 + next() % 0xFFFF);
      while (c == 10 || c == 13);
    }
  }
  return pars;
}

TEST(TextStreams, ThousandsOfParagraphsOverSeveralBuffersKeepTheirTextAndOffsets) {
  for (bool ansi : {false, true}) {
    for (TzvsLineBreak lb : kAllBreaks) {
      SCOPED_TRACE((ansi ? "8-bit " : "UTF-16 ") + std::string(BreakName(lb)));
      const Pars pars = RandomParagraphs(12000, ansi, 17u + lb);
      const std::u16string text = Join(pars, lb);
      ASSERT_GT(text.size(), 4u * kLoadBufferChars);
      const QByteArray bytes = Encode(text, ansi);
      Loaded l = LoadBytes(bytes, {.ansi = ansi});
      ExpectParagraphs(*l.store, pars);
      EXPECT_EQ(BreakName(l.lb), BreakName(lb));
      EXPECT_TRUE(SaveBytes(*l.store, {.ansi = ansi, .lb = lb}) == bytes);
    }
  }
}

TEST(TextStreams, FilesRoundTripByteForByte) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (bool ansi : {false, true}) {
    SCOPED_TRACE(ansi ? "8-bit" : "UTF-16");
    const Pars pars = RandomParagraphs(8000, ansi, 99);
    const QByteArray bytes = Encode(Join(pars, zsbLF), ansi);
    const QString in = dir.filePath(ansi ? "in8.txt" : "in16.txt");
    const QString out = dir.filePath(ansi ? "out8.txt" : "out16.txt");
    {
      QFile f(in);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QFile src(in);
    ASSERT_TRUE(src.open(QIODevice::ReadOnly));
    Loaded l = LoadFrom(src, {.ansi = ansi});
    ExpectParagraphs(*l.store, pars);
    EXPECT_EQ(BreakName(l.lb), BreakName(zsbLF));
    {
      QFile dst(out);
      ASSERT_TRUE(dst.open(QIODevice::WriteOnly));
      l.store->SaveToStream(dst, ansi, false, false, zsbLF);
    }
    QFile check(out);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_TRUE(check.readAll() == bytes);
  }
}

// ---- NUL characters -------------------------------------------------------------------

TEST(TextStreams, NulWithoutReplacementEndsTheTextAndLeavesTheStreamOnIt) {
  const int32_t B = kLoadBufferChars;
  struct Case {
    const char* name;
    std::u16string text;
    Pars pars;
    int breakStyle; // -1: none found, the preset stays
  };
  const Case cases[] = {
      {"NUL inside a paragraph", std::u16string(u"ab\0cd", 5), {u"ab"}, -1},
      {"NUL first", std::u16string(u"\0a\r\nb", 5), {u""}, -1},
      {"NUL after a break", std::u16string(u"a\r\n\0x\r\ny", 8), {u"a", u""}, zsbCRLF},
      {"NUL between CR and LF", std::u16string(u"a\r\0\nb", 5), {u"a", u""}, zsbCR},
      {"NUL last", std::u16string(u"a\nb\0", 4), {u"a", u"b"}, zsbLF},
      {"NUL opening the second buffer", Pattern(B) + std::u16string(u"\0tail", 5), {Pattern(B)}, -1},
      {"NUL after many paragraphs", Join(Pars(1000, Pattern(99)), zsbCRLF) + std::u16string(u"\0z", 2),
       Pars(1000, Pattern(99)), zsbCRLF},
  };
  for (bool ansi : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(ansi ? "8-bit: " : "UTF-16: ") + c.name);
      QByteArray bytes = "HDR" + Encode(c.text, ansi);
      QBuffer buf(&bytes);
      buf.open(QIODevice::ReadOnly);
      buf.seek(3);
      Loaded l = LoadFrom(buf, {.ansi = ansi}, zsbLFCR);
      ExpectParagraphs(*l.store, c.pars);
      EXPECT_EQ(BreakName(l.lb), BreakName(c.breakStyle < 0 ? zsbLFCR : TzvsLineBreak(c.breakStyle)));
      const qint64 nul = static_cast<qint64>(c.text.find(u'\0'));
      EXPECT_EQ(l.streamPos, 3 + nul * (ansi ? 1 : 2));
      EXPECT_EQ(buf.read(1), QByteArray(1, '\0'));
    }
  }
}

TEST(TextStreams, NulReplacementStandsInForEveryNul) {
  struct Case {
    std::u16string text;
    char16_t replacement;
    Pars pars;
  };
  const Case cases[] = {
      {std::u16string(u"ab\0cd", 5), u' ', {u"ab cd"}},
      {std::u16string(u"\0a\0\r\n\0", 6), u'?', {u"?a?", u"?"}},
      {std::u16string(u"\0\0", 2), u'\u263A', {u"\u263A\u263A"}},
      // The first NUL ends the first load buffer, the second opens the next.
      {Pattern(kLoadBufferChars - 1) + std::u16string(u"\0\0\nz", 4),
       u'.',
       {Pattern(kLoadBufferChars - 1) + u"..", u"z"}},
  };
  for (bool ansi : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE((ansi ? "8-bit " : "UTF-16 ") + Show(c.text.substr(0, 20)));
      const QByteArray bytes = Encode(c.text, ansi);
      QByteArray copy = bytes;
      QBuffer buf(&copy);
      buf.open(QIODevice::ReadOnly);
      Loaded l = LoadFrom(buf, {.ansi = ansi, .nullReplacement = c.replacement});
      ExpectParagraphs(*l.store, c.pars);
      EXPECT_EQ(l.streamPos, bytes.size());
    }
  }
}

// ---- Trailing blanks -----------------------------------------------------------------------

TEST(TextStreams, DiscardingTrailingBlanksOnLoadDropsSpacesAndTabsAtParagraphEnds) {
  struct Case {
    std::u16string text;
    char16_t replacement;
    Pars pars;
  };
  const Case cases[] = {
      {u"ab  \r\ncd\t \r\n \t", 0, {u"ab", u"cd", u""}},
      {u"  lead\t x", 0, {u"  lead\t x"}},
      {u"last  ", 0, {u"last"}},
      {u"nbsp\u00A0\n\v\f ", 0, {u"nbsp\u00A0", u"\v\f"}},
      {std::u16string(u"ab\0\0\r\nc", 7), u' ', {u"ab", u"c"}},
      {Pattern(70000) + u"   \r\n" + u"  ", 0, {Pattern(70000), u""}},
  };
  for (bool ansi : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE((ansi ? "8-bit " : "UTF-16 ") + Show(c.text.substr(0, 30)));
      Loaded l = LoadText(c.text, {.ansi = ansi, .nullReplacement = c.replacement, .discard = true});
      ExpectParagraphs(*l.store, c.pars);
    }
  }
}

TEST(TextStreams, DiscardingTrailingBlanksOnSaveLeavesTheStoreAsItIs) {
  const Pars pars = {u"ab  ", u"\t", u"  cd \t", u"x\u00A0"};
  for (bool ansi : {false, true}) {
    Loaded l = LoadText(Join(pars, zsbCRLF), {.ansi = ansi});
    EXPECT_EQ(SaveBytes(*l.store, {.ansi = ansi, .discard = true, .lb = zsbLF}), Encode(u"ab\n\n  cd\nx\u00A0", ansi));
    ExpectParagraphs(*l.store, pars);
  }
}

// ---- Static format codes ----------------------------------------------------------------

TEST(TextStreams, StaticFormatLoadGivesEachParagraphTheStylesOpenAtItsStart) {
  const std::u16string text = u"\x02"
                              u"a\r\nb\x01\r\n\x02\x15x\r\ny\x03\x04\r\nz";
  const TZarvFontStyles expected[] = {0, fsBold, fsBold | fsItalic, fsItalic | fsUnderline,
                                      fsItalic | fsUnderline | fsHighlight | fsAltFont};
  for (bool ansi : {false, true}) {
    SCOPED_TRACE(ansi ? "8-bit" : "UTF-16");
    Loaded l = LoadText(text, {.ansi = ansi, .staticFormat = true});
    ASSERT_STORE_OK(*l.store);
    ASSERT_EQ(l.store->Count(), 5);
    for (int32_t i = 0; i < 5; ++i)
      EXPECT_EQ(int(GetStartAttrib(*l.store->Par(i))), int(expected[i])) << "paragraph " << i;
    EXPECT_EQ(l.store->ParString(3).toStdU16String(), u"y\x03\x04");

    Loaded plain = LoadText(text, {.ansi = ansi});
    for (int32_t i = 0; i < plain.store->Count(); ++i)
      EXPECT_EQ(int(GetStartAttrib(*plain.store->Par(i))), 0) << "paragraph " << i;
  }
}

TEST(TextStreams, StrippingOnSaveDropsCodePairsThatCancelOut) {
  struct Case {
    std::u16string stored;
    bool discard;
    std::u16string written;
  };
  const Case cases[] = {
      {u"a\x02\x02"
       u"b",
       false, u"ab"},
      {u"a\x02\x01\x02"
       u"b",
       false,
       u"a\x01"
       u"b"},
      {u"\x02\x01\x01\x02", false, u""},
      {u"\x02\x02\x02", false, u"\x02"},
      {u"\x15\x15x\x03\x04\x03", false, u"x\x04"},
      {u"\x02\x01\x03", false, u"\x02\x01\x03"},
      {u"a\x02x\x02"
       u"b",
       false,
       u"a\x02x\x02"
       u"b"},
      {u"\x02\x01\x04\x01\x02\x01", false, u"\x04\x01"},
      // Blanks that a cancelled pair kept from the end become trailing and go too.
      {u"ab \x02\x02", true, u"ab"},
      {u"ab \x02\x02", false, u"ab "},
  };
  for (bool ansi : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE((ansi ? "8-bit " : "UTF-16 ") + Show(c.stored) + (c.discard ? " discarding" : ""));
      Loaded l = LoadText(c.stored, {.ansi = ansi, .staticFormat = true});
      EXPECT_EQ(SaveBytes(*l.store, {.ansi = ansi, .strip = true, .discard = c.discard}), Encode(c.written, ansi));
      EXPECT_EQ(Show(l.store->ParString(0).toStdU16String()), Show(c.stored)) << "saving changed the store";
      EXPECT_STORE_OK(*l.store);
    }
  }
}

TEST(TextStreams, CodesAreKeptWithoutStaticFormatOrWithoutStripping) {
  const std::u16string text = u"a\x02\x02\r\n\x01"
                              u"b\x01";
  Loaded noStatic = LoadText(text, {});
  EXPECT_EQ(SaveBytes(*noStatic.store, {.strip = true}), Encode(text, false));
  Loaded noStrip = LoadText(text, {.staticFormat = true});
  EXPECT_EQ(SaveBytes(*noStrip.store, {.strip = false}), Encode(text, false));
  // Codes cancel only within one paragraph.
  Loaded split = LoadText(u"a\x02\r\n\x02"
                          u"b",
                          {.staticFormat = true});
  EXPECT_EQ(SaveBytes(*split.store, {.strip = true}), Encode(u"a\x02\r\n\x02"
                                                             u"b",
                                                             false));
}

// ---- Saving -------------------------------------------------------------------------------

TEST(TextStreams, SavingWritesTheChosenBreakBetweenParagraphsOnly) {
  for (bool ansi : {false, true}) {
    for (TzvsLineBreak lb : kAllBreaks) {
      SCOPED_TRACE((ansi ? "8-bit " : "UTF-16 ") + std::string(BreakName(lb)));
      const std::u16string br(LineBreakChars(lb));
      Loaded l = LoadText(u"a\r\nb", {.ansi = ansi});
      EXPECT_EQ(SaveBytes(*l.store, {.ansi = ansi, .lb = lb}), Encode(u"a" + br + u"b", ansi));
      Loaded trailing = LoadText(u"a\n\nb\n", {.ansi = ansi});
      EXPECT_EQ(SaveBytes(*trailing.store, {.ansi = ansi, .lb = lb}), Encode(u"a" + br + br + u"b" + br, ansi));
    }
  }
}

// ---- Progress -----------------------------------------------------------------------------

TEST(TextStreams, LoadReportsProgressEverySixteenParagraphsWhenTheIntervalHasPassed) {
  const QByteArray bytes = Encode(Join(Pars(40, u"line"), zsbCRLF), false);
  std::vector<int32_t> positions;
  TParagraphsList* seen = nullptr;
  Loaded l = LoadBytes(bytes, {.progressInterval = 0}, zsbCRLF, [&](TParagraphsList& sender) {
    seen = &sender;
    positions.push_back(sender.fLoadPosition);
  });
  EXPECT_STORE_OK(*l.store);
  EXPECT_EQ(seen, l.store.get());
  // The whole stream fits the first buffer, so it has been read at both reports.
  EXPECT_EQ(positions, (std::vector<int32_t>{int32_t(bytes.size()), int32_t(bytes.size())}));

  int calls = 0;
  Loaded quiet = LoadBytes(bytes, {.progressInterval = 3600000}, zsbCRLF, [&](TParagraphsList&) { ++calls; });
  EXPECT_EQ(calls, 0);
}

TEST(TextStreams, LoadProgressPositionsFollowTheBuffersRead) {
  const QByteArray bytes = Encode(Join(RandomParagraphs(12010, false, 5), zsbCRLF), false);
  std::vector<int32_t> positions;
  Loaded l = LoadBytes(bytes, {.progressInterval = 0}, zsbCRLF,
                       [&](TParagraphsList& sender) { positions.push_back(sender.fLoadPosition); });
  EXPECT_STORE_OK(*l.store);
  ASSERT_EQ(positions.size(), size_t(12010 / 16));
  EXPECT_EQ(positions.front(), 2 * kLoadBufferChars);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_EQ(positions.back(), bytes.size());
}

TEST(TextStreams, SaveReportsTheParagraphBeingWrittenAndTheCountAtTheEnd) {
  Loaded l = LoadText(u"a\r\nb\r\nc\r\nd\r\ne", {});
  std::vector<int32_t> positions;
  TParagraphsList* seen = nullptr;
  auto record = [&](TParagraphsList& sender) {
    seen = &sender;
    positions.push_back(sender.fSavePosition);
  };
  // Every write takes a few milliseconds, so each paragraph passes interval 0.
  RecordingWriteDevice slow(1 << 20, 3);
  l.store->SaveToStream(slow, false, false, false, zsbCRLF, record, 0);
  EXPECT_EQ(seen, l.store.get());
  EXPECT_EQ(positions, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(slow.written, Encode(u"a\r\nb\r\nc\r\nd\r\ne", false));

  positions.clear();
  SaveBytes(*l.store, {.progressInterval = 3600000}, record);
  EXPECT_EQ(positions, std::vector<int32_t>{5});
}

// ---- Bad input and failing devices -----------------------------------------------------

TEST(TextStreams, OddUtf16ByteCountIsRefusedBeforeReading) {
  FailingReadDevice dev(Encode(u"abc\r\ndef", false) + 'x', 1 << 30);
  auto store = std::make_unique<TParagraphsList>();
  TzvsLineBreak lb = zsbLF;
  try {
    store->LoadFromStream(dev, false, 0, false, lb);
    FAIL() << "an odd byte count loaded";
  } catch (const EStreamError& e) {
    EXPECT_FALSE(e.message().isEmpty());
    EXPECT_NE(e.message(), QString::fromLatin1(SStreamReadError)) << "the message should name the odd length";
  }
  EXPECT_EQ(dev.delivered, 0);
  EXPECT_EQ(dev.pos(), 0);
  EXPECT_STORE_OK(*store);
  EXPECT_TRUE(StoreText(*store).empty());
  EXPECT_EQ(BreakName(lb), BreakName(zsbLF));

  // Without the stray byte the same text loads.
  FailingReadDevice even(Encode(u"abc\r\ndef", false), 1 << 30);
  Loaded l = LoadFrom(even, {});
  ExpectParagraphs(*l.store, {u"abc", u"def"});
}

TEST(TextStreams, DeviceFailingMidwayRaisesAndLeavesTheTextReadSoFar) {
  Pars pars;
  for (uint32_t i = 0; i < 3000; ++i)
    pars.push_back(Pattern(40 + i % 30, i));
  const std::u16string text = Join(pars, zsbCRLF);
  struct Case {
    bool ansi;
    qint64 failAfter;
  };
  const Case cases[] = {
      {false, 0}, {false, 100}, {false, 2 * kLoadBufferChars + 5000}, {false, 4 * kLoadBufferChars - 1},
      {true, 0},  {true, 1000}, {true, kLoadBufferChars + 7},         {true, 2 * kLoadBufferChars + 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.ansi ? "8-bit, failing after " : "UTF-16, failing after ") + std::to_string(c.failAfter));
    const QByteArray bytes = Encode(text, c.ansi);
    ASSERT_GT(bytes.size(), c.failAfter);
    FailingReadDevice dev(bytes, c.failAfter);
    auto store = std::make_unique<TParagraphsList>();
    TzvsLineBreak lb = zsbCRLF;
    EXPECT_THROW(store->LoadFromStream(dev, c.ansi, 0, false, lb), EStreamError);
    ASSERT_STORE_OK(*store);
    const std::u16string got = StoreText(*store);
    const size_t charsDelivered = static_cast<size_t>(dev.delivered / (c.ansi ? 1 : 2));
    EXPECT_LE(got.size(), charsDelivered);
    EXPECT_TRUE(text.compare(0, got.size(), got) == 0) << "the store is not a prefix of the text";
    // Everything the scan passed before the failing read is kept.
    const size_t scanned = (charsDelivered / kLoadBufferChars) * kLoadBufferChars;
    const size_t lastBreak = scanned == 0 ? 0 : text.rfind(u"\r\n", scanned - 2);
    EXPECT_GE(got.size(), lastBreak);

    // The store can be emptied and used again.
    store->CleanUp();
    QByteArray again = bytes;
    QBuffer buf(&again);
    buf.open(QIODevice::ReadOnly);
    store->LoadFromStream(buf, c.ansi, 0, false, lb);
    EXPECT_STORE_OK(*store);
    EXPECT_EQ(store->Count(), 3000);
  }
}

// The device fails just as the loader asks for the next buffer, after a
// buffer that ended with a complete paragraph or inside one.
TEST(TextStreams, DeviceFailingAtABufferChangeKeepsTheCompletedParagraphs) {
  const int32_t B = kLoadBufferChars;
  struct Case {
    const char* name;
    Pars pars;
    Pars kept;
  };
  const Case cases[] = {
      {"break ends the buffer", {Pattern(B - 1), u"more"}, {Pattern(B - 1), u""}},
      {"pair ends the buffer", {Pattern(B - 2), u"more"}, {Pattern(B - 2), u""}},
      {"paragraph open at the buffer end", {Pattern(100), Pattern(B), u"more"}, {Pattern(100), Pattern(B - 102)}},
  };
  for (bool ansi : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(ansi ? "8-bit: " : "UTF-16: ") + c.name);
      FailingReadDevice dev(Encode(Join(c.pars, zsbCRLF), ansi), qint64(B) * (ansi ? 1 : 2));
      auto store = std::make_unique<TParagraphsList>();
      TzvsLineBreak lb = zsbLF;
      EXPECT_THROW(store->LoadFromStream(dev, ansi, 0, false, lb), EStreamError);
      ExpectParagraphs(*store, c.kept);
    }
  }
}

TEST(TextStreams, DeviceLargerThanTheOffsetRangeIsRefusedWithoutReading) {
  struct Case {
    bool ansi;
    qint64 bytes;
    bool tooLong;
  };
  const qint64 G = qint64(1) << 31;
  const Case cases[] = {
      {true, G + 1, true},
      {true, qint64(1) << 40, true},
      {false, 2 * G + 2, true},
      {false, qint64(1) << 40, true},
      // Half the range in UTF-16 bytes is a quarter of it in characters: allowed,
      // so the load starts reading and meets the device's failure instead.
      {false, G + 2, false},
      {true, G - 1024, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.ansi ? "8-bit, " : "UTF-16, ") + std::to_string(c.bytes) + " bytes");
    HugeDevice dev(c.bytes);
    auto store = std::make_unique<TParagraphsList>();
    TzvsLineBreak lb = zsbCRLF;
    if (c.tooLong) {
      try {
        store->LoadFromStream(dev, c.ansi, 0, false, lb);
        ADD_FAILURE() << "no exception";
      } catch (const ETextTooLong& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Text too long"));
      }
      EXPECT_EQ(dev.readCalls, 0);
    } else {
      EXPECT_THROW(store->LoadFromStream(dev, c.ansi, 0, false, lb), EStreamError);
      EXPECT_GT(dev.readCalls, 0);
    }
    EXPECT_STORE_OK(*store);
  }
}

TEST(TextStreams, DeviceRefusingWritesMakesSaveRaise) {
  const std::u16string text = Join(RandomParagraphs(3000, true, 3), zsbCRLF);
  for (bool ansi : {false, true}) {
    Loaded l = LoadText(text, {.ansi = ansi});
    const qint64 total = Encode(text, ansi).size();
    for (qint64 failAfter : {qint64(0), qint64(1), total / 2, total - 1}) {
      SCOPED_TRACE((ansi ? "8-bit, failing after " : "UTF-16, failing after ") + std::to_string(failAfter));
      RecordingWriteDevice dev(failAfter);
      EXPECT_THROW(l.store->SaveToStream(dev, ansi, false, false, zsbCRLF), EStreamError);
      EXPECT_EQ(dev.written, Encode(text, ansi).left(failAfter));
      EXPECT_STORE_OK(*l.store);
      EXPECT_TRUE(StoreText(*l.store) == text);
    }
  }
}

// ---- Devices without a known length -----------------------------------------------------

TEST(TextStreams, PipesAndOtherSequentialDevicesAreReadToTheirEnd) {
  const Pars bigPars = RandomParagraphs(3000, true, 10);
  struct Text {
    Pars pars;
    TzvsLineBreak lb;
  };
  const Text texts[] = {{{u"first line", u"second line", u""}, zsbLF}, {bigPars, zsbCRLF}};
  enum Source { kPipe, kTrickle, kTrickleMinusOne };
  for (bool ansi : {true, false}) {
    for (const Text& t : texts) {
      const QByteArray bytes = Encode(Join(t.pars, t.lb), ansi);
      for (Source src : {kPipe, kTrickle, kTrickleMinusOne}) {
        SCOPED_TRACE(std::string(ansi ? "8-bit, " : "UTF-16, ") + std::to_string(t.pars.size()) +
                     " paragraphs, source " + std::to_string(src));
        std::vector<int32_t> positions;
        auto check = [&](QIODevice& dev) {
          Loaded l = LoadFrom(dev, {.ansi = ansi, .progressInterval = 0}, zsbCR,
                              [&](TParagraphsList& s) { positions.push_back(s.fLoadPosition); });
          ExpectParagraphs(*l.store, t.pars);
          EXPECT_EQ(BreakName(l.lb), BreakName(t.lb));
        };
        if (src == kPipe) {
          ThroughPipe(bytes, check);
        } else {
          TrickleDevice dev(bytes, 7, src == kTrickleMinusOne);
          check(dev);
        }
        // Progress counts the bytes read, which a sequential device's position does not.
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
        if (!positions.empty()) {
          EXPECT_GT(positions.front(), 0);
          EXPECT_LE(positions.back(), bytes.size());
        }
      }
    }
  }
  // Files in /proc report size 0 although they have text.
  QFile version(QStringLiteral("/proc/version"));
  if (version.open(QIODevice::ReadOnly)) {
    const QByteArray expected = version.readAll();
    version.seek(0);
    Loaded l = LoadFrom(version, {.ansi = true});
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(StoreText(*l.store), QString::fromLatin1(expected).replace('\n', "\r\n").toStdU16String());
  }
}

TEST(TextStreams, OddUtf16ByteCountOfASequentialDeviceRaisesAfterTheTextIsClosed) {
  const Pars pars = {u"first line", Pattern(3000), u"last"};
  const QByteArray bytes = Encode(Join(pars, zsbCRLF), false) + 'x';
  for (bool pipeSource : {true, false}) {
    SCOPED_TRACE(pipeSource ? "pipe" : "trickling device");
    auto check = [&](QIODevice& dev) {
      auto store = std::make_unique<TParagraphsList>();
      TzvsLineBreak lb = zsbLF;
      try {
        store->LoadFromStream(dev, false, 0, false, lb);
        ADD_FAILURE() << "an odd byte count loaded";
      } catch (const EStreamError& e) {
        EXPECT_TRUE(e.message().contains(QString::number(bytes.size()))) << e.message().toStdString();
      }
      ExpectParagraphs(*store, pars);
    };
    if (pipeSource) {
      ThroughPipe(bytes, check);
    } else {
      TrickleDevice dev(bytes, 3);
      check(dev);
    }
  }
}

// A sequential device that fails says so and keeps what came; the length
// limit holds as the bytes arrive (a random-access device is refused before
// reading).
TEST(TextStreams, SequentialDevicesFailLoudlyAndKeepToTheLengthLimit) {
  const std::u16string text = Join(Pars(40, Pattern(20)), zsbCRLF); // 40 x 20 + 39 x 2 = 878 characters
  for (bool ansi : {true, false}) {
    SCOPED_TRACE(ansi ? "8-bit" : "UTF-16");
    const QByteArray bytes = Encode(text, ansi);
    TrickleDevice failing(bytes, 5, false, bytes.size() / 2);
    auto store = std::make_unique<TParagraphsList>();
    TzvsLineBreak lb = zsbCRLF;
    try {
      store->LoadFromStream(failing, ansi, 0, false, lb);
      ADD_FAILURE() << "a failing device loaded";
    } catch (const EStreamError& e) {
      EXPECT_TRUE(e.message().contains(QStringLiteral("the line dropped"))) << e.message().toStdString();
    }
    ASSERT_STORE_OK(*store);
    const std::u16string got = StoreText(*store);
    EXPECT_TRUE(text.compare(0, got.size(), got) == 0 && got.size() > text.size() / 3);

    struct Case {
      int32_t limit;
      bool sequential;
      bool tooLong;
    };
    const Case cases[] = {{878, true, false}, {877, true, true}, {100, true, true}, {877, false, true}};
    for (const Case& c : cases) {
      SCOPED_TRACE("limit " + std::to_string(c.limit) + (c.sequential ? ", sequential" : ", random access"));
      detail::SetLoadTextLimitForTesting(c.limit);
      SmallLoadBuffers buffers(64);
      TrickleDevice trickle(bytes, 9);
      FailingReadDevice file(bytes, bytes.size());
      QIODevice& dev = c.sequential ? static_cast<QIODevice&>(trickle) : file;
      auto limited = std::make_unique<TParagraphsList>();
      bool threw = false;
      try {
        limited->LoadFromStream(dev, ansi, 0, false, lb);
      } catch (const ETextTooLong&) {
        threw = true;
      }
      detail::SetLoadTextLimitForTesting(0);
      EXPECT_EQ(threw, c.tooLong);
      ASSERT_STORE_OK(*limited);
      EXPECT_LE(limited->fTextLen, c.limit);
      if (!c.sequential) {
        EXPECT_EQ(file.delivered, 0);
      }
    }
  }
}

// ---- Buffer sizes --------------------------------------------------------------------------

// Texts whose pieces land on every buffer edge when buffers are a few
// characters long: short and long runs, single and paired breaks of every
// kind, NULs, style codes and trailing blanks. Loading them with tiny buffers,
// from a random-access or a trickling device, must give exactly what the
// normal buffers give.
TEST(TextStreams, TinyBuffersLoadExactlyWhatNormalBuffersLoad) {
  const std::u16string pieces[] = {u"a",    u"word", u"\r",       u"\n",       u"\r\n",
                                   u"\n\r", u"\r\r", u"  ",       u"\t",       std::u16string(1, u'\0'),
                                   u"\x02", u"\x15", Pattern(40), Pattern(300)};
  uint32_t x = 11;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return x >> 8;
  };
  for (int round = 0; round < 60; ++round) {
    std::u16string text;
    const uint32_t n = next() % 60;
    for (uint32_t k = 0; k < n; ++k)
      text += pieces[next() % std::size(pieces)];
    const bool ansi = round % 2;
    const LoadOptions o{.ansi = ansi,
                        .nullReplacement = round % 3 ? u'.' : u'\0',
                        .discard = round % 4 == 1,
                        .staticFormat = round % 5 < 2};
    const QByteArray bytes = Encode(text, ansi);
    const Loaded normal = LoadBytes(bytes, o);
    ASSERT_STORE_OK(*normal.store);
    for (int32_t chars : {1, 2, 3, 5, 16}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", buffers of " + std::to_string(chars) + ": " +
                   Show(text.substr(0, 60)));
      SmallLoadBuffers buffers(chars);
      TrickleDevice trickle(bytes, static_cast<uint32_t>(round));
      for (bool sequential : {false, true}) {
        Loaded l = sequential ? LoadFrom(trickle, o) : LoadBytes(bytes, o);
        ExpectParagraphs(*l.store, Paragraphs(*normal.store));
        EXPECT_EQ(BreakName(l.lb), BreakName(normal.lb));
        for (int32_t i = 0; i < l.store->Count(); ++i)
          ASSERT_EQ(GetStartAttrib(*l.store->Par(i)), GetStartAttrib(*normal.store->Par(i))) << "paragraph " << i;
        if (!sequential) {
          EXPECT_EQ(l.streamPos, normal.streamPos);
        }
      }
    }
  }
}

// Buffers keep only what their paragraphs use, whatever the paragraph
// lengths and whether the length was known: the blocks and own buffers of a
// load come to the text, its NULs and the dropped halves of CR LF, plus a
// page per block and a header per buffer.
TEST(TextStreams, LoadedBuffersHoldLittleMoreThanTheText) {
  for (int32_t length : {30, 40000, 70000, 200000}) {
    const Pars pars(static_cast<size_t>(1'000'000 / length + 3), Pattern(static_cast<size_t>(length)));
    const QByteArray bytes = Encode(Join(pars, zsbCRLF), true);
    for (bool sequential : {false, true}) {
      SCOPED_TRACE(std::to_string(pars.size()) + " paragraphs of " + std::to_string(length) +
                   (sequential ? ", sequential" : ", random access"));
      TrickleDevice trickle(bytes, 1);
      QByteArray copy = bytes;
      QBuffer buffer(&copy);
      buffer.open(QIODevice::ReadOnly);
      Loaded l = LoadFrom(sequential ? static_cast<QIODevice&>(trickle) : buffer, {.ansi = true});
      ExpectParagraphs(*l.store, pars);
      size_t held = l.store->TextBlockBytes();
      for (const TBufferRecord& b : l.store->fBufferList)
        if (!zvStrBufInBlock(b.Buf))
          held += static_cast<size_t>(zvStrBufSize(b.Buf)) * 2 + 8;
      const size_t text = static_cast<size_t>(bytes.size()) * 2 + 2;
      const size_t blocks = sequential ? 12 : 2; // 64 KB doubling to 8 MB, or sized from the length
      EXPECT_LE(held, text + blocks * 4096 + l.store->fBufferList.size() * 24);
    }
  }
}

// ---- Saving to devices that buffer ---------------------------------------------------------

TEST(TextStreams, SaveRaisesWhenAFileCannotTakeItsLastBytes) {
  QFile full(QStringLiteral("/dev/full"));
  if (!full.open(QIODevice::WriteOnly))
    GTEST_SKIP() << "no /dev/full";
  Loaded l = LoadText(u"short\r\ntext", {});
  // The few bytes stay in the file's buffer until flushed, where the device refuses them.
  EXPECT_THROW(l.store->SaveToStream(full, false, false, false, zsbCRLF), EStreamError);
  EXPECT_STORE_OK(*l.store);
}

// ---- Encodings ---------------------------------------------------------------------------

std::string FormatName(const TzvsLoadResult& r) {
  return std::string(EncodingName(r.Format.Encoding)) + (r.Format.Bom ? " with mark" : "") +
         (r.InvalidBytes ? ", " + std::to_string(r.InvalidBytes) + " invalid" : "");
}

// UTF-8 read the plain way, by code point arithmetic and the limits of each
// length: a byte that starts no valid sequence is its 8-bit value.
struct Utf8Reading {
  std::u16string text;
  int64_t invalid = 0;
  bool multiByteBeforeInvalid = false;
};

Utf8Reading ReadUtf8(QByteArrayView b) {
  static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  Utf8Reading r;
  for (qsizetype i = 0; i < b.size();) {
    const auto c = static_cast<uint8_t>(b[i]);
    const int len = c < 0x80 ? 1 : c < 0xC0 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 0;
    uint32_t cp = len == 1 ? c : c & (0x7Fu >> len);
    bool ok = len > 0 && i + len <= b.size();
    for (int k = 1; ok && k < len; ++k) {
      ok = (static_cast<uint8_t>(b[i + k]) & 0xC0) == 0x80;
      cp = cp << 6 | (static_cast<uint8_t>(b[i + k]) & 0x3F);
    }
    ok = ok && cp >= kLeast[len > 1 ? len : 0] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    if (!ok) {
      r.text += static_cast<char16_t>(c);
      ++r.invalid;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      r.text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      r.text += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      r.text += static_cast<char16_t>(cp);
    }
    r.multiByteBeforeInvalid = r.multiByteBeforeInvalid || (len > 1 && r.invalid == 0);
    i += len;
  }
  return r;
}

std::u16string Latin1(QByteArrayView b) {
  std::u16string s;
  for (char c : b)
    s += static_cast<char16_t>(static_cast<uint8_t>(c));
  return s;
}

// Paragraphs of a text whose breaks are CR LF, or CR and LF alone.
Pars SplitCrLf(const std::u16string& text) {
  Pars pars(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      pars.emplace_back();
      i += text.compare(i, 2, u"\r\n") == 0;
    } else {
      pars.back() += text[i];
    }
  }
  return pars;
}

struct EncodedLoad {
  Loaded loaded;
  TzvsLoadResult result;
};

EncodedLoad LoadEncoded(QIODevice& dev, std::optional<TzvsEncoding> encoding, char16_t nullReplacement = 0) {
  EncodedLoad r;
  r.loaded.lb = zsbLF;
  r.result = r.loaded.store->LoadFromStream(dev, encoding, nullReplacement, false, r.loaded.lb);
  r.loaded.streamPos = dev.pos();
  return r;
}

QByteArray SaveEncoded(TParagraphsList& store, TzvsTextFormat format, int64_t* unrepresentable = nullptr) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  const int64_t n = store.SaveToStream(buf, format, false, false, zsbCRLF);
  if (unrepresentable)
    *unrepresentable = n;
  return bytes;
}

QByteArray Utf16Bytes(const std::u16string& s, bool bigEndian) {
  QByteArray b = Encode(s, false);
  if (bigEndian)
    for (qsizetype i = 0; i + 1 < b.size(); i += 2)
      std::swap(b[i], b[i + 1]);
  return b;
}

// Each text loads as the given or found encoding, from a file-like and from
// a trickling device alike, and saving it in the format the load reports
// gives back exactly the bytes it came from.
TEST(TextStreams, EncodingsAreFoundOrTakenAsAskedAndSavingAsFoundGivesBackTheBytes) {
  const std::u16string mixed = u"caf\u00E9 \u20AC5 \u4E2D\u6587\r\n\U0001F600 end\r\n\u00DF";
  const QByteArray utf8 = QString::fromStdU16String(mixed).toUtf8();
  using E = TzvsEncoding;
  const auto none = std::optional<E>();
  struct Case {
    const char* name;
    QByteArray bytes;
    std::optional<E> asked;
    TzvsTextFormat found;
    std::u16string text;
    bool randomAccessOnly = false; // a sequential device cannot go back to read it as 8-bit
  };
  const Case cases[] = {
      {"UTF-8", utf8, none, {E::Utf8, false}, mixed},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8, none, {E::Utf8, true}, mixed},
      {"mark, then U+FEFF", "\xEF\xBB\xBF\xEF\xBB\xBFx", none, {E::Utf8, true}, u"\uFEFFx"},
      {"only a mark", "\xEF\xBB\xBF", none, {E::Utf8, true}, u""},
      {"empty", "", none, {E::Utf8, false}, u""},
      {"ASCII", "plain\r\ntext", none, {E::Utf8, false}, u"plain\r\ntext"},
      {"UTF-16LE with mark", "\xFF\xFE" + Utf16Bytes(mixed, false), none, {E::Utf16LE, true}, mixed},
      {"UTF-16BE with mark", "\xFE\xFF" + Utf16Bytes(mixed, true), none, {E::Utf16BE, true}, mixed},
      {"UTF-16BE asked", Utf16Bytes(mixed, true), E::Utf16BE, {E::Utf16BE, false}, mixed},
      {"UTF-16LE asked, its mark", "\xFF\xFE" + Utf16Bytes(u"a", false), E::Utf16LE, {E::Utf16LE, true}, u"a"},
      {"UTF-16LE asked, another mark",
       "\xFE\xFF" + Utf16Bytes(u"a", false),
       E::Utf16LE,
       {E::Utf16LE, false},
       u"\uFFFEa"},
      {"8-bit asked, a UTF-8 mark", "\xEF\xBB\xBFx", E::Ansi, {E::Ansi, false}, u"\u00EF\u00BB\u00BFx"},
      {"UTF-8 asked", utf8, E::Utf8, {E::Utf8, false}, mixed},
      // Not UTF-8: read as 8-bit, so that the bytes come back as they were.
      {"Latin-1", "caf\xE9\r\nna\xEFve", none, {E::Ansi, false}, u"caf\u00E9\r\nna\u00EFve"},
      {"Latin-1 first", "\xE9t\xE9", none, {E::Ansi, false}, u"\u00E9t\u00E9"},
      {"UTF-8 then a Latin-1 byte", utf8 + "\xE9", none, {E::Ansi, false}, Latin1(utf8 + "\xE9"), true},
      {"overlong", "a\xC0\xAF", none, {E::Ansi, false}, u"a\u00C0\u00AF"},
      {"encoded surrogate", "\xED\xA0\x80", none, {E::Ansi, false}, u"\u00ED\u00A0\u0080"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", none, {E::Ansi, false}, u"\u00F4\u0090\u0080\u0080"},
      {"cut at the end", "\xE2\x82", none, {E::Ansi, false}, u"\u00E2\u0082"},
      {"shortest and longest forms",
       "\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
       none,
       {E::Utf8, false},
       u"\u0080\u0800\uD7FF\uE000\U00010000\U0010FFFF"},
      {"overlong two bytes", "\xC1\xBF", none, {E::Ansi, false}, u"\u00C1\u00BF"},
      {"overlong three bytes", "\xE0\x9F\xBF", none, {E::Ansi, false}, u"\u00E0\u009F\u00BF"},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", none, {E::Ansi, false}, u"\u00F0\u008F\u00BF\u00BF"},
      {"UTF-16 mark only", "\xFF\xFE", none, {E::Utf16LE, true}, u""},
      // Without a mark, UTF-16 shows in the zero bytes of its Latin-1 range.
      {"UTF-16LE without mark", Utf16Bytes(mixed, false), none, {E::Utf16LE, false}, mixed},
      {"UTF-16BE without mark", Utf16Bytes(mixed, true), none, {E::Utf16BE, false}, mixed},
      {"one UTF-16LE character", QByteArray("A\0", 2), none, {E::Utf16LE, false}, u"A"},
      {"one UTF-16BE character", QByteArray("\0A", 2), none, {E::Utf16BE, false}, u"A"},
  };
  for (const Case& c : cases) {
    for (bool sequential : {false, true}) {
      if (sequential && c.randomAccessOnly)
        continue;
      SCOPED_TRACE(std::string(c.name) + (sequential ? ", sequential" : ", random access"));
      QByteArray copy = c.bytes;
      QBuffer buffer(&copy);
      buffer.open(QIODevice::ReadOnly);
      TrickleDevice trickle(c.bytes, 3, true);
      QIODevice& dev = sequential ? static_cast<QIODevice&>(trickle) : buffer;
      EncodedLoad l = LoadEncoded(dev, c.asked);
      ExpectParagraphs(*l.loaded.store, SplitCrLf(c.text));
      EXPECT_EQ(FormatName(l.result), FormatName(TzvsLoadResult{c.found, 0}));
      EXPECT_EQ(SaveEncoded(*l.loaded.store, l.result.Format), c.bytes);
    }
  }
}

// Bytes with zeros that are not UTF-16 text: binary data (zeros in runs,
// or beside control characters), text with a stray NUL, an odd byte count.
// They load as UTF-8 or 8-bit with every NUL replaced and counted; without
// a replacement the text ends at the first NUL and the result says so.
template <size_t N>
QByteArray Raw(const char (&s)[N]) {
  return QByteArray(s, N - 1);
}

TEST(TextStreams, ZeroBytesMakeUtf16OnlyWhenTheyStandBesideText) {
  using E = TzvsEncoding;
  struct Case {
    const char* name;
    QByteArray bytes;
    E found; // with a NUL replacement (without one, the text ends before the decision)
  };
  const Case cases[] = {
      {"program header",
       Raw("\x7F"
           "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3E\0\x01\0\0\0\xE0\x61"),
       E::Ansi},
      {"a NUL mid-line", Raw("first line\nsecond\0line!\n"), E::Utf8},
      {"16-bit numbers", Raw("\x05\0\x0A\0\x0F\0\x14\0"), E::Utf8},
      {"UTF-16 units beside a NUL unit", Raw("a\0\0\0b\0"), E::Utf8},
      {"odd byte count", Raw("a\0b\0c"), E::Utf8},
      {"zeros in a third of the units", Raw("xya\0zwb\0uvst"), E::Utf8},
  };
  for (const Case& c : cases) {
    for (bool sequential : {false, true}) {
      const int32_t firstNul = static_cast<int32_t>(c.bytes.indexOf('\0'));
      for (char16_t replacement : {u'\u2400', u'\0'}) {
        SCOPED_TRACE(std::string(c.name) + (sequential ? ", sequential" : ", random access") +
                     (replacement ? ", replaced" : ", not replaced"));
        QByteArray copy = c.bytes;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        TrickleDevice trickle(c.bytes, 3, true);
        QIODevice& dev = sequential ? static_cast<QIODevice&>(trickle) : buffer;
        EncodedLoad l = LoadEncoded(dev, std::nullopt, replacement);
        const std::u16string all = c.found == E::Ansi ? Latin1(c.bytes) : ReadUtf8(c.bytes).text;
        std::u16string expected = replacement ? all : all.substr(0, all.find(u'\0'));
        std::replace(expected.begin(), expected.end(), u'\0', replacement);
        EXPECT_EQ(ShowAll(Paragraphs(*l.loaded.store)), ShowAll(SplitCrLf(expected)));
        EXPECT_EQ(l.result.Truncated, replacement == 0);
        if (replacement) {
          EXPECT_EQ(EncodingName(l.result.Format.Encoding), std::string(EncodingName(c.found)));
          EXPECT_EQ(l.result.Nuls, c.bytes.count('\0'));
        } else {
          EXPECT_EQ(l.result.Nuls, 1);
          if (!sequential) {
            EXPECT_EQ(l.loaded.streamPos, firstNul);
          }
        }
      }
    }
  }
}

// Random texts of valid sequences of every length, invalid bytes and breaks,
// read through buffers of one to seven characters and devices that deliver
// one to seven bytes at a time, so that sequences and surrogate pairs are cut
// at every edge: the paragraphs are those of the whole text read at once.
TEST(TextStreams, Utf8CutAtEveryBufferAndReadEdgeLoadsAsTheWholeTextReads) {
  const QByteArray pieces[] = {"a",
                               "word ",
                               "\r\n",
                               "\xC3\xA9",
                               "\xD0\x96\xD0\xB8",
                               "\xE2\x82\xAC",
                               "\xE4\xB8\xAD",
                               "\xF0\x9F\x98\x80",
                               "\xF4\x8F\xBF\xBF",
                               "\xEF\xBF\xBD"};
  const QByteArray invalid[] = {"\xE9", "\x80", "\xC0\x80", "\xE2\x82", "\xF0\x9F\x98", "\xFF", "\xED\xB0\x80"};
  uint32_t x = 29;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return x >> 8;
  };
  for (int round = 0; round < 48; ++round) {
    QByteArray bytes;
    // Every fourth text is long enough to be cut by the reader's own reads.
    const uint32_t n = round % 4 == 3 ? 2000 + next() % 1000 : 1 + next() % 80;
    for (uint32_t k = 0; k < n; ++k)
      bytes += pieces[next() % std::size(pieces)];
    // Half the rounds hold an invalid piece, near the start or the end.
    if (round % 2) {
      const auto at = round % 4 == 1 ? qsizetype{0} : bytes.size();
      bytes.insert(at, invalid[next() % std::size(invalid)]);
    }
    const Utf8Reading whole = ReadUtf8(bytes);
    const bool asked = round % 3 == 0;
    for (int32_t chars : {1, 2, 3, 7}) {
      SmallLoadBuffers buffers(chars);
      for (bool sequential : {false, true}) {
        SCOPED_TRACE("round " + std::to_string(round) + (asked ? ", UTF-8 asked" : ", found") + ", buffers of " +
                     std::to_string(chars) + (sequential ? ", sequential: " : ", random access: ") +
                     Show(whole.text.substr(0, 40)));
        QByteArray copy = bytes;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        TrickleDevice trickle(bytes, static_cast<uint32_t>(round * 8 + chars));
        QIODevice& dev = sequential ? static_cast<QIODevice&>(trickle) : buffer;
        EncodedLoad l = LoadEncoded(dev, asked ? std::optional(TzvsEncoding::Utf8) : std::nullopt);
        const bool as8Bit = !asked && whole.invalid > 0 && (!sequential || !whole.multiByteBeforeInvalid);
        ExpectParagraphs(*l.loaded.store, SplitCrLf(as8Bit ? Latin1(bytes) : whole.text));
        EXPECT_EQ(FormatName(l.result),
                  FormatName({{as8Bit ? TzvsEncoding::Ansi : TzvsEncoding::Utf8, false}, as8Bit ? 0 : whole.invalid}));
      }
    }
  }
}

// Text that proves not to be UTF-8 only after several buffers: a file is
// read again as 8-bit text and saves back to its bytes; a pipe cannot be
// read again, so its text stays UTF-8 with the invalid byte as its 8-bit
// value, unless all before it was ASCII (then nothing needs reading again).
TEST(TextStreams, TextProvingNotUtf8LateLoadsAs8BitFromFilesAndStaysUtf8FromPipes) {
  Pars pars;
  for (uint32_t i = 0; i < 4000; ++i)
    pars.push_back(Pattern(30 + i % 40, i));
  const QByteArray ascii = Encode(Join(pars, zsbCRLF), true);
  pars[1] += u"\u00E9\u4E2D";
  const QByteArray utf8 = QString::fromStdU16String(Join(pars, zsbCRLF)).toUtf8();
  ASSERT_GT(utf8.size(), 3 * kLoadBufferChars);
  struct Case {
    const char* name;
    QByteArray bytes;
    bool pipe;
    TzvsLoadResult found;
  };
  const Case cases[] = {
      {"multi-byte, then a Latin-1 byte, from a file", utf8 + "\r\nna\xEFve", false, {{TzvsEncoding::Ansi, false}, 0}},
      {"multi-byte, then a Latin-1 byte, from a pipe", utf8 + "\r\nna\xEFve", true, {{TzvsEncoding::Utf8, false}, 1}},
      {"ASCII, then a Latin-1 byte, from a file", ascii + "\r\nna\xEFve", false, {{TzvsEncoding::Ansi, false}, 0}},
      {"ASCII, then a Latin-1 byte, from a pipe", ascii + "\r\nna\xEFve", true, {{TzvsEncoding::Ansi, false}, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool as8Bit = c.found.Format.Encoding == TzvsEncoding::Ansi;
    const Pars expected = SplitCrLf(as8Bit ? Latin1(c.bytes) : ReadUtf8(c.bytes).text);
    std::vector<int32_t> positions;
    auto check = [&](QIODevice& dev) {
      Loaded l;
      l.lb = zsbLF;
      const TzvsLoadResult r = l.store->LoadFromStream(
          dev, std::nullopt, 0, false, l.lb,
          [&](TParagraphsList& sender) { positions.push_back(sender.fLoadPosition); }, 0);
      ExpectParagraphs(*l.store, expected);
      EXPECT_EQ(BreakName(l.lb), BreakName(zsbCRLF));
      EXPECT_EQ(FormatName(r), FormatName(c.found));
      if (as8Bit) {
        EXPECT_TRUE(SaveEncoded(*l.store, r.Format) == c.bytes);
      }
      if (!c.pipe) {
        EXPECT_EQ(dev.pos(), c.bytes.size());
      }
    };
    if (c.pipe) {
      ThroughPipe(c.bytes, check);
    } else {
      QByteArray copy = c.bytes;
      QBuffer buffer(&copy);
      buffer.open(QIODevice::ReadOnly);
      check(buffer);
    }
    ASSERT_FALSE(positions.empty());
    EXPECT_LE(positions.back(), c.bytes.size());
  }
}

// A NUL ends the text where its byte is, whatever the characters before it
// took, and bytes after it do not decide the encoding.
TEST(TextStreams, NulEndsUtf8TextAndLeavesTheStreamOnItsByte) {
  const QByteArray head = "\xC3\xA9\xF0\x9F\x98\x80\r\n\xE4\xB8\xAD";
  const Pars pars = {u"\u00E9\U0001F600", u"\u4E2D"};
  struct Case {
    const char* name;
    QByteArray bytes;
    std::optional<TzvsEncoding> asked;
    TzvsLoadResult found;
  };
  const Case cases[] = {
      {"found", head + QByteArray(1, '\0') + "\xE9", std::nullopt, {{TzvsEncoding::Utf8, false}, 0}},
      {"with a mark",
       "\xEF\xBB\xBF" + head + QByteArray(1, '\0') + "\xFF",
       std::nullopt,
       {{TzvsEncoding::Utf8, true}, 0}},
      {"asked", head + QByteArray(1, '\0') + "\xFF", TzvsEncoding::Utf8, {{TzvsEncoding::Utf8, false}, 0}},
  };
  for (const Case& c : cases) {
    for (int32_t chars : {1, 3, kLoadBufferChars}) {
      SCOPED_TRACE(std::string(c.name) + ", buffers of " + std::to_string(chars));
      SmallLoadBuffers buffers(chars);
      QByteArray bytes = "HDR" + c.bytes;
      QBuffer buf(&bytes);
      buf.open(QIODevice::ReadOnly);
      buf.seek(3);
      EncodedLoad l = LoadEncoded(buf, c.asked);
      ExpectParagraphs(*l.loaded.store, pars);
      EXPECT_EQ(FormatName(l.result), FormatName(c.found));
      EXPECT_EQ(l.loaded.streamPos, bytes.indexOf('\0'));
    }
  }
}

// Saving: a mark when asked for, surrogate pairs kept whole wherever the
// writer's staging cuts the text, and what the encoding cannot hold counted
// (unpaired surrogates as U+FFFD in UTF-8, wide characters as their low byte
// in 8-bit text); UTF-16 keeps every unit.
TEST(TextStreams, SavingKeepsPairsWholeAndCountsWhatTheEncodingCannotHold) {
  std::u16string pairs;
  for (int i = 0; i < 100000; ++i)
    pairs += i % 3 ? u"\U0001F600" : u"\u00E9\U00010348";
  const Pars stored = {pairs, u"x\xD800y\xDC00", u"\xDBFF", u"\u0141\u00FF", pairs + u"z"};
  const std::u16string text = Join(stored, zsbCRLF);
  Loaded l = LoadText(text, {});
  using E = TzvsEncoding;
  const QByteArray utf8 =
      QString::fromStdU16String(Join({pairs, u"x\uFFFDy\uFFFD", u"\uFFFD", u"\u0141\u00FF", pairs + u"z"}, zsbCRLF))
          .toUtf8();
  const auto wide = std::count_if(text.begin(), text.end(), [](char16_t u) { return u > 0xFF; });
  struct Case {
    TzvsTextFormat format;
    QByteArray bytes;
    int64_t unrepresentable;
  };
  const Case cases[] = {
      {{E::Utf8, false}, utf8, 3},
      {{E::Utf8, true}, "\xEF\xBB\xBF" + utf8, 3},
      {{E::Utf16LE, true}, "\xFF\xFE" + Utf16Bytes(text, false), 0},
      {{E::Utf16BE, false}, Utf16Bytes(text, true), 0},
      {{E::Ansi, true}, Encode(text, true), wide}, // 8-bit text has no mark
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(FormatName({c.format, 0}));
    int64_t unrepresentable = -1;
    EXPECT_TRUE(SaveEncoded(*l.store, c.format, &unrepresentable) == c.bytes);
    EXPECT_EQ(unrepresentable, c.unrepresentable);
  }
  ExpectParagraphs(*l.store, stored);
}

// A device failing inside a multi-byte sequence: the load raises and keeps
// the characters that came whole; the cut sequence is no sign of text that
// is not UTF-8, so a file is not read again as 8-bit text.
TEST(TextStreams, DeviceFailingInsideAUtf8SequenceKeepsTheCharactersThatCameWhole) {
  const QByteArray bytes = QString::fromStdU16String(u"\u00E9\u4E2D\U0001F600\r\n\u00E9\u4E2D\U0001F600").toUtf8();
  for (qsizetype failAfter = 1; failAfter < bytes.size(); ++failAfter) {
    qsizetype whole = failAfter; // bytes of the characters delivered whole
    while (whole > 0 && (static_cast<uint8_t>(bytes[whole]) & 0xC0) == 0x80)
      --whole;
    const Pars expected = SplitCrLf(QString::fromUtf8(bytes.left(whole)).toStdU16String());
    for (bool sequential : {false, true}) {
      SCOPED_TRACE("failing after " + std::to_string(failAfter) + (sequential ? ", sequential" : ", random access"));
      FailingReadDevice file(bytes, failAfter);
      TrickleDevice trickle(bytes, 5, false, failAfter);
      QIODevice& dev = sequential ? static_cast<QIODevice&>(trickle) : file;
      auto store = std::make_unique<TParagraphsList>();
      TzvsLineBreak lb = zsbLF;
      EXPECT_THROW(store->LoadFromStream(dev, std::nullopt, 0, false, lb), EStreamError);
      ExpectParagraphs(*store, expected);
    }
  }
}

// UTF-8 text is held to the length limit in characters, not bytes: a file
// is refused before its text is read only when even three bytes per
// character would be too many (the device then goes back to where it was).
TEST(TextStreams, Utf8TextIsHeldToTheLengthLimitInCharacters) {
  const QByteArray bytes = QString(300, QChar(0x4E2D)).toUtf8();
  struct Case {
    int32_t limit;
    bool sequential;
    bool tooLong;
  };
  const Case cases[] = {{300, false, false}, {300, true, false}, {299, false, true}, {299, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("limit " + std::to_string(c.limit) + (c.sequential ? ", sequential" : ", random access"));
    detail::SetLoadTextLimitForTesting(c.limit);
    SmallLoadBuffers buffers(64);
    TrickleDevice trickle(bytes, 9);
    FailingReadDevice file(bytes, bytes.size());
    QIODevice& dev = c.sequential ? static_cast<QIODevice&>(trickle) : file;
    auto store = std::make_unique<TParagraphsList>();
    TzvsLineBreak lb = zsbCRLF;
    bool threw = false;
    try {
      store->LoadFromStream(dev, std::nullopt, 0, false, lb);
    } catch (const ETextTooLong&) {
      threw = true;
    }
    detail::SetLoadTextLimitForTesting(0);
    EXPECT_EQ(threw, c.tooLong);
    ASSERT_STORE_OK(*store);
    EXPECT_LE(store->fTextLen, c.limit);
    if (c.tooLong && !c.sequential) {
      EXPECT_LE(file.delivered, 3);
      EXPECT_EQ(file.pos(), 0);
    }
  }
}

} // namespace
} // namespace zarv::test
