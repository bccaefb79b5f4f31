// Loading and saving whole texts.
//
// Loading makes one pass over the stream with no allocation per paragraph:
// characters are read into 65 500-character shared buffers, each break is
// overwritten by the NUL that ends its paragraph, and paragraph records point
// into the buffers. A paragraph left unfinished at the end of a buffer moves
// to the start of the next one. Saving writes every paragraph with the chosen
// break through a staging buffer, so that the device sees few large writes.
#include "platform/Exceptions.h"
#include "platform/Stream.h"
#include "platform/TickCount.h"
#include "support/ParagraphsList.h"

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

constexpr int32_t kLoadBufferChars = 65500;
// A buffer whose completed part is shorter than this is replaced by an
// exact-size copy; fuller ones are kept as they are.
constexpr int32_t kCompactBelow = 57313;

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

// Reads text characters from the device, widening bytes in 8-bit mode. A
// device failure is remembered rather than thrown, so that the loader can
// first finish the paragraphs it has.
class TCharReader {
public:
  TCharReader(QIODevice& dev, bool ansi) : fDev(dev), fAnsi(ansi) {}

  // Reads up to n characters into dst; returns how many arrived.
  int32_t read(char16_t* dst, int32_t n) {
    if (n <= 0 || fError)
      return 0;
    const qint64 bytes = fAnsi ? n : qint64(n) * 2;
    if (fAnsi) {
      fStage.resize(static_cast<size_t>(bytes));
      const qint64 got = readSome(fStage.data(), bytes);
      // Widen in blocks of 64 so the compiler can vectorise the loop.
      const auto* src = reinterpret_cast<const unsigned char*>(fStage.data());
      qint64 i = 0;
      for (; i + 64 <= got; i += 64)
        for (int j = 0; j < 64; ++j)
          dst[i + j] = src[i + j];
      for (; i < got; ++i)
        dst[i] = src[i];
      return static_cast<int32_t>(got);
    }
    const qint64 got = readSome(reinterpret_cast<char*>(dst), bytes);
    return static_cast<int32_t>(got / 2);
  }

  const std::optional<EStreamError>& error() const { return fError; }

private:
  qint64 readSome(char* dst, qint64 n) {
    qint64 done = 0;
    while (done < n) {
      const qint64 r = fDev.read(dst + done, n - done);
      if (r <= 0) {
        QString msg = QString::fromLatin1(SStreamReadError);
        if (r < 0 && !fDev.errorString().isEmpty())
          msg += QLatin1String(": ") + fDev.errorString();
        else if (r == 0)
          msg += QLatin1String(": the stream ended early");
        fError.emplace(msg);
        break;
      }
      done += r;
    }
    return done;
  }

  QIODevice& fDev;
  bool fAnsi;
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
        fOnProgress(onProgress), fInterval(interval), fReader(dev, ansi) {}

  void run();

private:
  void startBuffer(int64_t remaining);
  void scan();
  bool changeBuffer();
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
  TCharReader fReader;

  qint64 fStartPos = 0;
  int64_t fRemaining = 0;  // characters not yet read from the device
  int64_t fConsumed = 0;   // characters of buffers before the current one
  char16_t* fBuf = nullptr;
  int32_t fFill = 0;       // characters in the current buffer
  int32_t fP = 0;          // start of the current paragraph
  int32_t fFirstPar = 0;   // first paragraph whose text is in the current buffer
  char16_t fPrev = 0;
  TZarvFontStyles fStyle = 0;
  TZarvFontStyles fStyleAtStart = 0;
  int64_t fTextLen = 0;
  uint32_t fNextReport = 0;
  bool fStoppedAtNull = false;
  int32_t fNullIndex = 0;
};

void TTextLoader::run() {
  fStartPos = fDev.isSequential() ? 0 : fDev.pos();
  const qint64 bytes = StreamRemaining(fDev);
  if (!fAnsi && (bytes & 1)) {
    L.EnsureOneParagraph();
    throw EStreamError(QStringLiteral("UTF-16 text has an odd number of bytes (%1)").arg(bytes));
  }
  const int64_t chars = fAnsi ? bytes : bytes / 2;
  if (chars > std::numeric_limits<int32_t>::max() - 2) {
    L.EnsureOneParagraph();
    throw ETextTooLong();
  }
  fNextReport = GetTickCount() + fInterval;
  startBuffer(chars);
  try {
    scan();
  } catch (...) {
    L.finishLoad();
    throw;
  }
  if (fStoppedAtNull && !fDev.isSequential())
    StreamSeek(fDev, fStartPos + (fConsumed + fNullIndex) * (fAnsi ? 1 : 2));
  L.finishLoad();
  if (fReader.error())
    throw *fReader.error();
}

void TTextLoader::startBuffer(int64_t remaining) {
  fRemaining = remaining;
  fBuf = L.fArena.Alloc(kLoadBufferChars + 1);
  L.fBufferList.push_back(TBufferRecord{fBuf, 0, 0});
  const int32_t want = static_cast<int32_t>(std::min<int64_t>(kLoadBufferChars, fRemaining));
  fFill = fReader.read(fBuf, want);
  fRemaining = fReader.error() ? 0 : fRemaining - fFill;
  fBuf[fFill] = 0;
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
      if (fRemaining == 0)
        break;
      // The unfinished paragraph moves to the start of the new buffer.
      const int32_t shift = fP;
      const bool more = changeBuffer();
      i -= shift;
      if (more)
        continue;
      break;
    }
    const char16_t c = fBuf[i];
    if (c == 0) {
      if (fNullRepl == 0) {
        fStoppedAtNull = true;
        fNullIndex = i;
        fFill = i;
        fRemaining = 0;
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

// Moves the unfinished paragraph to a new buffer and reads behind it.
// Returns false when nothing more could be read.
bool TTextLoader::changeBuffer() {
  const int32_t c = fFill - fP;
  const int32_t cap = static_cast<int32_t>(c + std::min<int64_t>(kLoadBufferChars, fRemaining) + 1);
  // Buffers that hold finished paragraphs stay until the store is emptied
  // and come from the arena; a paragraph too long for one buffer grows
  // through buffers of its own, which are freed as it outgrows them.
  char16_t* nb = fP > 0 ? L.fArena.Alloc(cap) : zvAllocStrBuf(cap);
  if (c > 0)
    std::memcpy(nb, fBuf + fP, static_cast<size_t>(c) * sizeof(char16_t));
  if (fP > 0) {
    L.fBufferList.push_back(TBufferRecord{nb, 0, 0});
    if (fP < kCompactBelow && !zvStrBufInBlock(fBuf)) {
      // Keep only the completed part, exactly sized.
      char16_t* exact = zvAllocStrBuf(fP);
      std::memcpy(exact, fBuf, static_cast<size_t>(fP) * sizeof(char16_t));
      for (int32_t n = fFirstPar; n < L.Count(); ++n) {
        ParInfo& par = *L.Par(n);
        if (par.ParText)
          par.ParText = exact + (par.ParText - fBuf);
      }
      L.fBufferList[L.fBufferList.size() - 2].Buf = exact;
      zvFreeStrBuf(fBuf);
    }
  } else {
    L.fBufferList.back().Buf = nb;
    zvFreeStrBuf(fBuf);
  }
  fConsumed += fP;
  fFirstPar = L.Count();
  fBuf = nb;
  fP = 0;
  const int32_t want = static_cast<int32_t>(std::min<int64_t>(cap - 1 - c, fRemaining));
  const int32_t got = fReader.read(nb + c, want);
  fRemaining = fReader.error() ? 0 : fRemaining - got;
  fFill = c + got;
  nb[fFill] = 0;
  return got > 0 || c > 0;
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
  if (fTextLen > std::numeric_limits<int32_t>::max() - 2) {
    L.fTextLen = static_cast<int32_t>(fTextLen - n - (last ? 0 : 2));
    throw ETextTooLong();
  }
  L.fTextLen = static_cast<int32_t>(fTextLen);
}

void TTextLoader::progress() {
  const uint32_t now = GetTickCount();
  if (!TickReached(now, fNextReport))
    return;
  const qint64 pos = fDev.pos();
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

void TParagraphsList::LoadFromStream(QIODevice& Stream, bool Ansi, char16_t NullReplacement,
                                     bool DiscardTrailingSpaces, TzvsLineBreak& LineBreak,
                                     const TProgressEvent& OnProgress, uint32_t ProgressInterval) {
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

void TParagraphsList::SaveToStream(QIODevice& Stream, bool Ansi, bool StripStrayCtrlCodes,
                                   bool DiscardTrailingSpaces, TzvsLineBreak LineBreak,
                                   const TProgressEvent& OnProgress, uint32_t ProgressInterval) {
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
  fSavePosition = fCount;
  if (OnProgress)
    OnProgress(*this);
}

} // namespace zarv
