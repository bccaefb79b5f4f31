// Errors of the value filer.
//
// Reading a value stream fails in two ways: the bytes run out before a value
// is complete, or a value of another type than the one asked for comes next
// (a garbled or foreign stream). Both raise EReadError, a stream error, so
// callers that already handle EStreamError for text loading handle these too.
// Writing refuses values the encoding cannot hold with EWriteError.
#pragma once

#include <ZarvMemo/platform/Exceptions.h>

namespace zarv {

inline constexpr const char* SInvalidPropertyValue = "Invalid property value";

class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A value the encoding cannot hold as it is (a string or name too long for
// its length field, an identifier outside the 8-bit character set). Raised
// before any byte of the value is written.
class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

} // namespace zarv
