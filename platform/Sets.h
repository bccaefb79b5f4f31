// Set types.
//
// Sets of 8-bit characters (delimiters, word-wrap characters) are bitsets of
// 256. Sets of enum bits use QFlags with the bit order of the stored byte, so
// that a set converts to and from its stored value without a table.
#pragma once

#include <bitset>
#include <cstdint>
#include <string_view>

namespace zarv {

using TCharSet = std::bitset<256>;

// A character set holding every byte of `chars`.
inline TCharSet MakeCharSet(std::string_view chars) {
  TCharSet s;
  for (unsigned char c : chars)
    s.set(c);
  return s;
}

// A character set holding the range first..last (inclusive).
inline TCharSet CharRange(unsigned char first, unsigned char last) {
  TCharSet s;
  for (unsigned c = first; c <= last; ++c)
    s.set(c);
  return s;
}

} // namespace zarv
