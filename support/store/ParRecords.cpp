// Record functions of the paragraph store: reading and writing a paragraph
// in its compact or extended form, start-record reference counting, fold
// flags, static-format helpers and column arithmetic.
#include <ZarvMemo/support/store/ParRecords.h>

#include <ZarvMemo/platform/Exceptions.h>

#include <QChar>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace zarv {

// ---- Text buffers ---------------------------------------------------------------
//
// A buffer is one malloc block: an 8-byte header holding the capacity in
// characters, then the characters. Keeping the header 8 bytes long keeps the
// characters aligned like any malloc result would be.

namespace {
constexpr size_t kHeader = 8;
constexpr int32_t kInBlock = 0x424C4B31; // marks a buffer inside a block

char16_t* fromBase(void* base, int32_t capacity) {
  static_cast<int32_t*>(base)[0] = capacity;
  static_cast<int32_t*>(base)[1] = 0;
  return reinterpret_cast<char16_t*>(static_cast<char*>(base) + kHeader);
}
void* toBase(const char16_t* p) { return const_cast<char*>(reinterpret_cast<const char*>(p)) - kHeader; }
bool inBlock(const char16_t* p) { return static_cast<const int32_t*>(toBase(p))[1] == kInBlock; }
} // namespace

bool zvStrBufInBlock(const char16_t* p) { return p && inBlock(p); }

char16_t* zvPlaceStrBuf(void* base, int32_t capacity, bool inBlockFlag) {
  char16_t* p = fromBase(base, capacity);
  static_cast<int32_t*>(base)[1] = inBlockFlag ? kInBlock : 0;
  return p;
}

char16_t* zvAllocStrBuf(int32_t capacity) {
  if (capacity <= 0)
    return nullptr;
  void* base = std::malloc(kHeader + static_cast<size_t>(capacity) * sizeof(char16_t));
  if (!base)
    throw std::bad_alloc();
  return fromBase(base, capacity);
}

char16_t* zvReallocStrBuf(char16_t* p, int32_t capacity) {
  if (!p)
    return zvAllocStrBuf(capacity);
  if (inBlock(p)) {
    // Blocks are freed as a whole: move to a buffer of its own.
    char16_t* own = zvAllocStrBuf(capacity);
    std::memcpy(own, p, size_t(std::min(capacity, zvStrBufSize(p))) * sizeof(char16_t));
    return own;
  }
  if (capacity <= 0) {
    zvFreeStrBuf(p);
    return nullptr;
  }
  void* base = std::realloc(toBase(p), kHeader + static_cast<size_t>(capacity) * sizeof(char16_t));
  if (!base)
    throw std::bad_alloc();
  return fromBase(base, capacity);
}

void zvFreeStrBuf(char16_t* p) {
  if (p && !inBlock(p))
    std::free(toBase(p));
}

int32_t zvStrBufSize(const char16_t* p) { return p ? *static_cast<const int32_t*>(toBase(p)) : 0; }

int32_t zvGrownCapacity(int64_t length) {
  const int64_t cap = length + length / 64 + 1;
  if (length < 0 || cap > std::numeric_limits<int32_t>::max())
    throw ETextTooLong();
  return static_cast<int32_t>(cap);
}

// ---- Start records -------------------------------------------------------------

namespace {
DynInfoRec gDefaultDynInfo;
std::atomic<int64_t> gLiveStartRecords{0};
} // namespace

DynInfoRec* DefaultDynInfo() { return &gDefaultDynInfo; }

DynInfoRec* NewStartRecord(const DynInfoRec& d) {
  auto copy = std::make_unique<DynInfoRec>(d);
  copy->DynOffset = 0;
  ++gLiveStartRecords;
  return copy.release();
}

void AddRef(DynInfoRec* d) {
  if (d && d != &gDefaultDynInfo)
    ++d->DynOffset;
}

void RemoveRef(DynInfoRec* d) {
  if (!d || d == &gDefaultDynInfo)
    return;
  if (--d->DynOffset <= 0) {
    std::unique_ptr<DynInfoRec> owned(d);
    --gLiveStartRecords;
  }
}

int64_t LiveStartRecords() { return gLiveStartRecords.load(); }

// ---- Compact and extended forms ------------------------------------------------------

void SetParExtras(ParInfo& par) {
  if (par.ParState & zvpHasExtra)
    return;
  auto extra = std::make_unique<ParExtraInfo>();
  extra->ParLength = par.Compact.ParLength;
  extra->FirstLine = GetFirstLine(par);
  extra->StartDynAttrib = DefaultDynInfo();
  extra->StartBlockCount = (par.BlockState & zvbStartBlock) ? 1 : 0;
  extra->StopBlockCount = (par.BlockState & zvbEndBlock) ? 1 : 0;
  par.ParExtra = extra.release();
  par.ParState |= zvpHasExtra;
}

void FreeParExtras(ParInfo& par) {
  if (!(par.ParState & zvpHasExtra))
    return;
  std::unique_ptr<ParExtraInfo> extra(par.ParExtra);
  RemoveRef(extra->StartDynAttrib);
  par.ParState &= static_cast<TParStates>(~zvpHasExtra);
  par.Compact = ParCompact{0, 0};
}

int32_t GetParLength(const ParInfo& par) {
  return (par.ParState & zvpHasExtra) ? par.ParExtra->ParLength : par.Compact.ParLength;
}

void SetParLength(ParInfo& par, int32_t n) {
  if (!(par.ParState & zvpHasExtra) && n >= 65535) {
    // A compact paragraph has one line spanning its text; it keeps spanning
    // the text at the new length.
    SetParExtras(par);
    LineInfo& first = par.ParExtra->FirstLine;
    first.Stop = first.TotalColumns = first.JustifyStart = n;
  }
  if (par.ParState & zvpHasExtra)
    par.ParExtra->ParLength = n;
  else
    par.Compact.ParLength = static_cast<uint16_t>(n);
}

int32_t GetLineCount(const ParInfo& par) {
  return (par.ParState & zvpHasExtra) ? 1 + static_cast<int32_t>(par.ParExtra->Lines.size()) : 1;
}

LineInfo GetFirstLine(const ParInfo& par) {
  if (par.ParState & zvpHasExtra)
    return par.ParExtra->FirstLine;
  LineInfo l;
  const int32_t len = par.Compact.ParLength;
  l.Stop = len;
  l.LineWidth = l.TotalWidth = par.Compact.LineWidth;
  l.TotalColumns = len;
  l.JustifyStart = len;
  return l;
}

LineInfo GetParLine(const ParInfo& par, int32_t i) {
  if (i < 0 || i >= GetLineCount(par))
    throw ERangeError();
  return i == 0 ? GetFirstLine(par) : par.ParExtra->Lines[size_t(i - 1)];
}

size_t FirstDynAtOrAfter(const TDynInfoArray& codes, int32_t off) {
  return static_cast<size_t>(std::lower_bound(codes.begin(), codes.end(), off,
                                              [](const DynInfoRec& d, int32_t o) { return d.DynOffset < o; }) -
                             codes.begin());
}

const DynInfoRec& GetDynInForce(const ParInfo& par, int32_t off) {
  const TDynInfoArray& codes = GetDynArray(par);
  const size_t n =
      static_cast<size_t>(std::upper_bound(codes.begin(), codes.end(), off,
                                           [](int32_t o, const DynInfoRec& d) { return o < d.DynOffset; }) -
                          codes.begin());
  return n > 0 ? codes[n - 1] : *GetStartDynAttrib(par);
}

void SetFirstLine(ParInfo& par, const LineInfo& line) {
  if (!(par.ParState & zvpHasExtra)) {
    const int32_t len = par.Compact.ParLength;
    if (line.Stop == len && line.LineWidth >= 0 && line.LineWidth <= 65535 && line.JustifyStart >= len &&
        line.StartAttrib == 0) {
      par.Compact.LineWidth = static_cast<uint16_t>(line.LineWidth);
      return;
    }
    SetParExtras(par);
  }
  par.ParExtra->FirstLine = line;
}

int32_t GetDynCount(const ParInfo& par) {
  return (par.ParState & zvpHasExtra) ? static_cast<int32_t>(par.ParExtra->DynCodes.size()) : 0;
}

void SetDynCount(ParInfo& par, int32_t n) {
  if (n >= 1)
    SetParExtras(par);
  if (par.ParState & zvpHasExtra)
    par.ParExtra->DynCodes.resize(static_cast<size_t>(n < 0 ? 0 : n));
}

const TDynInfoArray& GetDynArray(const ParInfo& par) {
  static const TDynInfoArray empty;
  return (par.ParState & zvpHasExtra) ? par.ParExtra->DynCodes : empty;
}

TDynInfoArray& GetDynArrayForWrite(ParInfo& par) {
  SetParExtras(par);
  // A highlighted line usually gets a few codes: one allocation for them.
  if (par.ParExtra->DynCodes.capacity() == 0)
    par.ParExtra->DynCodes.reserve(2);
  return par.ParExtra->DynCodes;
}

void SetParDyns(ParInfo& par, const TDynInfoArray& codes) {
  if (codes.empty() && !(par.ParState & zvpHasExtra))
    return;
  SetParExtras(par);
  par.ParExtra->DynCodes = codes;
}

DynInfoRec* GetStartDynAttrib(const ParInfo& par) {
  return (par.ParState & zvpHasExtra) ? par.ParExtra->StartDynAttrib : DefaultDynInfo();
}

void SetStartDynAttrib(ParInfo& par, DynInfoRec* d, bool makeCopy) {
  DynInfoRec* old = GetStartDynAttrib(par);
  DynInfoRec* now = DefaultDynInfo();
  if (d && (d->DynStyle & dsHasAttrib)) {
    if (makeCopy || d == DefaultDynInfo())
      now = NewStartRecord(*d);
    else
      now = d;
    AddRef(now); // before releasing the old one: d may be the old record
  }
  if (par.ParState & zvpHasExtra) {
    par.ParExtra->StartDynAttrib = now;
  } else if (now != DefaultDynInfo()) {
    SetParExtras(par);
    par.ParExtra->StartDynAttrib = now;
  }
  RemoveRef(old);
}

TZarvFontStyles GetStartAttrib(const ParInfo& par) {
  return (par.ParState & zvpHasExtra) ? par.ParExtra->FirstLine.StartAttrib : 0;
}

void SetStartAttrib(ParInfo& par, TZarvFontStyles styles) {
  if (!(par.ParState & zvpHasExtra)) {
    if (styles == 0)
      return;
    SetParExtras(par);
  }
  par.ParExtra->FirstLine.StartAttrib = styles;
}

TColor zvsGetParForegnd(const ParInfo& par) { return (par.ParState & zvpHasExtra) ? par.ParExtra->Foregnd : clDefault; }

void zvsSetParForegnd(ParInfo& par, TColor c) {
  if (!(par.ParState & zvpHasExtra)) {
    if (c == clDefault || c == clNone)
      return;
    SetParExtras(par);
  }
  par.ParExtra->Foregnd = c;
}

TColor zvsGetParBackgnd(const ParInfo& par) { return (par.ParState & zvpHasExtra) ? par.ParExtra->Backgnd : clDefault; }

void zvsSetParBackgnd(ParInfo& par, TColor c) {
  if (!(par.ParState & zvpHasExtra)) {
    if (c == clDefault || c == clNone)
      return;
    SetParExtras(par);
  }
  par.ParExtra->Backgnd = c;
}

void* zvsGetParObject(const ParInfo& par) { return (par.ParState & zvpHasExtra) ? par.ParExtra->pObject : nullptr; }

void zvsSetParObject(ParInfo& par, void* obj) {
  if (!(par.ParState & zvpHasExtra)) {
    if (!obj)
      return;
    SetParExtras(par);
  }
  par.ParExtra->pObject = obj;
}

// ---- Fold state --------------------------------------------------------------------

int zvsGetParBlockStartLevel(const ParInfo& par) {
  const int level = zvsGetParLevel(par);
  if (!(par.BlockState & zvbStartBlock))
    return level;
  if (level <= 1)
    return 0;
  const int count = (par.ParState & zvpHasExtra) ? par.ParExtra->StartBlockCount : 1;
  return level - count < 0 ? 0 : level - count;
}

int zvsGetParBlockEndLevel(const ParInfo& par) {
  const int level = zvsGetParLevel(par);
  if (!(par.BlockState & zvbEndBlock))
    return level;
  if (level <= 1)
    return 0;
  const int count = (par.ParState & zvpHasExtra) ? par.ParExtra->StopBlockCount : 1;
  return level - count < 0 ? 0 : level - count;
}

bool zvsGetParCollapsed(const ParInfo& par, int level) {
  if (level == 1)
    return par.BlockState & zvbCollapsed;
  if (level < 2 || level > 33 || !(par.ParState & zvpHasExtra))
    return false;
  return (par.ParExtra->BlocksCollapsed >> (level - 2)) & 1u;
}

void SetParCollapsed(ParInfo& par, int level, bool collapsed) {
  if (level == 1) {
    if (collapsed)
      par.BlockState |= zvbCollapsed;
    else
      par.BlockState &= static_cast<TBlockStates>(~zvbCollapsed);
    return;
  }
  if (level < 2 || level > 33)
    return;
  SetParExtras(par);
  const uint32_t bit = 1u << (level - 2);
  if (collapsed)
    par.ParExtra->BlocksCollapsed |= bit;
  else
    par.ParExtra->BlocksCollapsed &= ~bit;
}

bool IsParCollapsedDownTo(const ParInfo& par, int level) {
  for (int l = level; l >= 1; --l)
    if (zvsGetParCollapsed(par, l))
      return true;
  return false;
}

namespace {
// Shared rule of SetParStartBlock and SetParEndBlock: a flag plus a count of
// blocks, where a compact level-1 paragraph implies a count of one.
void setBlockEdge(ParInfo& par, int level, TBlockStates flag, uint8_t ParExtraInfo::*count) {
  const int lambda = zvsGetParLevel(par);
  if (level >= lambda) {
    par.BlockState &= static_cast<TBlockStates>(~flag);
    if (par.ParState & zvpHasExtra)
      par.ParExtra->*count = 0;
    return;
  }
  const int n = lambda - (level < 0 ? 0 : level);
  par.BlockState |= flag;
  if (n != 1 || lambda > 1)
    SetParExtras(par);
  if (par.ParState & zvpHasExtra)
    par.ParExtra->*count = static_cast<uint8_t>(n);
}
} // namespace

void SetParStartBlock(ParInfo& par, int level) {
  setBlockEdge(par, level, zvbStartBlock, &ParExtraInfo::StartBlockCount);
}

void SetParEndBlock(ParInfo& par, int level) { setBlockEdge(par, level, zvbEndBlock, &ParExtraInfo::StopBlockCount); }

uint32_t zvsGetParBlocksCollapsed(const ParInfo& par) {
  return (par.ParState & zvpHasExtra) ? par.ParExtra->BlocksCollapsed : 0;
}

void zvsSetParBlocksCollapsed(ParInfo& par, uint32_t bits) {
  if (!(par.ParState & zvpHasExtra)) {
    if (bits == 0)
      return;
    SetParExtras(par);
  }
  par.ParExtra->BlocksCollapsed = bits;
}

void zvsGetParLevels(const ParInfo& par, const LineInfo& line, int32_t& StartLevel, int32_t& EndLevel, int32_t& Levels,
                     bool& Collapsed) {
  const int lambda = zvsGetParLevel(par);
  Collapsed = false;
  if (lambda > 0) {
    StartLevel = zvsGetParBlockStartLevel(par);
    EndLevel = zvsGetParBlockEndLevel(par);
    Levels = lambda;
    for (int l = 1; l <= lambda; ++l)
      if (zvsGetParCollapsed(par, l)) {
        Levels = l;
        Collapsed = true;
        EndLevel = std::min<int32_t>(EndLevel, l);
        break;
      }
    return;
  }
  // Run blocks: the levels of the style runs on the line.
  const TDynInfoArray& codes = GetDynArray(par);
  const size_t first = std::min<size_t>(line.StartDynNb, codes.size());
  Levels = DynToCollapseLevel(first > 0 ? codes[first - 1] : *GetStartDynAttrib(par));
  StartLevel = EndLevel = Levels;
  for (size_t i = first; i < codes.size() && codes[i].DynOffset <= line.Stop; ++i) {
    EndLevel = DynToCollapseLevel(codes[i]);
    if (EndLevel > Levels) {
      Levels = EndLevel;
      if (codes[i].CollpsState & zvdCollapsed) {
        Collapsed = true;
        break;
      }
    }
  }
  if (EndLevel <= StartLevel)
    Levels = StartLevel;
}

// ---- Static format ---------------------------------------------------------------

void XORStyleCode(TZarvFontStyles& style, char16_t code) {
  switch (code) {
  case chItalicCode:
    style ^= fsItalic;
    break;
  case chBoldCode:
    style ^= fsBold;
    break;
  case chHighlightCode:
    style ^= fsHighlight;
    break;
  case chAltFontCode:
    style ^= fsAltFont;
    break;
  case chUnderlineCode:
    style ^= fsUnderline;
    break;
  default:
    break;
  }
}

QString StripCodes(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (QChar c : s)
    if (!IsStyleCode(c.unicode()))
      out.append(c);
  return out;
}

// ---- Columns -------------------------------------------------------------------

namespace {
int32_t charColumns(char16_t ch, int32_t col, int32_t tabSize, bool codes) {
  if (ch == u'\t' && tabSize > 0)
    return (col / tabSize + 1) * tabSize - col;
  if (codes && IsStyleCode(ch))
    return 0;
  return 1;
}
} // namespace

int32_t ColToOffset(const ParInfo& par, int32_t col, int32_t tabSize, bool codes) {
  const int32_t len = GetParLength(par);
  int32_t c = 0;
  int32_t i = 0;
  while (i < len && c < col) {
    const int32_t w = charColumns(par.ParText[i], c, tabSize, codes);
    if (c + w > col)
      break;
    c += w;
    ++i;
  }
  return i;
}

int32_t OffsetToCol(const ParInfo& par, int32_t offset, int32_t tabSize, bool codes) {
  const int32_t len = GetParLength(par);
  if (offset > len)
    offset = len;
  int32_t c = 0;
  for (int32_t i = 0; i < offset; ++i)
    c += charColumns(par.ParText[i], c, tabSize, codes);
  return c;
}

int32_t ColToExtra(const ParInfo& par, int32_t col, int32_t tabSize, bool codes) {
  return col - OffsetToCol(par, ColToOffset(par, col, tabSize, codes), tabSize, codes);
}

// ---- Small helpers -----------------------------------------------------------------

const char16_t* zvStrScan(const char16_t* s, char16_t c) {
  if (!s)
    return nullptr;
  for (; *s; ++s)
    if (*s == c)
      return s;
  return nullptr;
}

int32_t zvStrLen(const char16_t* s) {
  if (!s)
    return 0;
  const char16_t* p = s;
  while (*p)
    ++p;
  return static_cast<int32_t>(p - s);
}

void zvCharUpper(char16_t* p) {
  if (!p)
    return;
  for (; *p; ++p)
    *p = QChar(*p).toUpper().unicode();
}

QString ParText(const ParInfo& par) {
  const int32_t len = GetParLength(par);
  return len > 0 && par.ParText ? QString(reinterpret_cast<const QChar*>(par.ParText), len) : QString();
}

} // namespace zarv
