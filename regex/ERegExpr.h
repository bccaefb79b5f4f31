// The exception the regular-expression engine raises.
//
// Every compile-time and run-time failure of TRegExpr surfaces as an
// ERegExpr: the numeric code lets a caller react to one kind of failure, the
// position tells where in the pattern the compiler stopped (0 outside
// compilation), and the message is the fixed text of the code, for codes
// below 1000 followed by " (pos N)".
#pragma once

#include <ZarvMemo/platform/Exceptions.h>

#include <cstdint>

namespace zarv {

class ERegExpr : public EZarvError {
public:
  ERegExpr(const QString& message, int32_t errorCode, int32_t compilerErrorPos)
      : EZarvError(message), ErrorCode(errorCode), CompilerErrorPos(compilerErrorPos) {}

  int32_t ErrorCode;
  // Characters of the pattern consumed when the compiler gave up; 0 for a
  // run-time error.
  int32_t CompilerErrorPos;
};

} // namespace zarv
