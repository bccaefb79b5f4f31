// Line-break styles of stored text.
#pragma once

#include <cstdint>
#include <string_view>

namespace zarv {

enum TzvsLineBreak : uint8_t { zsbCRLF, zsbLFCR, zsbCR, zsbLF };

// The characters written for each style.
inline std::u16string_view LineBreakChars(TzvsLineBreak lb) {
  switch (lb) {
  case zsbLFCR:
    return u"\n\r";
  case zsbCR:
    return u"\r";
  case zsbLF:
    return u"\n";
  case zsbCRLF:
  default:
    return u"\r\n";
  }
}

} // namespace zarv
