// Loading and saving whole texts.
//
// Loading makes one pass over the stream with no allocation per paragraph:
// characters are read into 65 500-character shared buffers, each break is
// overwritten by the NUL that ends its paragraph, and paragraph records point
// into the buffers. A paragraph left unfinished at the end of a buffer moves
// to the start of the next one, and the buffer keeps only the part its
// finished paragraphs use. A paragraph that fills a whole buffer grows in a
// buffer of its own whose capacity at least doubles each time, so that a text
// of one long line loads in linear time. Saving writes every paragraph with
// the chosen break through a staging buffer, so that the device sees few
// large writes.
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
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace zarv {

namespace {

// Bytes handed to the device per read in 8-bit mode: one shared buffer.
constexpr int32_t kStageBytes = 65536;

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

// Reads the characters of a load until the stream ends, widening bytes in
// 8-bit mode. A random-access device's remaining size is what the load
// expects: fewer bytes is a failure, more (a growing file, a file in /proc
// that reports size 0) are read on. A sequential device (pipe, socket,
// process) is read until it reports its end, waiting for data as needed.
// A failure is remembered rather than thrown, so that the loader can first
// close the paragraphs it has.
class TCharReader {
public:
  TCharReader(QIODevice& dev, bool ansi, qint64 expectedBytes)
      : fDev(dev), fAnsi(ansi), fSequential(dev.isSequential()), fExpected(expectedBytes) {}

  // Reads up to n characters into dst; fewer only when the stream ended or
  // failed.
  int32_t read(char16_t* dst, int32_t n) {
    if (n <= 0)
      return 0;
    if (!fAnsi)
      return static_cast<int32_t>(readBytes(reinterpret_cast<char*>(dst), qint64(n) * 2) / 2);
    fStage.resize(static_cast<size_t>(std::min(n, kStageBytes)));
    int32_t done = 0;
    while (done < n && !fEnded) {
      const int32_t take = std::min(n - done, kStageBytes);
      const int32_t got = static_cast<int32_t>(readBytes(fStage.data(), take));
      // Widen in blocks of 64 so the compiler can vectorise the loop.
      const auto* src = reinterpret_cast<const unsigned char*>(fStage.data());
      char16_t* d = dst + done;
      int32_t i = 0;
      for (; i + 64 <= got; i += 64)
        for (int j = 0; j < 64; ++j)
          d[i + j] = src[i + j];
      for (; i < got; ++i)
        d[i] = src[i];
      done += got;
    }
    return done;
  }

  // Whether the stream has more bytes; once the expected bytes are read this
  // reads one byte ahead, which the next read delivers.
  bool more() {
    if (fHasAhead || fBytes < fExpected)
      return !fEnded;
    if (fEnded)
      return false;
    char b = 0;
    if (readBytes(&b, 1) == 0)
      return false;
    fAhead = b;
    fHasAhead = true;
    return true;
  }

  // Characters the device's size promises beyond those read (0: unknown).
  int64_t expectedChars() const {
    const qint64 rest = fExpected - fBytes;
    return rest > 0 ? rest / (fAnsi ? 1 : 2) : 0;
  }
  int64_t bytes() const { return fBytes; }
  const std::optional<EStreamError>& error() const { return fError; }

private:
  qint64 readBytes(char* dst, qint64 n) {
    qint64 done = 0;
    if (fHasAhead && n > 0) {
      dst[done++] = fAhead;
      fHasAhead = false;
    }
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

  bool deviceFailed(const QString& errorBefore) const {
    if (const auto* file = qobject_cast<const QFileDevice*>(&fDev))
      return file->error() != QFileDevice::NoError;
    return fDev.errorString() != errorBefore;
  }

  void fail(qint64 r) {
    QString msg = QString::fromLatin1(SStreamReadError);
    const QString why = fDev.errorString();
    if (r < 0 && !why.isEmpty() && why != QLatin1String("Unknown error"))
      msg += QLatin1String(": ") + why;
    else if (r >= 0)
      msg += QLatin1String(": the stream ended early");
    fError.emplace(msg);
  }

  QIODevice& fDev;
  bool fAnsi;
  bool fSequential;
  qint64 fExpected;  // bytes the device's size promises (0 for sequential devices)
  qint64 fBytes = 0; // bytes read
  bool fEnded = false;
  bool fHasAhead = false;
  char fAhead = 0;
  std::vector<char> fStage;
  std::optional<EStreamError> fError;
};

} // namespace

// One load: the scan state kept across buffer changes.
class TTextLoader {
public:
  TTextLoader(TParagraphsList& list, QIODevice& dev, bool ansi, char16_t nullRepl, bool discard,
              TzvsLineBreak& lineBreak, const TProgressEvent& onProgress, uint32_t interval)
      : L(list), fDev(dev), fAnsi(ansi), fNullRepl(nullRepl), fDiscard(discard), fLineBreak(lineBreak),
        fOnProgress(onProgress), fInterval(interval), fB(detail::LoadBufferChars()), fLimit(detail::LoadTextLimit()),
        fReader(dev, ansi, expectedBytes(dev)) {}

  void run();

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
  bool fAnsi;
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
  std::vector<char16_t> fCarry; // the unfinished paragraph while its buffer shrinks
};

void TTextLoader::run() {
  if (!fDev.isReadable()) {
    L.EnsureOneParagraph();
    throw EStreamError(QString::fromLatin1(SStreamReadError) + QLatin1String(": the device is not open for reading"));
  }
  fStartPos = fDev.isSequential() ? 0 : fDev.pos();
  checkExpectedLength();
  fNextReport = GetTickCount() + fInterval;
  try {
    if (fReader.more()) {
      startBuffer();
      scan();
    }
  } catch (...) {
    closeLastBuffer();
    L.finishLoad();
    throw;
  }
  closeLastBuffer();
  if (fStoppedAtNull && !fDev.isSequential())
    StreamSeek(fDev, fStartPos + (fConsumed + fNullIndex) * (fAnsi ? 1 : 2));
  L.finishLoad();
  if (fReader.error())
    throw *fReader.error();
  if (!fAnsi && !fStoppedAtNull && (fReader.bytes() & 1))
    throw EStreamError(QStringLiteral("UTF-16 text has an odd number of bytes (%1)").arg(fReader.bytes()));
}

// A random-access device tells its length: an odd UTF-16 byte count or too
// long a text is refused before anything is read. Sequential devices are
// checked as the bytes arrive.
void TTextLoader::checkExpectedLength() {
  if (fDev.isSequential())
    return;
  const qint64 bytes = StreamRemaining(fDev);
  if (!fAnsi && (bytes & 1)) {
    L.EnsureOneParagraph();
    throw EStreamError(QStringLiteral("UTF-16 text has an odd number of bytes (%1)").arg(bytes));
  }
  if ((fAnsi ? bytes : bytes / 2) > fLimit) {
    L.EnsureOneParagraph();
    throw ETextTooLong();
  }
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

void TParagraphsList::LoadFromStream(QIODevice& Stream, bool Ansi, char16_t NullReplacement, bool DiscardTrailingSpaces,
                                     TzvsLineBreak& LineBreak, const TProgressEvent& OnProgress,
                                     uint32_t ProgressInterval) {
  ZARV_CHECKED_SCOPE("LoadFromStream", TParagraphsList, *this, s.CheckIntegrity());
  TTextLoader loader(*this, Stream, Ansi, NullReplacement, DiscardTrailingSpaces, LineBreak, OnProgress,
                     ProgressInterval);
  loader.run();
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

// Collects output and hands it to the device in large writes.
class TStagedWriter {
public:
  TStagedWriter(QIODevice& dev, bool ansi) : fDev(dev), fAnsi(ansi) { fStage.reserve(kStage + 4096); }
  ~TStagedWriter() = default;
  TStagedWriter(const TStagedWriter&) = delete;
  TStagedWriter& operator=(const TStagedWriter&) = delete;

  void put(const char16_t* p, size_t n) {
    while (n > 0) {
      const size_t room = (kStage - fStage.size()) / (fAnsi ? 1 : 2);
      const size_t take = std::min(n, room == 0 ? size_t{1} : room);
      const size_t at = fStage.size();
      if (fAnsi) {
        fStage.resize(at + take);
        char* d = fStage.data() + at;
        // Characters above 255 keep only their low byte.
        for (size_t i = 0; i < take; ++i)
          d[i] = static_cast<char>(p[i] & 0xFF);
      } else {
        fStage.resize(at + take * 2);
        std::memcpy(fStage.data() + at, p, take * 2);
      }
      p += take;
      n -= take;
      if (fStage.size() >= kStage)
        flush();
    }
  }
  void flush() {
    if (!fStage.empty())
      WriteExact(fDev, fStage.data(), static_cast<qint64>(fStage.size()));
    fStage.clear();
  }

private:
  static constexpr size_t kStage = 256 * 1024;
  QIODevice& fDev;
  bool fAnsi;
  std::vector<char> fStage;
};

} // namespace

void TParagraphsList::SaveToStream(QIODevice& Stream, bool Ansi, bool StripStrayCtrlCodes, bool DiscardTrailingSpaces,
                                   TzvsLineBreak LineBreak, const TProgressEvent& OnProgress,
                                   uint32_t ProgressInterval) {
  TStagedWriter out(Stream, Ansi);
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
}

} // namespace zarv
