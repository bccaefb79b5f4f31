// Paragraph, display-line and style-run records of the text store.
//
// A paragraph costs one fixed-size ParInfo record in a 32 KB chunk. As long as
// its values fit (one display line, fewer than 65 535 characters, no style
// runs, no colours, no deep fold flags) the record holds them directly in its
// compact form; the first value that does not fit moves everything into a heap
// ParExtraInfo (the extended form) for good. The free functions below read and
// write either form, switching to the extended form only when a value needs it.
//
// Start records (the style run in force at a paragraph start) are either the
// shared default record or a reference-counted heap copy shared by every
// paragraph that starts inside the same run; a heap copy's DynOffset field is
// its reference count.
#pragma once

#include <ZarvMemo/platform/Color.h>
#include <ZarvMemo/platform/Sets.h>

#include <QString>
#include <cstdint>
#include <vector>

namespace zarv {

// Style bits of one byte: the four font styles in the classic order, then the
// highlight style and the alternative font.
using TZarvFontStyles = uint8_t;
inline constexpr TZarvFontStyles fsBold = 1 << 0;
inline constexpr TZarvFontStyles fsItalic = 1 << 1;
inline constexpr TZarvFontStyles fsUnderline = 1 << 2;
inline constexpr TZarvFontStyles fsStrikeOut = 1 << 3;
inline constexpr TZarvFontStyles fsHighlight = 1 << 4;
inline constexpr TZarvFontStyles fsAltFont = 1 << 5;

// Bits of DynInfoRec::DynStyle beyond the style set.
inline constexpr uint8_t dsHasLevel = 1 << 6;  // Level and KeyIndex are valid
inline constexpr uint8_t dsHasAttrib = 1 << 7; // colours, context, cursor, collapse level

// Static format code characters.
inline constexpr char16_t chItalicCode = 1;
inline constexpr char16_t chBoldCode = 2;
inline constexpr char16_t chHighlightCode = 3;
inline constexpr char16_t chAltFontCode = 4;
inline constexpr char16_t chUnderlineCode = 21;

inline bool IsStyleCode(char16_t c) { return (c >= 1 && c <= 4) || c == 21; }

// ParInfo::ParState bits.
using TParStates = uint8_t;
inline constexpr TParStates zvpHasExtra = 1 << 0;
inline constexpr TParStates zvpOwnTextBuffer = 1 << 1;
inline constexpr TParStates zvpFormatted = 1 << 2;
inline constexpr TParStates zvpSSDone = 1 << 3;
inline constexpr TParStates zvpKeywDone = 1 << 4;
inline constexpr TParStates zvpParseAll = 1 << 5;
inline constexpr TParStates zvpNoWrap = 1 << 6;
inline constexpr TParStates zvpHidden = 1 << 7;

// ParInfo::BlockState bits: the low five bits are the block nesting level.
using TBlockStates = uint8_t;
inline constexpr TBlockStates zvbLevel1 = 1 << 0;
inline constexpr TBlockStates zvbLevel2 = 1 << 1;
inline constexpr TBlockStates zvbLevel4 = 1 << 2;
inline constexpr TBlockStates zvbLevel8 = 1 << 3;
inline constexpr TBlockStates zvbLevel16 = 1 << 4;
inline constexpr TBlockStates zvbCollapsed = 1 << 5;
inline constexpr TBlockStates zvbEndBlock = 1 << 6;
inline constexpr TBlockStates zvbStartBlock = 1 << 7;
inline constexpr TBlockStates zvbLevelMask = 31;

// DynInfoRec::CollpsState bits.
using dInfoCollpsStates = uint8_t;
inline constexpr dInfoCollpsStates zvdCollapsible = 1 << 0;
inline constexpr dInfoCollpsStates zvdCollapsed = 1 << 1;

// One display line of a paragraph.
struct LineInfo {
  int32_t Start = 0;        // first character of the line
  int32_t Stop = 0;         // just after its last character
  int32_t LineWidth = 0;    // pixels of the visible text
  int32_t TotalWidth = 0;   // pixels including trailing blanks
  int32_t TotalColumns = 0; // reserved
  int32_t Spaces = 0;       // blanks widened when justified
  int32_t JustifyStart = 0; // justification starts here; >= ParLength: none
  TZarvFontStyles StartAttrib = 0;
  uint32_t StartDynNb = 0; // first dynamic code at or after Start
  bool Hidden = false;     // reserved
};

// Key lengths in a code are 16-bit. Longer keys saturate at kMaxKlen, which
// readers take as "at least the whole key", never as a short or empty key.
constexpr int32_t kMaxKlen = 0xFFFF;
constexpr uint16_t KlenOf(int64_t n) { return static_cast<uint16_t>(n <= 0 ? 0 : n >= kMaxKlen ? kMaxKlen : n); }

// One dynamic code: a style run starting at DynOffset and lasting until the
// next code of the paragraph.
struct DynInfoRec {
  int32_t DynOffset = 0; // in a heap start record: its reference count
  uint8_t DynStyle = 0;
  int8_t Level = 0;
  int8_t CollpsLevel = 0;
  dInfoCollpsStates CollpsState = 0;
  TColor Backgnd = clDefault;
  TColor Foregnd = clDefault;
  int32_t Context = 0;
  int16_t Cursor = 0;
  int16_t KeyIndex[16] = {};
  struct TStartStopLens {
    uint16_t StartKlen;
    uint16_t StopKLen;
  };
  union {
    uint32_t Klen = 0;
    TStartStopLens SS;
  };
};

using TDynInfoArray = std::vector<DynInfoRec>;
using pDynInfoRec = DynInfoRec*;

// The extended part of a paragraph.
struct ParExtraInfo {
  TColor Foregnd = clDefault;
  TColor Backgnd = clDefault;
  int32_t ParLength = 0;
  LineInfo FirstLine;
  DynInfoRec* StartDynAttrib = nullptr;
  std::vector<LineInfo> Lines;  // display lines 2..n
  TDynInfoArray DynCodes;       // increasing DynOffset
  uint32_t BlocksCollapsed = 0; // bit k: level k + 2 collapsed
  void* pObject = nullptr;      // not owned
  uint8_t StartBlockCount = 0;
  uint8_t StopBlockCount = 0;
  int32_t HiddenLinesBefore = 0; // reserved
};

struct ParCompact {
  uint16_t ParLength;
  uint16_t LineWidth;
};

// One paragraph. Invariants: ParText is NUL-terminated at the length (or nil
// for an empty paragraph); the compact form is in use exactly when
// zvpHasExtra is clear; a compact length is below 65 535.
struct ParInfo {
  char16_t* ParText;
  int32_t StartOffset;
  int32_t StartLine;
  TParStates ParState;
  TBlockStates BlockState;
  union {
    ParCompact Compact;
    ParExtraInfo* ParExtra;
  };
};
using pParInfo = ParInfo*;

// A shared text buffer made by loading; paragraphs point into it.
struct TBufferRecord {
  char16_t* Buf = nullptr;
  int32_t FreeSpace = 0; // reserved
  int32_t StopIndex = 0; // reserved
};

// ---- Text buffers with a capacity header -------------------------------

// A character buffer whose capacity (in characters) can be asked back.
char16_t* zvAllocStrBuf(int32_t capacity);
char16_t* zvReallocStrBuf(char16_t* p, int32_t capacity);
void zvFreeStrBuf(char16_t* p);
int32_t zvStrBufSize(const char16_t* p);
// Puts a buffer header at `base` (8 bytes, then the characters). A buffer
// placed in a larger block (inBlock) is never freed by zvFreeStrBuf.
char16_t* zvPlaceStrBuf(void* base, int32_t capacity, bool inBlock);
// The buffer lies inside a larger block (see zvPlaceStrBuf).
bool zvStrBufInBlock(const char16_t* p);

// The slack capacity used for own paragraph buffers: L + L div 64 + 1.
// Throws ETextTooLong when that does not fit a 32-bit signed integer.
int32_t zvGrownCapacity(int64_t length);

// ---- Start records -------------------------------------------------------

// The shared default start record (colours -1, everything else 0).
DynInfoRec* DefaultDynInfo();
// A heap copy of d with reference count 0.
DynInfoRec* NewStartRecord(const DynInfoRec& d);
// Adds one reference to a heap start record (nothing for nil or the default).
void AddRef(DynInfoRec* d);
// Releases one reference; frees the copy at zero.
void RemoveRef(DynInfoRec* d);
// Number of heap start records alive (for integrity checks).
int64_t LiveStartRecords();

// ---- Record functions ------------------------------------------------------

void SetParExtras(ParInfo& par);
// Frees the extended part (and its start reference) and returns to the empty
// compact form. Only for paragraphs being destroyed.
void FreeParExtras(ParInfo& par);

int32_t GetParLength(const ParInfo& par);
void SetParLength(ParInfo& par, int32_t n);
int32_t GetLineCount(const ParInfo& par);
LineInfo GetFirstLine(const ParInfo& par);
void SetFirstLine(ParInfo& par, const LineInfo& line);
// Display line i (0-based) of the paragraph; ERangeError "List index out of
// bounds" unless 0 <= i < GetLineCount(par).
LineInfo GetParLine(const ParInfo& par, int32_t i);
int32_t GetDynCount(const ParInfo& par);
void SetDynCount(ParInfo& par, int32_t n);
// The codes of the paragraph; a compact paragraph reads an empty array.
const TDynInfoArray& GetDynArray(const ParInfo& par);
// The codes for writing; extends the paragraph.
TDynInfoArray& GetDynArrayForWrite(ParInfo& par);
void SetParDyns(ParInfo& par, const TDynInfoArray& codes);
DynInfoRec* GetStartDynAttrib(const ParInfo& par);
void SetStartDynAttrib(ParInfo& par, DynInfoRec* d, bool makeCopy);
// Index of the first code at or after offset `off`.
size_t FirstDynAtOrAfter(const TDynInfoArray& codes, int32_t off);
// The style run in force for the character at `off` (codes at `off`
// included): the last code at or before it, else the start record.
const DynInfoRec& GetDynInForce(const ParInfo& par, int32_t off);
TZarvFontStyles GetStartAttrib(const ParInfo& par);
void SetStartAttrib(ParInfo& par, TZarvFontStyles styles);
TColor zvsGetParForegnd(const ParInfo& par);
void zvsSetParForegnd(ParInfo& par, TColor c);
TColor zvsGetParBackgnd(const ParInfo& par);
void zvsSetParBackgnd(ParInfo& par, TColor c);
void* zvsGetParObject(const ParInfo& par);
void zvsSetParObject(ParInfo& par, void* obj);

// Fold state of one paragraph.
inline int zvsGetParLevel(const ParInfo& par) { return par.BlockState & zvbLevelMask; }
int zvsGetParBlockStartLevel(const ParInfo& par);
int zvsGetParBlockEndLevel(const ParInfo& par);
bool zvsGetParCollapsed(const ParInfo& par, int level);
void SetParCollapsed(ParInfo& par, int level, bool collapsed);
bool IsParCollapsedDownTo(const ParInfo& par, int level);
void SetParStartBlock(ParInfo& par, int level);
void SetParEndBlock(ParInfo& par, int level);
uint32_t zvsGetParBlocksCollapsed(const ParInfo& par);
// The fold state of display line `line`: block start and end levels, the
// levels shown and whether it shows a collapsed block.
void zvsGetParLevels(const ParInfo& par, const LineInfo& line, int32_t& StartLevel, int32_t& EndLevel, int32_t& Levels,
                     bool& Collapsed);
void zvsSetParBlocksCollapsed(ParInfo& par, uint32_t bits);

// Derived readings of a dynamic code.
inline int DynToLevel(const DynInfoRec& d) {
  return (d.DynStyle & (dsHasLevel | dsHasAttrib)) == (dsHasLevel | dsHasAttrib) ? d.Level : -1;
}
inline int32_t DynToContext(const DynInfoRec& d) { return (d.DynStyle & dsHasAttrib) ? d.Context : 0; }
inline int DynToCollapseLevel(const DynInfoRec& d) { return (d.DynStyle & dsHasAttrib) ? d.CollpsLevel : 0; }

// Static format helpers.
void XORStyleCode(TZarvFontStyles& style, char16_t code);
QString StripCodes(const QString& s);

// Columns with tabs expanded.
int32_t ColToOffset(const ParInfo& par, int32_t col, int32_t tabSize, bool codes);
int32_t OffsetToCol(const ParInfo& par, int32_t offset, int32_t tabSize, bool codes);
int32_t ColToExtra(const ParInfo& par, int32_t col, int32_t tabSize, bool codes);

// Small helpers.
inline unsigned char zvChar(char16_t c) { return c < 255 ? static_cast<unsigned char>(c) : 255; }
const char16_t* zvStrScan(const char16_t* s, char16_t c);
int32_t zvStrLen(const char16_t* s);
void zvCharUpper(char16_t* p);
inline int32_t zvMaxOf(int32_t a, int32_t b) { return a > b ? a : b; }
inline int32_t zvMinOf(int32_t a, int32_t b) { return a < b ? a : b; }

// The text of a paragraph as a QString (a copy).
QString ParText(const ParInfo& par);

} // namespace zarv
