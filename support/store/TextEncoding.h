// Encodings of loaded and saved text.
//
// The store reads and writes text as 8-bit bytes (each byte one character,
// its Latin-1 value), UTF-8, and UTF-16 in either byte order. This header
// names them, says what a load found, and holds the byte-level pieces the
// loader and the saver share: byte-order marks, a UTF-8 decoder that checks
// the bytes as it decodes them and widens runs of ASCII sixteen bytes at a
// time, and a UTF-8 encoder. Both codecs work on pieces of a stream: a
// sequence cut by the end of a piece waits for the next piece, so that no
// caller ever needs the whole text in one block.
//
// Decoding is strict (no overlong forms, no encoded surrogates, nothing
// above U+10FFFF). A byte that starts no valid sequence is either where the
// decoder stops (so that a load can decide what the text is) or is taken as
// its 8-bit value, one character, after which decoding goes on with the next
// byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zarv {

enum class TzvsEncoding : uint8_t {
  Ansi,    // one byte per character, its Latin-1 value
  Utf8,    // UTF-8
  Utf16LE, // UTF-16, low byte first
  Utf16BE, // UTF-16, high byte first
};

// How a text is laid out in its bytes: what a load found and what a save
// writes. 8-bit text has no byte-order mark; Bom is ignored for it.
struct TzvsTextFormat {
  TzvsEncoding Encoding = TzvsEncoding::Utf8;
  bool Bom = false; // the bytes begin with the encoding's byte-order mark
  friend bool operator==(const TzvsTextFormat&, const TzvsTextFormat&) = default;
};

// What a load did.
struct TzvsLoadResult {
  TzvsTextFormat Format;
  // UTF-8 loads: bytes that began no valid sequence and were taken as their
  // 8-bit values, one character each. Saving such a text as UTF-8 does not
  // give back the bytes it was loaded from. 0 for other encodings.
  int64_t InvalidBytes = 0;
  // NULs found: each one became the load's NUL replacement character, or,
  // without one, the first ended the text (Truncated) and is the only one
  // counted.
  int64_t Nuls = 0;
  // Without a NUL replacement the text ended at its first NUL: the store
  // holds only what came before it, not the whole stream.
  bool Truncated = false;
};

// Length of the encoding's byte-order mark (0 for 8-bit text).
// "8-bit", "UTF-8", "UTF-16LE" or "UTF-16BE".
const char* EncodingName(TzvsEncoding encoding);
int BomLength(TzvsEncoding encoding);
// The bytes of the mark (BomLength of them).
const char* BomBytes(TzvsEncoding encoding);
// The encoding whose mark begins bytes[0..n): UTF-8 (EF BB BF), UTF-16LE
// (FF FE) or UTF-16BE (FE FF).
std::optional<TzvsEncoding> EncodingOfBom(const unsigned char* bytes, size_t n);
// UTF-16 without a byte-order mark, recognised from its first bytes
// bytes[0..n): text in the Latin-1 range has a zero high byte in every
// unit, so zeros stand at every other byte, in the odd places for UTF-16LE
// and in the even ones for UTF-16BE. The byte order is taken when at least
// half of the units hold such a character and no unit with a zero high
// byte is a control character other than TAB, LF, FF and CR (U+0000
// included): binary data, where zero bytes come in runs, and 8-bit or UTF-8
// text, which has no zero bytes, are never taken for UTF-16. A trailing odd
// byte is ignored (the sample may end inside a unit).
std::optional<TzvsEncoding> EncodingOfUnmarkedUtf16(const unsigned char* bytes, size_t n);

namespace detail {

// What the UTF-8 decoder does with a byte that starts no valid sequence.
enum class TUtf8Invalid : uint8_t {
  Stop,  // stop before it
  Widen, // write its 8-bit value and go on with the next byte
};

// Why the decoder returned.
enum class TUtf8Stop : uint8_t {
  End,        // every byte was decoded
  Room,       // the room is full, or one unit is left and the next character needs two
  Incomplete, // the bytes end inside a sequence the next piece may complete
  Invalid,    // (TUtf8Invalid::Stop) the next byte starts no valid sequence
};

struct TUtf8Step {
  size_t Read = 0;       // bytes consumed
  size_t Written = 0;    // UTF-16 units written
  size_t Widened = 0;    // invalid bytes written as their 8-bit values
  bool NonAscii = false; // a sequence of two to four bytes was decoded
  TUtf8Stop Stop = TUtf8Stop::End;
};

// Decodes src[0..n) into dst, which has room for `room` units. When `last`,
// no more bytes follow: a sequence cut short at the end is invalid rather
// than incomplete.
TUtf8Step DecodeUtf8(const unsigned char* src, size_t n, char16_t* dst, size_t room, bool last, TUtf8Invalid onInvalid);

// Encodes units src[0..n) as UTF-8 into dst, which needs room for 3 x n
// bytes; returns the bytes written. A surrogate without its partner becomes
// U+FFFD and is counted in `replaced`. A pair must not be cut between two
// calls (a high surrogate ending src has no partner).
size_t EncodeUtf8(const char16_t* src, size_t n, char* dst, int64_t& replaced);

} // namespace detail

} // namespace zarv
