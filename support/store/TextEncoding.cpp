// Byte-order marks and the UTF-8 codec of loading and saving.
//
// Text files are mostly ASCII, so both directions first try sixteen units at
// a time and fall back to one sequence at a time only where a byte (or a
// unit) needs it. The decoder checks each sequence against the table of
// well-formed UTF-8: the second byte's range depends on the first byte
// (E0 needs A0-BF, ED 80-9F, F0 90-BF, F4 80-8F), which rules out overlong
// forms, encoded surrogates and code points beyond U+10FFFF in one compare.
#include <ZarvMemo/support/store/TextEncoding.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zarv {

const char* EncodingName(TzvsEncoding encoding) {
  switch (encoding) {
  case TzvsEncoding::Ansi:
    return "8-bit";
  case TzvsEncoding::Utf8:
    return "UTF-8";
  case TzvsEncoding::Utf16LE:
    return "UTF-16LE";
  case TzvsEncoding::Utf16BE:
    return "UTF-16BE";
  }
  return "?";
}

int BomLength(TzvsEncoding encoding) {
  switch (encoding) {
  case TzvsEncoding::Utf8:
    return 3;
  case TzvsEncoding::Utf16LE:
  case TzvsEncoding::Utf16BE:
    return 2;
  case TzvsEncoding::Ansi:
    break;
  }
  return 0;
}

const char* BomBytes(TzvsEncoding encoding) {
  switch (encoding) {
  case TzvsEncoding::Utf8:
    return "\xEF\xBB\xBF";
  case TzvsEncoding::Utf16LE:
    return "\xFF\xFE";
  case TzvsEncoding::Utf16BE:
    return "\xFE\xFF";
  case TzvsEncoding::Ansi:
    break;
  }
  return "";
}

std::optional<TzvsEncoding> EncodingOfBom(const unsigned char* bytes, size_t n) {
  if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    return TzvsEncoding::Utf8;
  if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
    return TzvsEncoding::Utf16LE;
  if (n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
    return TzvsEncoding::Utf16BE;
  return std::nullopt;
}

namespace {

// Whether a unit of the Latin-1 range belongs in a text: printable, or one
// of the blanks and breaks text files hold.
bool isTextUnit(unsigned c) {
  if (c >= 0x20)
    return c != 0x7F && (c < 0x80 || c >= 0xA0);
  return c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

// Whether units read in one byte order look like UTF-16 text: lowFirst
// takes the first byte of each pair as the low one.
bool looksLikeUtf16(const unsigned char* bytes, size_t units, bool lowFirst) {
  size_t latin = 0;
  for (size_t k = 0; k < units; ++k) {
    const unsigned lo = bytes[2 * k + (lowFirst ? 0 : 1)];
    const unsigned hi = bytes[2 * k + (lowFirst ? 1 : 0)];
    if (hi != 0)
      continue;
    if (!isTextUnit(lo))
      return false;
    ++latin;
  }
  return latin * 2 >= units;
}

} // namespace

std::optional<TzvsEncoding> EncodingOfUnmarkedUtf16(const unsigned char* bytes, size_t n) {
  const size_t units = n / 2;
  if (units == 0)
    return std::nullopt;
  // A unit with a zero high byte in one order has a non-zero one in the
  // other (both zero is refused): the two orders count disjoint units, and
  // only a tie at exactly half lets both pass; little-endian is the usual
  // order and goes first.
  if (looksLikeUtf16(bytes, units, true))
    return TzvsEncoding::Utf16LE;
  if (looksLikeUtf16(bytes, units, false))
    return TzvsEncoding::Utf16BE;
  return std::nullopt;
}

namespace detail {

namespace {

enum class TSeq : uint8_t { Valid, Invalid, Incomplete };

// Checks the sequence that starts with the non-ASCII byte s[0] (n bytes
// available) and decodes it into cp; len is its length.
TSeq checkSequence(const unsigned char* s, size_t n, bool last, size_t& len, uint32_t& cp) {
  const unsigned b0 = s[0];
  unsigned lo = 0x80, hi = 0xBF; // range of the second byte
  if (b0 < 0xC2 || b0 > 0xF4)
    return TSeq::Invalid; // a continuation byte, an overlong lead or beyond U+10FFFF
  if (b0 < 0xE0) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 < 0xF0) {
    len = 3;
    cp = b0 & 0x0F;
    if (b0 == 0xE0)
      lo = 0xA0; // overlong below U+0800
    else if (b0 == 0xED)
      hi = 0x9F; // U+D800..U+DFFF are not characters
  } else {
    len = 4;
    cp = b0 & 0x07;
    if (b0 == 0xF0)
      lo = 0x90; // overlong below U+10000
    else if (b0 == 0xF4)
      hi = 0x8F; // beyond U+10FFFF
  }
  for (size_t k = 1; k < len; ++k) {
    if (k >= n)
      return last ? TSeq::Invalid : TSeq::Incomplete;
    const unsigned b = s[k];
    if (b < lo || b > hi)
      return TSeq::Invalid;
    lo = 0x80;
    hi = 0xBF;
    cp = (cp << 6) | (b & 0x3F);
  }
  return TSeq::Valid;
}

} // namespace

TUtf8Step DecodeUtf8(const unsigned char* src, size_t n, char16_t* dst, size_t room, bool last,
                     TUtf8Invalid onInvalid) {
  TUtf8Step st;
  size_t i = 0, w = 0;
  for (;;) {
#if defined(__SSE2__)
    // Sixteen ASCII bytes at a time. A block that holds other bytes is still
    // stored whole: the units past its ASCII prefix are overwritten later.
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n && w + 16 <= room) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + w), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + w + 8), _mm_unpackhi_epi8(v, zero));
      const int mask = _mm_movemask_epi8(v);
      if (mask != 0) {
        const int k = __builtin_ctz(static_cast<unsigned>(mask));
        i += static_cast<size_t>(k);
        w += static_cast<size_t>(k);
        break;
      }
      i += 16;
      w += 16;
    }
#endif
    while (i < n && w < room && src[i] < 0x80)
      dst[w++] = src[i++];
    if (i >= n) {
      st.Stop = TUtf8Stop::End;
      break;
    }
    if (w >= room) {
      st.Stop = TUtf8Stop::Room;
      break;
    }
    size_t len = 1;
    uint32_t cp = 0;
    const TSeq seq = checkSequence(src + i, n - i, last, len, cp);
    if (seq == TSeq::Incomplete) {
      st.Stop = TUtf8Stop::Incomplete;
      break;
    }
    if (seq == TSeq::Invalid) {
      if (onInvalid == TUtf8Invalid::Stop) {
        st.Stop = TUtf8Stop::Invalid;
        break;
      }
      dst[w++] = src[i++];
      ++st.Widened;
      continue;
    }
    if (cp >= 0x10000) {
      if (room - w < 2) {
        st.Stop = TUtf8Stop::Room;
        break;
      }
      cp -= 0x10000;
      dst[w++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      dst[w++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      dst[w++] = static_cast<char16_t>(cp);
    }
    i += len;
    st.NonAscii = true;
  }
  st.Read = i;
  st.Written = w;
  return st;
}

size_t EncodeUtf8(const char16_t* src, size_t n, char* dst, int64_t& replaced) {
  auto* d = reinterpret_cast<unsigned char*>(dst);
  size_t i = 0;
  while (i < n) {
#if defined(__SSE2__)
    // Sixteen ASCII units at a time, narrowed with unsigned saturation.
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 8));
      const __m128i any = _mm_and_si128(_mm_or_si128(a, b), high);
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(any, zero)) != 0xFFFF)
        break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(a, b));
      i += 16;
      d += 16;
    }
    if (i >= n)
      break;
#endif
    uint32_t c = src[i++];
    if (c < 0x80) {
      *d++ = static_cast<unsigned char>(c);
      continue;
    }
    if (c < 0x800) {
      *d++ = static_cast<unsigned char>(0xC0 | (c >> 6));
      *d++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i < n && src[i] >= 0xDC00 && src[i] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (src[i++] - 0xDC00);
        *d++ = static_cast<unsigned char>(0xF0 | (c >> 18));
        *d++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        *d++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        continue;
      }
      c = 0xFFFD;
      ++replaced;
    }
    *d++ = static_cast<unsigned char>(0xE0 | (c >> 12));
    *d++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    *d++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
  }
  return static_cast<size_t>(d - reinterpret_cast<unsigned char*>(dst));
}

} // namespace detail

} // namespace zarv
