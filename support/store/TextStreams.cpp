// Loading and saving whole texts.
//
// Loading makes one pass over the stream with no allocation per paragraph:
// characters are decoded into 65 500-character shared buffers, each break is
// overwritten by the NUL that ends its paragraph, and paragraph records point
// into the buffers. A paragraph left unfinished at the end of a buffer moves
// to the start of the next one, and the buffer keeps only the part its
// finished paragraphs use. A paragraph that fills a whole buffer grows in a
// buffer of its own whose capacity at least doubles each time, so that a text
// of one long line loads in linear time. Every encoding goes through the same
// buffers: the character reader decodes 8-bit, UTF-8 and UTF-16 bytes a piece
// at a time, so a load never holds more than a stage of undecoded bytes
// beside the store. Saving writes every paragraph with the chosen break
// through a staging buffer in the chosen encoding, so that the device sees
// few large writes.
#include <ZarvMemo/platform/CalloutGuard.h>
#include <ZarvMemo/platform/Exceptions.h>
#include <ZarvMemo/platform/IntegrityGuard.h>
#include <ZarvMemo/platform/Stream.h>
#include <ZarvMemo/platform/TickCount.h>
#include <ZarvMemo/support/store/ParagraphsList.h>

#include <QFileDevice>
#include <QIODevice>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace zarv {

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Index of the first character below 26 (a break, a NUL, a style code or
// another control character) at or after i, or `end`.
int32_t skipOrdinary(const char16_t* buf, int32_t i, int32_t end) {
#if defined(__SSE2__)
  const __m128i limit = _mm_set1_epi16(25);
  const __m128i zero = _mm_setzero_si128();
  while (i + 8 <= end) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i));
    // Unsigned saturation: lanes holding 0..25 become 0.
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(v, limit), zero));
    if (mask)
      return i + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
    i += 8;
  }
#endif
  while (i < end && buf[i] >= 26)
    ++i;
  return i;
}

// What a load was asked to read.
struct TLoadRequest {
  std::optional<TzvsEncoding> Encoding; // none: find out
  bool LookForMark = true;              // skip (and report) the encoding's own byte-order mark
};

// Thrown inside a load from a random-access device that took its text for
// UTF-8 until a byte proved it was not: the load starts again as 8-bit text.
struct TRestartAs8Bit {};

// Reads the characters of a load until the stream ends, decoding bytes in
// the load's encoding. Bytes pass through a stage: 8-bit and UTF-8 text is
// decoded from it, and it keeps what one read could not use (a UTF-8
// sequence or a UTF-16 unit cut by the end of the bytes read, the byte read
// ahead to see whether the stream goes on) for the next one. UTF-16 is read
// straight into the caller's buffer.
//
// A random-access device's remaining size is what the load expects: fewer
// bytes is a failure, more (a growing file, a file in /proc that reports
// size 0) are read on. A sequential device (pipe, socket, process) is read
// until it reports its end, waiting for data as needed. A failure is
// remembered rather than thrown, so that the loader can first close the
// paragraphs it has.
//
// Text whose encoding is to be found out is read as UTF-8 on probation
// (after looking for a byte-order mark) until a byte starts no valid
// sequence. If everything before that byte was ASCII, reading simply goes
// on as 8-bit text, which is what an 8-bit load of the same bytes reads. If
// not, a random-access device is read again from the start as 8-bit text;
// a sequential device cannot be, so its text stays UTF-8 and that byte and
// every later invalid one are taken as their 8-bit values (and counted).
class TCharReader {
public:
  TCharReader(QIODevice& dev, qint64 expectedBytes, bool stopAtNul)
      : fDev(dev), fSequential(dev.isSequential()), fStopAtNul(stopAtNul), fExpected(expectedBytes),
        fStage(static_cast<size_t>(kStageBytes + kStageSlack)) {}

  // Settles the encoding: the one asked for (past its own mark), the one of
  // a byte-order mark, or UTF-8 on probation. Reads at most three bytes.
  void start(const TLoadRequest& request);
  // UTF-8 on probation may still be UTF-16 without a mark: reads a sample
  // and returns whether it is.
  bool guessUtf16();

  // Reads up to n characters into dst; fewer only when the stream ended or
  // failed, at a NUL that ends the text, or when the load must start again.
  int32_t read(char16_t* dst, int32_t n) {
    int32_t done = 0;
    while (done < n && !fRestart && !fAtNul) {
      const TMode mode = fMode;
      if (mode == TMode::Ansi)
        done += readAnsi(dst + done, n - done);
      else if (isUtf16())
        done += readUtf16(dst + done, n - done);
      else
        done += readUtf8(dst + done, n - done);
      if (fMode == mode)
        break;
    }
    return done;
  }

  // Whether the stream has more characters. May read ahead a few bytes,
  // which the next read delivers.
  bool more() {
    if (fLow)
      return true;
    if (fAtNul || fRestart)
      return false;
    const int32_t need = isUtf16() ? 2 : 1;
    while (fTail - fHead < need && !fEnded)
      refill(fMode == TMode::Utf8 || fMode == TMode::Utf8Probe ? kMinUtf8Read : 1);
    // Staged UTF-8 bytes may be a sequence a failing device cut off: the
    // next read drops them and delivers nothing, and the stream has ended.
    return fTail - fHead >= need;
  }

  // Characters the device's size promises beyond those read (0: unknown).
  // For UTF-8 this is the most there can be: one per byte.
  int64_t expectedChars() const {
    const qint64 rest = fExpected - fBytes;
    if (rest <= 0)
      return 0;
    const int64_t bytes = rest + (fTail - fHead);
    return (isUtf16() ? bytes / 2 : bytes) + (fLow ? 1 : 0);
  }
  // The fewest characters the rest of a random-access device can hold, and
  // whether UTF-16 text there has an odd byte count.
  int64_t fewestChars() const {
    const int64_t bytes = fExpected - fBom;
    return isUtf16() ? bytes / 2 : fMode == TMode::Ansi ? bytes : bytes / 3;
  }
  bool oddUtf16() const { return isUtf16() && ((fExpected - fBom) & 1); }

  int64_t bytes() const { return fBytes; }
  bool isUtf16() const { return fMode == TMode::Utf16LE || fMode == TMode::Utf16BE; }
  bool restartAs8Bit() const { return fRestart; }
  const std::optional<EStreamError>& error() const { return fError; }

  // Offset from the load's start of the NUL that is character `index` of
  // the text (the first NUL).
  int64_t nulOffset(int64_t index) const {
    if (fNulOffset >= 0)
      return fNulOffset;
    return fBom + index * (isUtf16() ? 2 : 1);
  }

  TzvsLoadResult result() const {
    TzvsLoadResult r;
    switch (fMode) {
    case TMode::Ansi:
      r.Format.Encoding = TzvsEncoding::Ansi;
      break;
    case TMode::Utf16LE:
      r.Format.Encoding = TzvsEncoding::Utf16LE;
      break;
    case TMode::Utf16BE:
      r.Format.Encoding = TzvsEncoding::Utf16BE;
      break;
    case TMode::Utf8:
    case TMode::Utf8Probe:
      r.Format.Encoding = TzvsEncoding::Utf8;
      break;
    }
    r.Format.Bom = fBom > 0;
    r.InvalidBytes = fInvalid;
    return r;
  }

private:
  enum class TMode : uint8_t { Ansi, Utf16LE, Utf16BE, Utf8, Utf8Probe };
  static constexpr int32_t kStageBytes = 65536; // one shared buffer of 8-bit text per read
  static constexpr int32_t kStageSlack = 8;     // room for the bytes a read leaves over
  // Bytes asked of the device per UTF-8 read at least, so that multi-byte
  // text does not need ever smaller reads to fill a buffer.
  static constexpr int32_t kMinUtf8Read = 4096;
  // Bytes looked at to recognise UTF-16 without a mark.
  static constexpr int32_t kUtf16Sample = 4096;

  static TMode modeOf(TzvsEncoding e) {
    switch (e) {
    case TzvsEncoding::Ansi:
      return TMode::Ansi;
    case TzvsEncoding::Utf16LE:
      return TMode::Utf16LE;
    case TzvsEncoding::Utf16BE:
      return TMode::Utf16BE;
    case TzvsEncoding::Utf8:
      break;
    }
    return TMode::Utf8;
  }

  int32_t readAnsi(char16_t* dst, int32_t n);
  int32_t readUtf16(char16_t* dst, int32_t n);
  int32_t readUtf8(char16_t* dst, int32_t n);
  void splitPair(char16_t* dst);
  void probeFailed();
  int32_t refill(int32_t want);
  qint64 readBytes(char* dst, qint64 n);
  bool deviceFailed(const QString& errorBefore) const;
  void fail(qint64 r);
  unsigned char* stage() { return fStage.data(); }

  QIODevice& fDev;
  bool fSequential;
  bool fStopAtNul;   // a NUL ends the text: nothing after it is decoded
  qint64 fExpected;  // bytes the device's size promises (0 for sequential devices)
  qint64 fBytes = 0; // bytes read
  bool fEnded = false;
  TMode fMode = TMode::Ansi;
  int32_t fBom = 0; // bytes of the byte-order mark skipped
  std::vector<unsigned char> fStage;
  int32_t fHead = 0;      // first staged byte not yet decoded
  int32_t fTail = 0;      // end of the staged bytes
  char16_t fLow = 0;      // second half of a surrogate pair the last read had no room for
  bool fNonAscii = false; // UTF-8: a multi-byte sequence was decoded
  bool fRestart = false;
  bool fAtNul = false;
  int64_t fNulOffset = -1; // UTF-8: offset of the NUL that ended decoding
  int64_t fInvalid = 0;
  std::optional<EStreamError> fError;
};

void TCharReader::start(const TLoadRequest& request) {
  if (request.Encoding && (!request.LookForMark || *request.Encoding == TzvsEncoding::Ansi)) {
    fMode = modeOf(*request.Encoding);
    return;
  }
  const int32_t peek = !request.Encoding || *request.Encoding == TzvsEncoding::Utf8 ? 3 : 2;
  while (fTail < peek && refill(peek - fTail) > 0) {
  }
  const std::optional<TzvsEncoding> mark = EncodingOfBom(stage(), static_cast<size_t>(fTail));
  const TzvsEncoding enc = request.Encoding ? *request.Encoding : mark.value_or(TzvsEncoding::Utf8);
  fMode = !request.Encoding && !mark ? TMode::Utf8Probe : modeOf(enc);
  if (mark == enc) {
    fBom = BomLength(enc);
    fHead = fBom;
  }
}

// Text without a mark may still be UTF-16: its first bytes tell. Text of
// an odd byte count cannot be UTF-16 (the load would refuse it): a
// random-access device of odd length is not looked at, nor a stream that
// ended within the sample at an odd count.
bool TCharReader::guessUtf16() {
  if (fMode != TMode::Utf8Probe || (!fSequential && (fExpected & 1)))
    return false;
  while (fTail < kUtf16Sample && refill(kUtf16Sample - fTail) > 0) {
  }
  if (fEnded && (fTail & 1))
    return false;
  const std::optional<TzvsEncoding> e = EncodingOfUnmarkedUtf16(stage(), static_cast<size_t>(fTail));
  if (e)
    fMode = modeOf(*e);
  return e.has_value();
}

int32_t TCharReader::readAnsi(char16_t* dst, int32_t n) {
  int32_t done = 0;
  while (done < n) {
    if (fHead == fTail && refill(n - done) == 0)
      break;
    const int32_t take = std::min(n - done, fTail - fHead);
    // Widen in blocks of 64 so the compiler can vectorise the loop.
    const unsigned char* src = stage() + fHead;
    char16_t* d = dst + done;
    int32_t i = 0;
    for (; i + 64 <= take; i += 64)
      for (int j = 0; j < 64; ++j)
        d[i + j] = src[i + j];
    for (; i < take; ++i)
      d[i] = src[i];
    fHead += take;
    done += take;
  }
  return done;
}

// Staged bytes first, the rest straight from the device; an odd byte at the
// end waits in the stage for its partner.
int32_t TCharReader::readUtf16(char16_t* dst, int32_t n) {
  auto* d = reinterpret_cast<char*>(dst);
  const qint64 want = qint64(n) * 2;
  qint64 have = std::min<qint64>(want, fTail - fHead);
  std::memcpy(d, stage() + fHead, static_cast<size_t>(have));
  fHead += static_cast<int32_t>(have);
  if (have < want)
    have += readBytes(d + have, want - have);
  if (have & 1) {
    --have;
    fStage[0] = static_cast<unsigned char>(d[have]);
    fHead = 0;
    fTail = 1;
  }
  const auto units = static_cast<int32_t>(have / 2);
  if (fMode == TMode::Utf16BE)
    for (int32_t i = 0; i < units; ++i)
      dst[i] = static_cast<char16_t>((dst[i] >> 8) | (dst[i] << 8));
  return units;
}

int32_t TCharReader::readUtf8(char16_t* dst, int32_t n) {
  int32_t done = 0;
  if (fLow) {
    dst[done++] = fLow;
    fLow = 0;
  }
  bool incomplete = false;
  while (done < n) {
    if (fHead == fTail || incomplete) {
      if (!fEnded) {
        refill(std::max(n - done, kMinUtf8Read));
        incomplete = false;
        continue;
      }
      // A sequence cut off by a failing device is not text; one cut off by
      // the end of the stream is invalid bytes, decoded below.
      if (fHead == fTail || fError) {
        fHead = fTail;
        break;
      }
    }
    const unsigned char* s = stage() + fHead;
    size_t avail = static_cast<size_t>(fTail - fHead);
    const void* nul = fStopAtNul ? std::memchr(s, 0, avail) : nullptr;
    if (nul)
      avail = static_cast<size_t>(static_cast<const unsigned char*>(nul) - s) + 1;
    // After a failure a sequence cut at the end is incomplete, not invalid:
    // it must not decide what the text is.
    const bool last = fEnded && !fError;
    const bool probe = fMode == TMode::Utf8Probe;
    const detail::TUtf8Step st = detail::DecodeUtf8(s, avail, dst + done, static_cast<size_t>(n - done), last,
                                                    probe ? detail::TUtf8Invalid::Stop : detail::TUtf8Invalid::Widen);
    fHead += static_cast<int32_t>(st.Read);
    done += static_cast<int32_t>(st.Written);
    fInvalid += static_cast<int64_t>(st.Widened);
    fNonAscii = fNonAscii || st.NonAscii;
    if (nul && st.Read == avail) {
      fAtNul = true;
      fNulOffset = fBytes - (fTail - fHead) - 1;
      break;
    }
    if (st.Stop == detail::TUtf8Stop::Incomplete) {
      incomplete = true;
    } else if (st.Stop == detail::TUtf8Stop::Room && done < n) {
      splitPair(dst + done++);
    } else if (st.Stop == detail::TUtf8Stop::Invalid) {
      probeFailed();
      break;
    }
  }
  return done;
}

// One unit of room and a four-byte sequence next: its high surrogate ends
// this read and its low surrogate starts the next. Both stay in the same
// paragraph, which the loader keeps in one buffer.
void TCharReader::splitPair(char16_t* dst) {
  char16_t pair[2];
  const detail::TUtf8Step st = detail::DecodeUtf8(stage() + fHead, static_cast<size_t>(fTail - fHead), pair, 2, fEnded,
                                                  detail::TUtf8Invalid::Stop);
  Q_ASSERT(st.Written == 2);
  fHead += static_cast<int32_t>(st.Read);
  fNonAscii = true;
  dst[0] = pair[0];
  fLow = pair[1];
}

void TCharReader::probeFailed() {
  if (!fNonAscii)
    fMode = TMode::Ansi; // all ASCII so far: the same characters as in 8-bit text
  else if (!fSequential)
    fRestart = true;
  else
    fMode = TMode::Utf8; // invalid bytes from here on are taken as their 8-bit values
}

// Reads up to `want` more bytes into the stage (at least one, unless the
// stream ended); returns how many came.
int32_t TCharReader::refill(int32_t want) {
  if (fEnded)
    return 0;
  if (fHead > 0) {
    std::memmove(stage(), stage() + fHead, static_cast<size_t>(fTail - fHead));
    fTail -= fHead;
    fHead = 0;
  }
  want = std::clamp(want, 1, kStageBytes + kStageSlack - fTail);
  const auto got = static_cast<int32_t>(readBytes(reinterpret_cast<char*>(stage() + fTail), want));
  fTail += got;
  return got;
}

qint64 TCharReader::readBytes(char* dst, qint64 n) {
  qint64 done = 0;
  while (done < n && !fEnded) {
    const QString errorBefore = fDev.errorString();
    const qint64 r = fDev.read(dst + done, n - done);
    if (r > 0) {
      done += r;
      fBytes += r;
      continue;
    }
    if (r == 0 && fSequential && fDev.waitForReadyRead(-1))
      continue;
    fEnded = true;
    // Fewer bytes than the size promised, or a failure the device reports
    // (reading past the end gives -1 on some devices: that is no failure).
    if (fBytes < fExpected || (r < 0 && deviceFailed(errorBefore)))
      fail(r);
  }
  return done;
}

bool TCharReader::deviceFailed(const QString& errorBefore) const {
  if (const auto* file = qobject_cast<const QFileDevice*>(&fDev))
    return file->error() != QFileDevice::NoError;
  return fDev.errorString() != errorBefore;
}

void TCharReader::fail(qint64 r) {
  QString msg = QString::fromLatin1(SStreamReadError);
  const QString why = fDev.errorString();
  if (r < 0 && !why.isEmpty() && why != QLatin1String("Unknown error"))
    msg += QLatin1String(": ") + why;
  else if (r >= 0)
    msg += QLatin1String(": the stream ended early");
  fError.emplace(msg);
}

} // namespace

// One load: the scan state kept across buffer changes.
class TTextLoader {
public:
  TTextLoader(TParagraphsList& list, QIODevice& dev, const TLoadRequest& request, char16_t nullRepl, bool discard,
              TzvsLineBreak& lineBreak, const TProgressEvent& onProgress, uint32_t interval)
      : L(list), fDev(dev), fRequest(request), fNullRepl(nullRepl), fDiscard(discard), fLineBreak(lineBreak),
        fOnProgress(onProgress), fInterval(interval), fB(detail::LoadBufferChars()), fLimit(detail::LoadTextLimit()),
        fReader(dev, expectedBytes(dev), nullRepl == 0) {}

  // False when the text turned out not to be UTF-8 and must be loaded again
  // as 8-bit text (the store then holds a part of it).
  bool run();
  TzvsLoadResult result() const {
    TzvsLoadResult r = fReader.result();
    r.Nuls = fNuls + (fStoppedAtNull ? 1 : 0);
    r.Truncated = fStoppedAtNull;
    return r;
  }

private:
  static qint64 expectedBytes(const QIODevice& dev) { return dev.isSequential() ? 0 : StreamRemaining(dev); }
  void checkExpectedLength();
  void startBuffer();
  void scan();
  void changeBuffer();
  void moveUnfinished();
  void growBuffer();
  void fill(int32_t n);
  int64_t nextRead(int64_t want) const;
  size_t expectBytes(int32_t carried) const;
  void shrinkBuffer(int32_t used);
  void closeLastBuffer();
  void endParagraph(int32_t i, bool last);
  void progress();

  TParagraphsList& L;
  QIODevice& fDev;
  TLoadRequest fRequest;
  char16_t fNullRepl;
  bool fDiscard;
  TzvsLineBreak& fLineBreak;
  const TProgressEvent& fOnProgress;
  uint32_t fInterval;
  const int32_t fB;     // characters read per shared buffer
  const int32_t fLimit; // longest text accepted
  TCharReader fReader;

  qint64 fStartPos = 0;
  int64_t fRead = 0;     // characters read from the device
  int64_t fConsumed = 0; // characters of buffers before the current one
  char16_t* fBuf = nullptr;
  int32_t fFill = 0;     // characters in the current buffer
  int32_t fP = 0;        // start of the current paragraph
  int32_t fFirstPar = 0; // first paragraph whose text is in the current buffer
  char16_t fPrev = 0;
  TZarvFontStyles fStyle = 0;
  TZarvFontStyles fStyleAtStart = 0;
  int64_t fTextLen = 0;
  uint32_t fNextReport = 0;
  bool fStoppedAtNull = false;
  int32_t fNullIndex = 0;
  int64_t fNuls = 0;            // NULs replaced
  std::vector<char16_t> fCarry; // the unfinished paragraph while its buffer shrinks
};

bool TTextLoader::run() {
  if (!fDev.isReadable()) {
    L.EnsureOneParagraph();
    throw EStreamError(QString::fromLatin1(SStreamReadError) + QLatin1String(": the device is not open for reading"));
  }
  fStartPos = fDev.isSequential() ? 0 : fDev.pos();
  fReader.start(fRequest);
  // Checked before the UTF-16 sample is read: a file too long as UTF-8 at
  // three bytes a character is refused without reading its text.
  checkExpectedLength();
  if (fReader.guessUtf16())
    checkExpectedLength();
  fNextReport = GetTickCount() + fInterval;
  try {
    if (fReader.more()) {
      startBuffer();
      scan();
    }
  } catch (const TRestartAs8Bit&) {
    return false;
  } catch (const EOwnerDestroyed&) {
    throw; // a progress handler destroyed the store's owner, and the store with it
  } catch (...) {
    closeLastBuffer();
    L.finishLoad();
    throw;
  }
  closeLastBuffer();
  if (fStoppedAtNull && !fDev.isSequential())
    StreamSeek(fDev, fStartPos + fReader.nulOffset(fConsumed + fNullIndex));
  L.finishLoad();
  if (fReader.error())
    throw *fReader.error();
  if (fReader.isUtf16() && !fStoppedAtNull && (fReader.bytes() & 1))
    throw EStreamError(QStringLiteral("UTF-16 text has an odd number of bytes (%1)").arg(fReader.bytes()));
  return true;
}

// A random-access device tells its length: an odd UTF-16 byte count or too
// long a text is refused before the text is read (the device goes back to
// where the load started). Sequential devices are checked as the bytes
// arrive.
void TTextLoader::checkExpectedLength() {
  if (fDev.isSequential())
    return;
  const bool odd = fReader.oddUtf16();
  if (!odd && fReader.fewestChars() <= fLimit)
    return;
  if (fReader.bytes() > 0)
    StreamSeek(fDev, fStartPos);
  L.EnsureOneParagraph();
  if (odd)
    throw EStreamError(QStringLiteral("UTF-16 text has an odd number of bytes (%1)").arg(StreamRemaining(fDev)));
  throw ETextTooLong();
}

// Characters to read next: at most `want`, at most what the device's size
// still promises (when it promises any), and never more than one beyond the
// length limit (reading that one detects a text too long).
int64_t TTextLoader::nextRead(int64_t want) const {
  const int64_t expected = fReader.expectedChars();
  if (expected > 0)
    want = std::min(want, expected);
  return std::max<int64_t>(1, std::min<int64_t>(want, int64_t{fLimit} + 1 - fRead));
}

// Bytes of shared buffers the rest of a load of known length needs: its
// characters, and per buffer the header, the NUL and alignment.
size_t TTextLoader::expectBytes(int32_t carried) const {
  const int64_t expected = fReader.expectedChars();
  if (expected <= 0)
    return 0;
  const int64_t chars = carried + expected;
  return static_cast<size_t>(chars * 2 + (chars / fB + 1) * 24);
}

void TTextLoader::startBuffer() {
  const int32_t want = static_cast<int32_t>(nextRead(fB));
  fBuf = L.fArena.Alloc(want + 1, expectBytes(0));
  L.fBufferList.push_back(TBufferRecord{fBuf, 0, 0});
  fFill = 0;
  fill(want);
}

// Reads up to n characters behind the current ones.
void TTextLoader::fill(int32_t n) {
  const int32_t got = fReader.read(fBuf + fFill, n);
  fFill += got;
  fBuf[fFill] = 0;
  fRead += got;
  if (fReader.restartAs8Bit())
    throw TRestartAs8Bit{};
  if (fRead > fLimit)
    throw ETextTooLong();
}

void TTextLoader::scan() {
  int32_t i = 0;
  const bool staticFormat = L.fStaticFormat;
  for (;;) {
    // Ordinary characters are the bulk of any text: skip them in a tight loop.
    const int32_t runStart = i;
    i = skipOrdinary(fBuf, i, fFill);
    if (i > runStart)
      fPrev = 0;
    if (i >= fFill) {
      if (!fReader.more())
        break;
      // The unfinished paragraph moves to the start of the next buffer.
      i -= fP;
      changeBuffer();
      continue;
    }
    const char16_t c = fBuf[i];
    if (c == 0) {
      if (fNullRepl == 0) {
        fStoppedAtNull = true;
        fNullIndex = i;
        fFill = i;
        break;
      }
      fBuf[i] = fNullRepl;
      ++fNuls;
      fPrev = 0;
      ++i;
    } else if (c == u'\r' || c == u'\n') {
      if (fP == i && ((c == u'\n' && fPrev == u'\r') || (c == u'\r' && fPrev == u'\n'))) {
        // The second half of a CR LF or LF CR pair.
        fLineBreak = c == u'\n' ? zsbCRLF : zsbLFCR;
        fBuf[i] = 0;
        fP = i + 1;
        fPrev = 0;
      } else {
        fLineBreak = c == u'\n' ? zsbLF : zsbCR;
        endParagraph(i, false);
        fPrev = c;
        fP = i + 1;
        fStyleAtStart = fStyle;
        if ((L.Count() & 15) == 0 && fOnProgress)
          progress();
      }
      ++i;
    } else {
      if (IsStyleCode(c)) {
        if (staticFormat)
          XORStyleCode(fStyle, c);
      } else {
        fPrev = 0;
      }
      ++i;
    }
  }
  endParagraph(fFill, true);
}

void TTextLoader::changeBuffer() {
  if (fP == 0)
    growBuffer();
  else
    moveUnfinished();
}

// Finished paragraphs stay where they are and their buffer keeps just their
// part; the unfinished paragraph moves to a new shared buffer.
void TTextLoader::moveUnfinished() {
  const int32_t c = fFill - fP;
  fCarry.assign(fBuf + fP, fBuf + fFill);
  shrinkBuffer(fP);
  fConsumed += fP;
  fFirstPar = L.Count();
  const int32_t want = static_cast<int32_t>(nextRead(fB));
  char16_t* nb = L.fArena.Alloc(c + want + 1, expectBytes(c));
  L.fBufferList.push_back(TBufferRecord{nb, 0, 0});
  if (c > 0)
    std::memcpy(nb, fCarry.data(), static_cast<size_t>(c) * sizeof(char16_t));
  fBuf = nb;
  fP = 0;
  fFill = c;
  fill(want);
}

// The whole buffer is one unfinished paragraph: it goes on in a malloc
// buffer whose capacity at least doubles, reallocated in place as it grows
// further (no paragraph points into it yet).
void TTextLoader::growBuffer() {
  const int32_t c = fFill;
  const int32_t want = static_cast<int32_t>(nextRead(std::max(c, fB)));
  const int32_t cap = c + want + 1;
  char16_t* nb;
  if (zvStrBufInBlock(fBuf)) {
    nb = zvAllocStrBuf(cap);
    std::memcpy(nb, fBuf, static_cast<size_t>(c) * sizeof(char16_t));
    L.fBufferList.back().Buf = nb;
    L.fArena.ShrinkLast(fBuf, 0);
  } else {
    nb = zvReallocStrBuf(fBuf, cap);
    L.fBufferList.back().Buf = nb;
  }
  fBuf = nb;
  fill(want);
}

// Gives back the current buffer's capacity beyond `used` characters. A
// malloc buffer that moves when it shrinks takes its paragraphs along.
void TTextLoader::shrinkBuffer(int32_t used) {
  const int32_t cap = zvStrBufSize(fBuf);
  used = std::min(used, cap);
  if (used == cap || L.fArena.ShrinkLast(fBuf, used) || zvStrBufInBlock(fBuf))
    return;
  const auto from = reinterpret_cast<uintptr_t>(fBuf);
  char16_t* moved = zvReallocStrBuf(fBuf, used);
  L.fBufferList.back().Buf = moved;
  fBuf = moved;
  if (reinterpret_cast<uintptr_t>(moved) == from)
    return;
  for (int32_t n = fFirstPar; n < L.Count(); ++n) {
    ParInfo& par = *L.Par(n);
    if (par.ParText)
      par.ParText = moved + (reinterpret_cast<uintptr_t>(par.ParText) - from) / sizeof(char16_t);
  }
}

// After a complete or interrupted load: the last buffer keeps what was read
// into it and the arena returns its unused pages.
void TTextLoader::closeLastBuffer() {
  if (fBuf)
    shrinkBuffer(fFill + 1);
  L.fArena.Trim();
}

void TTextLoader::endParagraph(int32_t i, bool last) {
  int32_t n = i - fP;
  if (fDiscard)
    while (n > 0 && isBlank(fBuf[fP + n - 1]))
      --n;
  fBuf[fP + n] = 0;
  ParInfo par{};
  par.ParText = n > 0 ? fBuf + fP : nullptr;
  par.StartOffset = static_cast<int32_t>(fTextLen);
  par.StartLine = L.Count();
  SetParLength(par, n);
  if (L.fStaticFormat)
    SetStartAttrib(par, fStyleAtStart);
  L.Add(&par);
  fTextLen += n + (last ? 0 : 2);
  if (fTextLen > fLimit) {
    L.fTextLen = static_cast<int32_t>(fTextLen - n - (last ? 0 : 2));
    throw ETextTooLong();
  }
  L.fTextLen = static_cast<int32_t>(fTextLen);
}

// The position is the stream offset read so far: device positions mean
// nothing on sequential devices.
void TTextLoader::progress() {
  const uint32_t now = GetTickCount();
  if (!TickReached(now, fNextReport))
    return;
  const qint64 pos = fStartPos + fReader.bytes();
  L.fLoadPosition = static_cast<int32_t>(std::min<qint64>(pos, std::numeric_limits<int32_t>::max()));
  fNextReport = now + fInterval;
  fOnProgress(L);
}

// After a complete or interrupted load: the last paragraph is closed (or the
// store holds one empty paragraph) and the derived state covers the whole
// text.
void TParagraphsList::finishLoad() {
  if (fCount == 0) {
    EnsureOneParagraph();
  } else {
    // An interrupted load may end on a paragraph that still counts its break.
    const ParInfo& last = *Par(fCount - 1);
    fTextLen = last.StartOffset + GetParLength(last);
  }
  fModified = false;
  fModStartPar = 0;
  fModStartLine = 0;
  fModStopPar = fCount - 1;
  fModLinesOffset = 0;
  fLastStartStopParsed = -1;
  fUpdateStartPar = 0;
  fUpdateStopPar = fCount;
  fTrueLineCount = fCount;
  fVisibleLineCount = fCount;
}

namespace {

// Loads with the loader; a text that proved not to be UTF-8 after
// multi-byte characters were read from a random-access device is loaded
// again from its start as 8-bit text.
TzvsLoadResult loadText(TParagraphsList& list, QIODevice& dev, const TLoadRequest& request, char16_t nullRepl,
                        bool discard, TzvsLineBreak& lineBreak, const TProgressEvent& onProgress, uint32_t interval) {
  const qint64 start = dev.isSequential() ? 0 : dev.pos();
  const TzvsLineBreak preset = lineBreak;
  {
    TTextLoader loader(list, dev, request, nullRepl, discard, lineBreak, onProgress, interval);
    if (loader.run())
      return loader.result();
  }
  list.CleanUp();
  lineBreak = preset;
  try {
    StreamSeek(dev, start);
  } catch (...) {
    list.EnsureOneParagraph();
    throw;
  }
  TTextLoader again(list, dev, TLoadRequest{TzvsEncoding::Ansi, false}, nullRepl, discard, lineBreak, onProgress,
                    interval);
  again.run();
  return again.result();
}

} // namespace

void TParagraphsList::LoadFromStream(QIODevice& Stream, bool Ansi, char16_t NullReplacement, bool DiscardTrailingSpaces,
                                     TzvsLineBreak& LineBreak, const TProgressEvent& OnProgress,
                                     uint32_t ProgressInterval) {
  ZARV_CHECKED_SCOPE("LoadFromStream", TParagraphsList, *this, s.CheckIntegrity());
  const TLoadRequest request{Ansi ? TzvsEncoding::Ansi : TzvsEncoding::Utf16LE, false};
  loadText(*this, Stream, request, NullReplacement, DiscardTrailingSpaces, LineBreak, OnProgress, ProgressInterval);
}

TzvsLoadResult TParagraphsList::LoadFromStream(QIODevice& Stream, std::optional<TzvsEncoding> Encoding,
                                               char16_t NullReplacement, bool DiscardTrailingSpaces,
                                               TzvsLineBreak& LineBreak, const TProgressEvent& OnProgress,
                                               uint32_t ProgressInterval) {
  ZARV_CHECKED_SCOPE("LoadFromStream", TParagraphsList, *this, s.CheckIntegrity());
  return loadText(*this, Stream, TLoadRequest{Encoding, true}, NullReplacement, DiscardTrailingSpaces, LineBreak,
                  OnProgress, ProgressInterval);
}

// ---- Saving ----------------------------------------------------------------------------

namespace {

// Deletes pairs of the same style code separated only by other codes: they
// switch a style on and straight off again. Inside a run of consecutive code
// characters each code therefore cancels in twos, and of a code that occurs
// an odd number of times only its last occurrence stays; one pass per run
// keeps this linear.
void stripStrayCodes(std::u16string& t) {
  std::u16string out;
  out.reserve(t.size());
  size_t i = 0;
  while (i < t.size()) {
    if (!IsStyleCode(t[i])) {
      out.push_back(t[i++]);
      continue;
    }
    size_t j = i;
    int count[32] = {};
    while (j < t.size() && IsStyleCode(t[j]))
      ++count[t[j++]];
    int seen[32] = {};
    for (size_t k = i; k < j; ++k) {
      const char16_t c = t[k];
      if (++seen[c] == count[c] && (count[c] & 1))
        out.push_back(c);
    }
    i = j;
  }
  t.swap(out);
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Encodes output and hands it to the device in large writes. Counts the
// characters the encoding cannot hold: above U+00FF in 8-bit text (written
// as their low byte), surrogates without a partner in UTF-8 (written as
// U+FFFD). UTF-16 holds every unit as it is.
class TStagedWriter {
public:
  TStagedWriter(QIODevice& dev, TzvsEncoding encoding)
      : fDev(dev), fEncoding(encoding), fStage(kStage + kSlack), fPerUnit(encoding == TzvsEncoding::Ansi   ? 1
                                                                          : encoding == TzvsEncoding::Utf8 ? 3
                                                                                                           : 2) {}
  ~TStagedWriter() = default;
  TStagedWriter(const TStagedWriter&) = delete;
  TStagedWriter& operator=(const TStagedWriter&) = delete;

  void putBytes(const char* p, size_t n) {
    Q_ASSERT(n <= kSlack);
    std::memcpy(fStage.data() + fUsed, p, n);
    fUsed += n;
  }

  void put(const char16_t* p, size_t n) {
    while (n > 0) {
      if (fUsed + kSlack > kStage)
        flush();
      size_t take = std::min(n, (kStage - fUsed) / fPerUnit);
      // A surrogate pair goes to the UTF-8 encoder in one piece.
      if (take < n && isHighSurrogate(p[take - 1]) && isLowSurrogate(p[take]))
        --take;
      encode(p, take, fStage.data() + fUsed);
      p += take;
      n -= take;
    }
  }

  void flush() {
    if (fUsed > 0)
      WriteExact(fDev, fStage.data(), static_cast<qint64>(fUsed));
    fUsed = 0;
  }

  int64_t unrepresentable() const { return fUnrepresentable; }

private:
  void encode(const char16_t* p, size_t n, char* d) {
    switch (fEncoding) {
    case TzvsEncoding::Ansi: {
      int64_t wide = 0;
      for (size_t i = 0; i < n; ++i) {
        d[i] = static_cast<char>(p[i] & 0xFF);
        wide += p[i] > 0xFF;
      }
      fUnrepresentable += wide;
      fUsed += n;
      break;
    }
    case TzvsEncoding::Utf16LE:
      std::memcpy(d, p, n * 2);
      fUsed += n * 2;
      break;
    case TzvsEncoding::Utf16BE:
      for (size_t i = 0; i < n; ++i) {
        d[2 * i] = static_cast<char>(p[i] >> 8);
        d[2 * i + 1] = static_cast<char>(p[i] & 0xFF);
      }
      fUsed += n * 2;
      break;
    case TzvsEncoding::Utf8:
      fUsed += detail::EncodeUtf8(p, n, d, fUnrepresentable);
      break;
    }
  }

  static constexpr size_t kStage = 256 * 1024;
  static constexpr size_t kSlack = 8; // a byte-order mark; at least two units fit after a flush
  QIODevice& fDev;
  TzvsEncoding fEncoding;
  std::vector<char> fStage;
  size_t fPerUnit;
  size_t fUsed = 0;
  int64_t fUnrepresentable = 0;
};

} // namespace

void TParagraphsList::SaveToStream(QIODevice& Stream, bool Ansi, bool StripStrayCtrlCodes, bool DiscardTrailingSpaces,
                                   TzvsLineBreak LineBreak, const TProgressEvent& OnProgress,
                                   uint32_t ProgressInterval) {
  const TzvsTextFormat format{Ansi ? TzvsEncoding::Ansi : TzvsEncoding::Utf16LE, false};
  SaveToStream(Stream, format, StripStrayCtrlCodes, DiscardTrailingSpaces, LineBreak, OnProgress, ProgressInterval);
}

int64_t TParagraphsList::SaveToStream(QIODevice& Stream, TzvsTextFormat Format, bool StripStrayCtrlCodes,
                                      bool DiscardTrailingSpaces, TzvsLineBreak LineBreak,
                                      const TProgressEvent& OnProgress, uint32_t ProgressInterval) {
  TStagedWriter out(Stream, Format.Encoding);
  if (Format.Bom)
    out.putBytes(BomBytes(Format.Encoding), static_cast<size_t>(BomLength(Format.Encoding)));
  const std::u16string_view br = LineBreakChars(LineBreak);
  const bool strip = fStaticFormat && StripStrayCtrlCodes;
  std::u16string copy;
  uint32_t lastReport = GetTickCount();
  for (int32_t i = 0; i < fCount; ++i) {
    const ParInfo& par = *Par(i);
    const char16_t* t = par.ParText;
    size_t n = static_cast<size_t>(GetParLength(par));
    if (strip && n > 0 && std::any_of(t, t + n, IsStyleCode)) {
      copy.assign(t, n);
      stripStrayCodes(copy);
      t = copy.data();
      n = copy.size();
    }
    if (DiscardTrailingSpaces)
      while (n > 0 && isBlank(t[n - 1]))
        --n;
    out.put(t, n);
    if (i + 1 < fCount)
      out.put(br.data(), br.size());
    if (OnProgress) {
      const uint32_t now = GetTickCount();
      if (now - lastReport >= ProgressInterval) {
        out.flush();
        fSavePosition = i;
        OnProgress(*this);
        lastReport = now;
      }
    }
  }
  out.flush();
  FlushWrites(Stream);
  fSavePosition = fCount;
  if (OnProgress)
    OnProgress(*this);
  return out.unrepresentable();
}

} // namespace zarv
