// Fuzz target for loading text into the paragraph store and saving it back.
//
// Input layout:
//   byte 0  bit 0    8-bit text (else UTF-16LE), when byte 3 picks no encoding
//           bits 1-2 NUL replacement: none, space, tab, 'Z'
//           bit 3    discard trailing blanks (on load and on save)
//           bit 4    static format
//           bit 5    strip stray style codes on save
//           bit 6    report progress at every chance (interval 0)
//           bit 7    the text starts after a three-byte header
//   byte 1  bits 0-1 break style to save with
//           bits 2-7 load buffer size: 1 to 64 characters
//   byte 2  bits 0-6 k: when not 0 the device fails every read after k x 7
//                    characters (bytes, when byte 3 picks an encoding)
//           bit 7    a sequential device that hands out the bytes in short
//                    pieces (else a random-access buffer)
//   byte 3  bits 0-2 encoding: 0 the 8-bit/UTF-16LE load of byte 0; 1 8-bit,
//                    2 UTF-16LE, 3 UTF-16BE, 4 UTF-8 asked for; 5-7 found
//                    from the bytes
//           bits 3-4 (1-7) saved as: the format found, UTF-8, UTF-16BE, 8-bit
//           bit 5    (1-7) saved with a byte-order mark
//   rest    the text (with an encoding picked: the bytes as they are)
//
// The loader's buffers are shrunk to a few characters, so that short inputs
// reach every buffer change, paragraphs that outgrow their buffer and the
// arena's block changes. Each run loads the bytes, checks the store's
// invariants, compares the paragraphs with a plain whole-text reading of the
// same rules, saves, compares the bytes written with the expected ones, and
// reloads them. A failing device must raise EStreamError and leave a
// consistent store holding a prefix of what the same reading gives for the
// delivered characters; an odd UTF-16 byte count is refused before reading
// from a random-access device and after closing the text read from a
// sequential one.
//
// With an encoding picked, the plain reading decodes the bytes itself: a
// byte-order mark, UTF-8 by code point arithmetic (a byte that starts no
// valid sequence is its 8-bit value), and for text to be found the rule
// that bytes which are not UTF-8 are 8-bit text, except from a sequential
// device after multi-byte characters (UTF-8 then, invalid bytes counted).
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/support/store/ParagraphsList.h>
#include <ZarvMemo/support/store/TextArena.h>

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace zarv;

namespace {

using Pars = std::vector<std::u16string>;

// The helpers that restate the rules run on every character of every input;
// coverage tracing there would only slow the search down without guiding it
// into the library, so they are left uninstrumented.
#define ZARV_PLAIN __attribute__((no_sanitize("coverage")))

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "LoadFromStreamFuzz: %s %s\n", what, detail.c_str());
  std::abort();
}

void CheckStore(const TParagraphsList& store, const char* when) {
  const QString e = store.CheckIntegrity();
  if (!e.isEmpty())
    Fail(when, e.toStdString());
}

ZARV_PLAIN std::u16string Decode(const QByteArray& b, bool ansi) {
  std::u16string s;
  s.reserve(static_cast<size_t>(b.size()));
  if (ansi) {
    for (char c : b)
      s += static_cast<char16_t>(static_cast<unsigned char>(c));
  } else {
    for (qsizetype i = 0; i + 1 < b.size(); i += 2)
      s += static_cast<char16_t>(static_cast<unsigned char>(b[i]) | (static_cast<unsigned char>(b[i + 1]) << 8));
  }
  return s;
}

ZARV_PLAIN QByteArray Encode(const std::u16string& s, bool ansi) {
  QByteArray b(static_cast<qsizetype>(s.size()) * (ansi ? 1 : 2), Qt::Uninitialized);
  char* d = b.data();
  for (char16_t c : s) {
    *d++ = static_cast<char>(c & 0xFF);
    if (!ansi)
      *d++ = static_cast<char>(c >> 8);
  }
  return b;
}

ZARV_PLAIN bool IsCode(char16_t c) { return (c >= 1 && c <= 4) || c == 21; }

ZARV_PLAIN uint8_t StyleBit(char16_t code) {
  switch (code) {
  case 1:
    return fsItalic;
  case 2:
    return fsBold;
  case 3:
    return fsHighlight;
  case 4:
    return fsAltFont;
  case 21:
    return fsUnderline;
  default:
    return 0;
  }
}

ZARV_PLAIN void DropTrailingBlanks(std::u16string& s) {
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t'))
    s.pop_back();
}

// The whole text read in one piece, without any buffering.
struct Expected {
  Pars pars;
  std::vector<uint8_t> startStyles;
  int lineBreak = -1;     // -1: no break seen
  int64_t stoppedAt = -1; // index of the NUL that ended the text
};

ZARV_PLAIN Expected ReadWhole(const std::u16string& text, char16_t nullRepl, bool discard, bool staticFormat) {
  Expected x;
  std::u16string cur;
  char16_t prev = 0;
  uint8_t style = 0, styleAtStart = 0;
  auto close = [&] {
    if (discard)
      DropTrailingBlanks(cur);
    x.pars.push_back(cur);
    x.startStyles.push_back(styleAtStart);
    cur.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == 0) {
      if (nullRepl == 0) {
        x.stoppedAt = static_cast<int64_t>(i);
        break;
      }
      cur += nullRepl;
      prev = 0;
    } else if (c == u'\r' || c == u'\n') {
      const bool pairs = cur.empty() && prev != 0 && prev != c;
      if (pairs) {
        x.lineBreak = c == u'\n' ? zsbCRLF : zsbLFCR;
        prev = 0;
      } else {
        x.lineBreak = c == u'\n' ? zsbLF : zsbCR;
        close();
        styleAtStart = style;
        prev = c;
      }
    } else {
      if (IsCode(c)) {
        if (staticFormat)
          style ^= StyleBit(c);
      } else {
        prev = 0;
      }
      cur += c;
    }
  }
  close();
  return x;
}

// Removes pairs of one style code that only other codes separate. Stated
// another way than the save rule, which deletes pair after pair: inside a run
// of code characters each code cancels in twos, and an odd one out survives
// at its last place in the run.
ZARV_PLAIN std::u16string StripPairs(const std::u16string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    if (!IsCode(s[i])) {
      out += s[i++];
      continue;
    }
    size_t end = i;
    while (end < s.size() && IsCode(s[end]))
      ++end;
    size_t count[22] = {}, last[22] = {};
    for (size_t k = i; k < end; ++k) {
      ++count[s[k]];
      last[s[k]] = k;
    }
    for (size_t k = i; k < end; ++k)
      if (count[s[k]] % 2 == 1 && last[s[k]] == k)
        out += s[k];
    i = end;
  }
  return out;
}

ZARV_PLAIN bool SamePars(const Pars& a, const Pars& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].size() != b[i].size() || std::memcmp(a[i].data(), b[i].data(), a[i].size() * 2) != 0)
      return false;
  return true;
}

ZARV_PLAIN Pars ReadPars(const TParagraphsList& store) {
  Pars out;
  for (int32_t i = 0; i < store.Count(); ++i)
    out.push_back(store.ParString(i).toStdU16String());
  return out;
}

std::string Describe(const Pars& a, const Pars& b) {
  std::string s = std::to_string(a.size()) + " paragraphs, expected " + std::to_string(b.size());
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i])
      return s + "; first difference in paragraph " + std::to_string(i) + " (length " + std::to_string(a[i].size()) +
             ", expected " + std::to_string(b[i].size()) + ")";
  return s;
}

// A buffer whose reads fail once a given number of bytes was delivered.
class FailingBuffer : public QBuffer {
public:
  FailingBuffer(QByteArray* bytes, qint64 failAfter) : QBuffer(bytes), fFailAfter(failAfter) {}

protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 room = fFailAfter - pos();
    if (room <= 0)
      return -1;
    return QBuffer::readData(data, std::min(maxSize, room));
  }

private:
  qint64 fFailAfter;
};

// A sequential device handing out 1 to 8 bytes per read, sometimes none until
// the reader waits; it ends with 0 or -1 (as a closed socket does), or fails
// after failAfter bytes saying why.
class TrickleDevice : public QIODevice {
public:
  TrickleDevice(const QByteArray& bytes, uint32_t seed, qint64 failAfter)
      : fData(bytes), fSeed(seed | 1), fFailAfter(failAfter) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
  }
  bool isSequential() const override { return true; }
  bool waitForReadyRead(int) override {
    fReady = fOffset < fData.size() && fOffset != fFailAfter;
    return fReady;
  }

protected:
  qint64 readData(char* data, qint64 maxSize) override {
    if (fOffset == fFailAfter) {
      setErrorString(QStringLiteral("trickle failure"));
      return -1;
    }
    if (fOffset >= fData.size())
      return (fSeed & 1) ? -1 : 0;
    if (!fReady)
      return 0;
    fSeed = fSeed * 1664525u + 1013904223u;
    qint64 n = std::min<qint64>({maxSize, 1 + (fSeed >> 28) % 8, fData.size() - fOffset});
    if (fFailAfter >= 0)
      n = std::min(n, fFailAfter - fOffset);
    std::memcpy(data, fData.constData() + fOffset, static_cast<size_t>(n));
    fOffset += n;
    fReady = (fSeed >> 20) % 4 != 0;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

private:
  QByteArray fData;
  uint32_t fSeed;
  qint64 fFailAfter;
  qint64 fOffset = 0;
  bool fReady = false;
};

struct Options {
  bool ansi, discard, staticFormat, strip, progress, header, sequential;
  char16_t nullRepl;
  TzvsLineBreak saveBreak;
  int bufferChars;
  int failStep;
  bool encoded;                       // an encoding was picked (the new load)
  std::optional<TzvsEncoding> asked;  // none: found from the bytes
  std::optional<TzvsEncoding> saveAs; // none: the format found
  bool saveBom;
};

Options Parse(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  static constexpr char16_t kRepl[] = {0, u' ', u'\t', u'Z'};
  Options o{};
  o.ansi = a & 1;
  o.nullRepl = kRepl[(a >> 1) & 3];
  o.discard = a & 8;
  o.staticFormat = a & 16;
  o.strip = a & 32;
  o.progress = a & 64;
  o.header = a & 128;
  o.saveBreak = static_cast<TzvsLineBreak>(b & 3);
  o.bufferChars = (b >> 2) + 1;
  o.failStep = c & 127;
  o.sequential = c & 128;
  static constexpr TzvsEncoding kAsked[] = {TzvsEncoding::Ansi, TzvsEncoding::Ansi, TzvsEncoding::Utf16LE,
                                            TzvsEncoding::Utf16BE, TzvsEncoding::Utf8};
  static constexpr TzvsEncoding kSaved[] = {TzvsEncoding::Ansi, TzvsEncoding::Utf8, TzvsEncoding::Utf16BE,
                                            TzvsEncoding::Ansi};
  const int encoding = d & 7;
  o.encoded = encoding != 0;
  if (encoding >= 1 && encoding <= 4)
    o.asked = kAsked[encoding];
  if ((d >> 3) & 3)
    o.saveAs = kSaved[(d >> 3) & 3];
  o.saveBom = d & 32;
  return o;
}

void LoadFromFailingDevice(const Options& o, const std::u16string& text, uint32_t seed) {
  const int width = o.ansi ? 1 : 2;
  QByteArray bytes = Encode(text, o.ansi);
  const qint64 failAfter = qint64(o.failStep) * 7 * width;
  if (failAfter >= bytes.size())
    return;
  FailingBuffer buffer(&bytes, failAfter);
  buffer.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
  TrickleDevice trickle(bytes, seed, failAfter);
  QIODevice& in = o.sequential ? static_cast<QIODevice&>(trickle) : buffer;
  TParagraphsList store;
  store.fStaticFormat = o.staticFormat;
  TzvsLineBreak lb = zsbCRLF;
  try {
    store.LoadFromStream(in, o.ansi, o.nullRepl, o.discard, lb);
    // A NUL before the failure point ends the text without a read error.
    if (text.substr(0, static_cast<size_t>(failAfter / width)).find(u'\0') == std::u16string::npos || o.nullRepl)
      Fail("a failing device loaded without error");
  } catch (const EStreamError&) {
  }
  CheckStore(store, "after a failed read:");
  const Expected x =
      ReadWhole(text.substr(0, static_cast<size_t>(failAfter / width)), o.nullRepl, o.discard, o.staticFormat);
  const Pars got = ReadPars(store);
  if (got.empty() || got.size() > x.pars.size())
    Fail("failed read:", Describe(got, x.pars));
  const Pars whole(x.pars.begin(), x.pars.begin() + static_cast<std::ptrdiff_t>(got.size() - 1));
  const std::u16string& last = got.back();
  const std::u16string& model = x.pars[got.size() - 1];
  if (!SamePars(Pars(got.begin(), got.end() - 1), whole) || last.size() > model.size() ||
      std::memcmp(last.data(), model.data(), last.size() * 2) != 0)
    Fail("failed read kept text that was not read:", Describe(got, x.pars));
}

// An odd UTF-16 byte count: a random-access device is refused before
// reading, leaving an empty text; a sequential one raises after the
// characters that came are closed into paragraphs (unless a NUL ended the
// text first).
void LoadOddBytes(const Options& o, const QByteArray& payload, uint32_t seed) {
  QByteArray copy = payload;
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  TrickleDevice trickle(payload, seed, -1);
  QIODevice& in = o.sequential ? static_cast<QIODevice&>(trickle) : buffer;
  TParagraphsList store;
  store.fStaticFormat = o.staticFormat;
  TzvsLineBreak lb = zsbCRLF;
  const Expected x = ReadWhole(Decode(payload, false), o.nullRepl, o.discard, o.staticFormat);
  bool raised = false;
  try {
    store.LoadFromStream(in, false, o.nullRepl, o.discard, lb);
  } catch (const EStreamError&) {
    raised = true;
  }
  CheckStore(store, "after an odd byte count:");
  if (!o.sequential) {
    if (!raised || store.Count() != 1 || store.fTextLen != 0 || buffer.pos() != 0)
      Fail("odd byte count: not refused with an empty text");
    return;
  }
  if (raised != (x.stoppedAt < 0))
    Fail("odd byte count from a sequential device:", raised ? "raised after a NUL" : "not raised");
  const Pars got = ReadPars(store);
  if (!SamePars(got, x.pars))
    Fail("odd byte count: paragraphs differ:", Describe(got, x.pars));
}

void LoadSaveReload(const Options& o, const std::u16string& text, uint32_t seed) {
  const int width = o.ansi ? 1 : 2;
  QByteArray bytes = (o.header ? QByteArray("HDR") : QByteArray()) + Encode(text, o.ansi);
  const qint64 start = o.header ? 3 : 0;

  TParagraphsList store;
  store.fStaticFormat = o.staticFormat;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  buffer.seek(start);
  TrickleDevice trickle(bytes.mid(start), seed, -1);
  QIODevice& in = o.sequential ? static_cast<QIODevice&>(trickle) : buffer;
  const TzvsLineBreak preset = static_cast<TzvsLineBreak>(3 - o.saveBreak);
  TzvsLineBreak lb = preset;
  int32_t lastPos = -1;
  TProgressEvent onProgress;
  if (o.progress)
    onProgress = [&](TParagraphsList& sender) {
      if (&sender != &store || sender.fLoadPosition < lastPos || sender.fLoadPosition > bytes.size())
        Fail("bad load progress");
      lastPos = sender.fLoadPosition;
    };
  store.LoadFromStream(in, o.ansi, o.nullRepl, o.discard, lb, onProgress, 0);
  CheckStore(store, "after load:");

  const Expected x = ReadWhole(text, o.nullRepl, o.discard, o.staticFormat);
  const Pars got = ReadPars(store);
  if (!SamePars(got, x.pars))
    Fail("loaded paragraphs differ:", Describe(got, x.pars));
  if (lb != (x.lineBreak < 0 ? preset : x.lineBreak))
    Fail("wrong break style", std::to_string(lb) + " expected " + std::to_string(x.lineBreak));
  const qint64 endPos = x.stoppedAt < 0 ? bytes.size() : start + x.stoppedAt * width;
  if (!o.sequential && buffer.pos() != endPos)
    Fail("stream left at", std::to_string(buffer.pos()) + " expected " + std::to_string(endPos));
  if (o.staticFormat)
    for (int32_t i = 0; i < store.Count(); ++i)
      if (GetStartAttrib(*store.Par(i)) != x.startStyles[static_cast<size_t>(i)])
        Fail("wrong start style in paragraph", std::to_string(i));

  // Saving: per paragraph strip, then drop blanks, joined by the chosen break.
  Pars written = got;
  for (auto& p : written) {
    if (o.staticFormat && o.strip)
      p = StripPairs(p);
    if (o.discard)
      DropTrailingBlanks(p);
  }
  std::u16string joined;
  for (size_t i = 0; i < written.size(); ++i)
    joined += (i ? std::u16string(LineBreakChars(o.saveBreak)) : std::u16string()) + written[i];
  QByteArray saved;
  QBuffer out(&saved);
  out.open(QIODevice::WriteOnly);
  int32_t lastSaved = -1;
  TProgressEvent onSaveProgress;
  if (o.progress)
    onSaveProgress = [&](TParagraphsList& sender) {
      if (&sender != &store || sender.fSavePosition < lastSaved || sender.fSavePosition > store.Count())
        Fail("bad save progress");
      lastSaved = sender.fSavePosition;
    };
  store.SaveToStream(out, o.ansi, o.strip, o.discard, o.saveBreak, onSaveProgress, 0);
  if (o.progress && lastSaved != store.Count())
    Fail("save progress did not end at the paragraph count");
  if (saved != Encode(joined, o.ansi))
    Fail("saved bytes differ from the paragraphs joined");
  if (!SamePars(ReadPars(store), got))
    Fail("saving changed the store");

  // What was saved reads back as the same paragraphs and break style.
  TParagraphsList again;
  again.fStaticFormat = o.staticFormat;
  QBuffer back(&saved);
  back.open(QIODevice::ReadOnly);
  TzvsLineBreak lb2 = preset;
  again.LoadFromStream(back, o.ansi, 0, false, lb2);
  CheckStore(again, "after reload:");
  const Pars reread = ReadPars(again);
  if (!SamePars(reread, written))
    Fail("reloaded paragraphs differ:", Describe(reread, written));
  if (written.size() > 1 && lb2 != o.saveBreak)
    Fail("reload found another break style");
}

// ---- Encodings -------------------------------------------------------------------

// What the bytes of a load read as, by the rules stated plainly.
struct EncodedModel {
  std::u16string text;
  TzvsTextFormat format;
  int64_t invalid = 0;
  qint64 mark = 0;       // bytes of the byte-order mark
  bool oddUtf16 = false; // UTF-16 text with a byte left over
};

ZARV_PLAIN std::optional<TzvsEncoding> MarkOf(const QByteArray& b) {
  auto at = [&](qsizetype i) { return i < b.size() ? static_cast<uint8_t>(b[i]) : -1; };
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF)
    return TzvsEncoding::Utf8;
  if (at(0) == 0xFF && at(1) == 0xFE)
    return TzvsEncoding::Utf16LE;
  if (at(0) == 0xFE && at(1) == 0xFF)
    return TzvsEncoding::Utf16BE;
  return std::nullopt;
}

// The UTF-8 sequence at b[i], by code point arithmetic: its length, or 0
// when the byte there starts no valid sequence.
ZARV_PLAIN int SequenceAt(const QByteArray& b, qsizetype i, uint32_t& cp) {
  static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  const auto c = static_cast<uint8_t>(b[i]);
  const int len = c < 0x80 ? 1 : c < 0xC0 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 0;
  if (len == 0 || i + len > b.size())
    return 0;
  cp = len == 1 ? c : c & (0x7Fu >> len);
  for (int k = 1; k < len; ++k) {
    const auto t = static_cast<uint8_t>(b[i + k]);
    if ((t & 0xC0) != 0x80)
      return 0;
    cp = cp << 6 | (t & 0x3F);
  }
  if (cp < kLeast[len > 1 ? len : 0] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

// Whether b[i..] (the end of the bytes) is the start of a valid sequence
// that more bytes could complete: a device failing there cut it off.
ZARV_PLAIN bool CutSequence(const QByteArray& b, qsizetype i) {
  const auto c = static_cast<uint8_t>(b[i]);
  const int len = c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
  if (len == 0 || i + len <= b.size())
    return false;
  QByteArray completed = b.mid(i);
  while (completed.size() < len)
    completed += '\x80';
  // A lead byte alone always has a second byte that continues it; after
  // that, continuation bytes 80 complete any valid start.
  uint32_t cp = 0;
  return b.size() - i == 1 || SequenceAt(completed, 0, cp) == len;
}

struct Utf8Model {
  std::u16string text;
  int64_t invalid = 0;
  bool multiByteBeforeInvalid = false;
};

ZARV_PLAIN Utf8Model ReadUtf8(const QByteArray& b, bool cut) {
  Utf8Model m;
  for (qsizetype i = 0; i < b.size();) {
    uint32_t cp = 0;
    const int len = SequenceAt(b, i, cp);
    if (len == 0) {
      if (cut && CutSequence(b, i))
        break;
      m.text += static_cast<char16_t>(static_cast<uint8_t>(b[i++]));
      ++m.invalid;
      continue;
    }
    if (cp >= 0x10000) {
      m.text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      m.text += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      m.text += static_cast<char16_t>(cp);
    }
    m.multiByteBeforeInvalid = m.multiByteBeforeInvalid || (len > 1 && m.invalid == 0);
    i += len;
  }
  return m;
}

// The bytes a load decodes (the stream `cut` short by a failing device):
// its mark, then the text in the encoding asked for or found.
ZARV_PLAIN EncodedModel ReadEncoded(const QByteArray& bytes, std::optional<TzvsEncoding> asked, bool sequential,
                                    bool stopAtNul, bool cut) {
  EncodedModel m;
  const std::optional<TzvsEncoding> mark = MarkOf(bytes);
  TzvsEncoding enc = asked.value_or(mark.value_or(TzvsEncoding::Utf8));
  if (mark && mark == enc && enc != TzvsEncoding::Ansi)
    m.mark = enc == TzvsEncoding::Utf8 ? 3 : 2;
  const QByteArray body = bytes.mid(m.mark);
  // Nothing after a NUL that ends the text is decoded.
  const QByteArray decided = stopAtNul && body.contains('\0') ? body.left(body.indexOf('\0') + 1) : body;
  if (enc == TzvsEncoding::Utf8) {
    Utf8Model u = ReadUtf8(decided, cut);
    const bool probation = !asked && !mark;
    if (probation && u.invalid > 0 && (!sequential || !u.multiByteBeforeInvalid)) {
      enc = TzvsEncoding::Ansi;
    } else {
      m.text = u.text;
      m.invalid = u.invalid;
    }
  }
  if (enc == TzvsEncoding::Ansi)
    m.text = Decode(body, true);
  if (enc == TzvsEncoding::Utf16LE || enc == TzvsEncoding::Utf16BE) {
    QByteArray units = body;
    if (enc == TzvsEncoding::Utf16BE)
      for (qsizetype i = 0; i + 1 < units.size(); i += 2)
        std::swap(units[i], units[i + 1]);
    m.text = Decode(units, false);
    m.oddUtf16 = !cut && (body.size() & 1);
  }
  m.format = {enc, m.mark > 0};
  return m;
}

// The bytes of a saved text: the mark, then the units encoded plainly.
ZARV_PLAIN QByteArray EncodeAs(const std::u16string& s, TzvsTextFormat f, int64_t& unrepresentable) {
  QByteArray b;
  if (f.Bom && f.Encoding == TzvsEncoding::Utf8)
    b += "\xEF\xBB\xBF";
  else if (f.Bom && f.Encoding == TzvsEncoding::Utf16LE)
    b += "\xFF\xFE";
  else if (f.Bom && f.Encoding == TzvsEncoding::Utf16BE)
    b += "\xFE\xFF";
  unrepresentable = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    switch (f.Encoding) {
    case TzvsEncoding::Ansi:
      b += static_cast<char>(c & 0xFF);
      unrepresentable += c > 0xFF;
      break;
    case TzvsEncoding::Utf16LE:
      b += static_cast<char>(c & 0xFF);
      b += static_cast<char>(c >> 8);
      break;
    case TzvsEncoding::Utf16BE:
      b += static_cast<char>(c >> 8);
      b += static_cast<char>(c & 0xFF);
      break;
    case TzvsEncoding::Utf8:
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        c = 0xFFFD;
        ++unrepresentable;
      }
      if (c < 0x80) {
        b += static_cast<char>(c);
      } else {
        // Leading byte marks and the payload bits, six per continuation byte.
        const int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        static constexpr uint8_t kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
        b += static_cast<char>(kLead[n] | (c >> (6 * (n - 1))));
        for (int k = n - 2; k >= 0; --k)
          b += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
      }
      break;
    }
  }
  return b;
}

// What a saved text reads back as when loaded in the encoding it was saved
// in: unpaired surrogates became U+FFFD in UTF-8, and a leading U+FEFF saved
// without a mark reads as the mark.
ZARV_PLAIN std::u16string ReadBack(std::u16string s, TzvsTextFormat f, bool& markRead) {
  if (f.Encoding == TzvsEncoding::Utf8)
    for (size_t i = 0; i < s.size(); ++i) {
      const bool high = s[i] >= 0xD800 && s[i] <= 0xDBFF;
      if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
        ++i;
      else if (s[i] >= 0xD800 && s[i] <= 0xDFFF)
        s[i] = 0xFFFD;
    }
  markRead = f.Encoding != TzvsEncoding::Ansi && f.Bom;
  if (f.Encoding != TzvsEncoding::Ansi && !f.Bom && !s.empty() && s[0] == 0xFEFF) {
    s.erase(0, 1);
    markRead = true;
  }
  return s;
}

std::string FormatText(const TzvsTextFormat& f, int64_t invalid) {
  return std::to_string(static_cast<int>(f.Encoding)) + (f.Bom ? "+mark" : "") + ", invalid " + std::to_string(invalid);
}

void SaveEncodedAndReload(const Options& o, TParagraphsList& store, const Pars& got, TzvsTextFormat found) {
  const TzvsTextFormat format = o.saveAs ? TzvsTextFormat{*o.saveAs, o.saveBom} : found;
  Pars written = got;
  for (auto& p : written) {
    if (o.staticFormat && o.strip)
      p = StripPairs(p);
    if (o.discard)
      DropTrailingBlanks(p);
  }
  std::u16string joined;
  for (size_t i = 0; i < written.size(); ++i)
    joined += (i ? std::u16string(LineBreakChars(o.saveBreak)) : std::u16string()) + written[i];
  int64_t unrepresentable = 0;
  const QByteArray expected = EncodeAs(joined, format, unrepresentable);
  QByteArray saved;
  QBuffer out(&saved);
  out.open(QIODevice::WriteOnly);
  if (store.SaveToStream(out, format, o.strip, o.discard, o.saveBreak) != unrepresentable)
    Fail("save counted another number of characters the encoding cannot hold");
  if (saved != expected) {
    qsizetype i = 0;
    while (i < saved.size() && i < expected.size() && saved[i] == expected[i])
      ++i;
    Fail("saved bytes differ from the paragraphs encoded: first at byte", std::to_string(i));
  }
  if (format.Encoding == TzvsEncoding::Ansi && unrepresentable > 0)
    return; // low bytes of wide characters may be breaks: the text does not read back
  TParagraphsList again;
  QBuffer back(&saved);
  back.open(QIODevice::ReadOnly);
  TzvsLineBreak lb = zsbCRLF;
  const TzvsLoadResult r = again.LoadFromStream(back, format.Encoding, 0, false, lb);
  CheckStore(again, "after reload:");
  bool markRead = false;
  const std::u16string text = ReadBack(joined, format, markRead);
  const TzvsTextFormat readFormat{format.Encoding, markRead};
  if (r.Format != readFormat || r.InvalidBytes != 0)
    Fail("reload found", FormatText(r.Format, r.InvalidBytes) + " expected " + FormatText(readFormat, 0));
  const Pars reread = ReadPars(again);
  const Pars model = ReadWhole(text, 0, false, false).pars;
  if (!SamePars(reread, model))
    Fail("reloaded paragraphs differ:", Describe(reread, model));
}

// A load with an encoding asked for or to be found, from a random-access or
// a sequential device, which may fail part way.
void LoadEncodedBytes(const Options& o, const QByteArray& payload, uint32_t seed) {
  const qint64 start = o.header ? 3 : 0;
  qint64 failAfter = o.failStep ? qint64(o.failStep) * 7 : -1;
  if (failAfter >= payload.size())
    failAfter = -1;
  const bool failing = failAfter >= 0;
  const EncodedModel m =
      ReadEncoded(failing ? payload.left(failAfter) : payload, o.asked, o.sequential, o.nullRepl == 0, failing);
  const Expected x = ReadWhole(m.text, o.nullRepl, o.discard, o.staticFormat);

  QByteArray bytes = (o.header ? QByteArray("HDR") : QByteArray()) + payload;
  FailingBuffer buffer(&bytes, failing ? start + failAfter : bytes.size() + 1);
  buffer.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
  buffer.seek(start);
  TrickleDevice trickle(payload, seed, failAfter);
  QIODevice& in = o.sequential ? static_cast<QIODevice&>(trickle) : buffer;
  TParagraphsList store;
  store.fStaticFormat = o.staticFormat;
  const TzvsLineBreak preset = static_cast<TzvsLineBreak>(3 - o.saveBreak);
  TzvsLineBreak lb = preset;
  TProgressEvent onProgress;
  if (o.progress)
    onProgress = [&](TParagraphsList& sender) {
      if (&sender != &store || sender.fLoadPosition > bytes.size())
        Fail("bad load progress");
    };
  TzvsLoadResult r;
  bool raised = false;
  try {
    r = store.LoadFromStream(in, o.asked, o.nullRepl, o.discard, lb, onProgress, 0);
  } catch (const EStreamError&) {
    raised = true;
  }
  CheckStore(store, "after an encoded load:");
  const Pars got = ReadPars(store);

  if (failing) {
    if (!raised && (x.stoppedAt < 0 || o.nullRepl))
      Fail("a failing device loaded without error");
    if (got.empty() || got.size() > x.pars.size())
      Fail("failed read:", Describe(got, x.pars));
    const Pars whole(x.pars.begin(), x.pars.begin() + static_cast<std::ptrdiff_t>(got.size() - 1));
    const std::u16string& last = got.back();
    const std::u16string& model = x.pars[got.size() - 1];
    if (!SamePars(Pars(got.begin(), got.end() - 1), whole) || last.size() > model.size() ||
        std::memcmp(last.data(), model.data(), last.size() * 2) != 0)
      Fail("failed read kept text that was not read:", Describe(got, x.pars));
    return;
  }
  if (m.oddUtf16 && !o.sequential) {
    if (!raised || store.Count() != 1 || store.fTextLen != 0 || buffer.pos() != start)
      Fail("odd byte count: not refused with an empty text");
    return;
  }
  if (raised != (m.oddUtf16 && x.stoppedAt < 0))
    Fail(raised ? "an encoded load raised" : "an odd UTF-16 byte count was not refused");
  if (!SamePars(got, x.pars))
    Fail("encoded load: paragraphs differ:", Describe(got, x.pars));
  if (lb != (x.lineBreak < 0 ? preset : x.lineBreak))
    Fail("encoded load: wrong break style");
  if (o.staticFormat)
    for (int32_t i = 0; i < store.Count(); ++i)
      if (GetStartAttrib(*store.Par(i)) != x.startStyles[static_cast<size_t>(i)])
        Fail("encoded load: wrong start style in paragraph", std::to_string(i));
  if (raised)
    return;
  if (r.Format != m.format || r.InvalidBytes != m.invalid)
    Fail("encoded load found", FormatText(r.Format, r.InvalidBytes) + " expected " + FormatText(m.format, m.invalid));
  if (!o.sequential) {
    qint64 end = bytes.size();
    if (x.stoppedAt >= 0)
      end = start + m.mark +
            (m.format.Encoding == TzvsEncoding::Utf8   ? payload.mid(m.mark).indexOf('\0')
             : m.format.Encoding == TzvsEncoding::Ansi ? x.stoppedAt
                                                       : x.stoppedAt * 2);
    if (buffer.pos() != end)
      Fail("encoded load left the stream at", std::to_string(buffer.pos()) + " expected " + std::to_string(end));
  }
  SaveEncodedAndReload(o, store, got, r.Format);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4)
    return 0;
  const Options o = Parse(data[0], data[1], data[2], data[3]);
  const QByteArray payload(reinterpret_cast<const char*>(data + 4), static_cast<qsizetype>(size - 4));
  const uint32_t seed = static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16 | size << 24);
  detail::SetLoadBufferCharsForTesting(o.bufferChars);
  try {
    if (o.encoded) {
      LoadEncodedBytes(o, payload, seed);
      return 0;
    }
    if (!o.ansi && (payload.size() & 1)) {
      LoadOddBytes(o, payload, seed);
      return 0;
    }
    const std::u16string text = Decode(payload, o.ansi);
    if (o.failStep)
      LoadFromFailingDevice(o, text, seed);
    else
      LoadSaveReload(o, text, seed);
  } catch (const std::exception& e) {
    Fail("unexpected exception:", e.what());
  }
  return 0;
}
